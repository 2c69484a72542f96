#include "gfx/NxBlit.h"
#include "gfx/NxFill.h"
#include "gfx/NxSurface.h"

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

// ---- solid fill ----

TEST(SolidFillTest, WritesTheColourWordAsGivenAlphaIncluded)
{
    auto s = makeSurface(32, 3, 2);
    fill(*s, 0xFF000000u);
    ASSERT_EQ(fillRect(*s, nullptr, 0x00FFFFFFu), 1);
    EXPECT_EQ(snapshot(*s), std::vector<std::uint32_t>(6, 0x00FFFFFFu));
}

TEST(SolidFillTest, EightBitSurfaceTakesTheLowByte)
{
    auto s = makeSurface(8, 5, 3);
    ASSERT_EQ(fillRect(*s, nullptr, 0xFF336699u), 1);
    EXPECT_EQ(snapshot(*s), std::vector<std::uint32_t>(15, 0x99u));
}

TEST(SolidFillTest, RectangleMovedByTheOriginAndCutByTheClip)
{
    for (int bits : {8, 32}) {
        auto s = makeSurface(bits, 8, 6);
        const NxRect clip{1, 1, 7, 5};
        s->setClipRect(&clip);
        s->setOrigin(2, -1);
        const NxRect r{-5, 0, 3, 100};
        ASSERT_EQ(fillRect(*s, &r, 0xFFABCDEFu), 1);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool in = x >= 1 && x < 5 && y >= 1 && y < 5;
                EXPECT_EQ(pixel(*s, x, y), in ? (bits == 8 ? 0xEFu : 0xFFABCDEFu) : 0u) << bits << ":" << x << "," << y;
            }
        const NxRect outside{100, 100, 200, 200};
        EXPECT_EQ(fillRect(*s, &outside, 1), 1);
    }
}

TEST(SolidFillTest, OpaqueColourFillAndFullWriteMaskBecomeTheSolidFill)
{
    auto s = makeSurface(32, 4, 4);
    fill(*s, 0x11223344u);
    NxBlitParams p;
    p.flags = bf::kColour;
    p.colour = 0xFF102030u;
    ASSERT_EQ(blit(*s, nullptr, nullptr, nullptr, &p), 1);
    EXPECT_EQ(snapshot(*s), std::vector<std::uint32_t>(16, 0xFF102030u));
    p.flags = bf::kColour | bf::kWriteMask;
    p.writeMask = 0xFFFFFFFFu;
    p.colour = 0x00405060u;
    ASSERT_EQ(blit(*s, nullptr, nullptr, nullptr, &p), 1);
    EXPECT_EQ(snapshot(*s), std::vector<std::uint32_t>(16, 0x00405060u));
    auto gray = makeSurface(8, 2, 2);
    p.flags = bf::kColour;
    p.colour = 0xFF000077u;
    ASSERT_EQ(blit(*gray, nullptr, nullptr, nullptr, &p), 1);
    EXPECT_EQ(snapshot(*gray), std::vector<std::uint32_t>(4, 0x77u));
}

// ---- colour effects ----

NxEffectParams effectOf(std::uint32_t kind, std::int32_t a2 = 0, std::int32_t a3 = 0, std::int32_t a4 = 0,
                        std::int32_t a5 = 0)
{
    NxEffectParams p;
    p.control = kind;
    p.arg[0] = a2;
    p.arg[1] = a3;
    p.arg[2] = a4;
    p.arg[3] = a5;
    return p;
}

std::uint32_t effectOn(std::uint32_t pixelValue, const NxEffectParams& p, int* result = nullptr)
{
    auto s = makeSurface(32, 1, 1);
    setPixel(*s, 0, 0, pixelValue);
    const int r = applyEffect(*s, nullptr, nullptr, nullptr, p);
    if (result)
        *result = r;
    return pixel(*s, 0, 0);
}

TEST(EffectTest, GrayOfPureRedKeepsAlpha)
{
    EXPECT_EQ(effectOn(0x80FF0000u, effectOf(effect::kGray)), 0x804C4C4Cu);
}

TEST(EffectTest, LevelsScaleAndOffsetEachChannel)
{
    // Scales blue 107, green 128, red 152; offsets -4, 0, 24.
    const auto p = effectOf(effect::kLevels, 107 | 128 << 16, 152, 0xFFFC, 24);
    EXPECT_EQ(effectOn(0xFF646464u, p), 0xFF8E644Fu);
    // Scales and offsets far outside 0..255 clamp instead of reading past a table.
    const auto big = effectOf(effect::kLevels, static_cast<std::int32_t>(0xFFFF0000u), 0xFFFF,
                              static_cast<std::int32_t>(0x80008000u), 0x7FFF);
    EXPECT_EQ(effectOn(0xFF646464u, big), 0xFFFFFF00u);
}

