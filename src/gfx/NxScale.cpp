#include "gfx/NxScale.h"

namespace gfx {

int drawScaled(NxScaledOp, NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&, std::uint32_t)
{
    // FIXME: scaled drawing (nearest and linear filter) is not written yet.
    return 0;
}

} // namespace gfx
