#include "image/JpegCodec.h"

#include "JpegFixtures.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testbytes;

namespace {

std::vector<std::uint8_t> uniform(int width, int height, std::initializer_list<std::uint8_t> value)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), value);
    return pixels;
}

// Two colours: the top half red, the bottom half blue.
std::vector<std::uint8_t> redOverBlue(int width, int height)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.insert(pixels.end(), y < height / 2 ? std::initializer_list<std::uint8_t>{255, 0, 0}
                                                      : std::initializer_list<std::uint8_t>{0, 0, 255});
    return pixels;
}

void expectNear(const std::uint8_t* p, std::initializer_list<int> expected, int tolerance, const char* what)
{
    int i = 0;
    for (int e : expected) {
        EXPECT_NEAR(p[i], e, tolerance) << what << " byte " << i;
        ++i;
    }
}

TEST(JpegCodec, ColourPictureIsBgrAndBottomUp)
{
    const auto data = fixtures::encodeJpeg(3, 2, 3, redOverBlue(3, 2), {.quality = 100});
    const auto pair = image::loadJpeg(view(data));
    ASSERT_TRUE(pair);
    Bytes expectedHeader;
    put32(expectedHeader, 40);
    put32(expectedHeader, 3);
    put32(expectedHeader, 2);
    put16(expectedHeader, 1);
    put16(expectedHeader, 24);
    put32(expectedHeader, 0);
    put32(expectedHeader, 24);
    expectedHeader.resize(40, 0);
    EXPECT_EQ(bytesOf(pair->header), expectedHeader);
    const Bytes bits = bytesOf(pair->bits);
    ASSERT_EQ(bits.size(), 24u);
    // The last 12 bytes are the top row: red, stored blue, green, red.
    expectNear(&bits[12], {0, 0, 255}, 40, "top row");
    expectNear(&bits[0], {255, 0, 0}, 40, "bottom row");
    EXPECT_EQ(bits[9], 0);
    EXPECT_EQ(bits[10], 0);
    EXPECT_EQ(bits[11], 0) << "row padding is zero";

    const auto info = image::pictureInfoJpeg(view(data));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 3);
    EXPECT_EQ(info->height, 2);
    EXPECT_EQ(info->bitCount, 24);
}

TEST(JpegCodec, GreyPictureHasTheGreyRamp)
{
    const auto data = fixtures::encodeJpeg(5, 3, 1, uniform(5, 3, {200}));
    const auto pair = image::loadJpeg(view(data));
    ASSERT_TRUE(pair);
    const Bytes header = bytesOf(pair->header);
    ASSERT_EQ(header.size(), 1064u);
    EXPECT_EQ(header[14], 8);
    EXPECT_EQ(image::readU32(&header[32]), 256u);
    EXPECT_EQ(image::readU32(&header[20]), 24u) << "stride 8 by 3 rows";
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* e = &header[40 + 4 * i];
        ASSERT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << "entry " << i;
    }
    const Bytes bits = bytesOf(pair->bits);
    ASSERT_EQ(bits.size(), 24u);
    for (int row = 0; row < 3; ++row) {
        for (int x = 0; x < 5; ++x)
            EXPECT_NEAR(bits[row * 8 + x], 200, 2);
        for (int x = 5; x < 8; ++x)
            EXPECT_EQ(bits[row * 8 + x], 0);
    }
    EXPECT_EQ(image::pictureInfoJpeg(view(data))->bitCount, 8);
}

TEST(JpegCodec, FourComponentPicturesBecomeColour)
{
    // Adobe's convention (which libjpeg's encoder marks): inks stored inverted, 255 = no ink.
    for (bool ycck : {false, true}) {
        const auto data = fixtures::encodeJpeg(9, 7, 4, uniform(9, 7, {255, 0, 0, 255}), {.quality = 100, .ycck = ycck});
        const auto pair = image::loadJpeg(view(data));
        ASSERT_TRUE(pair) << "ycck " << ycck;
        const Bytes header = bytesOf(pair->header);
        EXPECT_EQ(header.size(), 40u);
        EXPECT_EQ(header[14], 24);
        const Bytes bits = bytesOf(pair->bits);
        ASSERT_EQ(bits.size(), 28u * 7u);
        for (int row = 0; row < 7; ++row) {
            expectNear(&bits[row * 28], {0, 0, 255}, 8, "red");
            expectNear(&bits[row * 28 + 24], {0, 0, 255}, 8, "last pixel");
        }
        EXPECT_EQ(image::pictureInfoJpeg(view(data))->bitCount, 24);
    }
}

