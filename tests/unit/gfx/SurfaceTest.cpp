#include "gfx/NxBlit.h"
#include "gfx/NxBlitEngine.h"
#include "gfx/NxSurface.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace gfx {
namespace {

using test::makeDib;
using test::makeSurface;
using test::pixel;

TEST(SurfaceTest, ConstructedSurfaceHasNoPixelsAndNoClip)
{
    NxSurface s(32);
    EXPECT_FALSE(s.isCreated());
    EXPECT_EQ(s.width(), 0);
    EXPECT_EQ(s.bitsPerPixel(), 0);
    EXPECT_EQ(s.clipRect(), (NxRect{}));
    EXPECT_EQ(s.acquireDC(), nullptr);
    EXPECT_EQ(s.dcRefCount(), 0);
}

class CreateTest : public ::testing::TestWithParam<int> {};

TEST_P(CreateTest, AllocatesZeroedBottomUpPixelsAndClipsToTheWholeSurface)
{
    const int bpp = GetParam();
    NxSurface s(bpp);
    ASSERT_TRUE(s.create(3, 2));
    EXPECT_EQ(s.width(), 3);
    EXPECT_EQ(s.height(), 2);
    EXPECT_EQ(s.bitsPerPixel(), bpp);
    EXPECT_EQ(s.pixels().pitch(), bpp == 32 ? -12 : -4);
    EXPECT_EQ(s.clipRect(), (NxRect{0, 0, 3, 2}));
    EXPECT_EQ(s.pixels().header()->biSize, 40u);
    EXPECT_EQ(s.pixels().header()->biPlanes, 1);
    EXPECT_EQ(s.pixels().header()->biHeight, 2);
    for (std::uint32_t v : test::snapshot(s))
        EXPECT_EQ(v, 0u);
    EXPECT_EQ(&s.engine(), bpp == 8 ? &engine8() : &engine32());
    // Created once: a second size needs a new surface.
    EXPECT_FALSE(s.create(4, 4));
    EXPECT_EQ(s.width(), 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, CreateTest, ::testing::Values(8, 32));

TEST(SurfaceTest, GraySurfaceCarriesTheGrayRamp)
{
    auto s = makeSurface(8, 2, 2);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->pixels().colourCount(), 256u);
    const std::uint32_t* table = s->pixels().colourTable();
    for (std::uint32_t i = 0; i < 256; ++i)
        EXPECT_EQ(table[i], i * 0x010101u);
}

TEST(SurfaceTest, NegativeHeightMakesATopDownSurface)
{
    NxSurface s(32);
    ASSERT_TRUE(s.create(2, -3));
    EXPECT_EQ(s.height(), 3);
    EXPECT_EQ(s.pixels().pitch(), 8);
}

class RefusedCreateTest : public ::testing::TestWithParam<std::tuple<int, std::int32_t, std::int32_t>> {};

TEST_P(RefusedCreateTest, FailsAndStaysEmpty)
{
    const auto [bpp, w, h] = GetParam();
    NxSurface s(bpp);
    EXPECT_FALSE(s.create(w, h));
    EXPECT_FALSE(s.isCreated());
    EXPECT_EQ(s.acquireDC(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RefusedCreateTest,
                         ::testing::Values(std::tuple{24, 4, 4}, std::tuple{16, 4, 4}, std::tuple{0, 4, 4},
                                           std::tuple{32, 0, 4}, std::tuple{32, 4, 0}, std::tuple{32, -4, 4},
                                           std::tuple{32, 4, INT32_MIN}, std::tuple{32, 65536, 65536},
                                           std::tuple{8, INT32_MAX, 2}));

TEST(SurfaceTest, CreateFromDibFailsOnARefusedHeader)
{
    auto dib = makeDib(24, 2, 2);
    dib.header()->biCompression = 1;
    NxSurface s(32);
    EXPECT_FALSE(s.createFromDib(dib.header(), nullptr));
    EXPECT_FALSE(s.isCreated());
    NxSurface wrong(24);
    EXPECT_FALSE(wrong.createFromDib(makeDib(24, 2, 2).header(), nullptr));
}

TEST(SurfaceTest, ClipRectIsClampedToTheSurface)
{
    auto s = makeSurface(32, 640, 8);
    const NxRect huge{-10, -10, 10000, 10000};
    s->setClipRect(&huge);
    EXPECT_EQ(s->clipRect(), (NxRect{0, 0, 640, 8}));
    const NxRect inner{5, 1, 20, 4};
    s->setClipRect(&inner);
    EXPECT_EQ(s->clipRect(), inner);
    // Edges beyond the far side stay inside too, so the clip never leaves the pixels.
    const NxRect beyond{700, 9, 800, 12};
    s->setClipRect(&beyond);
    EXPECT_EQ(s->clipRect(), (NxRect{640, 8, 640, 8}));
    s->setClipRect(nullptr);
    EXPECT_EQ(s->clipRect(), (NxRect{0, 0, 640, 8}));
}

TEST(SurfaceTest, DrawingHandleIsReferenceCounted)
{
    auto s = makeSurface(32, 4, 3);
    NxDrawContext* first = s->acquireDC();
    ASSERT_NE(first, nullptr);
    NxDrawContext* second = s->acquireDC();
    EXPECT_EQ(first, second);
    EXPECT_EQ(s->dcRefCount(), 2);
    EXPECT_EQ(first->width, 4);
    EXPECT_EQ(first->height, 3);
    EXPECT_EQ(first->bitsPerPixel, 32);
    EXPECT_EQ(first->pitch, -16);
    EXPECT_EQ(first->firstRow, s->pixels().row(0));
    EXPECT_EQ(first->bits, s->pixels().row(2));
    s->releaseDC();
    EXPECT_EQ(s->dcRefCount(), 1);
    s->releaseDC();
    EXPECT_EQ(s->dcRefCount(), 0);
    // Unmatched releases do nothing.
    s->releaseDC();
    EXPECT_EQ(s->dcRefCount(), 0);
    NxDrawContext* again = s->acquireDC();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(s->dcRefCount(), 1);
    s->releaseDC();
}

TEST(SurfaceTest, GrayDrawingHandleExposesTheColourTable)
{
    auto s = makeSurface(8, 2, 2);
    NxDrawContext* dc = s->acquireDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dc->colourTable, s->pixels().colourTable());
    s->releaseDC();
}

TEST(SurfaceTest, CopyPixelsSkipsPairsOutsideTheClipAndOtherwiseCopiesAtThePosition)
{
    auto dib = makeDib(32, 2, 2);
    std::memset(dib.block.data() + 40, 0xAB, 16);
    NxPixelBuffer source;
    ASSERT_TRUE(source.attach(dib.header()));
    auto s = makeSurface(32, 8, 8);
    const NxRect clip{4, 4, 8, 8};
    s->setClipRect(&clip);
    EXPECT_TRUE(s->copyPixels(0, 0, source));
    EXPECT_EQ(pixel(*s, 0, 0), 0u);
    // Moved by the origin the pair meets the clip, and the copy lands at (x, y).
    s->setOrigin(4, 4);
    EXPECT_TRUE(s->copyPixels(0, 0, source));
    EXPECT_EQ(pixel(*s, 0, 0), 0xABABABABu);
    EXPECT_EQ(pixel(*s, 1, 1), 0xABABABABu);
    EXPECT_EQ(pixel(*s, 2, 2), 0u);
    NxSurface empty(32);
    EXPECT_FALSE(empty.copyPixels(0, 0, source));
}

// Only a conversion from a bitmap without alpha marks a surface opaque, and every way of writing
// its pixels drops the mark; drawing it elsewhere keeps it.
TEST(SurfaceTest, PicturesWithoutAlphaAreKnownOpaqueUntilTheyMayBeWritten)
{
    const auto converted = [](int bits, int surfaceBits = 32) {
        auto dib = makeDib(bits, 5, 4, kBiRgb, 0, bits <= 8 ? 256 : 0);
        auto s = std::make_unique<NxSurface>(surfaceBits);
        EXPECT_TRUE(s->createFromDib(dib.header(), nullptr)) << bits;
        return s;
    };
    for (int bits : {1, 4, 8, 16, 24})
        EXPECT_TRUE(converted(bits)->isKnownOpaque()) << bits;
    EXPECT_FALSE(converted(32)->isKnownOpaque());
    EXPECT_FALSE(converted(24, 8)->isKnownOpaque()) << "gray surfaces have no alpha to skip";
    EXPECT_FALSE(makeSurface(32, 5, 4)->isKnownOpaque());

    auto picture = converted(24);
    auto frame = makeSurface(32, 9, 7);
    const NxRect wide{0, 0, 9, 7};
    NxBlitParams smooth;
    smooth.flags = blitflag::kSourceAlpha | blitflag::kLinearFilter;
    ASSERT_EQ(blit(*frame, &wide, picture.get(), nullptr, &smooth), 1);
    ASSERT_EQ(blit(*frame, nullptr, picture.get(), nullptr, nullptr), 1);
    ASSERT_EQ(tile(*frame, nullptr, picture.get(), nullptr, 1, 2, nullptr), 1);
    EXPECT_NE(std::as_const(*picture).pixels().firstRow(), nullptr);
    EXPECT_TRUE(picture->isKnownOpaque()) << "read as a source";

    NxPixelBuffer other;
    auto otherDib = makeDib(32, 2, 2);
    ASSERT_TRUE(other.attach(otherDib.header()));
    const std::pair<const char*, std::function<void(NxSurface&)>> writers[] = {
        {"writable pixels", [](NxSurface& s) { s.pixels(); }},
        {"drawing handle", [](NxSurface& s) { s.acquireDC(); s.releaseDC(); }},
        {"copy in", [&](NxSurface& s) { EXPECT_TRUE(s.copyPixels(1, 1, other)); }},
        {"blit onto", [&](NxSurface& s) { EXPECT_EQ(blit(s, nullptr, frame.get(), nullptr, nullptr), 1); }},
        {"fill", [](NxSurface& s) { EXPECT_EQ(fillRect(s, nullptr, 0x80FFFFFFu), 1); }},
        {"tile onto", [&](NxSurface& s) { EXPECT_EQ(tile(s, nullptr, frame.get(), nullptr, 0, 0, nullptr), 1); }},
    };
    for (const auto& [name, write] : writers) {
        auto s = converted(24);
        write(*s);
        EXPECT_FALSE(s->isKnownOpaque()) << name;
    }
}

// A view over rows of a larger picture draws only its own rectangle, at the right addresses in
// either row order, and can be moved; it refuses rows closer than their length and surfaces with
// pixels of their own.
TEST(SurfaceTest, RowViewDrawsIntoForeignRowsInEitherOrder)
{
    constexpr int kW = 12, kH = 9;
    for (const bool upward : {false, true}) {
        std::vector<std::uint32_t> rows(kW * kH, 0x11111111u);
        // Window row y as stored: downward, or upward in memory.
        const auto at = [&](int x, int y) -> std::uint32_t& { return rows[(upward ? kH - 1 - y : y) * kW + x]; };
        const std::int32_t pitch = 4 * (upward ? -kW : kW);
        NxSurface view(32);
        ASSERT_TRUE(view.viewRows(5, 3, reinterpret_cast<std::uint8_t*>(&at(4, 2)), pitch));
        EXPECT_TRUE(view.isCreated());
        EXPECT_EQ(view.clipRect(), (NxRect{0, 0, 5, 3}));
        fillRect(view, nullptr, 0xFFABCDEFu);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(at(x, y), x >= 4 && x < 9 && y >= 2 && y < 5 ? 0xFFABCDEFu : 0x11111111u) << x << "," << y;
        // Moved to the last rows; a rectangle beyond the view is cut to it.
        ASSERT_TRUE(view.viewRows(kW, 2, reinterpret_cast<std::uint8_t*>(&at(0, kH - 2)), pitch));
        const NxRect beyond{-3, 1, 40, 30};
        fillRect(view, &beyond, 0xFF010203u);
        EXPECT_EQ(at(0, kH - 1), 0xFF010203u);
        EXPECT_EQ(at(kW - 1, kH - 1), 0xFF010203u);
        EXPECT_EQ(at(0, kH - 2), 0x11111111u);
        EXPECT_EQ(view.pixels().row(1), reinterpret_cast<std::uint8_t*>(&at(0, kH - 1)));
        EXPECT_FALSE(view.viewRows(kW + 1, 2, reinterpret_cast<std::uint8_t*>(rows.data()), pitch));
        EXPECT_FALSE(view.isCreated());
    }
    std::uint32_t block[16] = {};
    NxSurface gray(8);
    EXPECT_FALSE(gray.viewRows(4, 4, reinterpret_cast<std::uint8_t*>(block), 16));
    auto own = makeSurface(32, 4, 4);
    EXPECT_FALSE(own->viewRows(4, 4, reinterpret_cast<std::uint8_t*>(block), 16));
    NxSurface empty(32);
    EXPECT_FALSE(empty.viewRows(4, 0, reinterpret_cast<std::uint8_t*>(block), 16));
    EXPECT_FALSE(empty.viewRows(4, 4, nullptr, 16));
}

} // namespace
} // namespace gfx
