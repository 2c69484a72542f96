#include "AppTable.h"

#include "ScriptBuffer.h"
#include "ScriptCodecs.h"
#include "ScriptSurface.h"

#include "engine/Host.h"

#include <span>

namespace api {
namespace {

// The groups of `app` members in registration order; each module adds its group here.
constexpr std::span<const engine::HostFunction> kGroups[] = {
    {},
    kBmpFunctions,
    kJpegFunctions,
    kBmpFileHeaderFunctions,
    kSurfaceFunctions,
    kBufferFunctions,
};

}  // namespace

void installApp(lua_State* L)
{
    for (std::span<const engine::HostFunction> group : kGroups)
        engine::registerTable(L, "app", group);
}

}  // namespace api
