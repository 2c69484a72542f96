#include "gfx/NxFill.h"

namespace gfx {

// FIXME: solid fill and the fill effects are not written yet; they fail until then.

int solidFill(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return 0; }

int fillEffect0(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return 0; }

int fillEffect1(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return 0; }

int fillEffect2(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return 0; }

int fillEffect3(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return 0; }

} // namespace gfx
