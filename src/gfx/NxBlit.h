#pragma once

#include "gfx/NxBlitEngine.h"
#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

class NxSurface;

// Draws src (srcRect of it) onto dstRect of dst by the operation the flags select. A null dstRect
// is the whole destination; a null src is the destination itself with srcRect = dstRect; a null
// srcRect the whole source; null params a plain copy. Returns 0 when not drawn.
int blit(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect, const NxBlitParams* params);

// Solid fill of rect (null: whole surface) with the colour word as given.
int fillRect(NxSurface& dst, const NxRect* rect, std::uint32_t colour);

// Reworks the pixels of srcRect of src (null: dstRect of dst itself) by a colour effect and
// writes them over dstRect. 32 bpp destinations only; 0 when not drawn.
int applyEffect(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect,
                const NxEffectParams& params);

// Fills dstRect (null: whole destination) with copies of srcRect of src (null: the whole
// source), each drawn by blit with params; destination column dstRect.left + i shows source
// column srcRect.left + ((offsetX + i) mod width), rows alike. Whole tiles outside the clip are
// skipped arithmetically. 0 without a source or when a piece fails.
int tile(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect, std::int32_t offsetX,
         std::int32_t offsetY, const NxBlitParams* params);

// The slot a non-zero flags word selects (mirror, flip and the accelerator bit aside).
NxSlot selectSlot(std::uint32_t flags);

} // namespace gfx
