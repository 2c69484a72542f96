#pragma once

// Fills and colour effects: engine slot 10 (solid fill) and slots 15 to 18 (the colour effects
// gray, hue/lightness/saturation, levels, invert), with the engine operation signature. The
// effects read their six words from the blit params: flags = control, writeMask = opacity,
// colour, softness, maskOffsetX, maskOffsetY = words 2 to 5 (see NxEffectParams).

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

#include <cstdint>

namespace gfx {

class NxPixelBuffer;
class NxSurface;

// Every pixel of rect (surface pixels, inside the buffer) of a 32 bpp buffer becomes colour.
void fillPixels(const NxPixelBuffer& pixels, const NxRect& rect, std::uint32_t colour);
// The same for the part of outer outside inner (inner lies within outer).
void fillAround(const NxPixelBuffer& pixels, const NxRect& outer, const NxRect& inner, std::uint32_t colour);

// Slot 10 of both engines: every pixel of dstRect (moved by the origin, cut by the clip) becomes
// params.colour (8 bpp: its low byte).
int solidFill(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
              const NxBlitParams& params);

// Slots 15 to 18 of the 32 bpp engine (the 8 bpp engine fails them). srcRect is in source
// coordinates; the pair is clipped unscaled.
int fillEffect0(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect1(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect2(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);
int fillEffect3(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                const NxBlitParams& params);

NxBlitParams effectWords(const NxEffectParams& params);

// Hue (0..359), lightness and saturation (0..255) of a colour, in exact integer arithmetic.
struct NxHls {
    std::int32_t hue = 0;
    std::int32_t lightness = 0;
    std::int32_t saturation = 0;
};
NxHls toHls(std::uint32_t red, std::uint32_t green, std::uint32_t blue);
// The colour 0x00RRGGBB of (hue, lightness, saturation); alpha byte 0.
std::uint32_t fromHls(const NxHls& hls);

} // namespace gfx
