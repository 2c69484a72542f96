#include "gfx/NxBlitEngine.h"

#include "gfx/NxBlit.h"
#include "gfx/NxClip.h"
#include "gfx/NxFill.h"
#include "gfx/NxScale.h"
#include "gfx/NxSurface.h"
#include "gfx/NxTables.h"
#include "gfx/kernels/Kernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace gfx {

namespace {

using kernels::KernelArgs;
using kernels::Op;
using kernels::SourceKind;
namespace bf = blitflag;

constexpr int kFail = 0;
constexpr int kDone = 1;
constexpr std::uint32_t kMaxBlurRadius = 128;

std::uint32_t blendOperator(const NxBlitParams& p) { return p.flags & bf::kOperatorMask; }
bool hasOperatorSeven(const NxBlitParams& p) { return blendOperator(p) == 7; }

// The opacity rule: constantAlpha when flagged (above 255 is refused), else 255.
bool opacityOf(const NxBlitParams& p, std::uint32_t& a)
{
    a = (p.flags & bf::kConstantAlpha) ? p.constantAlpha : 255;
    return a <= 255;
}

bool equalSize(const NxRect& dst, const NxRect& src)
{
    return std::abs(std::int64_t{src.right} - src.left) == std::int64_t{dst.right} - dst.left &&
           std::abs(std::int64_t{src.bottom} - src.top) == std::int64_t{dst.bottom} - dst.top;
}

bool is32(const NxSurface& s) { return s.isCreated() && s.bitsPerPixel() == 32; }
bool is8(const NxSurface& s) { return s.isCreated() && s.bitsPerPixel() == 8; }

// A clipped pair ready for a kernel: destination and source pointers, pitches, walking direction.
struct Work {
    NxClippedPair pair;
    KernelArgs args;
};

// Clips the pair and fills the kernel arguments; false when nothing is left to draw. With under,
// an operation that writes every pixel of the clipped rectangle takes a held fill around it (see
// NxSurface::takeHeldFillUnder).
bool preparePair(NxSurface& dst, const NxRect& dstRect, const NxSurface& src, const NxRect& srcRect, Work& work,
                 NxSurface::HeldFill* under = nullptr)
{
    if (!clipUnscaled(dstRect, srcRect, src.width(), src.height(), dst.clipRect(), dst.originX(), dst.originY(),
                      work.pair))
        return false;
    const NxClippedPair& p = work.pair;
    if (under != nullptr)
        *under = dst.takeHeldFillUnder(p.dst, src);
    const NxPixelBuffer& d = dst.pixels();
    const NxPixelBuffer& s = src.pixels();
    KernelArgs& a = work.args;
    a.dst = d.row(p.dst.top) + static_cast<std::ptrdiff_t>(p.dst.left) * (d.bitsPerPixel() / 8);
    a.dstPitch = d.pitch();
    const std::int32_t srcRow = p.flipped ? p.src.bottom - 1 : p.src.top;
    const std::int32_t srcCol = p.mirrored ? p.src.right - 1 : p.src.left;
    a.src = s.row(srcRow) + static_cast<std::ptrdiff_t>(srcCol) * (s.bitsPerPixel() / 8);
    a.srcPitch = p.flipped ? -static_cast<std::ptrdiff_t>(s.pitch()) : s.pitch();
    a.srcStep = p.mirrored ? -1 : 1;
    a.width = p.dst.width();
    a.height = p.dst.height();
    a.palette = s.bitsPerPixel() == 8 ? s.colourTable() : nullptr;
    a.tables = &tables();
    return true;
}

// The destination rectangle alone, moved by the origin and cut by the clip.
bool prepareFill(NxSurface& dst, const NxRect& dstRect, Work& work)
{
    const NxRect& c = dst.clipRect();
    const std::int64_t left = std::max<std::int64_t>(std::int64_t{dstRect.left} + dst.originX(), c.left);
    const std::int64_t top = std::max<std::int64_t>(std::int64_t{dstRect.top} + dst.originY(), c.top);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{dstRect.right} + dst.originX(), c.right);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{dstRect.bottom} + dst.originY(), c.bottom);
    if (left >= right || top >= bottom)
        return false;
    NxRect& r = work.pair.dst;
    r = {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
         static_cast<std::int32_t>(bottom)};
    KernelArgs& a = work.args;
    a.dst = dst.pixels().row(r.top) + static_cast<std::ptrdiff_t>(r.left) * 4;
    a.dstPitch = dst.pixels().pitch();
    a.width = r.width();
    a.height = r.height();
    a.tables = &tables();
    return true;
}