TEST(EffectTest, HueAddedOrReplaced)
{
    EXPECT_EQ(toHls(0xFF, 0, 0).hue, 0);
    const std::uint32_t plus90 = effectOn(0xFFFF0000u, effectOf(effect::kHls, 90));
    EXPECT_EQ(toHls((plus90 >> 16) & 0xFF, (plus90 >> 8) & 0xFF, plus90 & 0xFF).hue, 90);
    EXPECT_EQ(plus90, 0xFF7FFE00u);
    const std::uint32_t minus90 = effectOn(0xFFFF0000u, effectOf(effect::kHls, -90));
    EXPECT_EQ(toHls((minus90 >> 16) & 0xFF, (minus90 >> 8) & 0xFF, minus90 & 0xFF).hue, 270);
    // Mode non-zero replaces: any pixel of hue 0 or 200 ends at hue 120.
    const std::uint32_t replaced = effectOn(0xFF2080C0u, effectOf(effect::kHls, 120, 0, 0, 1));
    EXPECT_EQ(toHls((replaced >> 16) & 0xFF, (replaced >> 8) & 0xFF, replaced & 0xFF).hue, 120);
}

TEST(EffectTest, HlsConversionsFollowTheIntegerFormulas)
{
    const NxHls gray = toHls(90, 90, 90);
    EXPECT_EQ(gray.hue, 0);
    EXPECT_EQ(gray.saturation, 0);
    EXPECT_EQ(gray.lightness, 90);
    const NxHls light = toHls(255, 200, 100);  // lightness 177 uses 511 - (max + min)
    EXPECT_EQ(light.lightness, 177);
    EXPECT_EQ(light.saturation, 155 * 255 / (511 - 355));
    EXPECT_EQ(light.hue, 360 + (200 - 100) * 60 / 155 - 360);
    EXPECT_EQ(fromHls({0, 0, 255}), 0u);
    EXPECT_EQ(fromHls({200, 255, 0}), 0xFFFFFFu);
    // Lightness and saturation offsets beyond the byte range clamp.
    const std::uint32_t white = effectOn(0xFF336699u, effectOf(effect::kHls, 0, 0, 100000, 0));
    EXPECT_EQ(white, 0xFFFFFFFFu);
}

TEST(EffectTest, InvertAtHalfOpacity)
{
    NxEffectParams p = effectOf(effect::kInvert);
    p.control |= effect::kOpacityGiven;
    p.opacity = 128;
    EXPECT_EQ(effectOn(0x12000000u, p), 0x12808080u);
}

TEST(EffectTest, OpacityRuleAndFailures)
{
    NxEffectParams p = effectOf(effect::kInvert);
    p.control |= effect::kOpacityGiven;
    int r = -1;
    p.opacity = 0;
    EXPECT_EQ(effectOn(0xFF102030u, p, &r), 0xFF102030u);
    EXPECT_EQ(r, 1);
    p.opacity = 256;
    EXPECT_EQ(effectOn(0xFF102030u, p, &r), 0xFF102030u);
    EXPECT_EQ(r, 0);

    auto gray = makeSurface(8, 2, 2);
    EXPECT_EQ(applyEffect(*gray, nullptr, nullptr, nullptr, effectOf(effect::kInvert)), 0);
    auto dst = makeSurface(32, 4, 4);
    auto src = makeSurface(32, 4, 4);
    const NxRect d{0, 0, 2, 2};
    const NxRect s{0, 0, 3, 2};
    EXPECT_EQ(applyEffect(*dst, &d, src.get(), &s, effectOf(effect::kInvert)), 0);
    EXPECT_EQ(snapshot(*dst), std::vector<std::uint32_t>(16, 0u));
}

TEST(EffectTest, SourceSurfaceClippedAsAPair)
{
    auto src = makeSurface(32, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            setPixel(*src, x, y, 0x7F000000u | static_cast<std::uint32_t>(y * 4 + x));
    auto dst = makeSurface(32, 4, 4);
    dst->setOrigin(1, 0);
    const NxRect d{0, 0, 4, 4};
    const NxRect s{-1, 0, 3, 4};
    ASSERT_EQ(applyEffect(*dst, &d, src.get(), &s, effectOf(effect::kInvert)), 1);
    // Destination column x (origin 1) shows source column x - 2; column 1 would show column -1.
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(pixel(*dst, 0, y), 0u);
        EXPECT_EQ(pixel(*dst, 1, y), 0u);
        for (int x = 2; x < 4; ++x)
            EXPECT_EQ(pixel(*dst, x, y), 0x7F000000u | (~static_cast<std::uint32_t>(y * 4 + x - 2) & 0xFFFFFFu));
    }
}

