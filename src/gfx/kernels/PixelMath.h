#pragma once

// Per-pixel formulas shared by every kernel level. They live in an anonymous namespace on
// purpose: each translation unit (scalar, SSE2, AVX2) gets its own copy compiled with its own
// flags, so the linker can never hand the scalar build a copy that uses AVX2 instructions.

#include "gfx/NxTables.h"
#include "gfx/kernels/Kernels.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace gfx::kernels {
namespace {

inline std::uint32_t load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The normal blend, red and blue packed in one word and green in another, destination alpha
// kept. Rounding rule: each channel becomes d + floor((s - d) * w / 256), w in 0..256. Vector
// code computes the same value as (d * (256 - w) + s * w) >> 8 in 16-bit lanes.
inline std::uint32_t blendNormal(std::uint32_t d, std::uint32_t s, std::uint32_t w)
{
    const std::uint32_t drb = d & 0x00FF00FFu;
    const std::uint32_t dg = d & 0x0000FF00u;
    const std::uint32_t rb = (drb + ((((s & 0x00FF00FFu) - drb) * w) >> 8)) & 0x00FF00FFu;
    const std::uint32_t g = (dg + ((((s & 0x0000FF00u) - dg) * w) >> 8)) & 0x0000FF00u;
    return (d & 0xFF000000u) | rb | g;
}

inline int towards(int d, int t, std::uint32_t w) { return d + (((t - d) * static_cast<int>(w)) >> 8); }

// Blend operators 0..6 per colour channel; the destination alpha byte is kept by all.
inline std::uint32_t blendPixel(std::uint32_t op, std::uint32_t d, std::uint32_t s, std::uint32_t w,
                                const NxTables& t)
{
    if (op == 0)
        return blendNormal(d, s, w);
    std::uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int dc = static_cast<int>((d >> shift) & 0xFF);
        const int sc = static_cast<int>((s >> shift) & 0xFF);
        const int add = (sc * static_cast<int>(w)) >> 8;
        int r = dc;
        switch (op) {
        case 1: r = t.clamp(dc + add); break;
        case 2: r = t.clamp(dc - add); break;
        case 3: r = towards(dc, t.mul[sc][dc], w); break;
        case 4: r = towards(dc, 255 - t.mul[255 - sc][255 - dc], w); break;
        case 5: r = towards(dc, std::max(sc, dc), w); break;
        case 6: r = towards(dc, std::min(sc, dc), w); break;
        default: break;
        }
        out |= static_cast<std::uint32_t>(r) << shift;
    }
    return out;
}

// Straight-alpha source-over onto a destination with its own alpha, at source opacity sa.
inline std::uint32_t compositePixel(std::uint32_t d, std::uint32_t s, std::uint32_t sa, const NxTables& t)
{
    const std::uint32_t da = d >> 24;
    const std::uint32_t out = blendNormal(d, s, t.w[t.srcw[da][sa]][0]);
    return (out & 0x00FFFFFFu) | static_cast<std::uint32_t>(t.aout[da][sa]) << 24;
}

inline std::uint32_t sourceAlphaWeight(std::uint32_t s, std::uint32_t a, const NxTables& t)
{
    return t.w[t.mul[a][s >> 24]][0];
}

// Linear interpolation of packed pixels, in unsigned 32-bit arithmetic on the (red, blue) and
// (alpha, green) pairs. Rounding rule: each channel becomes a + floor((b - a) * f / 256), f in
// 0..255; the borrow between the two channels of a pair cancels out, so vector code computes the
// channels separately in 16-bit lanes.
inline std::uint32_t lerpPacked(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    constexpr std::uint32_t m = 0x00FF00FFu;
    const std::uint32_t rb = ((a & m) + ((((b & m) - (a & m)) * f) >> 8)) & m;
    const std::uint32_t a8 = a >> 8;
    const std::uint32_t b8 = b >> 8;
    const std::uint32_t ag = ((a8 & m) + ((((b8 & m) - (a8 & m)) * f) >> 8)) & m;
    return ag << 8 | rb;
}

// Transparent-pixel colour fix, applied in this order: within each horizontal pair a pixel of
// alpha 0 takes the other's colour; a fully transparent upper pair takes the lower pair's
// colours, then a fully transparent lower pair the upper pair's. Alphas stay as they are.
inline void fixTransparent(std::uint32_t& p00, std::uint32_t& p10, std::uint32_t& p01, std::uint32_t& p11)
{
    constexpr std::uint32_t rgb = 0x00FFFFFFu;
    const auto pair = [](std::uint32_t& l, std::uint32_t& r) {
        const bool lz = (l >> 24) == 0;
        const bool rz = (r >> 24) == 0;
        if (lz && !rz)
            l = r & rgb;
        else if (rz && !lz)
            r = l & rgb;
    };
    pair(p00, p10);
    pair(p01, p11);
    if (((p00 | p10) >> 24) == 0) {
        p00 = p01 & rgb;
        p10 = p11 & rgb;
    }
    if (((p01 | p11) >> 24) == 0) {
        p01 = p00 & rgb;
        p11 = p10 & rgb;
    }
}

// The filtered sample at column x of rows row0 (upper) and row1 (lower).
inline std::uint32_t filtered32(const std::uint8_t* row0, const std::uint8_t* row1, std::int32_t x, std::uint32_t fx,
                                std::uint32_t fy, bool colourFix)
{
    const std::ptrdiff_t at = 4 * static_cast<std::ptrdiff_t>(x);
    std::uint32_t p00 = load32(row0 + at);
    std::uint32_t p10 = load32(row0 + at + 4);
    std::uint32_t p01 = load32(row1 + at);
    std::uint32_t p11 = load32(row1 + at + 4);
    if (colourFix)
        fixTransparent(p00, p10, p01, p11);
    return lerpPacked(lerpPacked(p00, p10, fx), lerpPacked(p01, p11, fx), fy);
}

// The source-alpha weight of a filtered sample: W, or W3 with the low-alpha cut.
inline std::uint32_t filteredAlphaWeight(std::uint32_t s, std::uint32_t a, bool lowAlphaCut, const NxTables& t)
{
    const std::uint32_t sa = t.mul[a][s >> 24];
    return lowAlphaCut ? t.w3[sa][0] : t.w[sa][0];
}

// Walks the destination rows of a scaled kernel: f(destination row, sampled source row, row
// weight). Filtered kernels read the next source row too.
template <typename F>
void forEachScaledRow(const KernelArgs& a, F f)
{
    std::uint8_t* dstRow = a.dst;
    for (int y = 0; y < a.height; ++y, dstRow += a.dstPitch) {
        const std::uint8_t* row = a.src + static_cast<std::ptrdiff_t>(a.rowIndex[y]) * a.srcPitch;
        f(dstRow, row, static_cast<std::uint32_t>(a.rowWeight[y]));
    }
}

// Pixels before the first 16-byte boundary of a row, for the scalar head of vector loops.
inline int headPixels(const std::uint8_t* dst, int n, int alignment)
{
    const auto addr = reinterpret_cast<std::uintptr_t>(dst);
    if (addr % 4 != 0)
        return 0;
    const int head = static_cast<int>(((alignment - addr % alignment) % alignment) / 4);
    return std::min(head, n);
}

} // namespace
} // namespace gfx::kernels
