#pragma once

#include "engine/Host.h"

#include <span>

namespace app {

// Everything the engine registers after the standard libraries, in registration order.
std::span<const engine::HostLibrary> hostLibraries();

}  // namespace app