TEST(JpegCodec, TruncatedDataDecodeAsFarAsTheyGo)
{
    const auto whole = fixtures::encodeJpeg(64, 64, 3, fixtures::testPattern(64, 64, 3));
    const auto reference = image::loadJpeg(view(whole));
    ASSERT_TRUE(reference);
    const std::vector<std::uint8_t> half(whole.begin(), whole.begin() + whole.size() * 2 / 3);
    const auto partial = image::loadJpeg(view(half));
    ASSERT_TRUE(partial);
    const Bytes a = bytesOf(reference->bits);
    const Bytes b = bytesOf(partial->bits);
    ASSERT_EQ(a.size(), b.size());
    // The top rows (the end of the block) arrived whole.
    const std::size_t stride = 64 * 3;
    EXPECT_TRUE(std::equal(a.end() - 8 * stride, a.end(), b.end() - 8 * stride));

    // Cut before the image data: nothing to decode.
    std::size_t sos = 0;
    for (std::size_t i = 0; i + 1 < whole.size(); ++i) {
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA) {
            sos = i;
            break;
        }
    }
    ASSERT_GT(sos, 0u);
    EXPECT_FALSE(image::loadJpeg(view(std::vector<std::uint8_t>(whole.begin(), whole.begin() + sos))));
    EXPECT_TRUE(image::pictureInfoJpeg(view(std::vector<std::uint8_t>(whole.begin(), whole.begin() + sos + 14))));
}

TEST(JpegCodec, ProgressiveAndRestartMarkers)
{
    const auto pattern = fixtures::testPattern(40, 24, 3);
    const auto plain = image::loadJpeg(view(fixtures::encodeJpeg(40, 24, 3, pattern, {.quality = 90})));
    const auto progressive =
        image::loadJpeg(view(fixtures::encodeJpeg(40, 24, 3, pattern, {.quality = 90, .progressive = true})));
    const auto restarts =
        image::loadJpeg(view(fixtures::encodeJpeg(40, 24, 3, pattern, {.quality = 90, .restartRows = 1})));
    ASSERT_TRUE(plain && progressive && restarts);
    EXPECT_EQ(bytesOf(plain->bits), bytesOf(progressive->bits)) << "same coefficients, same pixels";
    EXPECT_EQ(bytesOf(plain->bits), bytesOf(restarts->bits));
}

TEST(JpegCodec, GarbageAndShortData)
{
    const std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_TRUE(image::isSupportedJpeg(view(garbage)));
    EXPECT_FALSE(image::loadJpeg(view(garbage)));
    EXPECT_FALSE(image::pictureInfoJpeg(view(garbage)));
    const std::vector<std::uint8_t> one = {0xFF};
    EXPECT_FALSE(image::isSupportedJpeg(view(one)));
    EXPECT_FALSE(image::loadJpeg(view(one)));
    EXPECT_FALSE(image::loadJpeg({}));
    EXPECT_FALSE(image::isSupportedJpeg(view(std::vector<std::uint8_t>{0xFF, 0xD9})));
}

TEST(JpegCodec, LimitRefusesLargePictures)
{
    const auto data = fixtures::encodeJpeg(64, 64, 3, fixtures::testPattern(64, 64, 3));
    EXPECT_FALSE(image::loadJpeg(view(data), {64 * 64 * 3 - 1}));
    EXPECT_TRUE(image::loadJpeg(view(data), {64 * 64 * 3}));
    // The Surface the picture becomes has four bytes a pixel, grey pictures included.
    const auto grey = fixtures::encodeJpeg(64, 64, 1, fixtures::testPattern(64, 64, 1));
    EXPECT_FALSE(image::loadJpeg(view(grey), {.maxSurfaceBytes = 64 * 64 * 4 - 1}));
    EXPECT_TRUE(image::loadJpeg(view(grey), {.maxSurfaceBytes = 64 * 64 * 4}));
}

