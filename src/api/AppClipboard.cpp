#include "AppClipboard.h"

#include "MemoryBlock.h"
#include "ScriptBuffer.h"
#include "SurfaceClass.h"

#include "engine/Args.h"
#include "platform/Clipboard.h"
#include "platform/Dialogs.h"

#include <cstring>
#include <memory>

namespace api {
namespace {

// The clipboard belongs to the main frame: without one (batch mode) nothing is read or written.
bool hasMainFrame() { return platform::mainWindow() != nullptr; }

int enumClipboard(lua_State* L)
{
    if (!hasMainFrame())
        return 0;
    const std::optional<std::vector<std::string>> names = platform::clipboard::formatNames();
    if (!names)
        return 0;
    lua_createtable(L, static_cast<int>(names->size()), 0);
    int i = 0;
    for (const std::string& name : *names) {
        lua_pushlstring(L, name.data(), name.size());
        lua_rawseti(L, -2, ++i);
    }
    return 1;
}

int pushBlock(lua_State* L, const std::string& bytes)
{
    auto block = std::make_unique<GlobalHeapBlock>();
    if (!block->allocate(static_cast<std::uint32_t>(bytes.size())))
        return 0;
    {
        const BlockLock lock(*block);
        if (!lock.data() && !bytes.empty())
            return 0;
        if (!bytes.empty())
            std::memcpy(lock.data(), bytes.data(), bytes.size());
    }
    pushBuffer(L, std::move(block));
    return 1;
}

int getClipboardData(lua_State* L)
{
    if (!hasMainFrame())
        return 0;
    const std::string name = engine::args::checkText(L, 1);
    // The Surface object exists before its pixels, so nothing leaks when they cannot be made;
    // it is dropped again when the data is no picture.
    SurfaceObject* object = newSurfaceObject(L);  // [+1]
    std::unique_ptr<image::ScriptSurface> surface;
    const auto target = [&surface](std::int32_t width, std::int32_t height, std::ptrdiff_t& pitch) -> std::uint8_t* {
        surface = std::make_unique<image::ScriptSurface>();
        // Bottom-up, as a device-independent bitmap; beyond the surface cap create() refuses.
        if (!surface->create(width, height, 32))
            return nullptr;
        const gfx::NxPixelBuffer* pixels = surface->pixelView();
        pitch = pixels->pitch();
        return pixels->firstRow();
    };
    const platform::clipboard::Data data = platform::clipboard::read(name, target);
    if (data.kind != platform::clipboard::Kind::Image)
        lua_pop(L, 1);
    switch (data.kind) {
    case platform::clipboard::Kind::None: return 0;
    case platform::clipboard::Kind::Text: lua_pushlstring(L, data.bytes.data(), data.bytes.size()); return 1;
    case platform::clipboard::Kind::Bytes: return pushBlock(L, data.bytes);
    case platform::clipboard::Kind::Image:
        object->surface = surface.release();
        return 1;
    }
    return 0;
}

int setClipboardData(lua_State* L)
{
    if (!hasMainFrame() || lua_isnone(L, 1))
        return 0;
    // Anything but an open Surface with pixels changes nothing and is no error.
    SurfaceObject* object = testSurface(L, 1);
    if (!object || !object->surface || !object->surface->isValid())
        return 0;
    const gfx::NxPixelBuffer* pixels = object->surface->pixelView();
    if (!pixels || pixels->isEmpty())
        return 0;
    (void)platform::clipboard::writeImage(pixels->firstRow(), pixels->width(), pixels->height(), pixels->pitch(),
                                          pixels->bitsPerPixel());
    return 0;
}

}  // namespace

const engine::HostFunction kClipboardFunctions[3] = {
    SELVARIN_HOST("enumClipboard", enumClipboard),
    SELVARIN_HOST("getClipboardData", getClipboardData),
    SELVARIN_HOST("setClipboardData", setClipboardData),
};

}  // namespace api
