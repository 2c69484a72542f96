#pragma once

#include "MemoryBlock.h"

#include "engine/Host.h"
#include "engine/Lua.h"
#include "gfx/NxSurface.h"

#include <cstdint>
#include <functional>
#include <memory>

// The script class `Surface`: a 32-bit NxSurface behind a script object, and the "FrameBuffer"
// Buffer kind that shows its pixels.
namespace api {

inline constexpr const char* kSurfaceClass = "Surface";
// The type tag of surfaces ("DIBS"): the view accepts only images that carry it.
inline constexpr std::uint32_t kDibSurfaceTag = 0x44494253;

// What the view and the plug-in bridge see of a script image.
class ScriptImage {
public:
    virtual ~ScriptImage() = default;
    virtual std::uint32_t typeTag() const = 0;
    virtual bool isValid() const = 0;
    // The one "FrameBuffer" view, made on first use; null without pixels.
    virtual MemoryBlock* frameBuffer() = 0;
    // The lowest address of the pixel memory; null without pixels.
    virtual std::uint8_t* lockBits() = 0;
    virtual void unlockBits() = 0;
    virtual std::uint32_t sizeInBytes() const = 0;
    virtual std::int32_t width() const = 0;
    virtual std::int32_t height() const = 0;  // always positive
    virtual std::int32_t pitch() const = 0;   // negative for bottom-up pixels
    virtual int bitCount() const = 0;
    virtual bool create(std::int32_t width, std::int32_t height, int bitCount) = 0;
    virtual void releasePixels() = 0;
    // Cuts the link to the current view, which then reports itself invalid.
    virtual void detachView() = 0;
    virtual const gfx::NxPixelBuffer* pixelView() const = 0;
    virtual bool createFromDib(const gfx::NxBitmapInfoHeader* header, const void* bits, int bitCount) = 0;
    virtual gfx::NxSurface* surface() const = 0;
};

class FrameBufferBlock;

class ScriptSurface final : public ScriptImage {
public:
    ScriptSurface() = default;
    ScriptSurface(const ScriptSurface&) = delete;
    ScriptSurface& operator=(const ScriptSurface&) = delete;
    ~ScriptSurface() override;

    std::uint32_t typeTag() const override { return kDibSurfaceTag; }
    bool isValid() const override { return m_surface != nullptr; }
    MemoryBlock* frameBuffer() override;
    std::uint8_t* lockBits() override;
    void unlockBits() override {}
    std::uint32_t sizeInBytes() const override;
    std::int32_t width() const override;
    std::int32_t height() const override;
    std::int32_t pitch() const override;
    int bitCount() const override;
    bool create(std::int32_t width, std::int32_t height, int bitCount) override;
    void releasePixels() override;
    void detachView() override;
    const gfx::NxPixelBuffer* pixelView() const override;
    bool createFromDib(const gfx::NxBitmapInfoHeader* header, const void* bits, int bitCount) override;
    gfx::NxSurface* surface() const override { return m_surface.get(); }

    // The view currently linked, without making one.
    FrameBufferBlock* cachedView() const { return m_view; }

private:
    FrameBufferBlock* m_view = nullptr;
    std::unique_ptr<gfx::NxSurface> m_surface;
};

// Kind "FrameBuffer": a window onto a surface's pixel memory. Surface and view point at each other
// until either goes; whichever goes first cuts both links.
class FrameBufferBlock final : public MemoryBlock {
public:
    explicit FrameBufferBlock(ScriptSurface& surface) : m_surface(&surface) {}
    ~FrameBufferBlock() override;
    const char* kindName() const override { return "FrameBuffer"; }
    bool isValid() const override { return m_surface != nullptr; }
    std::uint32_t size() const override { return m_surface ? m_surface->sizeInBytes() : 0; }
    std::uint8_t* lock() override { return m_surface ? m_surface->lockBits() : nullptr; }
    void unlock() override
    {
        if (m_surface)
            m_surface->unlockBits();
    }
    void free() override;
    bool resize(std::uint32_t) override { return false; }
    bool loadFromFile(std::string_view, std::uint32_t) override { return false; }

    ScriptSurface* surface() const { return m_surface; }

private:
    friend class ScriptSurface;
    ScriptSurface* m_surface;
};

// Told just before a surface's pixels are freed, so that whatever shows them (the view) lets go
// of them first. One hook for the program; an empty function removes it.
using SurfaceReleaseHook = std::function<void(const gfx::NxSurface&)>;
void setSurfaceReleaseHook(SurfaceReleaseHook hook);

// The content of a Surface userdata: its host object, null once released.
struct SurfaceObject {
    ScriptSurface* surface;
};

// The Surface at `narg`, or null when the value is not one (no error raised).
SurfaceObject* testSurface(lua_State* L, int narg);
// The Surface at `narg`: a wrong value is an argument error, a released Surface a script error.
ScriptSurface& checkSurface(lua_State* L, int narg);

// Registers the metatable "Surface" with its methods.
void installSurfaceClass(lua_State* L);

// createSurface, the Surface constructor of `app`.
extern const engine::HostFunction kSurfaceFunctions[1];

}  // namespace api
