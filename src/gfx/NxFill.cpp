#include "gfx/NxFill.h"

#include "gfx/NxBlit.h"
#include "gfx/NxBlitEngine.h"
#include "gfx/NxClip.h"
#include "gfx/NxSurface.h"
#include "gfx/NxTables.h"
#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace gfx {

namespace {

using kernels::load32;
using kernels::store32;

bool is32(const NxSurface& s) { return s.isCreated() && s.bitsPerPixel() == 32; }

std::int32_t saturate(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

// The per-pixel target colour (0x00RRGGBB) of an effect.
using Target = std::uint32_t (*)(std::uint32_t pixel, const NxBlitParams& p);

std::uint32_t channel(std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xFFu; }

std::uint32_t grayTarget(std::uint32_t s, const NxBlitParams&)
{
    return grayOf(channel(s, 0), channel(s, 8), channel(s, 16)) * 0x010101u;
}

std::uint32_t invertTarget(std::uint32_t s, const NxBlitParams&) { return ~s & 0x00FFFFFFu; }

// offset + ((scale * c) >> 7), clamped to 0..255. The clamp is computed, not looked up: scales
// up to 65535 and offsets of the full 16-bit range reach far outside the start-up clamp table.
std::uint32_t level(std::uint32_t c, std::uint32_t scale, std::int32_t offset)
{
    const std::int64_t v = offset + ((std::int64_t{scale} * c) >> 7);
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, 255));
}

std::uint32_t levelsTarget(std::uint32_t s, const NxBlitParams& p)
{
    const std::uint32_t word2 = p.colour;
    const std::uint32_t word3 = p.softness;
    const auto word4 = static_cast<std::uint32_t>(p.maskOffsetX);
    const auto word5 = static_cast<std::uint32_t>(p.maskOffsetY);
    const std::uint32_t b = level(channel(s, 0), word2 & 0xFFFFu, static_cast<std::int16_t>(word4 & 0xFFFFu));
    const std::uint32_t g = level(channel(s, 8), word2 >> 16, static_cast<std::int16_t>(word4 >> 16));
    const std::uint32_t r = level(channel(s, 16), word3 & 0xFFFFu, static_cast<std::int16_t>(word5 & 0xFFFFu));
    return r << 16 | g << 8 | b;
}

std::int32_t clamp255(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, 255)); }

std::uint32_t hlsTarget(std::uint32_t s, const NxBlitParams& p)
{
    NxHls hls = toHls(channel(s, 16), channel(s, 8), channel(s, 0));
    // Any hue argument is taken modulo 360 (a negative one counts +360), so the sum below stays
    // within one turn.
    const std::int32_t hue = ((static_cast<std::int32_t>(p.colour) % 360) + 360) % 360;
    if (p.maskOffsetY != 0) {
        hls.hue = hue;
    } else {
        hls.hue += hue;
        if (hls.hue > 359)
            hls.hue -= 360;
    }
    hls.lightness = clamp255(std::int64_t{hls.lightness} + p.maskOffsetX);
    hls.saturation = clamp255(std::int64_t{hls.saturation} + static_cast<std::int32_t>(p.softness));
    return fromHls(hls);
}

int runEffect(Target target, NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is32(dst) || !is32(src))
        return 0;
    const std::uint32_t a = (p.flags & effect::kOpacityGiven) ? p.writeMask : 255;
    const bool equal = std::abs(std::int64_t{sr.right} - sr.left) == std::int64_t{dr.right} - dr.left &&
                       std::abs(std::int64_t{sr.bottom} - sr.top) == std::int64_t{dr.bottom} - dr.top;
    if (a > 255 || !equal)
        return 0;
    if (a == 0)
        return 1;
    NxClippedPair pair;
    if (!clipUnscaled(dr, sr, src.width(), src.height(), dst.clipRect(), dst.originX(), dst.originY(), pair))
        return 1;
    const std::uint32_t w = tables().w[a][0];
    const int step = pair.mirrored ? -1 : 1;
    for (std::int32_t y = 0; y < pair.dst.height(); ++y) {
        const std::int32_t sy = pair.flipped ? pair.src.bottom - 1 - y : pair.src.top + y;
        const std::uint8_t* srcRow = src.pixels().row(sy) + 4 * static_cast<std::ptrdiff_t>(pair.mirrored ? pair.src.right - 1 : pair.src.left);
        std::uint8_t* dstRow = dst.pixels().row(pair.dst.top + y) + 4 * static_cast<std::ptrdiff_t>(pair.dst.left);
        for (std::int32_t x = 0; x < pair.dst.width(); ++x) {
            // Read before write: the same pixel when an effect works in place.
            const std::uint32_t s = load32(srcRow + 4 * static_cast<std::ptrdiff_t>(x) * step);
            store32(dstRow + 4 * static_cast<std::ptrdiff_t>(x), kernels::blendNormal(s, target(s, p), w));
        }
    }
    return 1;
}

} // namespace

NxHls toHls(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    const auto r = static_cast<std::int32_t>(red);
    const auto g = static_cast<std::int32_t>(green);
    const auto b = static_cast<std::int32_t>(blue);
    const std::int32_t max = std::max({r, g, b});
    const std::int32_t min = std::min({r, g, b});
    NxHls out;
    out.lightness = (max + min) >> 1;
    if (max == min)
        return out;
    const std::int32_t d = max - min;
    const std::int32_t n = out.lightness >= 128 ? 511 - (max + min) : max + min;
    out.saturation = d * 255 / n;
    std::int32_t h;
    if (r == max)
        h = 360 + (g - b) * 60 / d;
    else if (g == max)
        h = 480 + (b - r) * 60 / d;
    else
        h = 600 + (r - g) * 60 / d;
    out.hue = h < 360 ? h : h - 360;
    return out;
}

