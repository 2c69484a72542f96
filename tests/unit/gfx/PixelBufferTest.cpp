#include "gfx/NxPixelBuffer.h"
#include "gfx/NxSurface.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>

namespace gfx {
namespace {

using test::Dib;
using test::makeDib;
using test::makeSurface;
using test::pixel;

void put32(Dib& dib, std::size_t offset, std::uint32_t v) { std::memcpy(dib.block.data() + offset, &v, 4); }

TEST(PixelBufferTest, RowLengthRoundsBitsUpToWholeBytesAndFourByteMultiples)
{
    EXPECT_EQ(NxPixelBuffer::rowLength(32, 3), 12);
    EXPECT_EQ(NxPixelBuffer::rowLength(8, 3), 4);
    EXPECT_EQ(NxPixelBuffer::rowLength(1, 33), 8);
    EXPECT_EQ(NxPixelBuffer::rowLength(4, 9), 8);
    EXPECT_EQ(NxPixelBuffer::rowLength(24, 5), 16);
    EXPECT_EQ(NxPixelBuffer::rowLength(16, 1), 4);
}

struct ColourCountCase {
    int bits;
    std::uint32_t compression;
    std::uint32_t clrUsed;
    std::uint32_t expected;
};

class ColourCountTest : public ::testing::TestWithParam<ColourCountCase> {};

TEST_P(ColourCountTest, CountsTableEntriesAndMasks)
{
    const ColourCountCase c = GetParam();
    Dib dib = makeDib(c.bits, 4, 2, c.compression, c.clrUsed, 300);
    NxPixelBuffer view;
    ASSERT_TRUE(view.attach(dib.header()));
    EXPECT_EQ(view.colourCount(), c.expected);
    // Without a pixel pointer the pixels follow the colour table.
    EXPECT_EQ(view.bits(), dib.block.data() + 40 + 4 * c.expected);
    EXPECT_EQ(NxPixelBuffer::colourTableEntries(c.bits, c.compression, c.clrUsed), c.expected);
    NxBitmapInfoHeader longer = *dib.header();
    longer.biSize = 124;
    EXPECT_EQ(NxPixelBuffer::headerBlockBytes(longer), 124 + 4 * c.expected) << "the table follows the header as long as it is";
}

INSTANTIATE_TEST_SUITE_P(Formats, ColourCountTest,
                         ::testing::Values(ColourCountCase{1, kBiRgb, 0, 2}, ColourCountCase{4, kBiRgb, 0, 16},
                                           ColourCountCase{8, kBiRgb, 0, 256}, ColourCountCase{8, kBiRgb, 5, 5},
                                           ColourCountCase{16, kBiRgb, 0, 0}, ColourCountCase{16, kBiBitfields, 0, 3},
                                           ColourCountCase{32, kBiBitfields, 2, 5},
                                           ColourCountCase{24, kBiRgb, 7, 0}));

class RefusedHeaderTest : public ::testing::TestWithParam<std::function<void(NxBitmapInfoHeader&)>> {};

TEST_P(RefusedHeaderTest, LeavesTheViewAsItWas)
{
    Dib good = makeDib(8, 4, 4);
    NxPixelBuffer view;
    ASSERT_TRUE(view.attach(good.header()));
    Dib bad = makeDib(8, 4, 4);
    GetParam()(*bad.header());
    EXPECT_FALSE(view.attach(bad.header()));
    EXPECT_EQ(view.header(), good.header());
    EXPECT_EQ(view.width(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, RefusedHeaderTest,
    ::testing::Values([](NxBitmapInfoHeader& h) { h.biSize = 39; }, [](NxBitmapInfoHeader& h) { h.biCompression = 1; },
                      [](NxBitmapInfoHeader& h) { h.biCompression = 2; }, [](NxBitmapInfoHeader& h) { h.biBitCount = 2; },
                      [](NxBitmapInfoHeader& h) { h.biBitCount = 0; }, [](NxBitmapInfoHeader& h) { h.biBitCount = 64; },
                      [](NxBitmapInfoHeader& h) { h.biWidth = -4; },
                      [](NxBitmapInfoHeader& h) { h.biHeight = INT32_MIN; },
                      [](NxBitmapInfoHeader& h) { h.biWidth = INT32_MAX; h.biBitCount = 32; }));

TEST(PixelBufferTest, NullHeaderIsRefused)
{
    NxPixelBuffer view;
    EXPECT_FALSE(view.attach(nullptr));
    EXPECT_TRUE(view.isEmpty());
}

TEST(PixelBufferTest, BottomUpAndTopDownRowsAreAddressedFromTheTop)
{
    Dib up = makeDib(24, 5, 3);
    NxPixelBuffer view;
    ASSERT_TRUE(view.attach(up.header()));
    EXPECT_EQ(view.pitch(), -16);
    EXPECT_EQ(view.firstRow(), view.bits() + 2 * 16);
    EXPECT_EQ(view.row(2), view.bits());
    EXPECT_EQ(view.height(), 3);
    EXPECT_FALSE(view.isTopDown());

    Dib down = makeDib(24, 5, -3);
    ASSERT_TRUE(view.attach(down.header()));
    EXPECT_EQ(view.pitch(), 16);
    EXPECT_EQ(view.firstRow(), view.bits());
    EXPECT_EQ(view.height(), 3);
    EXPECT_TRUE(view.isTopDown());
}

TEST(PixelBufferTest, MasksComeFromBitfieldsOrDefaultToFiveFiveFive)
{
    Dib plain = makeDib(16, 2, 1);
    NxPixelBuffer view;
    ASSERT_TRUE(view.attach(plain.header()));
    EXPECT_EQ(view.redMask(), 0x7C00u);
    EXPECT_EQ(view.greenMask(), 0x03E0u);
    EXPECT_EQ(view.blueMask(), 0x001Fu);

    Dib fields = makeDib(16, 2, 1, kBiBitfields, 0, 3);
    put32(fields, 40, 0xF800);
    put32(fields, 44, 0x07E0);
    put32(fields, 48, 0x001F);
    ASSERT_TRUE(view.attach(fields.header()));
    EXPECT_EQ(view.redMask(), 0xF800u);
    EXPECT_EQ(view.greenMask(), 0x07E0u);
    EXPECT_EQ(view.blueMask(), 0x001Fu);
}

TEST(PixelBufferTest, OwnedHeaderIsKeptAlive)
{
    Dib dib = makeDib(32, 2, 2);
    auto block = std::make_unique<std::byte[]>(dib.block.size());
    std::memcpy(block.get(), dib.block.data(), dib.block.size());
    NxPixelBuffer view;
    ASSERT_TRUE(view.attachOwned(std::move(block)));
    EXPECT_EQ(view.width(), 2);
    EXPECT_EQ(view.colourCount(), 0u);
}

// ---- conversions ----

// Converts one source pixel (given as its stored bytes, low first) into a 1 x 1 surface.
std::uint32_t convertOne(int srcBits, std::uint32_t stored, int dstBits, std::uint32_t compression = kBiRgb,
                         std::uint32_t r = 0, std::uint32_t g = 0, std::uint32_t b = 0)
{
    const bool fields = compression == kBiBitfields;
    Dib dib = makeDib(srcBits, 1, 1, compression, 0, fields ? 3 : 0);
    if (fields) {
        put32(dib, 40, r);
        put32(dib, 44, g);
        put32(dib, 48, b);
    }
    std::memcpy(dib.block.data() + dib.block.size() - 4, &stored, 4);
    auto s = std::make_unique<NxSurface>(dstBits);
    if (!s->createFromDib(dib.header(), nullptr))
        return 0xDEADBEEF;
    return pixel(*s, 0, 0);
}

struct ConversionCase {
    int srcBits;
    std::uint32_t stored;
    int dstBits;
    std::uint32_t expected;
};

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, ConvertsOnePixel)
{
    const ConversionCase c = GetParam();
    EXPECT_EQ(convertOne(c.srcBits, c.stored, c.dstBits), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ConversionTest,
    ::testing::Values(ConversionCase{24, 0x1E140A, 32, 0xFF1E140A},
                      // (10 * 0x1D4E5E + 20 * 0x962C23 + 30 * 0x4C857F) >> 24
                      ConversionCase{24, 0x1E140A, 8, 21}, ConversionCase{16, 0x7FFF, 32, 0xFFFFFFFF},
                      ConversionCase{16, 0x0001, 32, 0xFF000008},
                      // red 22 -> 181, green 0, blue 31 -> 255
                      ConversionCase{16, (22u << 10) | 31u, 32, 0xFFB500FF},
                      ConversionCase{16, 0x7FFF, 8, 255}, ConversionCase{32, 0x12345678, 32, 0x12345678},
                      ConversionCase{32, 0x00FFFFFF, 8, 255}, ConversionCase{32, 0xFF0000FF, 8, 29}));

TEST(ConversionTest, BitfieldsExpandEachChannelFromItsMask)
{
    // 5-6-5: green 6-bit value 1 becomes 4 | 4 >> 6 = 4.
    EXPECT_EQ(convertOne(16, 0x0020, 32, kBiBitfields, 0xF800, 0x07E0, 0x001F), 0xFF000400u);
    EXPECT_EQ(convertOne(16, 0xFFFF, 32, kBiBitfields, 0xF800, 0x07E0, 0x001F), 0xFFFFFFFFu);
    // A zero mask gives a zero channel; a run longer than 8 bits keeps its top 8 bits.
    EXPECT_EQ(convertOne(16, 0xFFFF, 32, kBiBitfields, 0, 0x07E0, 0x001F), 0xFF00FFFFu);
    EXPECT_EQ(convertOne(16, 0xFFC0, 32, kBiBitfields, 0xFFC0, 0, 0), 0xFFFF0000u);
    // 32 bpp bitfields are copied unchanged.
    EXPECT_EQ(convertOne(32, 0x01020304, 32, kBiBitfields, 0xFF, 0xFF00, 0xFF0000), 0x01020304u);
}

TEST(ConversionTest, IndexedSourcesUseTheirTableForTrueColourAndTheIndexForGray)
{
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        const std::uint32_t count = 1u << bits;
        Dib dib = makeDib(bits, 1, 1, kBiRgb, 0, count);
        for (std::uint32_t i = 0; i < count; ++i)
            put32(dib, 40 + 4 * i, 0x00102030u + i);  // reserved byte 0: alpha must become 0xFF
        const std::uint32_t index = count - 1;
        dib.block[40 + 4 * count] = static_cast<std::uint8_t>(index << (8 - bits));
        auto s32 = std::make_unique<NxSurface>(32);
        ASSERT_TRUE(s32->createFromDib(dib.header(), nullptr));
        EXPECT_EQ(pixel(*s32, 0, 0), 0xFF102030u + index);
        auto s8 = std::make_unique<NxSurface>(8);
        ASSERT_TRUE(s8->createFromDib(dib.header(), nullptr));
        EXPECT_EQ(pixel(*s8, 0, 0), index);
    }
}

TEST(ConversionTest, IndexBeyondTheColourCountReadsBlack)
{
    Dib dib = makeDib(8, 1, 1, kBiRgb, 2, 2);
    put32(dib, 40, 0x111111);
    put32(dib, 44, 0x222222);
    dib.block[48] = 200;
    auto s = std::make_unique<NxSurface>(32);
    ASSERT_TRUE(s->createFromDib(dib.header(), nullptr));
    EXPECT_EQ(pixel(*s, 0, 0), 0xFF000000u);
}

TEST(ConversionTest, SubByteSourcesStartAtTheirFirstColumnsBitPosition)
{
    // 1 bpp row 1011 0010 0100 0000: columns 3..8 read 1, 0, 0, 1, 0, 0.
    Dib one = makeDib(1, 16, -1);
    one.block[40] = 0b1011'0010;
    one.block[41] = 0b0100'0000;
    NxPixelBuffer source;
    ASSERT_TRUE(source.attach(one.header(), one.block.data() + 40));
    auto dst = makeSurface(8, 6, 1);
    const NxRect cols{3, 0, 9, 1};
    ASSERT_TRUE(dst->copyPixels(0, 0, source, &cols));
    EXPECT_EQ(test::snapshot(*dst), (std::vector<std::uint32_t>{1, 0, 0, 1, 0, 0}));

    // 4 bpp nibbles 0x1 0x2 0x3 0x4 0x5: from column 1.
    Dib four = makeDib(4, 5, -1);
    four.block[40] = 0x12;
    four.block[41] = 0x34;
    four.block[42] = 0x50;
    ASSERT_TRUE(source.attach(four.header(), four.block.data() + 40));
    auto dst4 = makeSurface(8, 4, 1);
    const NxRect tail{1, 0, 5, 1};
    ASSERT_TRUE(dst4->copyPixels(0, 0, source, &tail));
    EXPECT_EQ(test::snapshot(*dst4), (std::vector<std::uint32_t>{2, 3, 4, 5}));
}

TEST(ConversionTest, BottomUpSourceArrivesUpright)
{
    Dib dib = makeDib(8, 1, 3);  // stored rows: bottom first
    const std::size_t base = 40 + 4 * 256;
    dib.block.resize(base + 12);
    dib.header()->biClrUsed = 256;
    for (int stored = 0; stored < 3; ++stored)
        dib.block[base + 4 * stored] = static_cast<std::uint8_t>(10 + stored);
    auto s = std::make_unique<NxSurface>(8);
    ASSERT_TRUE(s->createFromDib(dib.header(), nullptr));
    EXPECT_EQ(test::snapshot(*s), (std::vector<std::uint32_t>{12, 11, 10}));
}

class NegativePositionTest : public ::testing::TestWithParam<int> {};

TEST_P(NegativePositionTest, CutsBothRectanglesKeepingTheirSizesEqual)
{
    // 10 x 10 source at (-5, -5): the destination's top-left 5 x 5 shows source columns and
    // rows 5 to 9. Parameter: stored orientation of the source.
    const int sign = GetParam();
    Dib dib = makeDib(32, 10, 10 * sign);
    NxPixelBuffer source;
    ASSERT_TRUE(source.attach(dib.header()));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const std::uint32_t v = 0xFF000000u | static_cast<std::uint32_t>(y * 16 + x);
            std::memcpy(source.row(y) + 4 * x, &v, 4);
        }
    auto dst = makeSurface(32, 8, 8);
    ASSERT_TRUE(dst->copyPixels(-5, -5, source));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pixel(*dst, x, y), x < 5 && y < 5 ? 0xFF000000u | static_cast<std::uint32_t>((y + 5) * 16 + x + 5) : 0u)
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Orientations, NegativePositionTest, ::testing::Values(1, -1));

TEST(ConversionTest, DestinationWithoutConverterFailsUntouched)
{
    Dib target = makeDib(24, 2, 2);
    NxPixelBuffer dst;
    ASSERT_TRUE(dst.attach(target.header()));
    Dib from = makeDib(32, 2, 2);
    std::memset(from.block.data() + 40, 0x77, 16);
    NxPixelBuffer src;
    ASSERT_TRUE(src.attach(from.header()));
    const std::vector<std::uint8_t> before = target.block;
    EXPECT_FALSE(dst.copyFrom(0, 0, src));
    EXPECT_EQ(target.block, before);
}

TEST(ConversionTest, RectanglesOutsideEitherBitmapCopyNothingAndSucceed)
{
    Dib from = makeDib(32, 4, 4);
    std::memset(from.block.data() + 40, 0x55, 64);
    NxPixelBuffer src;
    ASSERT_TRUE(src.attach(from.header()));
    auto dst = makeSurface(32, 4, 4);
    const NxRect outside{10, 10, 14, 14};
    const NxRect inverted{3, 3, 1, 1};
    EXPECT_TRUE(dst->pixels().copyFrom(0, 0, src, &outside));
    EXPECT_TRUE(dst->pixels().copyFrom(0, 0, src, &inverted));
    EXPECT_TRUE(dst->pixels().copyFrom(4, 0, src));
    EXPECT_TRUE(dst->pixels().copyFrom(-4, 0, src));
    EXPECT_TRUE(dst->pixels().copyFrom(INT32_MAX, INT32_MIN, src));
    for (std::uint32_t v : test::snapshot(*dst))
        EXPECT_EQ(v, 0u);
}

} // namespace
} // namespace gfx
