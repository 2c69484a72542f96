#include "image/BmpCodec.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using namespace testbytes;

namespace {

const Bytes kPixels24 = {
    // bottom row: three pixels + 3 pad bytes
    1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,
    // top row
    10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
};

TEST(BmpCodec, TwentyFourBitFileAndPackedDibDecodeAlike)
{
    const Bytes dib = infoHeader(3, 2, 24, 0, 24) + kPixels24;
    const Bytes file = fileHeader() + dib + Bytes{0xAA, 0xBB};  // trailing bytes are ignored
    for (const Bytes& data : {file, dib}) {
        const auto pair = image::loadBmp(view(data));
        ASSERT_TRUE(pair);
        EXPECT_EQ(bytesOf(pair->header), infoHeader(3, 2, 24, 0, 24));
        EXPECT_EQ(bytesOf(pair->bits), kPixels24);
    }
}

TEST(BmpCodec, PictureInfoIsReadWithoutValidation)
{
    const auto info = image::pictureInfoBmp(view(fileHeader() + infoHeader(7, -5, 13)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 7);
    EXPECT_EQ(info->height, -5) << "a top-down picture keeps its negative height";
    EXPECT_EQ(info->bitCount, 13);

    Bytes short39 = infoHeader(1, 1, 24);
    short39.resize(39);
    EXPECT_FALSE(image::pictureInfoBmp(view(short39)));
    EXPECT_FALSE(image::loadBmp(view(short39)));
    EXPECT_FALSE(image::pictureInfoBmp(view(fileHeader() + infoHeader(1, 1, 24, 0, 0, 0, 39))));
    EXPECT_FALSE(image::pictureInfoBmp(view(fileHeader() + Bytes(39, 0)))) << "40 bytes must follow the file header";
}

TEST(BmpCodec, ColourTableSizes)
{
    const Bytes pixels(4 * 2, 7);
    auto full = image::loadBmp(view(infoHeader(3, 2, 8) + Bytes(1024, 1) + pixels));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->header.size(), 40u + 1024u);
    auto sixteen = image::loadBmp(view(infoHeader(3, 2, 8, 0, 0, 16) + Bytes(64, 1) + pixels));
    ASSERT_TRUE(sixteen);
    EXPECT_EQ(sixteen->header.size(), 40u + 64u);
    EXPECT_EQ(bytesOf(sixteen->bits), pixels);
    EXPECT_FALSE(image::loadBmp(view(infoHeader(3, 2, 8) + Bytes(1023, 1)))) << "colour table cut short";
    EXPECT_FALSE(image::loadBmp(view(infoHeader(3, 2, 8, 0, 0, 16) + Bytes(64, 1) + Bytes(7, 0))))
        << "pixel data cut short";
}

TEST(BmpCodec, BitfieldsKeepTheirMasks)
{
    Bytes masks;
    put32(masks, 0xF800);
    put32(masks, 0x07E0);
    put32(masks, 0x001F);
    const Bytes pixels = {0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0, 0};
    const auto pair = image::loadBmp(view(infoHeader(3, 1, 16, 3) + masks + pixels));
    ASSERT_TRUE(pair);
    const Bytes header = bytesOf(pair->header);
    ASSERT_EQ(header.size(), 52u);
    EXPECT_EQ(header[16], 3) << "compression stays 3";
    EXPECT_EQ(Bytes(header.begin() + 40, header.end()), masks);
    EXPECT_EQ(bytesOf(pair->bits), pixels);
}

TEST(BmpCodec, LongerHeaderCarriesItsOwnMasks)
{
    // A 108-byte header holds the masks at bytes 40-51; pixels follow the header directly.
    Bytes header = infoHeader(2, 1, 32, 3, 0, 0, 108);
    const Bytes masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    std::copy(masks.begin(), masks.end(), header.begin() + 40);
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto pair = image::loadBmp(view(fileHeader() + header + pixels));
    ASSERT_TRUE(pair);
    const Bytes out = bytesOf(pair->header);
    ASSERT_EQ(out.size(), 108u + 12u) << "the copy keeps the header size plus the mask bytes";
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 108), header);
    EXPECT_EQ(Bytes(out.begin() + 108, out.end()), masks);
    EXPECT_EQ(bytesOf(pair->bits), pixels);
    Bytes beyond = infoHeader(2, 1, 32);
    beyond[0] = 200;
    EXPECT_FALSE(image::loadBmp(view(beyond + pixels))) << "header beyond the data";
}

