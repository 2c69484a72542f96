#pragma once

#include "engine/Host.h"

namespace api {

// separateDoFile: runs a script file in a second, empty interpreter state and copies back
// what it returns.
extern const engine::HostFunction kSeparateExecutionFunctions[1];

}  // namespace api