int runKernel(Op op, SourceKind kind, const Work& work, bool normalOp)
{
    const kernels::Kernel kernel = kernels::resolveForCall(op, kind, work.args.srcStep == 1, normalOp);
    if (kernel == nullptr)
        return kFail;
    kernel(work.args);
    return kDone;
}

// Horizontal box blur of one row of `channels`-byte pixels. The window reads the row's edge
// pixels beyond its ends; out receives the columns [from, from + count).
void blurRow(const std::uint8_t* row, std::int32_t rowWidth, int channels, std::int32_t from, std::int32_t count,
             std::uint32_t radius, std::uint8_t* out)
{
    const std::int64_t r = radius;
    const std::uint32_t factor = 65536u / static_cast<std::uint32_t>(2 * radius + 1);
    const auto at = [&](std::int64_t x, int c) -> std::uint32_t {
        return row[std::clamp<std::int64_t>(x, 0, rowWidth - 1) * channels + c];
    };
    for (int c = 0; c < channels; ++c) {
        // At most 257 * 255 = 65535: the sum fits the 16-bit lanes of a packed implementation.
        std::uint32_t sum = 0;
        for (std::int64_t k = -r; k <= r; ++k)
            sum += at(from + k, c);
        for (std::int32_t i = 0; i < count; ++i) {
            out[static_cast<std::ptrdiff_t>(i) * channels + c] =
                static_cast<std::uint8_t>((sum * factor + 0x8000u) >> 16);
            const std::int64_t x = std::int64_t{from} + i;
            sum += at(x + r + 1, c);
            sum -= at(x - r, c);
        }
    }
}

// Blurs the clipped source area into a block laid out in destination order (mirroring and
// flipping applied), and points the work's source at it.
bool blurIntoBlock(const NxSurface& src, Work& work, std::uint32_t radius, std::vector<std::uint8_t>& block)
{
    const NxClippedPair& p = work.pair;
    const int channels = src.bitsPerPixel() / 8;
    const std::int32_t n = p.src.width();
    const std::size_t rowBytes = static_cast<std::size_t>(n) * channels;
    try {
        block.resize(rowBytes * static_cast<std::size_t>(p.src.height()) + rowBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::uint8_t* scratch = block.data() + rowBytes * static_cast<std::size_t>(p.src.height());
    for (std::int32_t y = 0; y < p.src.height(); ++y) {
        const std::int32_t sy = p.flipped ? p.src.bottom - 1 - y : p.src.top + y;
        std::uint8_t* out = block.data() + rowBytes * static_cast<std::size_t>(y);
        blurRow(src.pixels().row(sy), src.width(), channels, p.src.left, n, radius, p.mirrored ? scratch : out);
        if (p.mirrored)
            for (std::int32_t x = 0; x < n; ++x)
                std::memcpy(out + static_cast<std::ptrdiff_t>(x) * channels,
                            scratch + static_cast<std::ptrdiff_t>(n - 1 - x) * channels, channels);
    }
    work.args.src = block.data();
    work.args.srcPitch = static_cast<std::ptrdiff_t>(rowBytes);
    work.args.srcStep = 1;
    return true;
}

// ---- 32 bpp engine -------------------------------------------------------------------------

int copy32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is32(dst) || !(is32(src) || is8(src)))
        return kFail;
    if (dr.isEmpty())
        return kDone;
    if (!equalSize(dr, sr))
        return drawScaled(NxScaledOp::Copy, dst, dr, src, sr, p, 255);
    Work work;
    NxSurface::HeldFill under;
    if (!preparePair(dst, dr, src, sr, work, &under))
        return kDone;
    const int done = runKernel(Op::Copy, src.bitsPerPixel() == 32 ? SourceKind::Argb32 : SourceKind::Palette8, work, true);
    if (under.active)
        fillAround(dst.pixels(), under.rect, work.pair.dst, under.colour);
    return done;
}

