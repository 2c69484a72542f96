#include "gfx/NxScale.h"

#include "gfx/NxFill.h"
#include "gfx/NxSurface.h"
#include "gfx/NxTables.h"
#include "gfx/kernels/Kernels.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace gfx {

namespace {

using kernels::Op;
using kernels::SourceKind;
using u128 = unsigned __int128;
using i128 = __int128;

struct AxisResult {
    std::int64_t d0 = 0;
    std::int64_t d1 = 0;
    std::int64_t s0 = 0;
    std::int64_t s1 = 0;
    std::uint32_t startFraction = 0;
    // The mapping before the clip's cut: destination baseD samples source baseS, fraction 0.
    std::int64_t baseD = 0;
    std::int64_t baseS = 0;
};

// One axis of the scaled clipping, in reading order: destination [d0, d1) against the clip
// [c0, c1), source [s0, s1) against the bounds [b0, b1). Wide arithmetic throughout, so extreme
// rectangles and steps above 32 bits cannot overflow.
bool clipAxis(std::int64_t d0, std::int64_t d1, std::int64_t s0, std::int64_t s1, std::int64_t b0, std::int64_t b1,
              std::int64_t c0, std::int64_t c1, std::uint64_t step, AxisResult& out)
{
    const std::int64_t dn = d1 - d0;
    const std::int64_t sn = s1 - s0;
    if (dn <= 0 || sn <= 0 || b1 <= b0)
        return false;
    std::uint32_t fraction = 0;
    if (s0 < b0) {
        d0 += static_cast<std::int64_t>(i128{b0 - s0} * dn / sn);
        s0 = b0;
    }
    const std::int64_t baseD = d0;
    const std::int64_t baseS = s0;
    if (d0 < c0) {
        const u128 product = static_cast<u128>(c0 - d0) * step;
        const u128 whole = product >> 32;
        if (whole >= static_cast<u128>(b1 - s0))
            return false;
        fraction = static_cast<std::uint32_t>(product);
        s0 += static_cast<std::int64_t>(whole);
        d0 = c0;
    }
    if (s1 > b1) {
        d1 = d1 - static_cast<std::int64_t>(i128{s1 - b1} * dn / sn) - 1;
        s1 = b1;
    }
    if (d1 > c1) {
        const u128 whole = (static_cast<u128>(d1 - c1) * step) >> 32;
        s1 -= static_cast<std::int64_t>(std::min<u128>(whole, static_cast<u128>(s1 - s0)));
        d1 = c1;
    }
    if (d0 >= d1 || s0 >= b1)
        return false;
    // Every sampled index must stay below b1 (the filter's neighbour is already accounted for in
    // the bounds). The cuts above keep to that for sources inside their bounds; this bound keeps
    // to it for every input: pixel k samples s0 + ((fraction + k * step) >> 32).
    // The last pixel's position is checked by a product; the division runs only to cut.
    const u128 room = (static_cast<u128>(b1 - s0) << 32) - 1 - fraction;
    if (static_cast<u128>(d1 - d0 - 1) * step > room)
        d1 = d0 + static_cast<std::int64_t>(room / step) + 1;
    out = {d0, d1, s0, s1, fraction, baseD, baseS};
    return true;
}

} // namespace

bool clipScaled(const NxRect& dstRect, const NxRect& srcRect, std::int32_t srcWidth, std::int32_t srcHeight,
                const NxRect& clip, std::int32_t originX, std::int32_t originY, bool filter, NxScaledPair& out,
                AxisResult* columns);

