#pragma once

// Scaled drawing: where copy, constant-alpha and source-alpha blits go when the destination size
// differs from the source size. Implemented by the scaling and linear-filter work; until then
// every call fails (returns 0), so such blits are reported as not drawn.

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

namespace gfx {

class NxSurface;

enum class NxScaledOp { Copy, ConstantAlphaBlend, SourceAlphaBlend };

// dstRect is without the origin; srcRect may be mirrored or flipped. params.flags carries the
// linear filter (0x2000) and 0x40000; opacity is the already checked opacity rule value.
int drawScaled(NxScaledOp op, NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
               const NxBlitParams& params, std::uint32_t opacity);

} // namespace gfx
