#pragma once

// Fills and colour effects: engine slot 10 (solid fill) and slots 15 to 18 (fill effects), with
// the engine operation signature. Implemented by the fill and effects work; until then every
// call fails (returns 0).

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

namespace gfx {

class NxSurface;

// Slot 10 of both engines: every pixel of dstRect (moved by the origin, cut by the clip) becomes
// params.colour (8 bpp: its low byte).
int solidFill(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
              const NxBlitParams& params);

// Slots 15 to 18 of the 32 bpp engine (the 8 bpp engine fails them).
int fillEffect0(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect1(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect2(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect3(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);

} // namespace gfx
