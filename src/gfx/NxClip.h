#pragma once

#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

// An unscaled pair after clipping. src is stored with left < right and top < bottom; mirrored or
// flipped pairs walk it from its right or bottom edge.
struct NxClippedPair {
    NxRect dst;
    NxRect src;
    bool mirrored = false;
    bool flipped = false;
};

// Clips an equal-sized pair: dst is moved by the origin, then cut to clip, and src to
// (0, 0, srcWidth, srcHeight). A src with right < left reads mirrored, bottom < top flipped:
// destination column dst.left then shows source column src.left - 1. False when nothing is left.
[[nodiscard]] bool clipUnscaled(const NxRect& dst, const NxRect& src, std::int32_t srcWidth,
                                std::int32_t srcHeight, const NxRect& clip, std::int32_t originX,
                                std::int32_t originY, NxClippedPair& out);

} // namespace gfx
