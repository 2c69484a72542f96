#include "gfx/NxBlit.h"
#include "gfx/NxScale.h"
#include "gfx/NxSurface.h"
#include "gfx/kernels/Kernels.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace gfx {
namespace {

using test::fill;
using test::makeSurface;
using test::pixel;
using test::setPixel;
using test::snapshot;
namespace bf = blitflag;

NxBlitParams withFlags(std::uint32_t flags)
{
    NxBlitParams p;
    p.flags = flags;
    return p;
}

// ---- steps and clipping ----

TEST(ScaledClipTest, TwoByTwoToFourByFourStepsByHalves)
{
    NxScaledPair pair;
    ASSERT_TRUE(clipScaled({0, 0, 4, 4}, {0, 0, 2, 2}, 2, 2, {0, 0, 4, 4}, 0, 0, false, pair));
    EXPECT_EQ(pair.steps.xStepInteger, 0u);
    EXPECT_EQ(pair.steps.xStepFraction, 0x80000000u);
    EXPECT_EQ(pair.steps.yStepInteger, 0u);
    EXPECT_EQ(pair.steps.yStepFraction, 0x80000000u);

    auto src = makeSurface(32, 2, 2);
    auto dst = makeSurface(32, 4, 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            setPixel(*src, x, y, 0xFF000000u | static_cast<std::uint32_t>(y * 2 + x + 1));
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, nullptr), 1);
    const int expected[4] = {0, 0, 1, 1};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixel(*dst, x, y), pixel(*src, expected[x], expected[y])) << x << "," << y;
}

TEST(ScaledClipTest, ThousandColumnsToThreeSampleEveryThird)
{
    NxScaledPair pair;
    ASSERT_TRUE(clipScaled({0, 0, 3, 1}, {0, 0, 1000, 1}, 1000, 1, {0, 0, 3, 1}, 0, 0, false, pair));
    EXPECT_EQ(pair.steps.xStepInteger, 333u);
    EXPECT_EQ(pair.steps.xStepFraction, 0x55555555u);

    auto src = makeSurface(32, 1000, 1);
    for (int x = 0; x < 1000; ++x)
        setPixel(*src, x, 0, static_cast<std::uint32_t>(x));
    auto dst = makeSurface(32, 3, 1);
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, nullptr), 1);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0, 333, 666}));
}

TEST(ScaledClipTest, DestinationAboveTheClipStartsWithTheFractionOfTheCutRows)
{
    // 7 source rows over 30 destination rows, the first 10 of them above the clip.
    const std::uint64_t step = (std::uint64_t{7} << 32) / 30;
    NxScaledPair pair;
    ASSERT_TRUE(clipScaled({0, -10, 5, 20}, {0, 0, 5, 7}, 5, 7, {0, 0, 5, 20}, 0, 0, false, pair));
    EXPECT_EQ(pair.dst.top, 0);
    EXPECT_EQ(pair.steps.yStartFraction, static_cast<std::uint32_t>(10 * step));
    EXPECT_EQ(pair.src.top, static_cast<std::int32_t>((10 * step) >> 32));
    // The same cut made by the origin instead of the rectangle.
    NxScaledPair byOrigin;
    ASSERT_TRUE(clipScaled({0, 0, 5, 30}, {0, 0, 5, 7}, 5, 7, {0, 0, 5, 20}, 0, -10, false, byOrigin));
    EXPECT_EQ(byOrigin.steps.yStartFraction, pair.steps.yStartFraction);
    EXPECT_EQ(byOrigin.src.top, pair.src.top);
}

TEST(ScaledClipTest, FilterDecision)
{
    const NxBlitParams filtered = withFlags(bf::kSourceAlpha | bf::kLinearFilter);
    EXPECT_TRUE(scaledFilterOn(&filtered, {0, 0, 2, 2}, false));
    EXPECT_TRUE(scaledFilterOn(&filtered, {2, 2, 0, 0}, false));  // mirrored and flipped
    EXPECT_FALSE(scaledFilterOn(&filtered, {0, 0, 2, 1}, false));
    EXPECT_FALSE(scaledFilterOn(&filtered, {0, 0, 1, 5}, false));
    EXPECT_FALSE(scaledFilterOn(&filtered, {0, 0, 9, 9}, true));
    EXPECT_FALSE(scaledFilterOn(nullptr, {0, 0, 9, 9}, false));
    const NxBlitParams nearest = withFlags(bf::kSourceAlpha);
    EXPECT_FALSE(scaledFilterOn(&nearest, {0, 0, 9, 9}, false));
}

