#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"
#include "gfx/kernels/Kernels.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

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

// One pixel of src drawn onto one pixel of dst with the given params.
std::uint32_t drawOne(std::uint32_t dstPixel, std::uint32_t srcPixel, const NxBlitParams& p, int* result = nullptr)
{
    auto dst = makeSurface(32, 1, 1);
    auto src = makeSurface(32, 1, 1);
    setPixel(*dst, 0, 0, dstPixel);
    setPixel(*src, 0, 0, srcPixel);
    const int r = blit(*dst, nullptr, src.get(), nullptr, &p);
    if (result)
        *result = r;
    return pixel(*dst, 0, 0);
}

// ---- selection ----

struct SelectionCase {
    std::uint32_t flags;
    NxSlot slot;
};

class SelectionTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(SelectionTest, FirstMatchingRuleWins)
{
    EXPECT_EQ(selectSlot(GetParam().flags), GetParam().slot) << std::hex << GetParam().flags;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SelectionTest,
    ::testing::Values(SelectionCase{0xC0 | 0x820 | 0x20000, NxSlot::CoverageComposite},
                      SelectionCase{0xC0 | 0x20000 | 0x800, NxSlot::BlurredCoverageColour},
                      SelectionCase{0xC0 | 0x800 | 0x200, NxSlot::CoverageColour},
                      SelectionCase{0xC0 | 0x20 | 0x200, NxSlot::ColourComposite},
                      SelectionCase{0xC0 | 0x200, NxSlot::WriteMaskFill}, SelectionCase{0xC0, NxSlot::ColourFill},
                      SelectionCase{0xC0 | 0x1000, NxSlot::ColourFill},
                      SelectionCase{0x40 | 0x800, NxSlot::SourceAlphaBlend},
                      SelectionCase{0x1000 | 0x20000 | 0x820, NxSlot::RuleTransition},
                      SelectionCase{0x20000 | 0x820, NxSlot::Blur},
                      SelectionCase{0x820 | 0x200, NxSlot::SourceAlphaComposite},
                      SelectionCase{0x800 | 0x200, NxSlot::SourceAlphaBlend},
                      SelectionCase{0x20 | 0x200, NxSlot::Composite}, SelectionCase{0x200, NxSlot::WriteMaskCopy},
                      SelectionCase{0x10, NxSlot::ConstantAlphaBlend}, SelectionCase{0x4000, NxSlot::ConstantAlphaBlend},
                      SelectionCase{0x80000000u | 0x800, NxSlot::SourceAlphaBlend}));

// ---- exact pixels ----

struct PixelCase {
    const char* name;
    std::uint32_t flags;
    std::uint32_t constantAlpha;
    std::uint32_t dst;
    std::uint32_t src;
    std::uint32_t expected;
};

class ExactPixelTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(ExactPixelTest, GivesTheHandComputedPixel)
{
    const PixelCase c = GetParam();
    NxBlitParams p = withFlags(c.flags);
    p.constantAlpha = c.constantAlpha;
    int result = 0;
    EXPECT_EQ(drawOne(c.dst, c.src, p, &result), c.expected) << std::hex << drawOne(c.dst, c.src, p);
    EXPECT_NE(result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExactPixelTest,
    ::testing::Values(
        // red = (0 + 255 * 129) >> 8 = 128; the destination alpha 0x80 stays.
        PixelCase{"constantAlpha", 0x10, 128, 0x80000000, 0x00FF0000, 0x80800000},
        PixelCase{"constantAlphaFloorsDownwards", 0x10, 128, 0x00FFFFFF, 0x00000000, 0x007E7E7E},
        PixelCase{"keepAlphaAtFullOpacity", 0x10010, 255, 0x12000000, 0x34ABCDEF, 0x12ABCDEF},
        PixelCase{"fullOpacityIsACopy", 0x10, 255, 0x12000000, 0x34ABCDEF, 0x34ABCDEF},
        PixelCase{"sourceAlphaZero", 0x800, 0, 0x11223344, 0x00FFFFFF, 0x11223344},
        PixelCase{"sourceAlphaFull", 0x800, 0, 0x11223344, 0xFFAABBCC, 0x11AABBCC},
        PixelCase{"sourceAlphaTimesConstant", 0x810, 128, 0xFF000000, 0x80FF0000, 0xFF400000},
        PixelCase{"compositeOverTransparent", 0x20, 0, 0x00000000, 0x00123456, 0xFF123456},
        PixelCase{"compositeHalfOverHalf", 0x30, 128, 0x80000000, 0x00FF0000, 0xBFAA0000},
        PixelCase{"sourceAlphaComposite", 0x820, 0, 0x00000000, 0x80123456, 0x80123456},
        PixelCase{"add", 0x11, 255, 0xFF0000C8, 0x00000064, 0xFF0000FF},
        PixelCase{"subtract", 0x12, 255, 0xFF0000C8, 0x00000064, 0xFF000064},
        PixelCase{"multiply", 0x13, 255, 0xFF0000C8, 0x00000064, 0xFF00004E},
        PixelCase{"screen", 0x14, 255, 0xFF0000C8, 0x00000064, 0xFF0000DE},
        PixelCase{"lighten", 0x15, 255, 0xFF0064C8, 0x00C86464, 0xFFC864C8},
        PixelCase{"darken", 0x16, 255, 0xFF0064C8, 0x00C86464, 0xFF006464},
        PixelCase{"multiplyHalf", 0x13, 128, 0xFF0000C8, 0x00000064, 0xFF00008A},
        PixelCase{"addWithSourceAlpha", 0x801, 0, 0xFF0000C8, 0x80000064, 0xFF0000FA}),
    [](const ::testing::TestParamInfo<PixelCase>& info) { return info.param.name; });

TEST(ExactPixelTest, WriteMaskUsesItsWord)
{
    NxBlitParams p = withFlags(0x200);
    p.writeMask = 0xFF000000;
    EXPECT_EQ(drawOne(0x11223344, 0xAABBCCDD, p), 0xAA223344u);
    p.writeMask = 0x0000FF00;
    EXPECT_EQ(drawOne(0x11223344, 0xAABBCCDD, p), 0x1122CC44u);
    // An 8 bpp source contributes its gray word.
    auto dst = makeSurface(32, 1, 1);
    auto gray = makeSurface(8, 1, 1);
    setPixel(*gray, 0, 0, 0x5A);
    setPixel(*dst, 0, 0, 0x11223344);
    p.writeMask = 0x00FF00FF;
    EXPECT_NE(blit(*dst, nullptr, gray.get(), nullptr, &p), 0);
    EXPECT_EQ(pixel(*dst, 0, 0), 0x115A335Au);
}

TEST(ExactPixelTest, ColourOperations)
{
    auto dst = makeSurface(32, 3, 1);
    auto mask = makeSurface(8, 3, 1);
    setPixel(*mask, 0, 0, 0);
    setPixel(*mask, 1, 0, 255);
    setPixel(*mask, 2, 0, 128);

    NxBlitParams p = withFlags(0xC0);
    p.colour = 0x80FF0000;
    fill(*dst, 0xFF000000);
    EXPECT_NE(blit(*dst, nullptr, nullptr, nullptr, &p), 0);
    EXPECT_EQ(pixel(*dst, 0, 0), 0xFF800000u);

    p = withFlags(0xC0 | 0x800);
    p.colour = 0xFFFFFFFF;
    fill(*dst, 0xFF000000);
    EXPECT_NE(blit(*dst, nullptr, mask.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0xFF000000, 0xFFFFFFFF, 0xFF808080}));

    p = withFlags(0xC0 | 0x820);
    p.colour = 0xFF102030;
    fill(*dst, 0x00000000);
    EXPECT_NE(blit(*dst, nullptr, mask.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0x00102030, 0xFF102030, 0x80102030}));

    p = withFlags(0xC0 | 0x20);
    p.colour = 0xFF112233;
    fill(*dst, 0x00000000);
    EXPECT_NE(blit(*dst, nullptr, nullptr, nullptr, &p), 0);
    EXPECT_EQ(pixel(*dst, 2, 0), 0xFF112233u);

    p = withFlags(0xC0 | 0x200);
    p.colour = 0x12345678;
    p.writeMask = 0x00FF0000;
    fill(*dst, 0xAABBCCDD);
    EXPECT_NE(blit(*dst, nullptr, nullptr, nullptr, &p), 0);
    EXPECT_EQ(pixel(*dst, 1, 0), 0xAA34CCDDu);

    // Blur radius 0 sends the blurred coverage to the plain coverage operation.
    p = withFlags(0xC0 | 0x20800);
    p.colour = 0xFFFFFFFF;
    fill(*dst, 0xFF000000);
    EXPECT_NE(blit(*dst, nullptr, mask.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0xFF000000, 0xFFFFFFFF, 0xFF808080}));
}

