#pragma once

#include <string>
#include <vector>

namespace app {

// The command line as the application reads it.
struct CommandLine {
    bool batch = false;
    std::string batchScript;              // OS form
    std::vector<std::string> batchArgs;   // as given
    // Non-flag parameters in order, in script form (code page 932, "\" separators), made
    // absolute against the directory the program was started in.
    std::vector<std::string> fileArguments;
};

// A parameter that starts with "-" is a flag and is ignored (a leading "/" is an absolute
// path here); "--batch FILE [ARG...]" selects batch mode and takes the rest of the line.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace app