TEST(ScaledClipTest, ExtremeRectanglesAndStepsStayInBounds)
{
    NxScaledPair pair;
    // 1 x 1 stretched to 16384 x 16384 and a huge source squeezed into one pixel.
    EXPECT_TRUE(clipScaled({0, 0, 16384, 16384}, {0, 0, 1, 1}, 1, 1, {0, 0, 64, 64}, 0, 0, false, pair));
    EXPECT_EQ(pair.src, (NxRect{0, 0, 1, 1}));
    EXPECT_TRUE(clipScaled({0, 0, 1, 1}, {0, 0, 16384, 16384}, 16384, 16384, {0, 0, 1, 1}, 0, 0, true, pair));
    EXPECT_EQ(pair.steps.xStepInteger, 16383u);
    // Steps beyond 32 bits, rectangles at the ends of the integer range.
    EXPECT_TRUE(clipScaled({0, 0, 1, 1}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 8, 8, {0, 0, 1, 1}, 0, 0, false,
                           pair) == false ||
                (pair.src.left >= 0 && pair.src.left < 8 && pair.src.top >= 0 && pair.src.top < 8));
    EXPECT_FALSE(clipScaled({INT32_MIN, 0, INT32_MAX, 1}, {0, 0, 3, 1}, 3, 1, {0, 0, 1, 1}, INT32_MAX, 0, false, pair) &&
                 pair.src.left >= 3);
}

// ---- kernels through blit ----

TEST(ScaledBlitTest, ThreePixelRowEnlargedWithTheFilter)
{
    auto src = makeSurface(32, 3, 2);
    const std::uint32_t row[3] = {0xFF000000u, 0xFF0000FFu, 0xFF000000u};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            setPixel(*src, x, y, row[x]);
    auto dst = makeSurface(32, 4, 2);
    const NxBlitParams opaque = withFlags(bf::kLinearFilter | bf::kSourceAlpha);
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, &opaque), 1);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(pixel(*dst, 0, y) & 0xFF, 0u);
        EXPECT_EQ(pixel(*dst, 1, y) & 0xFF, 127u);
        EXPECT_EQ(pixel(*dst, 2, y) & 0xFF, 255u);
        EXPECT_EQ(pixel(*dst, 3, y) & 0xFF, 127u);
    }
}

TEST(ScaledBlitTest, EightBitRowEnlargedWithTheFilterIntoEightBits)
{
    auto src = makeSurface(8, 3, 2);
    auto dst = makeSurface(8, 4, 2);
    for (int y = 0; y < 2; ++y) {
        setPixel(*src, 0, y, 0);
        setPixel(*src, 1, y, 255);
        setPixel(*src, 2, y, 0);
    }
    const NxBlitParams p = withFlags(bf::kLinearFilter);
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, &p), 1);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0, 127, 255, 127, 0, 127, 255, 127}));
}

