#include "HostLibraries.h"

#include "api/AppTable.h"
#include "api/GridViewTable.h"
#include "api/ScriptBuffer.h"
#include "api/SurfaceClass.h"
#include "api/SusiePlugin.h"
#include "api/WindowClass.h"
#include "engine/ScriptEngine.h"

namespace app {
namespace {

// The class metatables LWindow, Buffer, Surface and Susie_plugin come first (in that order),
// then `app`, `print` and `gridview`. Modules that bring a class add its row at its place.
constexpr engine::HostLibrary kHostLibraries[] = {
    {"LWindow", &api::installWindowClass},
    {"Buffer", &api::installBufferClass},
    {"Surface", &api::installSurfaceClass},
    {"Susie_plugin", &api::installSusiePluginClass},
    {"app", &api::installApp},
    {"print", &engine::installPrint},
    {"gridview", &api::installGridView},
};

}  // namespace

std::span<const engine::HostLibrary> hostLibraries() { return kHostLibraries; }

}  // namespace app