TEST(BmpCodec, RefusedInput)
{
    EXPECT_FALSE(image::loadBmp(view(infoHeader(3, 2, 24, 5) + kPixels24))) << "unknown compression";
    EXPECT_FALSE(image::loadBmp(view(infoHeader(-3, 2, 24) + kPixels24))) << "negative width";
    EXPECT_FALSE(image::loadBmp(view(infoHeader(3, 2, 24) + Bytes(23, 0)))) << "truncated pixels";
    EXPECT_FALSE(image::loadBmp(view(infoHeader(0x7FFFFFFF, 0x7FFFFFFF, 32) + kPixels24))) << "beyond 32 bits";
    EXPECT_FALSE(image::loadBmp(view(infoHeader(1, INT32_MIN, 8, 1, 0) + Bytes(1024 + 2, 0))));
    EXPECT_FALSE(image::loadBmp({}));
}

// Complete data, so that only the limit can refuse them.
TEST(BmpCodec, LimitsRefuseCompletePictures)
{
    const Bytes colour = infoHeader(64, 64, 24) + Bytes(64 * 64 * 3, 7);
    EXPECT_FALSE(image::loadBmp(view(colour), {.maxBitsBytes = 64 * 64 * 3 - 1}));
    EXPECT_TRUE(image::loadBmp(view(colour), {.maxBitsBytes = 64 * 64 * 3}));
    // The Surface has four bytes a pixel whatever the bit count.
    const Bytes grey = infoHeader(64, -64, 8) + Bytes(1024 + 64 * 64, 7);
    EXPECT_FALSE(image::loadBmp(view(grey), {.maxSurfaceBytes = 64 * 64 * 4 - 1}));
    EXPECT_TRUE(image::loadBmp(view(grey), {.maxSurfaceBytes = 64 * 64 * 4}));
    EXPECT_FALSE(image::loadBmp(view(infoHeader(30000, 30000, 1) + Bytes(8 + 30000 * 3752, 0))))
        << "113 MB of bits, but a 3.6 GB Surface";
}

TEST(BmpCodec, SizeProductsThatWrapAreRefused)
{
    // 2^30 pixels of 32768 bits make rows of 2^42 bytes; 2^22 of them wrap 64 bits to 0.
    const image::DecodeLimits noSurfaceCap{.maxSurfaceBytes = UINT64_MAX};
    EXPECT_FALSE(image::loadBmp(view(infoHeader(1 << 30, 1 << 22, 32768) + Bytes(16, 0)), noSurfaceCap));
    EXPECT_FALSE(image::loadBmp(view(infoHeader(1 << 30, -(1 << 22), 32768) + Bytes(16, 0)), noSurfaceCap));
}

TEST(BmpCodec, RunLengthDataMustReachEveryRowOfALargePicture)
{
    const Bytes end = {0, 1};
    const auto rle = [](std::int32_t width, std::int32_t height, const Bytes& data) {
        return infoHeader(width, height, 8, 1, static_cast<std::uint32_t>(data.size()), 1) + Bytes(4, 0) + data;
    };
    EXPECT_FALSE(image::loadBmp(view(rle(5000, 5000, end)))) << "two bytes for 25 million pixels";
    EXPECT_TRUE(image::loadBmp(view(rle(100, 100, end)))) << "small pictures keep the lenient rule";
    // Runs of 255 pixels that cover every row pass even the strictest setting.
    Bytes full;
    for (int row = 0; row < 3; ++row)
        full.insert(full.end(), {255, 0, 255, 0, 90, 0, 0, 0});
    full.insert(full.end(), end.begin(), end.end());
    EXPECT_TRUE(image::loadBmp(view(rle(600, 3, full)), {.unjustifiedPixels = 0}));
    EXPECT_FALSE(image::loadBmp(view(rle(600, 6, full)), {.unjustifiedPixels = 0})) << "13 pairs cannot cover 6 rows";
}

TEST(BmpCodec, SignatureTest)
{
    EXPECT_TRUE(image::isSupportedBmp(view(fileHeader() + infoHeader(1, 1, 24))));
    EXPECT_TRUE(image::isSupportedBmp(view(infoHeader(1, 1, 1))));
    Bytes sixteen = infoHeader(1, 1, 32);
    sixteen.resize(16);
    EXPECT_TRUE(image::isSupportedBmp(view(sixteen))) << "16 bytes hold every field tested";
    sixteen.resize(15);
    EXPECT_FALSE(image::isSupportedBmp(view(sixteen)));
    EXPECT_FALSE(image::isSupportedBmp(view(infoHeader(1, 1, 2))));
    EXPECT_FALSE(image::isSupportedBmp(view(infoHeader(1, 1, 24, 0, 0, 0, 39))));
    Bytes planes = infoHeader(1, 1, 24);
    planes[12] = 2;
    EXPECT_FALSE(image::isSupportedBmp(view(planes)));
    EXPECT_FALSE(image::isSupportedBmp(view(Bytes{'B', 'M'})));
}

