// Randomised robustness runs: seeded mutations of valid inputs must never crash or touch memory
// outside their blocks (run them under the sanitizer build). Whether a mutated input decodes is
// not checked, only that a decoded pair is self-consistent: its bits are exactly the rows its
// header describes. Every input runs at the default limits and at a small one.
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"

#include "JpegFixtures.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <random>

using namespace testbytes;

namespace {

constexpr image::DecodeLimits kSmall{1 << 20};

Bytes mutate(const Bytes& seed, std::mt19937& rng)
{
    Bytes data = seed;
    std::uniform_int_distribution<int> kind(0, 9);
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !data.empty(); ++e) {
        const std::size_t at = rng() % data.size();
        switch (kind(rng)) {
        case 0: data.resize(at); break;                                           // truncate
        case 1: data.insert(data.begin() + at, static_cast<std::uint8_t>(rng())); break;
        case 2: data.erase(data.begin() + at); break;
        case 3: data[at] = 0xFF; break;                                           // marker-ish
        case 4: data[at] = 0; break;
        case 5: data[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;  // bit flip
        default: data[at] = static_cast<std::uint8_t>(rng()); break;
        }
    }
    return data;
}

void checkPair(const std::optional<image::DibPair>& pair, const image::DecodeLimits& limits)
{
    if (!pair)
        return;
    ASSERT_TRUE(pair->header);
    ASSERT_TRUE(pair->bits);
    const Bytes header = bytesOf(pair->header);
    ASSERT_GE(header.size(), 40u);
    const std::int64_t width = image::readI32(header.data() + 4);
    const std::int64_t height = image::readI32(header.data() + 8);
    const std::uint64_t bitCount = image::readU16(header.data() + 14);
    ASSERT_GE(width, 0);
    const std::uint64_t stride = ((bitCount * width + 31) / 32) * 4;
    const std::uint64_t rows = height < 0 ? -height : height;
    ASSERT_EQ(pair->bits.size(), rows * stride) << width << " x " << height << " x " << bitCount;
    ASSERT_LE(pair->bits.size(), limits.maxBitsBytes);
    ASSERT_LE(static_cast<std::uint64_t>(width) * rows * 4, limits.maxSurfaceBytes);
}

template <typename Decode>
int decodeBoth(const Bytes& data, Decode decode)
{
    const auto small = decode(view(data), kSmall);
    checkPair(small, kSmall);
    const auto full = decode(view(data), image::DecodeLimits{});
    checkPair(full, image::DecodeLimits{});
    // The small limit refuses only what is larger than it.
    EXPECT_TRUE(small.has_value() || !full || full->bits.size() > kSmall.maxBitsBytes);
    return full.has_value();
}

std::optional<image::DibPair> bmp(std::span<const std::uint8_t> data, const image::DecodeLimits& limits)
{
    return image::loadBmp(data, limits);
}

std::optional<image::DibPair> jpeg(std::span<const std::uint8_t> data, const image::DecodeLimits& limits)
{
    return image::loadJpeg(data, limits);
}

// RLE8 and RLE4 pictures with every escape but delta.
Bytes rleSeed(bool four)
{
    Bytes rle;
    for (int row = 0; row < 12; ++row) {
        rle.insert(rle.end(), {5, static_cast<std::uint8_t>(0x10 + row)});
        if (four) {
            rle.insert(rle.end(), {0, 4, 0x12, 0x34});
            rle.insert(rle.end(), {0, 3, 0x56, 0x70});
        } else {
            rle.insert(rle.end(), {0, 4, 1, 2, 3, 4});
            rle.insert(rle.end(), {0, 3, 5, 6, 7, 0});
        }
        rle.insert(rle.end(), {3, 0x77, 0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    const unsigned bits = four ? 4 : 8;
    return fileHeader() + infoHeader(15, 12, bits, four ? 2 : 1, static_cast<std::uint32_t>(rle.size()), 16) +
           Bytes(64, 0x40) + rle;
}

TEST(Robustness, LoadBmpRunLength)
{
    for (bool four : {false, true}) {
        const Bytes seed = rleSeed(four);
        ASSERT_TRUE(image::loadBmp(view(seed))) << "the seed itself decodes";
        std::mt19937 rng(four ? 4 : 8);
        for (int i = 0; i < 100000; ++i) {
            const Bytes data = mutate(seed, rng);
            decodeBoth(data, bmp);
            image::pictureInfoBmp(view(data));
            image::isSupportedBmp(view(data));
        }
    }
}

TEST(Robustness, LoadBmpUncompressed)
{
    const Bytes seed = fileHeader() + infoHeader(7, 5, 4, 0, 0, 3) + Bytes(12, 0x55) + Bytes(4 * 5, 0x12);
    ASSERT_TRUE(image::loadBmp(view(seed)));
    std::mt19937 rng(1);
    for (int i = 0; i < 20000; ++i)
        decodeBoth(mutate(seed, rng), bmp);
}

TEST(Robustness, LoadJpeg)
{
    const std::vector<Bytes> seeds = {
        fixtures::encodeJpeg(24, 16, 3, fixtures::testPattern(24, 16, 3), {.quality = 80, .fullChroma = false}),
        fixtures::encodeJpeg(24, 16, 3, fixtures::testPattern(24, 16, 3), {.progressive = true, .restartRows = 1}),
        fixtures::encodeJpeg(17, 9, 1, fixtures::testPattern(17, 9, 1)),
        fixtures::encodeJpeg(16, 8, 4, fixtures::testPattern(16, 8, 4), {.ycck = true}),
    };
    std::mt19937 rng(62);
    int decoded = 0;
    for (int i = 0; i < 50000; ++i) {
        const Bytes& seed = seeds[i % seeds.size()];
        const Bytes data = mutate(seed, rng);
        decoded += decodeBoth(data, jpeg);
        image::pictureInfoJpeg(view(data));
    }
    // Most single-byte damage still decodes; a run where nothing decodes tests nothing.
    EXPECT_GT(decoded, 5000);
}

}  // namespace