namespace {

std::uint64_t stepOf(std::int64_t sourceSize, std::int64_t destinationSize)
{
    return (static_cast<std::uint64_t>(sourceSize) << 32) / static_cast<std::uint64_t>(destinationSize);
}

// One axis with optional reflection: a reflected axis is clipped against the clip mirrored about
// the destination's centre, and the result mirrored back.
bool clipAxisReflected(std::int64_t d0, std::int64_t d1, std::int64_t s0, std::int64_t s1, std::int64_t bound,
                       std::int64_t c0, std::int64_t c1, std::uint64_t step, bool reflected, AxisResult& out)
{
    if (!reflected)
        return clipAxis(d0, d1, s0, s1, 0, bound, c0, c1, step, out);
    if (!clipAxis(d0, d1, s0, s1, 0, bound, d0 + d1 - c1, d0 + d1 - c0, step, out))
        return false;
    const std::int64_t r0 = out.d0;
    out.d0 = d0 + d1 - out.d1;
    out.d1 = d0 + d1 - r0;
    return true;
}

// Source index and filter weight of each destination pixel, in destination order.
struct AxisTable {
    std::vector<std::int32_t> index;
    std::vector<std::uint8_t> weight;
};

// Entries are appended to the table (which then holds the walk from its first position on).
void extendTable(AxisTable& table, std::int64_t index, std::uint32_t fraction, std::uint64_t step, std::size_t count)
{
    const auto stepFraction = static_cast<std::uint32_t>(step);
    const auto stepInteger = static_cast<std::int64_t>(step >> 32);
    for (std::size_t k = 0; k < count; ++k) {
        table.index.push_back(static_cast<std::int32_t>(index));
        table.weight.push_back(static_cast<std::uint8_t>(fraction >> 24));
        const std::uint64_t sum = std::uint64_t{fraction} + stepFraction;
        fraction = static_cast<std::uint32_t>(sum);
        index += stepInteger + static_cast<std::int64_t>(sum >> 32);
    }
}

// The column walk of one picture at one size is the same for every band of a strip: band k of
// the row starts at entry (band left - base) of the whole row's walk. The walk is kept and
// extended as bands further right ask for it.
struct ColumnCache {
    std::int64_t baseS = -1;
    std::uint64_t step = 0;
    AxisTable table;
    std::int64_t nextIndex = 0;
    std::uint32_t nextFraction = 0;
};

constexpr std::int64_t kMaxCachedColumns = std::int64_t{1} << 16;

bool cachedColumns(ColumnCache& cache, const AxisResult& cols, std::uint64_t step, const std::int32_t*& index,
                   const std::uint8_t*& weight)
{
    const std::int64_t first = cols.d0 - cols.baseD;
    const std::int64_t end = cols.d1 - cols.baseD;
    if (first < 0 || end > kMaxCachedColumns)
        return false;
    try {
        if (cache.baseS != cols.baseS || cache.step != step) {
            cache.baseS = cols.baseS;
            cache.step = step;
            cache.table.index.clear();
            cache.table.weight.clear();
            cache.nextIndex = cols.baseS;
            cache.nextFraction = 0;
        }
        const auto have = static_cast<std::int64_t>(cache.table.index.size());
        if (have < end) {
            extendTable(cache.table, cache.nextIndex, cache.nextFraction, step, static_cast<std::size_t>(end - have));
            // Where the walk goes on: one more step past the last entry.
            const u128 next = static_cast<u128>(end) * step;
            cache.nextIndex = cols.baseS + static_cast<std::int64_t>(next >> 32);
            cache.nextFraction = static_cast<std::uint32_t>(next);
        }
    } catch (const std::bad_alloc&) {
        cache.baseS = -1;
        return false;
    }
    index = cache.table.index.data() + first;
    weight = cache.table.weight.data() + first;
    return true;
}

bool buildTable(std::int64_t start, std::uint32_t fraction, std::uint64_t step, std::int64_t count, bool reversed,
                AxisTable& table)
{
    try {
        table.index.resize(static_cast<std::size_t>(count));
        table.weight.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto stepFraction = static_cast<std::uint32_t>(step);
    const auto stepInteger = static_cast<std::int64_t>(step >> 32);
    std::int64_t index = start;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::size_t at = static_cast<std::size_t>(reversed ? count - 1 - k : k);
        table.index[at] = static_cast<std::int32_t>(index);
        table.weight[at] = static_cast<std::uint8_t>(fraction >> 24);
        const std::uint64_t sum = std::uint64_t{fraction} + stepFraction;
        fraction = static_cast<std::uint32_t>(sum);
        index += stepInteger + static_cast<std::int64_t>(sum >> 32);
    }
    return true;
}

} // namespace