int constantAlphaBlend32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    std::uint32_t a = 0;
    if (hasOperatorSeven(p) || !opacityOf(p, a))
        return kFail;
    const std::uint32_t op = blendOperator(p);
    if (!is32(dst) || !(is32(src) || is8(src)))
        return kFail;
    if (a == 0)
        return kDone;
    if (a == 255 && op == 0 && !(p.flags & bf::kKeepAlpha))
        return copy32(dst, dr, src, sr, p);
    if (src.bitsPerPixel() == 8 && op != 0)
        return kFail;
    if (dr.isEmpty())
        return kDone;
    if (!equalSize(dr, sr))
        return drawScaled(NxScaledOp::ConstantAlphaBlend, dst, dr, src, sr, p, a);
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.opacity = a;
    work.args.blendOp = op;
    return runKernel(Op::Blend, src.bitsPerPixel() == 32 ? SourceKind::Argb32 : SourceKind::Palette8, work, op == 0);
}

int sourceAlphaBlend32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is32(src))
        return constantAlphaBlend32(dst, dr, src, sr, p);
    std::uint32_t a = 0;
    if (hasOperatorSeven(p) || !opacityOf(p, a) || !is32(dst))
        return kFail;
    if (a == 0 || dr.isEmpty())
        return kDone;
    if (!equalSize(dr, sr))
        return drawScaled(NxScaledOp::SourceAlphaBlend, dst, dr, src, sr, p, a);
    Work work;
    NxSurface::HeldFill under;
    if (!preparePair(dst, dr, src, sr, work, &under))
        return kDone;
    work.args.opacity = a;
    work.args.blendOp = blendOperator(p);
    work.args.overColour = under.active;
    work.args.colour = under.colour;
    const int done = runKernel(Op::BlendSourceAlpha, SourceKind::Argb32, work, work.args.blendOp == 0);
    if (under.active)
        fillAround(dst.pixels(), under.rect, work.pair.dst, under.colour);
    return done;
}

int compositeCommon(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p, Op op)
{
    std::uint32_t a = 0;
    if (blendOperator(p) != 0 || !opacityOf(p, a) || !is32(dst) || !is32(src) || !equalSize(dr, sr))
        return kFail;
    if (a == 0)
        return kDone;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.opacity = a;
    return runKernel(op, SourceKind::Argb32, work, true);
}

int composite32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return compositeCommon(dst, dr, src, sr, p, Op::Composite);
}

int sourceAlphaComposite32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    return compositeCommon(dst, dr, src, sr, p, Op::CompositeSourceAlpha);
}

int writeMaskCopy32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is32(dst) || !(is32(src) || is8(src)) || !equalSize(dr, sr))
        return kFail;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.writeMask = p.writeMask;
    return runKernel(Op::WriteMaskCopy, src.bitsPerPixel() == 32 ? SourceKind::Argb32 : SourceKind::Byte8, work, true);
}

int blur32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (p.blurRadius == 0)
        return (p.flags & bf::kSourceAlpha) ? sourceAlphaBlend32(dst, dr, src, sr, p)
                                            : constantAlphaBlend32(dst, dr, src, sr, p);
    std::uint32_t a = 0;
    if (blendOperator(p) != 0 || !opacityOf(p, a) || p.blurRadius > kMaxBlurRadius || !is32(dst) || !is32(src) ||
        !equalSize(dr, sr))
        return kFail;
    if (a == 0)
        return kDone;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    std::vector<std::uint8_t> block;
    if (!blurIntoBlock(src, work, p.blurRadius, block))
        return kFail;
    work.args.opacity = a;
    if (p.flags & bf::kSourceAlpha)
        return runKernel(Op::BlendSourceAlpha, SourceKind::Argb32, work, true);
    if (a == 255 && !(p.flags & bf::kKeepAlpha))
        return runKernel(Op::Copy, SourceKind::Argb32, work, true);
    return runKernel(Op::Blend, SourceKind::Argb32, work, true);
}

// Opacity ramp of the rule transition for progress p (not 0, 256 or 512) and softness k.
void buildRamp(std::uint32_t p, std::uint32_t k, std::uint32_t a, std::uint8_t (&ramp)[256])
{
    const auto& mul = tables().mul[a];
    const bool rising = p > 256;
    const std::int64_t start = rising ? std::int64_t{p} - 257 : std::int64_t{p} - 1;
    for (std::int64_t v = 0; v < 256; ++v) {
        std::int64_t level;
        if (v < start)
            level = rising ? 0 : 255;
        else if (v < start + k)
            level = rising ? ((v - start) * 255) / k : 255 - ((v - start) * 255) / k;
        else
            level = rising ? 255 : 0;
        ramp[v] = mul[static_cast<std::size_t>(level)];
    }
}

