#include "gfx/NxClip.h"

#include <algorithm>

namespace gfx {

namespace {

struct Span {
    std::int64_t lo;
    std::int64_t hi;
};

// One axis: destination [d0, d1) against clip [c0, c1), source [s0, s1) (reversed when s1 < s0)
// against [0, bound). Wide arithmetic so that extreme rectangles and origins cannot overflow.
bool clipAxis(std::int64_t d0, std::int64_t d1, std::int64_t s0, std::int64_t s1, std::int64_t bound,
              std::int64_t c0, std::int64_t c1, Span& dst, Span& src)
{
    const bool reversed = s1 < s0;
    const std::int64_t n = std::min(d1 - d0, reversed ? s0 - s1 : s1 - s0);
    if (n <= 0)
        return false;
    std::int64_t lo = std::max(d0, c0);
    std::int64_t hi = std::min(d0 + n, c1);
    if (!reversed) {
        lo = std::max(lo, d0 - s0);
        hi = std::min(hi, d0 + bound - s0);
    } else {
        // Destination i shows source s0 - 1 - (i - d0).
        lo = std::max(lo, d0 + s0 - bound);
        hi = std::min(hi, d0 + s0);
    }
    if (lo >= hi)
        return false;
    dst = {lo, hi};
    if (!reversed)
        src = {s0 + (lo - d0), s0 + (hi - d0)};
    else
        src = {s0 - (hi - d0), s0 - (lo - d0)};
    return true;
}

} // namespace

bool clipUnscaled(const NxRect& dst, const NxRect& src, std::int32_t srcWidth, std::int32_t srcHeight,
                  const NxRect& clip, std::int32_t originX, std::int32_t originY, NxClippedPair& out)
{
    Span dy{}, sy{}, dx{}, sx{};
    if (!clipAxis(std::int64_t{dst.top} + originY, std::int64_t{dst.bottom} + originY, src.top, src.bottom,
                  srcHeight, clip.top, clip.bottom, dy, sy))
        return false;
    if (!clipAxis(std::int64_t{dst.left} + originX, std::int64_t{dst.right} + originX, src.left, src.right,
                  srcWidth, clip.left, clip.right, dx, sx))
        return false;
    // Every value now lies inside a bitmap, so it fits 32 bits again.
    out.dst = {static_cast<std::int32_t>(dx.lo), static_cast<std::int32_t>(dy.lo),
               static_cast<std::int32_t>(dx.hi), static_cast<std::int32_t>(dy.hi)};
    out.src = {static_cast<std::int32_t>(sx.lo), static_cast<std::int32_t>(sy.lo),
               static_cast<std::int32_t>(sx.hi), static_cast<std::int32_t>(sy.hi)};
    out.mirrored = src.right < src.left;
    out.flipped = src.bottom < src.top;
    return true;
}

} // namespace gfx