TEST(ExactPixelTest, BlurredCoverageBlursTheMaskRow)
{
    auto dst = makeSurface(32, 5, 1);
    auto mask = makeSurface(8, 5, 1);
    setPixel(*mask, 2, 0, 255);
    NxBlitParams p = withFlags(0xC0 | 0x20800);
    p.colour = 0xFFFFFFFF;
    p.blurRadius = 1;
    fill(*dst, 0xFF000000);
    EXPECT_NE(blit(*dst, nullptr, mask.get(), nullptr, &p), 0);
    // Coverage 0, 85, 85, 85, 0 gives weight 86.
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0xFF000000, 0xFF555555, 0xFF555555, 0xFF555555, 0xFF000000}));
}

TEST(ExactPixelTest, CopyFromGrayTakesTheTableEntryAsStored)
{
    auto dst = makeSurface(32, 2, 1);
    auto gray = makeSurface(8, 2, 1);
    setPixel(*gray, 0, 0, 0x40);
    setPixel(*gray, 1, 0, 0xFF);
    fill(*dst, 0xFFFFFFFF);
    EXPECT_NE(blit(*dst, nullptr, gray.get(), nullptr, nullptr), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0x00404040, 0x00FFFFFF}));
    // Through the constant-alpha blend the destination alpha stays.
    NxBlitParams p = withFlags(0x10);
    p.constantAlpha = 128;
    fill(*dst, 0xFF000000);
    EXPECT_NE(blit(*dst, nullptr, gray.get(), nullptr, &p), 0);
    EXPECT_EQ(pixel(*dst, 1, 0), 0xFF808080u);
}

// ---- geometry ----

std::unique_ptr<NxSurface> numbered(std::int32_t w, std::int32_t h)
{
    auto s = makeSurface(32, w, h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            setPixel(*s, x, y, 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x));
    return s;
}

class MirrorFlipTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(MirrorFlipTest, WalksTheSourceBackwards)
{
    // Flags on top of mirror/flip pick different kernels: copy, blend, source alpha, composite.
    const std::uint32_t extra = GetParam();
    auto src = numbered(4, 3);
    for (const std::uint32_t flags : {0x4000u, 0x8000u, 0xC000u}) {
        auto dst = makeSurface(32, 4, 3);
        NxBlitParams p = withFlags(flags | extra);
        p.constantAlpha = 255;
        ASSERT_NE(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const int sx = (flags & 0x4000) ? 3 - x : x;
                const int sy = (flags & 0x8000) ? 2 - y : y;
                const std::uint32_t expected = pixel(*src, sx, sy);
                EXPECT_EQ(pixel(*dst, x, y) & 0x00FFFFFF, expected & 0x00FFFFFF) << std::hex << flags << " " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, MirrorFlipTest, ::testing::Values(0x10u, 0x10010u, 0x800u, 0x820u));

TEST(GeometryTest, MirroredSourcePartlyOutsideLeavesTheMatchingDestinationUndrawn)
{
    auto src = numbered(4, 1);
    auto dst = makeSurface(32, 4, 1);
    const NxRect dr{0, 0, 4, 1};
    const NxRect sr{-2, 0, 2, 1};  // columns -2, -1 lie outside
    NxBlitParams p = withFlags(0x4000 | 0x10);
    p.constantAlpha = 255;
    ASSERT_NE(blit(*dst, &dr, src.get(), &sr, &p), 0);
    // Mirrored: destination 0 shows column 1, 1 shows 0, 2 and 3 would show the outside.
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0xFF000001, 0xFF000000, 0, 0}));
}

TEST(GeometryTest, OriginAndClipConfineTheDrawing)
{
    auto src = numbered(4, 4);
    auto dst = makeSurface(32, 6, 6);
    dst->setOrigin(2, 1);
    const NxRect clip{0, 0, 5, 3};
    dst->setClipRect(&clip);
    const NxRect dr{0, 0, 4, 4};
    ASSERT_NE(blit(*dst, &dr, src.get(), nullptr, nullptr), 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool drawn = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(pixel(*dst, x, y), drawn ? pixel(*src, x - 2, y - 1) : 0u) << x << "," << y;
        }
}