TEST(ScaledBlitTest, SourceLowerThanTwoPixelsIsSampledNearest)
{
    auto src = makeSurface(32, 2, 1);
    setPixel(*src, 0, 0, 0xFF000000u);
    setPixel(*src, 1, 0, 0xFFFFFFFFu);
    auto filtered = makeSurface(32, 4, 4);
    auto nearest = makeSurface(32, 4, 4);
    const NxBlitParams f = withFlags(bf::kLinearFilter | bf::kSourceAlpha);
    const NxBlitParams n = withFlags(bf::kSourceAlpha);
    ASSERT_EQ(blit(*filtered, nullptr, src.get(), nullptr, &f), 1);
    ASSERT_EQ(blit(*nearest, nullptr, src.get(), nullptr, &n), 1);
    EXPECT_EQ(snapshot(*filtered), snapshot(*nearest));
    EXPECT_EQ(pixel(*nearest, 1, 3) & 0xFFFFFF, 0u);
    EXPECT_EQ(pixel(*nearest, 2, 3) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ScaledBlitTest, TransparentNeighbourDoesNotDarkenTheEdge)
{
    // Column 1 of the destination samples halfway between a transparent and an opaque red pixel.
    auto src = makeSurface(32, 2, 2);
    for (int y = 0; y < 2; ++y) {
        setPixel(*src, 0, y, 0x00000000u);
        setPixel(*src, 1, y, 0xFFFF0000u);
    }
    const auto drawOver = [&](std::uint32_t flags) {
        // With the filter the 2-column source steps by 0.5 over a 2-column destination.
        auto dst = makeSurface(32, 2, 4);
        fill(*dst, 0xFF0000FFu);
        const NxBlitParams p = withFlags(flags);
        EXPECT_EQ(blit(*dst, nullptr, src.get(), nullptr, &p), 1);
        return pixel(*dst, 1, 0);
    };
    // Filtered colour: red at alpha 127 (not dark red); weight 128 over blue.
    const std::uint32_t fixed = drawOver(bf::kSourceAlpha | bf::kLinearFilter);
    EXPECT_EQ((fixed >> 16) & 0xFF, 127u);
    EXPECT_EQ(fixed & 0xFF, 127u);
    EXPECT_EQ(fixed >> 24, 0xFFu);
    // Flag 0x40000 skips the fix: the red is pulled halfway to black first.
    const std::uint32_t plain = drawOver(bf::kSourceAlpha | bf::kLinearFilter | bf::kPlainFilter);
    EXPECT_EQ((plain >> 16) & 0xFF, 63u);
}

TEST(ScaledBlitTest, PlainFilterCountsFilteredAlphasBelowThreeAsZero)
{
    auto src = makeSurface(32, 2, 2);
    fill(*src, 0x02FFFFFFu);
    auto dst = makeSurface(32, 3, 3);
    fill(*dst, 0xFF000000u);
    const NxBlitParams cut = withFlags(bf::kSourceAlpha | bf::kLinearFilter | bf::kPlainFilter);
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, &cut), 1);
    EXPECT_EQ(pixel(*dst, 1, 1), 0xFF000000u);
    const NxBlitParams full = withFlags(bf::kSourceAlpha | bf::kLinearFilter);
    ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, &full), 1);
    EXPECT_EQ(pixel(*dst, 1, 1), 0xFF020202u);
}

TEST(ScaledBlitTest, OperatorOtherThanNormalFails)
{
    auto src = makeSurface(32, 2, 2);
    auto dst = makeSurface(32, 4, 4);
    fill(*dst, 0xFF101010u);
    const auto before = snapshot(*dst);
    for (std::uint32_t flags : {bf::kSourceAlpha | 1u, bf::kConstantAlpha | bf::kKeepAlpha | 2u,
                                bf::kSourceAlpha | bf::kLinearFilter | 5u}) {
        NxBlitParams p = withFlags(flags);
        p.constantAlpha = 200;
        EXPECT_EQ(blit(*dst, nullptr, src.get(), nullptr, &p), 0) << std::hex << flags;
    }
    EXPECT_EQ(snapshot(*dst), before);
    // The same operators work unscaled.
    NxBlitParams add = withFlags(bf::kSourceAlpha | 1u);
    const NxRect half{0, 0, 2, 2};
    EXPECT_EQ(blit(*dst, &half, src.get(), nullptr, &add), 1);
}

TEST(ScaledBlitTest, EmptyRectanglesSucceedWithoutDrawing)
{
    auto src = makeSurface(32, 4, 4);
    auto dst = makeSurface(32, 4, 4);
    fill(*src, 0xFFFFFFFFu);
    const NxRect emptyDst{1, 1, 1, 3};
    const NxRect invertedDst{3, 0, 1, 4};
    const NxRect emptySrc{2, 0, 2, 4};
    EXPECT_EQ(blit(*dst, &emptyDst, src.get(), nullptr, nullptr), 1);
    EXPECT_EQ(blit(*dst, &invertedDst, src.get(), nullptr, nullptr), 1);
    const NxRect d{0, 0, 4, 4};
    EXPECT_EQ(blit(*dst, &d, src.get(), &emptySrc, nullptr), 1);
    EXPECT_EQ(snapshot(*dst), std::vector<std::uint32_t>(16, 0));
}