bool scaledFilterOn(const NxBlitParams* params, const NxRect& srcRect, bool constantAlphaOf8Bpp)
{
    if (params == nullptr || !(params->flags & blitflag::kLinearFilter) || constantAlphaOf8Bpp)
        return false;
    return std::abs(std::int64_t{srcRect.right} - srcRect.left) >= 2 &&
           std::abs(std::int64_t{srcRect.bottom} - srcRect.top) >= 2;
}

bool clipScaled(const NxRect& dstRect, const NxRect& srcRect, std::int32_t srcWidth, std::int32_t srcHeight,
                const NxRect& clip, std::int32_t originX, std::int32_t originY, bool filter, NxScaledPair& out)
{
    return clipScaled(dstRect, srcRect, srcWidth, srcHeight, clip, originX, originY, filter, out, nullptr);
}

bool clipScaled(const NxRect& dstRect, const NxRect& srcRect, std::int32_t srcWidth, std::int32_t srcHeight,
                const NxRect& clip, std::int32_t originX, std::int32_t originY, bool filter, NxScaledPair& out,
                AxisResult* columns)
{
    const bool mirrored = srcRect.right < srcRect.left;
    const bool flipped = srcRect.bottom < srcRect.top;
    std::int64_t sl = std::min(srcRect.left, srcRect.right);
    std::int64_t sr = std::max(srcRect.left, srcRect.right);
    std::int64_t st = std::min(srcRect.top, srcRect.bottom);
    std::int64_t sb = std::max(srcRect.top, srcRect.bottom);
    std::int64_t boundX = srcWidth;
    std::int64_t boundY = srcHeight;
    if (filter) {
        --sr;
        --sb;
        --boundX;
        --boundY;
    }
    const std::int64_t dl = std::int64_t{dstRect.left} + originX;
    const std::int64_t dr = std::int64_t{dstRect.right} + originX;
    const std::int64_t dt = std::int64_t{dstRect.top} + originY;
    const std::int64_t db = std::int64_t{dstRect.bottom} + originY;
    if (dr <= dl || db <= dt || sr <= sl || sb <= st)
        return false;
    const std::uint64_t xStep = stepOf(sr - sl, dr - dl);
    const std::uint64_t yStep = stepOf(sb - st, db - dt);
    AxisResult rows, cols;
    if (!clipAxisReflected(dt, db, st, sb, boundY, clip.top, clip.bottom, yStep, flipped, rows))
        return false;
    if (!clipAxisReflected(dl, dr, sl, sr, boundX, clip.left, clip.right, xStep, mirrored, cols))
        return false;
    // Destination values now lie inside the clip and source values inside the bounds.
    out.dst = {static_cast<std::int32_t>(cols.d0), static_cast<std::int32_t>(rows.d0),
               static_cast<std::int32_t>(cols.d1), static_cast<std::int32_t>(rows.d1)};
    out.src = {static_cast<std::int32_t>(cols.s0), static_cast<std::int32_t>(rows.s0),
               static_cast<std::int32_t>(cols.s1), static_cast<std::int32_t>(rows.s1)};
    out.steps.xStartFraction = cols.startFraction;
    out.steps.yStartFraction = rows.startFraction;
    out.steps.xStepFraction = static_cast<std::uint32_t>(xStep);
    out.steps.xStepInteger = static_cast<std::uint32_t>(xStep >> 32);
    out.steps.yStepFraction = static_cast<std::uint32_t>(yStep);
    out.steps.yStepInteger = static_cast<std::uint32_t>(yStep >> 32);
    out.mirrored = mirrored;
    out.flipped = flipped;
    if (columns != nullptr)
        *columns = cols;
    return true;
}