TEST(BmpCodec, FileHeader)
{
    const auto file = image::createBmpFileHeader(view(infoHeader(3, 2, 24, 0, 24)));
    ASSERT_TRUE(file);
    Bytes expected{'B', 'M'};
    put32(expected, 78);
    put32(expected, 0);
    put32(expected, 54);
    EXPECT_EQ(Bytes(file->begin(), file->end()), expected);
    EXPECT_FALSE(image::createBmpFileHeader(view(Bytes(23, 0)))) << "no image-size field";
}

// RLE8: the picture from the run-length escapes, bottom row first.
TEST(BmpCodec, RunLength8)
{
    const Bytes rle = {3, 0x11, 0, 0,          // row 0: three pixels, end of line
                       0, 3, 0x21, 0x22, 0x23, 0,  // row 1: absolute run of three, padded
                       0, 1};                  // end of bitmap
    const Bytes data = infoHeader(3, 2, 8, 1, static_cast<std::uint32_t>(rle.size()), 2) + Bytes(8, 0) + rle;
    const auto pair = image::loadBmp(view(data));
    ASSERT_TRUE(pair);
    const Bytes header = bytesOf(pair->header);
    EXPECT_EQ(header[16], 0) << "decoded data are uncompressed";
    EXPECT_EQ(header[20], rle.size()) << "the image-size field stays as read";
    EXPECT_EQ(bytesOf(pair->bits), (Bytes{0x11, 0x11, 0x11, 0, 0x21, 0x22, 0x23, 0}));
}

TEST(BmpCodec, RunLength4StartsInTheLowHalf)
{
    const Bytes rle = {3, 0xAB,             // A B A
                       0, 3, 0xCD, 0xE0,     // C D E, starting in a low half
                       0, 1};
    const Bytes data = infoHeader(6, 1, 4, 2, 0, 16) + Bytes(64, 0) + rle;
    const auto pair = image::loadBmp(view(data));
    ASSERT_TRUE(pair);
    EXPECT_EQ(bytesOf(pair->bits), (Bytes{0xAB, 0xAC, 0xDE, 0}));
}

TEST(BmpCodec, RunLengthRefusals)
{
    const Bytes palette(1024, 0);
    auto load = [&](std::int32_t width, std::int32_t height, unsigned bits, std::uint32_t compression, const Bytes& rle) {
        const Bytes table(bits == 4 ? 64 : 1024, 0);
        return image::loadBmp(view(infoHeader(width, height, bits, compression, 0, 0) + table + rle)).has_value();
    };
    EXPECT_TRUE(load(4, 1, 8, 1, {4, 1, 0, 1}));
    EXPECT_FALSE(load(4, 1, 8, 1, {0, 2, 1, 1, 0, 1})) << "delta escape";
    EXPECT_FALSE(load(4, 1, 8, 1, {4, 1})) << "no end of bitmap";
    EXPECT_FALSE(load(4, 1, 8, 1, {5, 1, 0, 1})) << "run beyond the block";
    EXPECT_TRUE(load(4, 2, 8, 1, {6, 1, 0, 1})) << "a run into the next row stays inside the block";
    EXPECT_FALSE(load(4, 2, 8, 1, {0, 0, 0, 0, 1, 1, 0, 1})) << "more rows than the height";
    EXPECT_TRUE(load(4, 2, 8, 1, {0, 0, 0, 0, 0, 1})) << "ends of line alone write nothing";
    EXPECT_FALSE(load(4, 1, 8, 1, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1})) << "absolute run beyond the block";
    EXPECT_FALSE(load(4, 1, 8, 1, {0, 3, 1, 2})) << "absolute run beyond the data";
    EXPECT_FALSE(load(4, -1, 8, 1, {4, 1, 0, 1})) << "top-down run-length data";
    EXPECT_FALSE(load(4, 1, 4, 1, {4, 1, 0, 1})) << "RLE8 with 4 bits";
    EXPECT_FALSE(load(4, 1, 8, 2, {4, 1, 0, 1})) << "RLE4 with 8 bits";
    EXPECT_TRUE(load(8, 1, 4, 2, {8, 0x12, 0, 1}));
    EXPECT_FALSE(load(8, 1, 4, 2, {9, 0x12, 0, 1})) << "RLE4 run beyond the block";
    // The image-size field must not exceed the data.
    EXPECT_FALSE(image::loadBmp(view(infoHeader(4, 1, 8, 1, 100) + palette + Bytes{4, 1, 0, 1})));
}

TEST(BmpCodec, RunLengthLeavesUnreachedPixelsZero)
{
    const auto pair = image::loadBmp(view(infoHeader(4, 2, 8, 1) + Bytes(1024, 0) + Bytes{2, 9, 0, 1}));
    ASSERT_TRUE(pair);
    EXPECT_EQ(bytesOf(pair->bits), (Bytes{9, 9, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
