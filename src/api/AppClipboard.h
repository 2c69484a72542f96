#pragma once

#include "engine/Host.h"

namespace api {

// enumClipboard, getClipboardData, setClipboardData.
extern const engine::HostFunction kClipboardFunctions[3];

}  // namespace api