int drawScaled(NxScaledOp op, NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
               const NxBlitParams& params, std::uint32_t opacity)
{
    if ((params.flags & blitflag::kOperatorMask) != 0)
        return 0;
    const bool source8 = src.bitsPerPixel() == 8;
    const bool dest8 = dst.bitsPerPixel() == 8;
    const bool filter = scaledFilterOn(&params, srcRect, op == NxScaledOp::ConstantAlphaBlend && source8);
    NxScaledPair pair;
    AxisResult columnAxis;
    if (!clipScaled(dstRect, srcRect, src.width(), src.height(), dst.clipRect(), dst.originX(), dst.originY(), filter,
                    pair, &columnAxis))
        return 1;

    // Row tables are a few entries per band; the column walk is shared by the bands of a row.
    thread_local AxisTable rows;
    thread_local AxisTable cols;
    thread_local ColumnCache columnCache;
    const NxStepRecord& s = pair.steps;
    const std::uint64_t yStep = std::uint64_t{s.yStepInteger} << 32 | s.yStepFraction;
    const std::uint64_t xStep = std::uint64_t{s.xStepInteger} << 32 | s.xStepFraction;
    if (!buildTable(pair.src.top, s.yStartFraction, yStep, pair.dst.height(), pair.flipped, rows))
        return 0;
    const std::int32_t* colIndex = nullptr;
    const std::uint8_t* colWeight = nullptr;
    if (pair.mirrored || !cachedColumns(columnCache, columnAxis, xStep, colIndex, colWeight)) {
        if (!buildTable(pair.src.left, s.xStartFraction, xStep, pair.dst.width(), pair.mirrored, cols))
            return 0;
        colIndex = cols.index.data();
        colWeight = cols.weight.data();
    }

    Op kernelOp;
    switch (op) {
    case NxScaledOp::Copy: kernelOp = filter ? Op::FilteredCopy : Op::ScaledCopy; break;
    case NxScaledOp::ConstantAlphaBlend: kernelOp = filter ? Op::FilteredBlend : Op::ScaledBlend; break;
    default: kernelOp = filter ? Op::FilteredBlendSourceAlpha : Op::ScaledBlendSourceAlpha; break;
    }
    const SourceKind kind = dest8 ? SourceKind::Gray8To8 : source8 ? SourceKind::Palette8 : SourceKind::Argb32;
    const kernels::Kernel kernel = kernels::resolveForCall(kernelOp, kind, true, true);
    if (kernel == nullptr)
        return 0;

    // Over a held fill that covers the whole picture a copy or a source-alpha blend writes every
    // pixel under it; only the fill around it is left to write. Read from its own pixels, a
    // picture needs the fill written first.
    const NxSurface::HeldFill under = op == NxScaledOp::Copy || op == NxScaledOp::SourceAlphaBlend
                                          ? dst.takeHeldFillUnder(pair.dst, src)
                                          : NxSurface::HeldFill{};

    kernels::KernelArgs a;
    const NxPixelBuffer& d = dst.pixels();
    a.dst = d.row(pair.dst.top) + static_cast<std::ptrdiff_t>(pair.dst.left) * (dest8 ? 1 : 4);
    a.dstPitch = d.pitch();
    a.width = pair.dst.width();
    a.height = pair.dst.height();
    // Read through the constant pixels: drawing a surface does not make it writable.
    const NxPixelBuffer& sp = std::as_const(src).pixels();
    a.src = sp.firstRow();
    a.srcPitch = sp.pitch();
    a.rowIndex = rows.index.data();
    a.rowWeight = rows.weight.data();
    a.colIndex = colIndex;
    a.colWeight = colWeight;
    a.columnStep = xStep;
    a.palette = source8 ? sp.colourTable() : nullptr;
    a.opacity = opacity;
    a.tables = &tables();
    const bool plainFilter = (params.flags & blitflag::kPlainFilter) != 0;
    a.lowAlphaCut = op == NxScaledOp::SourceAlphaBlend && plainFilter;
    a.colourFix = !a.lowAlphaCut;
    if (under.active && op == NxScaledOp::SourceAlphaBlend) {
        a.overColour = true;
        a.colour = under.colour;
    }
    kernel(a);
    if (under.active)
        fillAround(d, under.rect, pair.dst, under.colour);
    return 1;
}

} // namespace gfx
