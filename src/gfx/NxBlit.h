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

// The slot a non-zero flags word selects (mirror, flip and the accelerator bit aside).
NxSlot selectSlot(std::uint32_t flags);

} // namespace gfx
