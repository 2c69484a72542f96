#pragma once

#include <string>
#include <vector>

namespace app {

// The command line as the application reads it.
struct CommandLine {
    bool batch = false;
    std::string batchScript;              // OS form
    std::vector<std::string> batchArgs;   // as given
    // "--timeout SECONDS" before "--batch": the batch script stops with a script error after
    // that long. 0: no limit; -1: the value was not a whole number of seconds from 1 to 86400.
    int batchTimeout = 0;
    // Non-flag parameters in order, in script form (code page 932, "\" separators), made
    // absolute against the directory the program was started in.
    std::vector<std::string> fileArguments;
};

// A parameter that starts with "-" is a flag and is ignored (a leading "/" is an absolute
// path here); "--batch FILE [ARG...]" selects batch mode and takes the rest of the line;
// "--timeout SECONDS" takes the parameter after it.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace app
