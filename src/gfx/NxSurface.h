#pragma once

#include "gfx/NxPixelBuffer.h"
#include "gfx/NxTypes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace gfx {

class NxBlitEngine;
class NxSurface;

// Largest pixel block a surface allocates; beyond it create() fails like a refused allocation.
// Decoders refuse pictures beyond it before they allocate anything.
inline constexpr std::int64_t kMaxSurfaceBytes = std::int64_t{1} << 31;

// The drawing handle of a surface: everything a presenter (the Qt binding, a test) needs to show
// or read the surface's pixels. Valid between acquireDC() and the matching last releaseDC().
struct NxDrawContext {
    const NxSurface* surface = nullptr;
    std::uint8_t* firstRow = nullptr;  // row 0 (top)
    std::int32_t pitch = 0;            // bytes from a row to the one below; negative for bottom-up
    std::uint8_t* bits = nullptr;      // the block as stored (lowest address)
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitsPerPixel = 0;              // 32: B, G, R, A; 8: gray index
    const std::uint32_t* colourTable = nullptr;  // 256 gray entries for 8 bpp, else null
};

// A pixel container of 32 bits per pixel (B, G, R, A) or 8-bit gray, with a clip rectangle and a
// drawing origin applied to every destination rectangle.
class NxSurface {
public:
    // 8 selects gray, 32 true colour; any other value makes create() fail.
    explicit NxSurface(int bitsPerPixel);
    NxSurface(const NxSurface&) = delete;
    NxSurface& operator=(const NxSurface&) = delete;
    virtual ~NxSurface();

    // Allocates zero-filled pixels; a positive height is bottom-up, a negative one top-down.
    // Once per surface: a second call fails.
    [[nodiscard]] virtual bool create(std::int32_t width, std::int32_t height);
    // create() with the bitmap's size, then its pixels converted in.
    [[nodiscard]] bool createFromDib(const NxBitmapInfoHeader* header, const void* bits);
    // create() over pixels the caller already has in this surface's own layout (rows of the
    // surface's row length, bottom-up for a positive height) instead of allocating; `keep`
    // holds that memory for as long as the surface uses it.
    [[nodiscard]] bool createOver(std::int32_t width, std::int32_t height, std::uint8_t* bits, std::shared_ptr<void> keep);

    // A 32 bpp surface drawing into rows someone else holds: row 0 at firstRow, the next one
    // pitch bytes on (negative: upward in memory), at least a row's length apart. Unlike create
    // it may be called again to move the view; the caller keeps the rows alive while the surface
    // draws. Fails on a surface with pixels of its own or a drawing handle out.
    [[nodiscard]] bool viewRows(std::int32_t width, std::int32_t height, std::uint8_t* firstRow, std::int32_t pitch);

    bool isCreated() const { return m_pixelBlock != nullptr || m_keptBlock != nullptr || m_viewsRows; }
    std::int32_t width() const { return m_pixels.width(); }
    std::int32_t height() const { return m_pixels.height(); }
    int bitsPerPixel() const { return m_pixels.bitsPerPixel(); }
    // The format asked for at construction (bitsPerPixel() is 0 until create succeeds).
    int requestedBitsPerPixel() const { return m_requestedBits; }

    // Both write a held fill first (see holdFill), so no caller sees its pixels missing.
    const NxPixelBuffer& pixels() const
    {
        if (m_held.active)
            writeHeldFill();
        return m_pixels;
    }
    // The writable pixels: from here on the surface is no longer known to be opaque.
    NxPixelBuffer& pixels()
    {
        if (m_held.active)
            writeHeldFill();
        if (m_knownOpaque)
            m_knownOpaque = false;
        return m_pixels;
    }

    // A solid fill not yet written: rect in surface pixels, inside the surface.
    struct HeldFill {
        NxRect rect;
        std::uint32_t colour = 0;
        bool active = false;
    };
    // While fills are held (the window's band rendering), a solid fill of a 32 bpp surface is
    // only recorded: a picture drawn over it next can then write its part of the fill in the
    // same pass as itself (blending over the colour, or copying over it). Turning holding off
    // writes what is held.
    void setHoldFills(bool hold);
    bool holdsFills() const { return m_holdFills && bitsPerPixel() == 32; }
    // Records a fill while fills are held; a fill it does not cover is written first.
    void holdFill(const NxRect& rect, std::uint32_t colour);
    const HeldFill& heldFill() const { return m_held; }
    // The held fill, no longer held, when rect lies inside it and source is another surface (a
    // surface drawn onto itself reads the fill): the caller writes it. Otherwise none.
    HeldFill takeHeldFillUnder(const NxRect& rect, const NxSurface& source);

    // True while every pixel is known to have alpha 255: the pixels were converted from a bitmap
    // without alpha and nothing has had a way to write them since (the writable pixels, a drawing
    // handle, a copy in). Drawing such a surface with source alpha is a plain copy.
    bool isKnownOpaque() const { return m_knownOpaque && bitsPerPixel() == 32; }
    const NxBlitEngine& engine() const { return *m_engine; }

    // The rectangle clamped to the surface; none means the whole surface.
    void setClipRect(const NxRect* rect)
    {
        const std::int32_t w = width();
        const std::int32_t h = height();
        // Each edge is kept within the surface, so a clip never reaches outside the pixels.
        m_clip = rect == nullptr ? NxRect{0, 0, w, h}
                                 : NxRect{std::clamp(rect->left, 0, w), std::clamp(rect->top, 0, h),
                                          std::clamp(rect->right, 0, w), std::clamp(rect->bottom, 0, h)};
    }
    const NxRect& clipRect() const { return m_clip; }
    void setOrigin(std::int32_t x, std::int32_t y)
    {
        m_originX = x;
        m_originY = y;
    }
    std::int32_t originX() const { return m_originX; }
    std::int32_t originY() const { return m_originY; }

    // Copies a foreign bitmap to (x, y) with format conversion. True without copying when the
    // pair, moved by the origin and cut by the clip, is empty.
    [[nodiscard]] bool copyPixels(std::int32_t x, std::int32_t y, const NxPixelBuffer& source,
                                  const NxRect* sourceRect = nullptr);

    // Reference-counted drawing handle; null when the surface has no pixels. Every non-null
    // result is matched by one releaseDC().
    NxDrawContext* acquireDC();
    void releaseDC();
    int dcRefCount() const { return m_dcRefCount; }

private:
    // create() with or without zero-filled pixels (a full conversion overwrites every one).
    bool allocate(std::int32_t width, std::int32_t height, bool zeroFill);
    // The checks and the header of create(); the row block's size in `bytes`.
    std::unique_ptr<std::byte[]> makeHeader(std::int32_t width, std::int32_t height, std::int64_t& bytes) const;
    bool attachPixels(std::unique_ptr<std::byte[]> header, std::uint8_t* bits);
    void writeHeldFill() const;

    NxPixelBuffer m_pixels;
    int m_requestedBits;
    std::unique_ptr<std::byte[]> m_header;
    std::unique_ptr<std::uint8_t[]> m_pixelBlock;
    std::shared_ptr<void> m_keptBlock;  // pixels given by createOver
    const NxBlitEngine* m_engine;
    std::unique_ptr<NxDrawContext> m_drawContext;
    int m_dcRefCount = 0;
    std::int32_t m_originX = 0;
    std::int32_t m_originY = 0;
    NxRect m_clip;
    bool m_knownOpaque = false;
    bool m_viewsRows = false;
    bool m_holdFills = false;
    // Written on the first look at the pixels, also through the constant accessor.
    mutable HeldFill m_held;
};

} // namespace gfx
