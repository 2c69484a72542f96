#pragma once

#include "CommandLine.h"

namespace app {

// Batch mode: runs one script in a fully opened engine without windows. `print` and
// io.stdout write to standard output, io.stderr to standard error, message boxes answer
// themselves. Exit status 0 when the chunk loaded and ran, 1 otherwise.
int runBatch(const CommandLine& commandLine);

}  // namespace app
