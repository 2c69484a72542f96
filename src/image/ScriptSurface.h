#pragma once

#include "gfx/NxSurface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The host object behind a script `Surface`: an owned NxSurface, and the link to the one view
// that shows its pixel memory.
namespace image {

// The type tag of surfaces ("DIBS"): the view accepts only images that carry it.
inline constexpr std::uint32_t kDibSurfaceTag = 0x44494253;

class ScriptSurface;

// Pixel memory a surface was lent by its owner (a Buffer holding the same bytes). Both must go
// on seeing their own bytes: before the surface's pixels are written while the owner still
// shares them, the owner is asked to take a copy of its own.
class LentPixels {
public:
    LentPixels() = default;
    LentPixels(const LentPixels&) = delete;
    LentPixels& operator=(const LentPixels&) = delete;
    virtual ~LentPixels() = default;
    virtual std::uint8_t* data() const = 0;
    // Whether the surface alone has the bytes now; false when the owner still shares them and
    // could not take its copy.
    virtual bool separate() = 0;
};

// What shows a surface's pixel memory (the "FrameBuffer" Buffer). Surface and view point at
// each other until either goes; whichever goes first cuts both links.
class SurfaceView {
public:
    SurfaceView(const SurfaceView&) = delete;
    SurfaceView& operator=(const SurfaceView&) = delete;

    // The surface shown, null once it went.
    ScriptSurface* surface() const { return m_surface; }

protected:
    // Becomes the view of `surface`, which must have none.
    explicit SurfaceView(ScriptSurface& surface);
    ~SurfaceView();
    // Cuts both links; nothing when they are cut already.
    void detach() noexcept;

private:
    friend class ScriptSurface;
    ScriptSurface* m_surface;
};

class ScriptSurface {
public:
    ScriptSurface() = default;
    ScriptSurface(const ScriptSurface&) = delete;
    ScriptSurface& operator=(const ScriptSurface&) = delete;
    ~ScriptSurface();

    std::uint32_t typeTag() const { return kDibSurfaceTag; }
    bool isValid() const { return m_surface != nullptr; }
    // The lowest address of the pixel memory, to be written; null without pixels.
    std::uint8_t* lockBits();
    void unlockBits() {}
    std::uint32_t sizeInBytes() const;
    std::int32_t width() const;
    std::int32_t height() const;  // always positive
    std::int32_t pitch() const;   // negative for bottom-up pixels
    int bitCount() const;
    bool create(std::int32_t width, std::int32_t height, int bitCount);
    void releasePixels();
    // Cuts the link to the current view, which then reports itself invalid.
    void detachView();
    const gfx::NxPixelBuffer* pixelView() const;
    bool createFromDib(const gfx::NxBitmapInfoHeader* header, const void* bits, int bitCount);
    // Takes `surface` (made by createFromDib elsewhere) as its own; false for none.
    bool adopt(std::unique_ptr<gfx::NxSurface> surface);
    // A 32-bit surface whose pixels are `pixels`, already in the surface's layout.
    bool createOver(std::int32_t width, std::int32_t height, std::shared_ptr<LentPixels> pixels);
    // The surface, for any use that may write to it; null without pixels, or when its lent
    // pixels could not be made its own.
    gfx::NxSurface* surface();

    // The view currently linked, null when there is none.
    SurfaceView* view() const { return m_view; }

private:
    friend class SurfaceView;
    // Whether the pixels are the surface's own, separating lent ones first.
    bool ownPixels();

    SurfaceView* m_view = nullptr;
    std::unique_ptr<gfx::NxSurface> m_surface;
    std::shared_ptr<LentPixels> m_lent;  // while the pixels may still be shared
};

// Whether a DIB pair's blocks hold everything the converter will read: the header with its
// colour table or masks, and every row. Offsets that would make the colour table unaligned
// are refused with the rest.
bool dibFits(const std::uint8_t* header, std::size_t headerBytes, std::size_t bitsBytes);
// Whether the bits of a fitting DIB are byte for byte what its 32-bit surface would hold (the
// conversion of 32-bit pixels without masks keeps every byte).
bool keepsItsBits(const gfx::NxBitmapInfoHeader& h);
// The 32-bit surface createFromDib makes of a fitting DIB; null when it cannot be made. Safe on
// any thread.
std::unique_ptr<gfx::NxSurface> convertedDib(const std::uint8_t* header, const std::uint8_t* bits);

// Told just before a surface's pixels are freed, so that whatever shows them (the view) lets go
// of them first. One hook for the program; an empty function removes it.
using SurfaceReleaseHook = std::function<void(const gfx::NxSurface&)>;
void setSurfaceReleaseHook(SurfaceReleaseHook hook);

}  // namespace image