TEST(GeometryTest, MissingSourceMeansTheDestinationItself)
{
    auto dst = numbered(3, 3);
    const auto before = snapshot(*dst);
    const NxRect r{1, 1, 3, 3};
    NxBlitParams p = withFlags(0x10);
    p.constantAlpha = 77;
    EXPECT_NE(blit(*dst, &r, nullptr, nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), before);
}

// ---- blur ----

TEST(BlurTest, RadiusOneAveragesThreePixels)
{
    auto src = makeSurface(32, 5, 1);
    setPixel(*src, 2, 0, 0x000000FF);
    auto dst = makeSurface(32, 5, 1);
    NxBlitParams p = withFlags(0x20000);
    p.blurRadius = 1;
    ASSERT_NE(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0, 85, 85, 85, 0}));
}

TEST(BlurTest, WindowReadsTheSourceEdgeNotTheClippedEdge)
{
    auto src = makeSurface(32, 4, 1);
    fill(*src, 0xFFFFFFFF);
    setPixel(*src, 0, 0, 0xFF0000FF);
    auto dst = makeSurface(32, 4, 1);
    const NxRect dr{0, 0, 2, 1};
    const NxRect sr{0, 0, 2, 1};
    NxBlitParams p = withFlags(0x20000);
    p.blurRadius = 1;
    ASSERT_NE(blit(*dst, &dr, src.get(), &sr, &p), 0);
    // Column 0: (255 + 255 + 255) blue, (0 + 0 + 255) green and red -> 255 and 85; column 1 sees
    // column 2 of the source although it lies outside srcRect.
    EXPECT_EQ(pixel(*dst, 0, 0), 0xFF5555FFu);
    EXPECT_EQ(pixel(*dst, 1, 0), 0xFFAAAAFFu);
    EXPECT_EQ(pixel(*dst, 2, 0), 0u);
}