int ruleTransition32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    const std::uint32_t progress = p.colour;
    const std::uint32_t softness = p.softness;
    if (progress == 256)
        return (p.flags & bf::kSourceAlpha) ? sourceAlphaBlend32(dst, dr, src, sr, p)
                                            : constantAlphaBlend32(dst, dr, src, sr, p);
    std::uint32_t a = 0;
    if (progress > 512 || softness >= 512 || blendOperator(p) != 0 || !opacityOf(p, a) || !is32(dst) ||
        !is32(src) || !equalSize(dr, sr))
        return kFail;
    // The rule image must be gray whenever one is given; with 0x800 one is required.
    const NxSurface* rule = p.maskSurface;
    if (rule != nullptr && !is8(*rule))
        return kFail;
    const bool timesAlpha = (p.flags & bf::kSourceAlpha) != 0;
    if (timesAlpha && rule == nullptr)
        return kFail;
    if ((progress & 0x1FF) == 0 || a == 0)
        return kDone;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    const NxClippedPair& pair = work.pair;
    if (rule != nullptr) {
        if (p.maskOffsetX < 0 || p.maskOffsetY < 0 ||
            std::int64_t{pair.src.right} + p.maskOffsetX > rule->width() ||
            std::int64_t{pair.src.bottom} + p.maskOffsetY > rule->height())
            return kFail;
        const std::int32_t row = (pair.flipped ? pair.src.bottom - 1 : pair.src.top) + p.maskOffsetY;
        const std::int32_t col = (pair.mirrored ? pair.src.right - 1 : pair.src.left) + p.maskOffsetX;
        work.args.rule = rule->pixels().row(row) + col;
        work.args.rulePitch = pair.flipped ? -static_cast<std::ptrdiff_t>(rule->pixels().pitch()) : rule->pixels().pitch();
    }
    std::uint8_t ramp[256];
    buildRamp(progress, softness, a, ramp);
    work.args.ramp = ramp;
    work.args.ruleTimesSourceAlpha = timesAlpha;
    return runKernel(Op::RuleTransition, SourceKind::Argb32, work, true);
}

int colourFill32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (hasOperatorSeven(p) || !is32(dst))
        return kFail;
    const std::uint32_t alpha = p.colour >> 24;
    const std::uint32_t op = blendOperator(p);
    if (alpha == 0)
        return kDone;
    if (alpha == 255 && op == 0 && !(p.flags & bf::kKeepAlpha))
        return solidFill(dst, dr, src, sr, p);
    Work work;
    if (!prepareFill(dst, dr, work))
        return kDone;
    work.args.colour = p.colour;
    work.args.blendOp = op;
    return runKernel(Op::FillColour, SourceKind::Colour, work, op == 0);
}

int colourComposite32(NxSurface& dst, const NxRect& dr, NxSurface&, const NxRect&, const NxBlitParams& p)
{
    if (blendOperator(p) != 0 || !is32(dst))
        return kFail;
    Work work;
    if (!prepareFill(dst, dr, work))
        return kDone;
    work.args.colour = p.colour;
    work.args.opacity = p.colour >> 24;
    return runKernel(Op::Composite, SourceKind::Colour, work, true);
}

int coverageColour32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (hasOperatorSeven(p) || !is32(dst) || !is8(src) || !equalSize(dr, sr))
        return kFail;
    if ((p.colour >> 24) == 0)
        return kDone;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.colour = p.colour;
    work.args.blendOp = blendOperator(p);
    return runKernel(Op::CoverageColour, SourceKind::Byte8, work, work.args.blendOp == 0);
}

int coverageComposite32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (blendOperator(p) != 0 || !is32(dst) || !is8(src) || !equalSize(dr, sr))
        return kFail;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.colour = p.colour;
    return runKernel(Op::CoverageComposite, SourceKind::Byte8, work, true);
}

int writeMaskFill32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (p.writeMask == 0xFFFFFFFFu)
        return solidFill(dst, dr, src, sr, p);
    if (!is32(dst))
        return kFail;
    Work work;
    if (!prepareFill(dst, dr, work))
        return kDone;
    work.args.colour = p.colour;
    work.args.writeMask = p.writeMask;
    return runKernel(Op::WriteMaskFill, SourceKind::Colour, work, true);
}

