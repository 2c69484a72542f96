#pragma once

#include <string>

namespace app {

// The build's version record: product name and the four parts of the file version.
struct Version {
    std::string productName;  // code page 932
    int major;
    int minor;
    int patch;
    int build;
};

const Version& version();

// "%s %d.%d.%d build %d", as the About box shows it.
std::string versionText();

}  // namespace app
