#pragma once

#include "Result.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Runs a program (argv in UTF-8, argv[0] looked up in PATH when it has no "/") with standard
// input at end of file and standard output and error sent through one pipe. The pipe is read
// while waiting, in steps of 100 ms, and everything read goes to `onOutput`, so the child can
// never block on a full pipe. Result: the exit code (128 + signal number when it was killed).
Result<int> runProcess(const std::vector<std::string>& argv, const std::function<void(std::string_view)>& onOutput);

// An error number with the system's text, as runProcess reports a failure to start.
Error systemError(int code);

}  // namespace platform