TEST(ScaledBlitTest, ExtremeScaleFactorsDrawWithinBounds)
{
    auto tiny = makeSurface(32, 1, 1);
    setPixel(*tiny, 0, 0, 0xFF336699u);
    auto dst = makeSurface(32, 64, 64);
    const NxRect huge{0, 0, 16384, 16384};
    ASSERT_EQ(blit(*dst, &huge, tiny.get(), nullptr, nullptr), 1);
    EXPECT_EQ(snapshot(*dst), std::vector<std::uint32_t>(64 * 64, 0xFF336699u));

    // And back: 16384 columns or rows into one pixel, with and without the filter.
    for (const auto& [w, h] : {std::pair{16384, 2}, std::pair{2, 16384}}) {
        auto wide = makeSurface(32, w, h);
        fill(*wide, 0xFF102030u);
        for (std::uint32_t flags : {bf::kSourceAlpha, bf::kSourceAlpha | bf::kLinearFilter}) {
            auto one = makeSurface(32, 1, 1);
            const NxBlitParams p = withFlags(flags);
            ASSERT_EQ(blit(*one, nullptr, wide.get(), nullptr, &p), 1);
            EXPECT_EQ(pixel(*one, 0, 0), 0x00102030u);
        }
    }

    // A source rectangle far larger than the picture, squeezed into a few pixels, with the filter.
    auto src = makeSurface(32, 5, 5);
    fill(*src, 0xFF808080u);
    const NxRect wide{-1000000, -1000000, 1000000000, 1000000000};
    const NxRect small{0, 0, 3, 3};
    const NxBlitParams f = withFlags(bf::kSourceAlpha | bf::kLinearFilter);
    EXPECT_EQ(blit(*dst, &small, src.get(), &wide, &f), 1);
    const NxRect farAway{INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX};
    EXPECT_EQ(blit(*dst, &farAway, src.get(), nullptr, &f), 1);
    const NxRect oneByMany{0, 0, 1, 64};
    EXPECT_EQ(blit(*dst, &oneByMany, src.get(), &wide, &f), 1);
}

// A constant picture scales to the same constant, whatever the sizes, filter and format.
class ConstantPictureTest : public ::testing::TestWithParam<std::tuple<int, int, std::uint32_t>> {};

TEST_P(ConstantPictureTest, ScalesToTheSameConstant)
{
    const auto [srcBits, dstBits, flags] = GetParam();
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 40), sh = 1 + static_cast<int>(rng() % 9);
        const int dw = 1 + static_cast<int>(rng() % 70), dh = 1 + static_cast<int>(rng() % 9);
        auto src = makeSurface(srcBits, sw, sh);
        auto dst = makeSurface(dstBits, dw, dh);
        const std::uint32_t value = srcBits == 8 ? 0x5Au : 0xC0A05010u;
        fill(*src, value);
        const NxBlitParams p = withFlags(flags);
        ASSERT_EQ(blit(*dst, nullptr, src.get(), nullptr, flags ? &p : nullptr), 1);
        const std::uint32_t expected = srcBits == dstBits ? value : 0x005A5A5Au;
        EXPECT_EQ(snapshot(*dst), std::vector<std::uint32_t>(static_cast<std::size_t>(dw) * dh, expected))
            << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConstantPictureTest,
                         ::testing::Values(std::make_tuple(32, 32, 0u), std::make_tuple(32, 32, bf::kLinearFilter),
                                           std::make_tuple(8, 32, 0u), std::make_tuple(8, 32, bf::kLinearFilter),
                                           std::make_tuple(8, 8, 0u), std::make_tuple(8, 8, bf::kLinearFilter)));

