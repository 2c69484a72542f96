#pragma once

// Scaled drawing: where copy, constant-alpha and source-alpha blits go when the destination size
// differs from the source size. Positions are 32.32 fixed point; destination pixel i (counted
// from the unclipped destination edge) samples source position srcLeft + i * step, without
// centring. The linear filter blends the four neighbours with 8-bit weights.
//
// Mirroring and flipping combine with scaling as a reflection of the scaled picture: a mirrored
// scaled blit draws exactly the columns the unmirrored one would draw, in reverse order within
// the destination rectangle (flipped likewise for rows). Clipping is done on the reflected
// destination, so every visible pixel is the one the reflection puts there.

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

class NxSurface;

enum class NxScaledOp { Copy, ConstantAlphaBlend, SourceAlphaBlend };

// The step record of a scaled pair.
struct NxStepRecord {
    std::uint32_t xStartFraction = 0;
    std::uint32_t yStartFraction = 0;
    std::uint32_t xStepFraction = 0;
    std::uint32_t xStepInteger = 0;
    std::uint32_t yStepFraction = 0;
    std::uint32_t yStepInteger = 0;
};

// A scaled pair after clipping. dst is in surface coordinates (origin applied); src.left/top is
// the first sampled source column/row (in reading order: for a mirrored pair the column drawn at
// the right edge of dst), src.right/bottom the far edge as the clipping left it.
struct NxScaledPair {
    NxRect dst;
    NxRect src;
    NxStepRecord steps;
    bool mirrored = false;
    bool flipped = false;
};

// The filter decision: flag 0x2000, a source at least 2 x 2 pixels, and not the constant-alpha
// blend of an 8 bpp source.
bool scaledFilterOn(const NxBlitParams* params, const NxRect& srcRect, bool constantAlphaOf8Bpp);

// Scaled clipping of dstRect (without origin) and srcRect (mirrored or flipped when inverted)
// against the source size, the destination clip and origin. With the filter the source loses
// its last column and row and the bounds shrink by one. False when nothing is left to draw.
[[nodiscard]] bool clipScaled(const NxRect& dstRect, const NxRect& srcRect, std::int32_t srcWidth,
                              std::int32_t srcHeight, const NxRect& clip, std::int32_t originX,
                              std::int32_t originY, bool filter, NxScaledPair& out);

// dstRect is without the origin; srcRect may be mirrored or flipped. params.flags carries the
// linear filter (0x2000) and 0x40000; opacity is the already checked opacity rule value. Fails
// (0) for a blend operator other than 0.
int drawScaled(NxScaledOp op, NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
               const NxBlitParams& params, std::uint32_t opacity);

} // namespace gfx
