#pragma once

#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxSurface.h"
#include "gfx/NxTypes.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace gfx::test {

inline std::unique_ptr<NxSurface> makeSurface(int bpp, std::int32_t w, std::int32_t h)
{
    auto s = std::make_unique<NxSurface>(bpp);
    if (!s->create(w, h))
        return nullptr;
    return s;
}

inline std::uint32_t pixel(const NxSurface& s, std::int32_t x, std::int32_t y)
{
    if (s.bitsPerPixel() == 8)
        return s.pixels().row(y)[x];
    std::uint32_t v;
    std::memcpy(&v, s.pixels().row(y) + 4 * x, 4);
    return v;
}

inline void setPixel(NxSurface& s, std::int32_t x, std::int32_t y, std::uint32_t v)
{
    if (s.bitsPerPixel() == 8) {
        s.pixels().row(y)[x] = static_cast<std::uint8_t>(v);
        return;
    }
    std::memcpy(s.pixels().row(y) + 4 * x, &v, 4);
}

inline void fill(NxSurface& s, std::uint32_t v)
{
    for (std::int32_t y = 0; y < s.height(); ++y)
        for (std::int32_t x = 0; x < s.width(); ++x)
            setPixel(s, x, y, v);
}

inline void randomise(NxSurface& s, std::mt19937& rng)
{
    for (std::int32_t y = 0; y < s.height(); ++y)
        for (std::int32_t x = 0; x < s.width(); ++x)
            setPixel(s, x, y, static_cast<std::uint32_t>(rng()));
}

// All pixels, top row first.
inline std::vector<std::uint32_t> snapshot(const NxSurface& s)
{
    std::vector<std::uint32_t> out;
    for (std::int32_t y = 0; y < s.height(); ++y)
        for (std::int32_t x = 0; x < s.width(); ++x)
            out.push_back(pixel(s, x, y));
    return out;
}

// A memory block holding a header, its colour table or masks, and the pixels right after.
struct Dib {
    std::vector<std::uint8_t> block;

    NxBitmapInfoHeader* header() { return reinterpret_cast<NxBitmapInfoHeader*>(block.data()); }
};

inline Dib makeDib(int bits, std::int32_t width, std::int32_t height, std::uint32_t compression = kBiRgb,
                   std::uint32_t clrUsed = 0, std::size_t tableWords = 0)
{
    const std::int64_t rowBytes = ((bits * std::int64_t{width} + 7) / 8 + 3) / 4 * 4;
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    Dib dib;
    dib.block.assign(40 + 4 * tableWords + static_cast<std::size_t>(rowBytes * rows), 0);
    NxBitmapInfoHeader h;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bits);
    h.biCompression = compression;
    h.biClrUsed = clrUsed;
    std::memcpy(dib.block.data(), &h, sizeof h);
    return dib;
}

// A node that draws its whole source picture into its rectangle.
class PictureNode : public NxImageNode {
public:
    using NxImageNode::NxImageNode;
    int draw(NxSurface& surface, const NxRect&) override
    {
        const NxRect whole{0, 0, source()->width(), source()->height()};
        blit(surface, &rect(), source(), &whole, &params());
        return 1;
    }
};

} // namespace gfx::test
