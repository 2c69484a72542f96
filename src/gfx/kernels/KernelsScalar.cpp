// The reference kernels: plain C++, every operation, every walking direction. The vector
// kernels must match these byte for byte.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <cstring>

namespace gfx::kernels::scalar {

namespace {

// Calls f(destination pixel address, source pixel address) over the rectangle, walking the
// source by srcStep pixels of Bytes bytes.
template <int DstBytes, int SrcBytes, typename F>
void forEach(const KernelArgs& a, F f)
{
    std::uint8_t* dstRow = a.dst;
    const std::uint8_t* srcRow = a.src;
    for (int y = 0; y < a.height; ++y) {
        std::uint8_t* d = dstRow;
        const std::uint8_t* s = srcRow;
        for (int x = 0; x < a.width; ++x) {
            f(d, s);
            d += DstBytes;
            s += static_cast<std::ptrdiff_t>(a.srcStep) * SrcBytes;
        }
        dstRow += a.dstPitch;
        srcRow += a.srcPitch;
    }
}

template <typename F>
void forEachDst32(const KernelArgs& a, F f)
{
    std::uint8_t* row = a.dst;
    for (int y = 0; y < a.height; ++y, row += a.dstPitch)
        for (int x = 0; x < a.width; ++x)
            f(row + 4 * x);
}

} // namespace

void copy32(const KernelArgs& a)
{
    forEach<4, 4>(a, [](std::uint8_t* d, const std::uint8_t* s) { std::memcpy(d, s, 4); });
}

void copy32Forward(const KernelArgs& a)
{
    // One block move per row; memmove keeps copies within one surface well defined.
    std::uint8_t* d = a.dst;
    const std::uint8_t* s = a.src;
    for (int y = 0; y < a.height; ++y, d += a.dstPitch, s += a.srcPitch)
        std::memmove(d, s, 4 * static_cast<std::size_t>(a.width));
}

void copyPalette8(const KernelArgs& a)
{
    forEach<4, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) { store32(d, a.palette[*s]); });
}

void copyGray8(const KernelArgs& a)
{
    forEach<1, 1>(a, [](std::uint8_t* d, const std::uint8_t* s) { *d = *s; });
}

void blend32(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.opacity][0];
    forEach<4, 4>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, blendPixel(a.blendOp, load32(d), load32(s), w, t));
    });
}

void blendPalette8(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.opacity][0];
    forEach<4, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, blendPixel(a.blendOp, load32(d), a.palette[*s], w, t));
    });
}

void blendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEach<4, 4>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        const std::uint32_t sp = load32(s);
        store32(d, blendPixel(a.blendOp, a.overColour ? a.colour : load32(d), sp, sourceAlphaWeight(sp, a.opacity, t), t));
    });
}

void fillColour(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.colour >> 24][0];
    forEachDst32(a, [&](std::uint8_t* d) { store32(d, blendPixel(a.blendOp, load32(d), a.colour, w, t)); });
}

void composite32(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEach<4, 4>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, compositePixel(load32(d), load32(s), a.opacity, t));
    });
}

void compositeColour(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEachDst32(a, [&](std::uint8_t* d) { store32(d, compositePixel(load32(d), a.colour, a.opacity, t)); });
}

void compositeSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEach<4, 4>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        const std::uint32_t sp = load32(s);
        store32(d, compositePixel(load32(d), sp, t.mul[a.opacity][sp >> 24], t));
    });
}

void coverageColour(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const auto& scale = t.mul[a.colour >> 24];
    forEach<4, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, blendPixel(a.blendOp, load32(d), a.colour, t.w[scale[*s]][0], t));
    });
}

void coverageComposite(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const auto& scale = t.mul[a.colour >> 24];
    forEach<4, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, compositePixel(load32(d), a.colour, scale[*s], t));
    });
}

void writeMaskCopy32(const KernelArgs& a)
{
    const std::uint32_t m = a.writeMask;
    forEach<4, 4>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, (load32(s) & m) | (load32(d) & ~m));
    });
}

void writeMaskCopyByte8(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t m = a.writeMask;
    forEach<4, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        store32(d, (t.gray32[*s] & m) | (load32(d) & ~m));
    });
}

void writeMaskCopyGray8(const KernelArgs& a)
{
    // Gray pixels take the mask's low byte.
    const auto m = static_cast<std::uint8_t>(a.writeMask);
    forEach<1, 1>(a, [&](std::uint8_t* d, const std::uint8_t* s) {
        *d = static_cast<std::uint8_t>((*s & m) | (*d & ~m));
    });
}

void writeMaskFill(const KernelArgs& a)
{
    const std::uint32_t m = a.writeMask;
    const std::uint32_t c = a.colour & m;
    forEachDst32(a, [&](std::uint8_t* d) { store32(d, c | (load32(d) & ~m)); });
}

void ruleTransition(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    std::uint8_t* dstRow = a.dst;
    const std::uint8_t* srcRow = a.src;
    const std::uint8_t* ruleRow = a.rule;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const std::ptrdiff_t step = static_cast<std::ptrdiff_t>(x) * a.srcStep;
            const std::uint32_t s = load32(srcRow + 4 * step);
            const std::uint32_t v = ruleRow ? ruleRow[step] : s >> 24;
            std::uint32_t opacity = a.ramp[v];
            if (a.ruleTimesSourceAlpha)
                opacity = t.mul[opacity][s >> 24];
            std::uint8_t* d = dstRow + 4 * x;
            store32(d, blendNormal(load32(d), s, t.w[opacity][0]));
        }
        dstRow += a.dstPitch;
        srcRow += a.srcPitch;
        if (ruleRow)
            ruleRow += a.rulePitch;
    }
}

} // namespace gfx::kernels::scalar