std::uint32_t fromHls(const NxHls& hls)
{
    const std::int64_t l = hls.lightness;
    const std::int64_t s = hls.saturation;
    const std::int64_t m2 = l < 128 ? (l * (s + 255) * 32897) >> 23 : l + s - (l * s + 127) / 255;
    const std::int64_t m1 = 2 * l - m2;
    const std::int64_t d = m2 - m1;
    const auto value = [&](std::int64_t h) -> std::uint32_t {
        std::int64_t v;
        if (h < 60)
            v = m1 + ((h * d * 34953) >> 21);
        else if (h < 180)
            v = m2;
        else if (h < 240)
            v = m1 + ((d * (240 - h) * 34953) >> 21);
        else
            v = m1;
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, 255));
    };
    const std::int64_t h = hls.hue;
    const std::uint32_t r = value(h < 240 ? h + 120 : h - 240);
    const std::uint32_t g = value(h);
    const std::uint32_t b = value(h < 120 ? h + 240 : h - 120);
    return r << 16 | g << 8 | b;
}

void fillPixels(const NxPixelBuffer& pixels, const NxRect& rect, std::uint32_t colour)
{
    if (rect.isEmpty())
        return;
    kernels::KernelArgs a;
    a.dst = pixels.row(rect.top) + std::ptrdiff_t{rect.left} * 4;
    a.dstPitch = pixels.pitch();
    a.width = rect.width();
    a.height = rect.height();
    a.colour = colour;
    // The generic scalar row always exists.
    kernels::resolveForCall(kernels::Op::SolidFill, kernels::SourceKind::Colour, true, true)(a);
}

void fillAround(const NxPixelBuffer& pixels, const NxRect& outer, const NxRect& inner, std::uint32_t colour)
{
    fillPixels(pixels, {outer.left, outer.top, outer.right, inner.top}, colour);
    fillPixels(pixels, {outer.left, inner.top, inner.left, inner.bottom}, colour);
    fillPixels(pixels, {inner.right, inner.top, outer.right, inner.bottom}, colour);
    fillPixels(pixels, {outer.left, inner.bottom, outer.right, outer.bottom}, colour);
}

int solidFill(NxSurface& dst, const NxRect& dstRect, NxSurface&, const NxRect&, const NxBlitParams& params)
{
    if (!dst.isCreated())
        return 0;
    const NxRect& c = dst.clipRect();
    const std::int64_t left = std::max<std::int64_t>(std::int64_t{dstRect.left} + dst.originX(), c.left);
    const std::int64_t top = std::max<std::int64_t>(std::int64_t{dstRect.top} + dst.originY(), c.top);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{dstRect.right} + dst.originX(), c.right);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{dstRect.bottom} + dst.originY(), c.bottom);
    if (left >= right || top >= bottom)
        return 1;
    const bool gray = dst.bitsPerPixel() == 8;
    if (dst.holdsFills()) {
        dst.holdFill({static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
                      static_cast<std::int32_t>(bottom)},
                     params.colour);
        return 1;
    }
    kernels::KernelArgs a;
    a.dst = dst.pixels().row(static_cast<std::int32_t>(top)) + left * (gray ? 1 : 4);
    a.dstPitch = dst.pixels().pitch();
    a.width = static_cast<int>(right - left);
    a.height = static_cast<int>(bottom - top);
    a.colour = params.colour;
    const kernels::Kernel kernel = kernels::resolveForCall(
        kernels::Op::SolidFill, gray ? kernels::SourceKind::Gray8To8 : kernels::SourceKind::Colour, true, true);
    if (kernel == nullptr)
        return 0;
    kernel(a);
    return 1;
}

int fillEffect0(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return runEffect(grayTarget, dst, dr, src, sr, p);
}

int fillEffect1(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return runEffect(hlsTarget, dst, dr, src, sr, p);
}

int fillEffect2(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return runEffect(levelsTarget, dst, dr, src, sr, p);
}

int fillEffect3(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return runEffect(invertTarget, dst, dr, src, sr, p);
}

NxBlitParams effectWords(const NxEffectParams& params)
{
    NxBlitParams p;
    p.flags = params.control;
    p.writeMask = params.opacity;
    p.colour = static_cast<std::uint32_t>(params.arg[0]);
    p.softness = static_cast<std::uint32_t>(params.arg[1]);
    p.maskOffsetX = params.arg[2];
    p.maskOffsetY = params.arg[3];
    return p;
}

int applyEffect(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect,
                const NxEffectParams& params)
{
    if (!dst.isCreated())
        return 0;
    const NxRect d = dstRect ? *dstRect : NxRect{0, 0, dst.width(), dst.height()};
    const NxBlitParams p = effectWords(params);
    const auto slot = static_cast<NxSlot>(static_cast<int>(NxSlot::Effect0) + static_cast<int>(params.control & 3));
    if (src == nullptr) {
        // The destination's own pixels under the rectangle, origin applied.
        const NxRect s{saturate(std::int64_t{d.left} + dst.originX()), saturate(std::int64_t{d.top} + dst.originY()),
                       saturate(std::int64_t{d.right} + dst.originX()),
                       saturate(std::int64_t{d.bottom} + dst.originY())};
        return dst.engine().run(slot, dst, d, dst, s, p);
    }
    const NxRect s = srcRect ? *srcRect : NxRect{0, 0, src->width(), src->height()};
    return dst.engine().run(slot, dst, d, *src, s, p);
}

} // namespace gfx