// ---- tiling ----

std::unique_ptr<NxSurface> numberedTile(int w, int h)
{
    auto t = makeSurface(32, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setPixel(*t, x, y, static_cast<std::uint32_t>(y << 16 | x));
    return t;
}

TEST(TileTest, NegativeOffsetShiftsTheFirstColumn)
{
    auto t = numberedTile(32, 32);
    auto dst = makeSurface(32, 100, 70);
    ASSERT_EQ(tile(*dst, nullptr, t.get(), nullptr, -5, 0, nullptr), 1);
    EXPECT_EQ(pixel(*dst, 0, 0), 27u);
    EXPECT_EQ(pixel(*dst, 5, 0), 0u);
    EXPECT_EQ(pixel(*dst, 99, 69), static_cast<std::uint32_t>((69 % 32) << 16 | ((99 - 5) % 32)));
}

TEST(TileTest, FirstTileRowAboveTheClipResumesWithTheTopRow)
{
    auto t = numberedTile(16, 48);
    auto dst = makeSurface(32, 16, 100);
    const NxRect clip{0, 40, 16, 100};
    dst->setClipRect(&clip);
    const NxRect d{0, -100, 16, 100};
    ASSERT_EQ(tile(*dst, &d, t.get(), nullptr, 0, 10, nullptr), 1);
    for (int y = 0; y < 100; ++y)
        EXPECT_EQ(pixel(*dst, 3, y), y < 40 ? 0u : static_cast<std::uint32_t>(((y + 100 + 10) % 48) << 16 | 3)) << y;
}

TEST(TileTest, FarFromItsOriginCostsOnlyTheVisiblePieces)
{
    // Billions of tiles lie outside the clip: drawing them one by one would never finish.
    auto t = numberedTile(3, 2);
    auto dst = makeSurface(32, 10, 10);
    dst->setOrigin(-5, -5);
    const NxRect d{INT32_MIN / 2, INT32_MIN / 2, 100, 100};
    ASSERT_EQ(tile(*dst, &d, t.get(), nullptr, INT32_MAX, INT32_MIN, nullptr), 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const std::int64_t i = std::int64_t{x} + 5 - d.left + INT32_MAX;
            const std::int64_t j = std::int64_t{y} + 5 - d.top + INT32_MIN;
            ASSERT_EQ(pixel(*dst, x, y), static_cast<std::uint32_t>(((j % 2 + 2) % 2) << 16 | ((i % 3 + 3) % 3)));
        }
}

TEST(TileTest, SourceRectangleLeftOfThePictureMovesInsideWithItsSize)
{
    auto t = numberedTile(8, 8);
    auto a = makeSurface(32, 20, 4);
    auto b = makeSurface(32, 20, 4);
    const NxRect s{-3, 0, 2, 4};  // width 5: becomes (0, 0, 5, 4) with offset -3
    ASSERT_EQ(tile(*a, nullptr, t.get(), &s, 1, 0, nullptr), 1);
    const NxRect moved{0, 0, 5, 4};
    ASSERT_EQ(tile(*b, nullptr, t.get(), &moved, -2, 0, nullptr), 1);
    EXPECT_EQ(snapshot(*a), snapshot(*b));
    EXPECT_EQ(pixel(*a, 0, 0), 3u);
}

TEST(TileTest, FailuresAndEmptyTiles)
{
    auto t = numberedTile(4, 4);
    auto dst = makeSurface(32, 8, 8);
    EXPECT_EQ(tile(*dst, nullptr, nullptr, nullptr, 0, 0, nullptr), 0);
    const NxRect empty{2, 2, 2, 4};
    EXPECT_EQ(tile(*dst, nullptr, t.get(), &empty, 0, 0, nullptr), 1);
    NxBlitParams bad;
    bad.flags = bf::kSourceAlpha | 7;
    EXPECT_EQ(tile(*dst, nullptr, t.get(), nullptr, 1, 1, &bad), 0);
    // Equal size with zero offsets is one blit, failures included.
    const NxRect four{0, 0, 4, 4};
    EXPECT_EQ(tile(*dst, &four, t.get(), nullptr, 0, 0, &bad), 0);
    EXPECT_EQ(tile(*dst, &four, t.get(), nullptr, 0, 0, nullptr), 1);
    EXPECT_EQ(pixel(*dst, 3, 3), 3u << 16 | 3u);
}

TEST(TileTest, EveryPixelShowsItsTileColumnAndRow)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        const int tw = 1 + static_cast<int>(rng() % 9), th = 1 + static_cast<int>(rng() % 7);
        auto t = numberedTile(tw + 2, th + 2);
        const NxRect s{1, 2, 1 + tw, 2 + th};
        auto dst = makeSurface(32, 40, 30);
        const NxRect clip{static_cast<int>(rng() % 20), static_cast<int>(rng() % 15), 40 - static_cast<int>(rng() % 10),
                          30 - static_cast<int>(rng() % 10)};
        dst->setClipRect(&clip);
        const int ox = static_cast<int>(rng() % 41) - 20, oy = static_cast<int>(rng() % 41) - 20;
        dst->setOrigin(ox, oy);
        const NxRect d{static_cast<int>(rng() % 60) - 30, static_cast<int>(rng() % 60) - 30, 0, 0};
        const NxRect dr{d.left, d.top, d.left + static_cast<int>(rng() % 80), d.top + static_cast<int>(rng() % 80)};
        const int offX = static_cast<int>(rng() % 200) - 100, offY = static_cast<int>(rng() % 200) - 100;
        ASSERT_EQ(tile(*dst, &dr, t.get(), &s, offX, offY, nullptr), 1);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const int i = x - ox - dr.left, j = y - oy - dr.top;
                const bool drawn = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom && i >= 0 &&
                                   i < dr.width() && j >= 0 && j < dr.height();
                const std::uint32_t expected =
                    drawn ? static_cast<std::uint32_t>((2 + ((offY + j) % th + th) % th) << 16 | (1 + ((offX + i) % tw + tw) % tw))
                          : 0u;
                ASSERT_EQ(pixel(*dst, x, y), expected) << round << ": " << x << "," << y;
            }
    }
}