TEST(BlurTest, LargestRadiusOverWhiteStaysWhite)
{
    auto src = makeSurface(32, 7, 2);
    fill(*src, 0xFFFFFFFF);
    auto dst = makeSurface(32, 7, 2);
    NxBlitParams p = withFlags(0x20000);
    p.blurRadius = 128;
    ASSERT_NE(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
    for (std::uint32_t v : snapshot(*dst))
        EXPECT_EQ(v, 0xFFFFFFFFu);
}

// ---- rule transition ----

struct RuleFixture {
    std::unique_ptr<NxSurface> dst = makeSurface(32, 4, 1);
    std::unique_ptr<NxSurface> src = makeSurface(32, 4, 1);
    std::unique_ptr<NxSurface> rule = makeSurface(8, 6, 3);

    RuleFixture()
    {
        fill(*dst, 0xFF000000);
        // Source alphas 50, 98, 99, 150 act as rule values without a rule image.
        const std::uint32_t alphas[] = {50, 98, 99, 150};
        for (int x = 0; x < 4; ++x)
            setPixel(*src, x, 0, alphas[x] << 24 | 0x00FFFFFF);
    }
};

TEST(RuleTransitionTest, HardEdgeFromTheSourceAlpha)
{
    RuleFixture f;
    NxBlitParams p = withFlags(0x1000);
    p.colour = 100;  // start A = 99: values below 99 fully drawn
    ASSERT_NE(blit(*f.dst, nullptr, f.src.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*f.dst), (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000}));

    RuleFixture g;
    p.colour = 257 + 99;  // rising: values from 99 on drawn
    ASSERT_NE(blit(*g.dst, nullptr, g.src.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*g.dst), (std::vector<std::uint32_t>{0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST(RuleTransitionTest, SoftEdgeRampsTheOpacity)
{
    RuleFixture f;
    setPixel(*f.src, 0, 0, 104u << 24 | 0x00FFFFFF);
    NxBlitParams p = withFlags(0x1000);
    p.colour = 100;
    p.softness = 10;
    ASSERT_NE(blit(*f.dst, nullptr, f.src.get(), nullptr, &p), 0);
    // v = 104: 255 - (5 * 255) / 10 = 128, weight 129.
    EXPECT_EQ(pixel(*f.dst, 0, 0), 0xFF808080u);
}

TEST(RuleTransitionTest, RuleImageWithSourceAlpha)
{
    RuleFixture f;
    for (int x = 0; x < 6; ++x)
        setPixel(*f.rule, x, 2, x < 3 ? 0 : 200);
    fill(*f.src, 0x80FFFFFF);
    NxBlitParams p = withFlags(0x1000 | 0x800);
    p.colour = 100;
    p.maskSurface = f.rule.get();
    p.maskOffsetX = 1;
    p.maskOffsetY = 2;
    ASSERT_NE(blit(*f.dst, nullptr, f.src.get(), nullptr, &p), 0);
    // Rule values 0, 0, 200, 200 at columns 1..4: opacity MUL[255][0x80] then none.
    EXPECT_EQ(snapshot(*f.dst), (std::vector<std::uint32_t>{0xFF808080, 0xFF808080, 0xFF000000, 0xFF000000}));
}

TEST(RuleTransitionTest, HalfwayIsAPlainBlendAndTheEndsDrawNothing)
{
    RuleFixture f;
    NxBlitParams p = withFlags(0x1000 | 0x800);
    p.colour = 256;
    ASSERT_NE(blit(*f.dst, nullptr, f.src.get(), nullptr, &p), 0);
    EXPECT_EQ(pixel(*f.dst, 3, 0), 0xFF969696u);  // source alpha 150: weight 151
    for (std::uint32_t progress : {0u, 512u}) {
        RuleFixture g;
        p = withFlags(0x1000);
        p.colour = progress;
        EXPECT_NE(blit(*g.dst, nullptr, g.src.get(), nullptr, &p), 0);
        EXPECT_EQ(pixel(*g.dst, 0, 0), 0xFF000000u);
    }
}

// ---- failures and empty successes ----

struct BadCase {
    const char* name;
    std::function<int(NxSurface& dst32, NxSurface& src32, NxSurface& src8)> call;
};

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, FailsWithoutTouchingAPixel)
{
    auto dst = numbered(8, 4);
    auto src = numbered(8, 4);
    auto gray = makeSurface(8, 8, 4);
    fill(*gray, 0x77);
    const auto before = snapshot(*dst);
    EXPECT_EQ(GetParam().call(*dst, *src, *gray), 0);
    EXPECT_EQ(snapshot(*dst), before);
}

int blitWith(NxSurface& d, NxSurface* s, std::uint32_t flags, std::function<void(NxBlitParams&)> tweak = {})
{
    NxBlitParams p = withFlags(flags);
    if (tweak)
        tweak(p);
    return blit(d, nullptr, s, nullptr, &p);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadCase{"uncreatedDestination", [](NxSurface&, NxSurface& s, NxSurface&) { NxSurface e(32); return blit(e, nullptr, &s, nullptr, nullptr); }},
        BadCase{"uncreatedSource", [](NxSurface& d, NxSurface&, NxSurface&) { NxSurface e(32); return blit(d, nullptr, &e, nullptr, nullptr); }},
        BadCase{"constantAlpha256", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x10, [](NxBlitParams& p) { p.constantAlpha = 256; }); }},
        BadCase{"constantAlphaHuge", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x810, [](NxBlitParams& p) { p.constantAlpha = 0xFFFFFFFF; }); }},
        BadCase{"operator7Blend", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x7); }},
        BadCase{"operator7SourceAlpha", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x807); }},
        BadCase{"operator7Colour", [](NxSurface& d, NxSurface&, NxSurface&) { return blitWith(d, nullptr, 0xC7, [](NxBlitParams& p) { p.colour = 0x80FFFFFF; }); }},
        BadCase{"operator7Coverage", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x8C7, [](NxBlitParams& p) { p.colour = 0x80FFFFFF; }); }},
        BadCase{"compositeWithOperator", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x21); }},
        BadCase{"compositeFromGray", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x20); }},
        BadCase{"sourceAlphaCompositeFromGray", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x820); }},
        BadCase{"grayBlendWithOperator", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x11, [](NxBlitParams& p) { p.constantAlpha = 100; }); }},
        BadCase{"coverageFromTrueColour", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x8C0, [](NxBlitParams& p) { p.colour = 0x80FFFFFF; }); }},
        BadCase{"blurFromGray", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x20000, [](NxBlitParams& p) { p.blurRadius = 2; }); }},
        BadCase{"blurRadiusTooLarge", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x20000, [](NxBlitParams& p) { p.blurRadius = 129; }); }},
        BadCase{"blurredCoverageWithoutSourceAlpha", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x200C0, [](NxBlitParams& p) { p.blurRadius = 1; p.colour = 0xFF000000; }); }},
        BadCase{"unequalComposite", [](NxSurface& d, NxSurface& s, NxSurface&) { NxBlitParams p = withFlags(0x20); const NxRect r{0, 0, 3, 3}; return blit(d, nullptr, &s, &r, &p); }},
        BadCase{"ruleProgressTooLarge", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x1000, [](NxBlitParams& p) { p.colour = 513; }); }},
        BadCase{"ruleSoftnessTooLarge", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x1000, [](NxBlitParams& p) { p.colour = 100; p.softness = 512; }); }},
        BadCase{"ruleFromGray", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x1000, [](NxBlitParams& p) { p.colour = 100; }); }},
        BadCase{"ruleImageMissing", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x1800, [](NxBlitParams& p) { p.colour = 100; }); }},
        BadCase{"ruleImageTrueColour", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x1800, [&s](NxBlitParams& p) { p.colour = 100; p.maskSurface = &s; }); }},
        BadCase{"ruleImageTooSmall", [](NxSurface& d, NxSurface& s, NxSurface& g) { return blitWith(d, &s, 0x1800, [&g](NxBlitParams& p) { p.colour = 100; p.maskSurface = &g; p.maskOffsetX = 1; }); }},
        BadCase{"ruleImageNegativeOffset", [](NxSurface& d, NxSurface& s, NxSurface& g) { return blitWith(d, &s, 0x1800, [&g](NxBlitParams& p) { p.colour = 100; p.maskSurface = &g; p.maskOffsetY = -1; }); }},
        BadCase{"ruleImageOffsetOverflow", [](NxSurface& d, NxSurface& s, NxSurface& g) { return blitWith(d, &s, 0x1800, [&g](NxBlitParams& p) { p.colour = 100; p.maskSurface = &g; p.maskOffsetX = INT32_MAX; }); }},
        BadCase{"grayOntoGrayEngineFromTrueColour", [](NxSurface&, NxSurface& s, NxSurface& g) { return blit(g, nullptr, &s, nullptr, nullptr); }}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

class EmptySuccessTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(EmptySuccessTest, SucceedsWithoutTouchingAPixel)
{
    auto dst = numbered(8, 4);
    auto src = makeSurface(32, 8, 4);
    fill(*src, 0xFFFFFFFF);
    auto gray = makeSurface(8, 8, 4);
    fill(*gray, 0xFF);
    const auto before = snapshot(*dst);
    EXPECT_NE(GetParam().call(*dst, *src, *gray), 0);
    EXPECT_EQ(snapshot(*dst), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmptySuccessTest,
    ::testing::Values(
        BadCase{"outsideDestination", [](NxSurface& d, NxSurface& s, NxSurface&) { const NxRect r{100, 100, 108, 104}; return blit(d, &r, &s, nullptr, nullptr); }},
        BadCase{"outsideSource", [](NxSurface& d, NxSurface& s, NxSurface&) { const NxRect r{-50, -50, -42, -46}; NxBlitParams p = withFlags(0x800); return blit(d, nullptr, &s, &r, &p); }},
        BadCase{"invertedRects", [](NxSurface& d, NxSurface& s, NxSurface&) { const NxRect r{5, 3, 1, 1}; return blit(d, &r, &s, &r, nullptr); }},
        BadCase{"zeroConstantAlpha", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x10); }},
        BadCase{"zeroConstantAlphaSourceAlpha", [](NxSurface& d, NxSurface& s, NxSurface&) { return blitWith(d, &s, 0x810); }},
        BadCase{"transparentColour", [](NxSurface& d, NxSurface&, NxSurface&) { return blitWith(d, nullptr, 0xC1, [](NxBlitParams& p) { p.colour = 0x00FFFFFF; }); }},
        BadCase{"transparentCoverage", [](NxSurface& d, NxSurface&, NxSurface& g) { return blitWith(d, &g, 0x8C0, [](NxBlitParams& p) { p.colour = 0x00FFFFFF; }); }},
        BadCase{"clipOutside", [](NxSurface& d, NxSurface& s, NxSurface&) { d.setOrigin(1000, 0); return blit(d, nullptr, &s, nullptr, nullptr); }},
        BadCase{"zeroSizedPair", [](NxSurface& d, NxSurface& s, NxSurface&) { const NxRect r{2, 2, 2, 2}; return blit(d, &r, &s, &r, nullptr); }}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

// ---- gray engine ----

TEST(GrayEngineTest, CopiesGrayWithMirroringAndRefusesWhatItCannotDo)
{
    auto src = makeSurface(8, 3, 1);
    for (int x = 0; x < 3; ++x)
        setPixel(*src, x, 0, 10 + x);
    auto dst = makeSurface(8, 3, 1);
    NxBlitParams p = withFlags(0x4000);
    EXPECT_NE(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{12, 11, 10}));

