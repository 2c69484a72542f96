#pragma once

#include "engine/Host.h"

namespace api {

// SJIS2Unicode, Unicode2SJIS, safeLiteral.
extern const engine::HostFunction kTextFunctions[3];

}  // namespace api