namespace gfx::kernels::scalar {

void solidFill32(const KernelArgs& a)
{
    // Word stores of the colour as given, alpha byte included.
    std::uint8_t* row = a.dst;
    for (int y = 0; y < a.height; ++y, row += a.dstPitch)
        for (int x = 0; x < a.width; ++x)
            store32(row + 4 * x, a.colour);
}

void solidFill8(const KernelArgs& a)
{
    std::uint8_t* row = a.dst;
    for (int y = 0; y < a.height; ++y, row += a.dstPitch)
        std::memset(row, static_cast<std::uint8_t>(a.colour), static_cast<std::size_t>(a.width));
}

namespace {

// Nearest sampling: f(destination pixel address, source row, source column).
template <int DstBytes, typename F>
void forEachNearest(const KernelArgs& a, F f)
{
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t) {
        for (int x = 0; x < a.width; ++x)
            f(d + DstBytes * x, row, a.colIndex[x]);
    });
}

// Filtered sampling of 32 bpp sources: f(destination pixel address, filtered pixel).
template <typename F>
void forEachFiltered32(const KernelArgs& a, F f)
{
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy) {
        const std::uint8_t* below = row + a.srcPitch;
        for (int x = 0; x < a.width; ++x)
            f(d + 4 * x, filtered32(row, below, a.colIndex[x], a.colWeight[x], fy, a.colourFix));
    });
}

std::uint32_t pixelAt(const std::uint8_t* row, std::int32_t x) { return load32(row + 4 * static_cast<std::ptrdiff_t>(x)); }

} // namespace

void scaledCopy32(const KernelArgs& a)
{
    forEachNearest<4>(a, [](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) { store32(d, pixelAt(row, x)); });
}

void scaledCopyPalette8(const KernelArgs& a)
{
    forEachNearest<4>(a, [&](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) { store32(d, a.palette[row[x]]); });
}

void scaledCopyGray8(const KernelArgs& a)
{
    forEachNearest<1>(a, [](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) { *d = row[x]; });
}

void scaledBlend32(const KernelArgs& a)
{
    const std::uint32_t w = a.tables->w[a.opacity][0];
    forEachNearest<4>(a, [&](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) {
        store32(d, blendNormal(load32(d), pixelAt(row, x), w));
    });
}

void scaledBlendPalette8(const KernelArgs& a)
{
    const std::uint32_t w = a.tables->w[a.opacity][0];
    forEachNearest<4>(a, [&](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) {
        store32(d, blendNormal(load32(d), a.palette[row[x]], w));
    });
}

void scaledBlendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEachNearest<4>(a, [&](std::uint8_t* d, const std::uint8_t* row, std::int32_t x) {
        const std::uint32_t s = pixelAt(row, x);
        store32(d, blendNormal(a.overColour ? a.colour : load32(d), s, sourceAlphaWeight(s, a.opacity, t)));
    });
}

void filteredCopy32(const KernelArgs& a)
{
    forEachFiltered32(a, [](std::uint8_t* d, std::uint32_t s) { store32(d, s); });
}

void filteredCopyPalette8(const KernelArgs& a)
{
    // The four colour-table entries are interpolated as 32 bpp pixels, without the colour fix.
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy) {
        const std::uint8_t* below = row + a.srcPitch;
        for (int x = 0; x < a.width; ++x) {
            const std::int32_t c = a.colIndex[x];
            const std::uint32_t fx = a.colWeight[x];
            const std::uint32_t top = lerpPacked(a.palette[row[c]], a.palette[row[c + 1]], fx);
            const std::uint32_t bottom = lerpPacked(a.palette[below[c]], a.palette[below[c + 1]], fx);
            store32(d + 4 * x, lerpPacked(top, bottom, fy));
        }
    });
}

void filteredCopyGray8(const KernelArgs& a)
{
    // Signed arithmetic: >> 8 of a negative product is the floor the formula asks for.
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fyu) {
        const std::uint8_t* below = row + a.srcPitch;
        const int fy = static_cast<int>(fyu);
        for (int x = 0; x < a.width; ++x) {
            const std::int32_t c = a.colIndex[x];
            const int fx = a.colWeight[x];
            const int top = row[c] + (((row[c + 1] - row[c]) * fx) >> 8);
            const int bottom = below[c] + (((below[c + 1] - below[c]) * fx) >> 8);
            d[x] = static_cast<std::uint8_t>(top + (((bottom - top) * fy) >> 8));
        }
    });
}

void filteredBlend32(const KernelArgs& a)
{
    const std::uint32_t w = a.tables->w[a.opacity][0];
    forEachFiltered32(a, [&](std::uint8_t* d, std::uint32_t s) { store32(d, blendNormal(load32(d), s, w)); });
}

void filteredBlendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    forEachFiltered32(a, [&](std::uint8_t* d, std::uint32_t s) {
        store32(d, blendNormal(a.overColour ? a.colour : load32(d), s, filteredAlphaWeight(s, a.opacity, a.lowAlphaCut, t)));
    });
}

} // namespace gfx::kernels::scalar
