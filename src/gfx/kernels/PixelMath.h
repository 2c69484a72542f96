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
