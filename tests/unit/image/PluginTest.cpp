#include "image/Plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> header(unsigned bits, std::uint32_t compression, std::uint32_t imageSize,
                                 std::uint32_t used)
{
    std::vector<std::uint8_t> h(40, 0);
    h[0] = 40;
    h[14] = static_cast<std::uint8_t>(bits);
    std::memcpy(&h[16], &compression, 4);
    std::memcpy(&h[20], &imageSize, 4);
    std::memcpy(&h[32], &used, 4);
    return h;
}

struct LengthCase {
    unsigned bits;
    std::uint32_t compression;
    std::uint32_t used;
    std::uint64_t headerLength;
};

class DibLengthsTest : public testing::TestWithParam<LengthCase> {};

TEST_P(DibLengthsTest, HeaderHoldsItsColourEntries)
{
    const LengthCase c = GetParam();
    const auto lengths = image::dibLengths(header(c.bits, c.compression, 0, c.used));
    EXPECT_EQ(lengths.header, c.headerLength);
    EXPECT_FALSE(lengths.bits) << "image size 0 leaves the bits unbounded";
}

INSTANTIATE_TEST_SUITE_P(BitCounts, DibLengthsTest,
                         testing::Values(LengthCase{1, 0, 0, 44 + 4 * 2}, LengthCase{4, 0, 0, 44 + 4 * 16},
                                         LengthCase{8, 0, 0, 44 + 4 * 256}, LengthCase{8, 0, 7, 44 + 4 * 7},
                                         LengthCase{16, 0, 0, 44}, LengthCase{16, 3, 0, 44 + 12},
                                         LengthCase{32, 3, 2, 44 + 4 * 5}, LengthCase{24, 0, 9, 44},
                                         LengthCase{24, 3, 0, 44}, LengthCase{2, 0, 5, 44},
                                         LengthCase{8, 0, 0xFFFFFFFFu, 44 + 4 * std::uint64_t{0xFFFFFFFFu}}));

TEST(DibLengths, ImageSizeBoundsTheBitsAndShortBlocksLeaveBothOpen)
{
    EXPECT_EQ(image::dibLengths(header(24, 0, 1234, 0)).bits, 1234u);
    const auto h = header(8, 0, 99, 2);
    for (std::size_t n : {0, 14, 35}) {
        const auto lengths = image::dibLengths({h.data(), n});
        EXPECT_FALSE(lengths.header) << n;
        EXPECT_FALSE(lengths.bits) << n;
    }
    EXPECT_EQ(image::dibLengths({h.data(), 36}).header, 44u + 8) << "every field it needs lies inside";
}

}  // namespace