// The frame header's size fields, patched in place.
std::vector<std::uint8_t> declareSize(std::vector<std::uint8_t> data, unsigned width, unsigned height)
{
    for (std::size_t i = 2; i + 9 < data.size();) {
        const unsigned length = data[i + 2] << 8 | data[i + 3];
        if (data[i + 1] == 0xC0 || data[i + 1] == 0xC2) {
            data[i + 5] = static_cast<std::uint8_t>(height >> 8);
            data[i + 6] = static_cast<std::uint8_t>(height);
            data[i + 7] = static_cast<std::uint8_t>(width >> 8);
            data[i + 8] = static_cast<std::uint8_t>(width);
            return data;
        }
        i += 2 + length;
    }
    ADD_FAILURE() << "no frame header";
    return data;
}

TEST(JpegCodec, DataThatCannotFillTheDeclaredSizeAreRefused)
{
    const auto small = fixtures::encodeJpeg(32, 32, 3, fixtures::testPattern(32, 32, 3), {.quality = 75});
    ASSERT_LT(small.size(), 2048u);
    // A few hundred bytes cannot code the blocks of 22000 × 22000 pixels (under the Surface cap).
    EXPECT_FALSE(image::loadJpeg(view(declareSize(small, 22000, 22000))));
    EXPECT_FALSE(image::loadJpeg(view(declareSize(small, 30000, 30000))));
    const auto info = image::pictureInfoJpeg(view(declareSize(small, 22000, 22000)));
    ASSERT_TRUE(info) << "the header itself is fine";
    EXPECT_EQ(info->width, 22000);
    // Small pictures still decode as far as their data go.
    EXPECT_TRUE(image::loadJpeg(view(declareSize(small, 64, 64))));

    // The floor is at least one bit a block: complete data always pass, whatever the size.
    const image::DecodeLimits strict{.unjustifiedPixels = 0};
    for (const bool progressive : {false, true}) {
        const auto noise = fixtures::encodeJpeg(64, 48, 3, fixtures::testPattern(64, 48, 3),
                                                {.quality = 10, .progressive = progressive, .fullChroma = false});
        EXPECT_TRUE(image::loadJpeg(view(noise), strict)) << progressive;
    }
    const auto flat = fixtures::encodeJpeg(256, 256, 1, uniform(256, 256, {128}), {.quality = 10});
    EXPECT_TRUE(image::loadJpeg(view(flat), strict)) << flat.size() << " bytes";
    EXPECT_FALSE(image::loadJpeg(view(declareSize(flat, 2048, 2048)), strict));
}

// Copies of the last scan (header and data) inserted before the end-of-image marker.
std::vector<std::uint8_t> repeatLastScan(const std::vector<std::uint8_t>& data, int copies)
{
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xDA)
            last = i;
    const std::size_t end = data.size() - 2;
    std::vector<std::uint8_t> out(data.begin(), data.begin() + end);
    for (int k = 0; k < copies; ++k)
        out.insert(out.end(), data.begin() + last, data.begin() + end);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

TEST(JpegCodec, ScansBeyondFiveHundredAreRefused)
{
    const auto progressive = fixtures::encodeJpeg(16, 16, 1, fixtures::testPattern(16, 16, 1), {.progressive = true});
    int scans = 0;
    for (std::size_t i = 0; i + 1 < progressive.size(); ++i)
        scans += progressive[i] == 0xFF && progressive[i + 1] == 0xDA;
    ASSERT_GT(scans, 1);
    EXPECT_TRUE(image::loadJpeg(view(repeatLastScan(progressive, 500 - scans))));
    EXPECT_FALSE(image::loadJpeg(view(repeatLastScan(progressive, 501 - scans))));
}

}  // namespace