int blurredCoverageColour32(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr,
                            const NxBlitParams& p)
{
    if (p.blurRadius == 0)
        return (p.flags & bf::kSourceAlpha) ? coverageColour32(dst, dr, src, sr, p)
                                            : colourFill32(dst, dr, src, sr, p);
    std::uint32_t a = 0;
    if (blendOperator(p) != 0 || !(p.flags & bf::kSourceAlpha) || !opacityOf(p, a) ||
        p.blurRadius > kMaxBlurRadius || !is32(dst) || !is8(src) || !equalSize(dr, sr))
        return kFail;
    if (a == 0 || (p.colour >> 24) == 0)
        return kDone;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    std::vector<std::uint8_t> block;
    if (!blurIntoBlock(src, work, p.blurRadius, block))
        return kFail;
    // The opacity scales the blurred coverage before the colour's own alpha does.
    if (a != 255)
        for (std::uint8_t& v : block)
            v = tables().mul[a][v];
    work.args.colour = p.colour;
    return runKernel(Op::CoverageColour, SourceKind::Byte8, work, true);
}

int unsupported(NxSurface&, const NxRect&, NxSurface&, const NxRect&, const NxBlitParams&) { return kFail; }

// ---- 8 bpp engine --------------------------------------------------------------------------

int copy8(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is8(dst) || !is8(src))
        return kFail;
    if (dr.isEmpty())
        return kDone;
    if (!equalSize(dr, sr))
        return drawScaled(NxScaledOp::Copy, dst, dr, src, sr, p, 255);
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    return runKernel(Op::Copy, SourceKind::Gray8To8, work, true);
}

int constantAlphaBlend8(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    std::uint32_t a = 0;
    if (!opacityOf(p, a) || a != 255 || blendOperator(p) != 0 || (p.flags & bf::kKeepAlpha))
        return kFail;
    return copy8(dst, dr, src, sr, p);
}

int colourFill8(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    const std::uint32_t alpha = p.colour >> 24;
    if (hasOperatorSeven(p) || !is8(dst))
        return kFail;
    if (alpha == 0)
        return kDone;
    if (alpha == 255 && blendOperator(p) == 0)
        return solidFill(dst, dr, src, sr, p);
    return kFail;
}

int blur8(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (p.blurRadius == 0)
        return constantAlphaBlend8(dst, dr, src, sr, p);
    if (p.blurRadius > kMaxBlurRadius || !is8(dst) || !is8(src) || !equalSize(dr, sr))
        return kFail;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    std::vector<std::uint8_t> block;
    if (!blurIntoBlock(src, work, p.blurRadius, block))
        return kFail;
    return runKernel(Op::Copy, SourceKind::Gray8To8, work, true);
}

int writeMaskCopy8(NxSurface& dst, const NxRect& dr, NxSurface& src, const NxRect& sr, const NxBlitParams& p)
{
    if (!is8(dst) || !is8(src) || !equalSize(dr, sr))
        return kFail;
    Work work;
    if (!preparePair(dst, dr, src, sr, work))
        return kDone;
    work.args.writeMask = p.writeMask;
    return runKernel(Op::WriteMaskCopy, SourceKind::Gray8To8, work, true);
}

constexpr NxBlitEngine kEngine32({
    blur32, writeMaskCopy32, copy32, ruleTransition32, constantAlphaBlend32, sourceAlphaBlend32, composite32,
    sourceAlphaComposite32, blurredCoverageColour32, writeMaskFill32, solidFill, colourFill32, coverageColour32,
    colourComposite32, coverageComposite32, fillEffect0, fillEffect1, fillEffect2, fillEffect3,
});

constexpr NxBlitEngine kEngine8({
    blur8, writeMaskCopy8, copy8, unsupported, constantAlphaBlend8, unsupported, unsupported, unsupported,
    unsupported, unsupported, solidFill, colourFill8, unsupported, unsupported, unsupported, unsupported,
    unsupported, unsupported, unsupported,
});

} // namespace

const NxBlitEngine& engine32() { return kEngine32; }
const NxBlitEngine& engine8() { return kEngine8; }
const NxBlitEngine& engineFor(int bitsPerPixel) { return bitsPerPixel == 8 ? kEngine8 : kEngine32; }

} // namespace gfx
