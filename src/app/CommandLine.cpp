#include "CommandLine.h"

#include "platform/Paths.h"

namespace app {
namespace {

int parseSeconds(const std::string& text)
{
    constexpr int kMaxSeconds = 86400;
    if (text.empty() || text.size() > 5)
        return -1;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= kMaxSeconds ? value : -1;
}

}  // namespace

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
        if (a == "--timeout") {
            line.batchTimeout = i + 1 < args.size() ? parseSeconds(args[i + 1]) : -1;
            ++i;
            continue;
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