// A plain copy builds rows from the tile; a constant-alpha blend at full opacity of an opaque
// tile onto an opaque surface gives the same pixels piece by piece. Wide rows, both row orders,
// tiles cut from inside a larger picture, and a tile reaching past its picture.
TEST(TileTest, PlainCopyAgreesWithPieceByPieceBlending)
{
    std::mt19937 rng(11);
    NxBlitParams opaqueBlend;
    opaqueBlend.flags = bf::kConstantAlpha;
    opaqueBlend.constantAlpha = 255;
    for (int round = 0; round < 40; ++round) {
        auto picture = makeSurface(32, 50, round % 2 ? 40 : -40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                setPixel(*picture, x, y, 0xFF000000u | (static_cast<std::uint32_t>(rng()) & 0xFFFFFFu));
        const int l = static_cast<int>(rng() % 50), t = static_cast<int>(rng() % 40);
        // Now and then the tile reaches past the picture's right or bottom edge.
        const NxRect s{l, t, l + 1 + static_cast<int>(rng() % (round % 5 == 0 ? 60 : 50 - l)),
                       t + 1 + static_cast<int>(rng() % (round % 7 == 0 ? 50 : 40 - t))};
        const int w = 300 + static_cast<int>(rng() % 1700), h = 1 + static_cast<int>(rng() % 60);
        auto copied = makeSurface(32, w, round % 3 ? h : -h);
        auto blended = makeSurface(32, w, h);
        fill(*copied, 0xFF000000u);
        fill(*blended, 0xFF000000u);
        const NxRect clip{static_cast<int>(rng() % 50), 0, w - static_cast<int>(rng() % 50), h};
        const int ox = static_cast<int>(rng() % 21) - 10;
        for (NxSurface* d : {copied.get(), blended.get()}) {
            d->setClipRect(&clip);
            d->setOrigin(ox, 0);
        }
        const NxRect dr{-7, -3, w + 5, h + 9};
        const int offX = static_cast<int>(rng() % 200) - 100, offY = static_cast<int>(rng() % 200) - 100;
        ASSERT_EQ(tile(*copied, &dr, picture.get(), &s, offX, offY, nullptr), 1);
        ASSERT_EQ(tile(*blended, &dr, picture.get(), &s, offX, offY, &opaqueBlend), 1);
        ASSERT_EQ(snapshot(*copied), snapshot(*blended)) << "round " << round;
    }
}

} // namespace
} // namespace gfx
