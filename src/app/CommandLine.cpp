#include "CommandLine.h"

#include "platform/Paths.h"

namespace app {

CommandLine parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--batch") {
            line.batch = true;
            if (i + 1 < args.size())
                line.batchScript = args[i + 1];
            for (std::size_t j = i + 2; j < args.size(); ++j)
                line.batchArgs.push_back(args[j]);
            break;
        }
        if (a.empty() || a.front() == '-')
            continue;
        // Relative names would otherwise resolve against the executable's folder, which is
        // current while events run.
        line.fileArguments.push_back(platform::fromOsPath(platform::absoluteOsPath(a)));
    }
    return line;
}

}  // namespace app
