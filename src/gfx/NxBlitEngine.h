#pragma once

#include "gfx/NxBlitParams.h"
#include "gfx/NxTypes.h"

#include <array>
#include <cstddef>

namespace gfx {

class NxSurface;

// Operation slots of an engine, in table order.
enum class NxSlot : int {
    Blur,
    WriteMaskCopy,
    Copy,
    RuleTransition,
    ConstantAlphaBlend,
    SourceAlphaBlend,
    Composite,
    SourceAlphaComposite,
    BlurredCoverageColour,
    WriteMaskFill,
    SolidFill,
    ColourFill,
    CoverageColour,
    ColourComposite,
    CoverageComposite,
    Effect0,
    Effect1,
    Effect2,
    Effect3,
};
inline constexpr std::size_t kSlotCount = 19;

// Every operation takes destination rectangles without the origin (it adds the origin and clips
// itself); the result is non-zero on success, 0 when the combination is not supported.
using NxBlitOp = int (*)(NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
                         const NxBlitParams& params);

// The operations of one surface format, shared by all surfaces of that format.
class NxBlitEngine {
public:
    constexpr explicit NxBlitEngine(const std::array<NxBlitOp, kSlotCount>& ops) : m_ops(ops) {}

    int run(NxSlot slot, NxSurface& dst, const NxRect& dstRect, NxSurface& src, const NxRect& srcRect,
            const NxBlitParams& params) const
    {
        return m_ops[static_cast<std::size_t>(slot)](dst, dstRect, src, srcRect, params);
    }

private:
    std::array<NxBlitOp, kSlotCount> m_ops;
};

const NxBlitEngine& engine32();
const NxBlitEngine& engine8();
// The 8 bpp engine for 8, the 32 bpp engine for anything else.
const NxBlitEngine& engineFor(int bitsPerPixel);

} // namespace gfx