    p = withFlags(0x10);
    p.constantAlpha = 128;
    EXPECT_EQ(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
    for (std::uint32_t flags : {0x800u, 0x20u, 0x820u, 0x1000u, 0x8C0u})
        EXPECT_EQ(blitWith(*dst, src.get(), flags, [](NxBlitParams& q) { q.colour = 0x80FFFFFF; }), 0) << std::hex << flags;

    p = withFlags(0xC0);
    p.colour = 0x00123456;
    EXPECT_NE(blit(*dst, nullptr, nullptr, nullptr, &p), 0);
    p.colour = 0x80123456;
    EXPECT_EQ(blit(*dst, nullptr, nullptr, nullptr, &p), 0);

    p = withFlags(0x200);
    p.writeMask = 0x0F;
    fill(*dst, 0xF0);
    EXPECT_NE(blit(*dst, nullptr, src.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*dst), (std::vector<std::uint32_t>{0xFA, 0xFB, 0xFC}));

    auto line = makeSurface(8, 5, 1);
    setPixel(*line, 2, 0, 255);
    auto out = makeSurface(8, 5, 1);
    p = withFlags(0x20000);
    p.blurRadius = 1;
    EXPECT_NE(blit(*out, nullptr, line.get(), nullptr, &p), 0);
    EXPECT_EQ(snapshot(*out), (std::vector<std::uint32_t>{0, 85, 85, 85, 0}));
}

// ---- entry points still to be written fail cleanly ----

// ---- every level draws the same picture ----

class LevelEquivalenceTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(LevelEquivalenceTest, ForcedScalarMatchesTheChosenLevel)
{
    std::mt19937 rng(GetParam());
    auto src = makeSurface(32, 67, 9);
    test::randomise(*src, rng);
    auto a = makeSurface(32, 71, 11);
    test::randomise(*a, rng);
    auto b = makeSurface(32, 71, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 71; ++x)
            setPixel(*b, x, y, pixel(*a, x, y));
    for (NxSurface* s : {a.get(), b.get()}) {
        s->setOrigin(3, 1);
        const NxRect clip{5, 2, 70, 10};
        s->setClipRect(&clip);
    }
    NxBlitParams p = withFlags(GetParam());
    p.constantAlpha = 131;
    p.colour = 0x9C405060;
    const NxRect dr{-1, 0, 66, 9};
    const NxRect sr{0, 0, 67, 9};
    kernels::forceLevel(kernels::Level::Scalar);
    const int r1 = blit(*a, &dr, src.get(), &sr, &p);
    kernels::forceLevel(kernels::Level::Avx512);
    const int r2 = blit(*b, &dr, src.get(), &sr, &p);
    EXPECT_EQ(r1, r2);
    EXPECT_EQ(snapshot(*a), snapshot(*b));
}

INSTANTIATE_TEST_SUITE_P(Flags, LevelEquivalenceTest,
                         ::testing::Values(0x10u, 0x10010u, 0x800u, 0x810u, 0x20u, 0x30u, 0x820u, 0x830u, 0xC0u));

} // namespace
} // namespace gfx

namespace gfx {
namespace {

// Overlapping rectangles of one surface need no particular picture, but every kernel level must
// stay inside the pixels (the sanitizer build checks).
TEST(GeometryTest, OverlappingCopiesWithinOneSurfaceStayInBounds)
{
    for (std::uint32_t flags : {0x0u, 0x10010u, 0x800u, 0x820u, 0x4010u, 0x8800u, 0x200u}) {
        auto s = numbered(40, 6);
        const NxRect dr{3, 1, 40, 6};
        const NxRect sr{0, 0, 37, 5};
        NxBlitParams p = withFlags(flags);
        p.constantAlpha = 200;
        p.writeMask = 0x00FFFF00;
        EXPECT_NE(blit(*s, &dr, s.get(), &sr, &p), 0) << std::hex << flags;
        EXPECT_EQ(pixel(*s, 0, 0), 0xFF000000u);
    }
}

} // namespace
} // namespace gfx
