#include "Version.h"

#include "engine/Format.h"
#include "engine/Messages.h"

namespace app {

const Version& version()
{
    static const Version v{engine::msg::text(engine::msg::Id::ApplicationName), SELVARIN_VERSION_MAJOR,
                           SELVARIN_VERSION_MINOR, SELVARIN_VERSION_PATCH, SELVARIN_VERSION_BUILD};
    return v;
}

std::string versionText()
{
    const Version& v = version();
    return engine::format(engine::msg::text(engine::msg::Id::AboutText), {v.productName, v.major, v.minor, v.patch, v.build});
}

}  // namespace app
