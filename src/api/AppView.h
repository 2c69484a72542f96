#pragma once

#include "engine/Host.h"

namespace api {

// The view and window members of `app`, as runs of the registration order.
extern const engine::HostFunction kDesktopSizeFunctions[1];
extern const engine::HostFunction kDrawScreenFunctions[1];
extern const engine::HostFunction kViewFunctions[21];

}  // namespace api
