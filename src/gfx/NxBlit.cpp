#include "gfx/NxBlit.h"

#include "gfx/NxSurface.h"

#include <utility>

namespace gfx {

namespace bf = blitflag;

NxSlot selectSlot(std::uint32_t flags)
{
    const auto all = [flags](std::uint32_t bits) { return (flags & bits) == bits; };
    const std::uint32_t compositeSourceAlpha = bf::kSourceAlpha | bf::kComposite;
    if (all(bf::kColour)) {
        if (all(compositeSourceAlpha))
            return NxSlot::CoverageComposite;
        if (flags & bf::kBlur)
            return NxSlot::BlurredCoverageColour;
        if (flags & bf::kSourceAlpha)
            return NxSlot::CoverageColour;
        if (flags & bf::kComposite)
            return NxSlot::ColourComposite;
        if (flags & bf::kWriteMask)
            return NxSlot::WriteMaskFill;
        return NxSlot::ColourFill;
    }
    if (flags & bf::kRuleTransition)
        return NxSlot::RuleTransition;
    if (flags & bf::kBlur)
        return NxSlot::Blur;
    if (all(compositeSourceAlpha))
        return NxSlot::SourceAlphaComposite;
    if (flags & bf::kSourceAlpha)
        return NxSlot::SourceAlphaBlend;
    if (flags & bf::kComposite)
        return NxSlot::Composite;
    if (flags & bf::kWriteMask)
        return NxSlot::WriteMaskCopy;
    return NxSlot::ConstantAlphaBlend;
}

int blit(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect, const NxBlitParams* params)
{
    if (!dst.isCreated())
        return 0;
    const NxRect d = dstRect ? *dstRect : NxRect{0, 0, dst.width(), dst.height()};
    NxSurface& s = src ? *src : dst;
    NxRect sr = !src ? d : srcRect ? *srcRect : NxRect{0, 0, s.width(), s.height()};
    static constexpr NxBlitParams kPlain{};
    const NxBlitParams& p = params ? *params : kPlain;
    if (p.flags == 0)
        return dst.engine().run(NxSlot::Copy, dst, d, s, sr, p);
    if (p.flags & bf::kMirror)
        std::swap(sr.left, sr.right);
    if (p.flags & bf::kFlip)
        std::swap(sr.top, sr.bottom);
    // The accelerator bit selects the same operations: the kernels are already specialised and
    // chosen by CPU features.
    return dst.engine().run(selectSlot(p.flags), dst, d, s, sr, p);
}

int fillRect(NxSurface& dst, const NxRect* rect, std::uint32_t colour)
{
    if (!dst.isCreated())
        return 0;
    const NxRect r = rect ? *rect : NxRect{0, 0, dst.width(), dst.height()};
    NxBlitParams p;
    p.colour = colour;
    return dst.engine().run(NxSlot::SolidFill, dst, r, dst, r, p);
}

} // namespace gfx
