#include "gfx/NxClip.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

struct ClipCase {
    const char* name;
    NxRect dst;
    NxRect src;
    NxRect clip;
    std::int32_t originX, originY;
    bool drawn;
    NxRect expectDst;
    NxRect expectSrc;
};

class ClipUnscaledTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipUnscaledTest, CutsBothRectanglesTogether)
{
    const ClipCase c = GetParam();
    NxClippedPair out;
    // Source bitmap 10 x 10 in every case.
    ASSERT_EQ(clipUnscaled(c.dst, c.src, 10, 10, c.clip, c.originX, c.originY, out), c.drawn);
    if (!c.drawn)
        return;
    EXPECT_EQ(out.dst, c.expectDst);
    EXPECT_EQ(out.src, c.expectSrc);
}

const NxRect kWide{0, 0, 100, 100};

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipUnscaledTest,
    ::testing::Values(
        ClipCase{"inside", {2, 3, 6, 7}, {1, 1, 5, 5}, kWide, 0, 0, true, {2, 3, 6, 7}, {1, 1, 5, 5}},
        ClipCase{"origin", {0, 0, 4, 4}, {0, 0, 4, 4}, kWide, 5, 7, true, {5, 7, 9, 11}, {0, 0, 4, 4}},
        ClipCase{"sourceAboveLeft", {0, 0, 4, 4}, {-2, -1, 2, 3}, kWide, 0, 0, true, {2, 1, 4, 4}, {0, 0, 2, 3}},
        ClipCase{"sourceBelowRight", {0, 0, 4, 4}, {8, 9, 12, 13}, kWide, 0, 0, true, {0, 0, 2, 1}, {8, 9, 10, 10}},
        ClipCase{"clipCuts", {0, 0, 10, 10}, {0, 0, 10, 10}, {3, 4, 6, 8}, 0, 0, true, {3, 4, 6, 8}, {3, 4, 6, 8}},
        ClipCase{"outsideClip", {50, 50, 60, 60}, {0, 0, 10, 10}, {0, 0, 20, 20}, 0, 0, false, {}, {}},
        ClipCase{"invertedDst", {5, 5, 1, 1}, {0, 0, 4, 4}, kWide, 0, 0, false, {}, {}},
        ClipCase{"emptyClip", {0, 0, 4, 4}, {0, 0, 4, 4}, {5, 5, 5, 5}, 0, 0, false, {}, {}},
        ClipCase{"sourceOutside", {0, 0, 4, 4}, {20, 20, 24, 24}, kWide, 0, 0, false, {}, {}},
        // Mirrored: destination column 0 shows source column 3, ..., so cutting the source at
        // its left edge (columns -2, -1) removes the destination's right end.
        ClipCase{"mirrored", {0, 0, 4, 1}, {4, 0, 0, 1}, kWide, 0, 0, true, {0, 0, 4, 1}, {0, 0, 4, 1}},
        ClipCase{"mirroredPartlyLeft", {0, 0, 4, 1}, {2, 0, -2, 1}, kWide, 0, 0, true, {0, 0, 2, 1}, {0, 0, 2, 1}},
        ClipCase{"mirroredPartlyRight", {0, 0, 4, 1}, {12, 0, 8, 1}, kWide, 0, 0, true, {2, 0, 4, 1}, {8, 0, 10, 1}},
        ClipCase{"mirroredClipLeft", {0, 0, 4, 1}, {4, 0, 0, 1}, {1, 0, 100, 100}, 0, 0, true, {1, 0, 4, 1}, {0, 0, 3, 1}},
        ClipCase{"flippedPartlyAbove", {0, 0, 1, 4}, {0, 2, 1, -2}, kWide, 0, 0, true, {0, 0, 1, 2}, {0, 0, 1, 2}},
        ClipCase{"flippedClipTop", {0, 0, 1, 4}, {0, 4, 1, 0}, {0, 3, 100, 100}, 0, 0, true, {0, 3, 1, 4}, {0, 0, 1, 1}},
        ClipCase{"extremeOrigin", {0, 0, 4, 4}, {0, 0, 4, 4}, kWide, INT32_MAX, INT32_MAX, false, {}, {}},
        ClipCase{"extremeRects", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                 kWide, 0, 0, true, {0, 0, 10, 10}, {0, 0, 10, 10}}),
    [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

TEST(ClipUnscaledTest, ReportsWalkingDirections)
{
    NxClippedPair out;
    ASSERT_TRUE(clipUnscaled({0, 0, 2, 2}, {2, 2, 0, 0}, 10, 10, kWide, 0, 0, out));
    EXPECT_TRUE(out.mirrored);
    EXPECT_TRUE(out.flipped);
    ASSERT_TRUE(clipUnscaled({0, 0, 2, 2}, {0, 0, 2, 2}, 10, 10, kWide, 0, 0, out));
    EXPECT_FALSE(out.mirrored);
    EXPECT_FALSE(out.flipped);
}

} // namespace
} // namespace gfx
