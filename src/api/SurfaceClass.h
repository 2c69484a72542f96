#pragma once

#include "MemoryBlock.h"

#include "engine/Host.h"
#include "engine/Lua.h"
#include "image/ScriptSurface.h"

#include <cstdint>

// The script class `Surface` over the host object image::ScriptSurface, and the "FrameBuffer"
// Buffer kind that shows its pixels.
namespace api {

inline constexpr const char* kSurfaceClass = "Surface";

// Kind "FrameBuffer": a window onto a surface's pixel memory, invalid once the surface went.
class FrameBufferBlock final : public MemoryBlock, public image::SurfaceView {
public:
    explicit FrameBufferBlock(image::ScriptSurface& surface) : SurfaceView(surface) {}
    const char* kindName() const override { return "FrameBuffer"; }
    bool isValid() const override { return surface() != nullptr; }
    std::uint32_t size() const override { return surface() ? surface()->sizeInBytes() : 0; }
    std::uint8_t* lock() override { return surface() ? surface()->lockBits() : nullptr; }
    void unlock() override
    {
        if (surface())
            surface()->unlockBits();
    }
    void free() override { detach(); }
    bool resize(std::uint32_t) override { return false; }
    bool loadFromFile(std::string_view, std::uint32_t) override { return false; }
};

// The one "FrameBuffer" view of `surface`, made on first use; null without pixels.
FrameBufferBlock* frameBuffer(image::ScriptSurface& surface);
// The view currently linked, without making one.
FrameBufferBlock* cachedFrameBuffer(const image::ScriptSurface& surface);

// The content of a Surface userdata: its host object, null once released.
struct SurfaceObject {
    image::ScriptSurface* surface;
};

// [-0, +1] A new, still empty Surface object; the caller then stores a host object in it.
SurfaceObject* newSurfaceObject(lua_State* L);

// The Surface at `narg`, or null when the value is not one (no error raised).
SurfaceObject* testSurface(lua_State* L, int narg);
// The Surface at `narg`: a wrong value is an argument error, a released Surface a script error.
image::ScriptSurface& checkSurface(lua_State* L, int narg);

// Registers the metatable "Surface" with its methods.
void installSurfaceClass(lua_State* L);

// createSurface, the Surface constructor of `app`.
extern const engine::HostFunction kSurfaceFunctions[1];

}  // namespace api