// Clipping and the origin never change which source position a destination pixel shows: a
// clipped drawing equals the unclipped one inside the clip and leaves everything else alone.
class ClippedScaledTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ClippedScaledTest, ClippedDrawingMatchesTheWholeDrawingInsideTheClip)
{
    std::mt19937 rng(GetParam());
    const NxBlitParams p = withFlags(GetParam());
    for (int round = 0; round < 40; ++round) {
        const int sw = 2 + static_cast<int>(rng() % 30), sh = 2 + static_cast<int>(rng() % 12);
        const int dw = 1 + static_cast<int>(rng() % 70), dh = 1 + static_cast<int>(rng() % 20);
        auto src = makeSurface(32, sw, sh);
        test::randomise(*src, rng);
        auto whole = makeSurface(32, dw, dh);
        auto clipped = makeSurface(32, dw, dh);
        test::randomise(*whole, rng);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                setPixel(*clipped, x, y, pixel(*whole, x, y));
        const auto before = snapshot(*clipped);
        const int ox = static_cast<int>(rng() % 7) - 3, oy = static_cast<int>(rng() % 7) - 3;
        const NxRect clip{static_cast<int>(rng() % (dw + 1)), static_cast<int>(rng() % (dh + 1)), dw, dh};
        clipped->setClipRect(&clip);
        clipped->setOrigin(ox, oy);
        const NxRect d{-ox, -oy, dw - ox, dh - oy};
        ASSERT_EQ(blit(*whole, nullptr, src.get(), nullptr, &p), 1);
        ASSERT_EQ(blit(*clipped, &d, src.get(), nullptr, &p), 1);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) {
                const bool inside = x >= clipped->clipRect().left && x < clipped->clipRect().right &&
                                    y >= clipped->clipRect().top && y < clipped->clipRect().bottom;
                const std::uint32_t expected = inside ? pixel(*whole, x, y) : before[static_cast<std::size_t>(y) * dw + x];
                ASSERT_EQ(pixel(*clipped, x, y), expected) << round << ": " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, ClippedScaledTest,
                         ::testing::Values(0u, bf::kSourceAlpha, bf::kSourceAlpha | bf::kLinearFilter,
                                           bf::kLinearFilter, bf::kConstantAlpha | bf::kKeepAlpha));

// The chosen rule for mirroring with scaling: the scaled picture reflected in the destination.
TEST(ScaledMirrorTest, MirroredScaledBlitIsTheReflectedPicture)
{
    std::mt19937 rng(11);
    for (std::uint32_t extra : {0u, bf::kLinearFilter}) {
        for (int round = 0; round < 20; ++round) {
            const int sw = 2 + static_cast<int>(rng() % 20), sh = 2 + static_cast<int>(rng() % 10);
            const int dw = 1 + static_cast<int>(rng() % 50), dh = 1 + static_cast<int>(rng() % 15);
            auto src = makeSurface(32, sw, sh);
            test::randomise(*src, rng);
            auto plain = makeSurface(32, dw, dh);
            auto mirrored = makeSurface(32, dw, dh);
            auto flipped = makeSurface(32, dw, dh);
            const NxRect clip{static_cast<int>(rng() % (dw + 1)), static_cast<int>(rng() % (dh + 1)), dw, dh};
            mirrored->setClipRect(&clip);
            flipped->setClipRect(&clip);
            const NxBlitParams p = withFlags(bf::kSourceAlpha | extra);
            const NxBlitParams pm = withFlags(bf::kSourceAlpha | bf::kMirror | extra);
            const NxBlitParams pf = withFlags(bf::kSourceAlpha | bf::kFlip | extra);
            ASSERT_EQ(blit(*plain, nullptr, src.get(), nullptr, &p), 1);
            ASSERT_EQ(blit(*mirrored, nullptr, src.get(), nullptr, &pm), 1);
            ASSERT_EQ(blit(*flipped, nullptr, src.get(), nullptr, &pf), 1);
            for (int y = 0; y < dh; ++y)
                for (int x = 0; x < dw; ++x) {
                    const bool inside = x >= clip.left && y >= clip.top;
                    ASSERT_EQ(pixel(*mirrored, x, y), inside ? pixel(*plain, dw - 1 - x, y) : 0u) << x << "," << y;
                    ASSERT_EQ(pixel(*flipped, x, y), inside ? pixel(*plain, x, dh - 1 - y) : 0u) << x << "," << y;
                }
        }
    }
}

// ---- vector kernels against the reference ----

class ScaledLevelTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ScaledLevelTest, EveryLevelDrawsTheReferencePicture)
{
    std::mt19937 rng(GetParam() * 7919u + 1);
    for (int round = 0; round < 60; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 80), sh = 1 + static_cast<int>(rng() % 12);
        const int dw = static_cast<int>(rng() % 72), dh = 1 + static_cast<int>(rng() % 10);
        auto src = makeSurface(32, sw, sh);
        // Alphas 0, 255 and in between, in runs so that whole vectors take each shortcut.
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) {
                const std::uint32_t kind = (x / 5 + y + round) % 4;
                const std::uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : rng() & 0xFF;
                setPixel(*src, x, y, alpha << 24 | (rng() & 0xFFFFFF));
            }
        // Odd widths make odd strides; the offset moves the destination off alignment.
        const int surfaceWidth = dw + 3 + static_cast<int>(rng() % 5);
        auto a = makeSurface(32, surfaceWidth, dh + 2);
        test::randomise(*a, rng);
        auto b = makeSurface(32, surfaceWidth, dh + 2);
        for (int y = 0; y < dh + 2; ++y)
            for (int x = 0; x < surfaceWidth; ++x)
                setPixel(*b, x, y, pixel(*a, x, y));
        const int left = 1 + static_cast<int>(rng() % 3);
        const NxRect dr{left, 1, left + dw, 1 + dh};
        const int sl = static_cast<int>(rng() % sw);
        const NxRect sr{sl, 0, sl + 1 + static_cast<int>(rng() % (sw - sl)), sh};
        NxBlitParams p = withFlags(GetParam());
        p.constantAlpha = rng() % 3 == 0 ? 255 : rng() & 0xFF;
        kernels::forceLevel(kernels::Level::Scalar);
        const int r1 = blit(*a, &dr, src.get(), &sr, &p);
        kernels::forceLevel(kernels::Level::Avx512);
        const int r2 = blit(*b, &dr, src.get(), &sr, &p);
        ASSERT_EQ(r1, r2);
        ASSERT_EQ(snapshot(*a), snapshot(*b)) << "round " << round << ": " << sw << "x" << sh << " -> " << dw << "x" << dh;
        if (kernels::cpuLevel() >= kernels::Level::Sse2) {
            auto c = makeSurface(32, surfaceWidth, dh + 2);
            test::randomise(*c, rng);
            for (int y = 0; y < dh + 2; ++y)
                for (int x = 0; x < surfaceWidth; ++x)
                    setPixel(*c, x, y, pixel(*b, x, y));
            kernels::forceLevel(kernels::Level::Sse2);
            blit(*c, &dr, src.get(), &sr, &p);
            blit(*a, &dr, src.get(), &sr, &p);
            kernels::forceLevel(kernels::Level::Scalar);
            blit(*b, &dr, src.get(), &sr, &p);
            kernels::forceLevel(kernels::Level::Avx512);
            ASSERT_EQ(snapshot(*a), snapshot(*b)) << "sse2, round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, ScaledLevelTest,
                         ::testing::Values(bf::kSourceAlpha, bf::kSourceAlpha | bf::kConstantAlpha,
                                           bf::kSourceAlpha | bf::kLinearFilter,
                                           bf::kSourceAlpha | bf::kLinearFilter | bf::kConstantAlpha,
                                           bf::kSourceAlpha | bf::kLinearFilter | bf::kPlainFilter,
                                           bf::kSourceAlpha | bf::kLinearFilter | bf::kPlainFilter | bf::kConstantAlpha));

// A checksum over many reference results pins the filter formula, the colour fix and the weights.
TEST(ScaledReferenceTest, ChecksumOfFilteredSourceAlphaBlends)
{
    kernels::forceLevel(kernels::Level::Scalar);
    std::mt19937 rng(2024);
    std::uint64_t sum = 0;
    for (int round = 0; round < 50; ++round) {
        auto src = makeSurface(32, 9, 6);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x)
                setPixel(*src, x, y, (rng() % 3 == 0 ? 0u : rng() & 0xFF000000u) | (rng() & 0xFFFFFF));
        auto dst = makeSurface(32, 13, 7);
        test::randomise(*dst, rng);
        NxBlitParams p = withFlags(bf::kSourceAlpha | bf::kLinearFilter | bf::kConstantAlpha);
        p.constantAlpha = 200;
        blit(*dst, nullptr, src.get(), nullptr, &p);
        for (std::uint32_t v : snapshot(*dst))
            sum = sum * 1000003u + v;
    }
    kernels::forceLevel(kernels::Level::Avx512);
    // Recorded from the reference kernels; a change here is a change of the formula.
    EXPECT_EQ(sum, 16032107953005942812ull) << "checksum " << sum;
}

} // namespace
} // namespace gfx
