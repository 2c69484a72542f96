#pragma once

#include "engine/Host.h"

namespace api {

// getApplicationPath .. compareString: the application, the clock and text comparison.
extern const engine::HostFunction kApplicationFunctions[8];
// findFile, joinPath, splitPath, splitExtension, getFileInfo.
extern const engine::HostFunction kFileFunctions[5];

}  // namespace api
