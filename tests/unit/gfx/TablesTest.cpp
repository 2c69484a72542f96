#include "gfx/NxTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace gfx {
namespace {

TEST(TablesTest, WeightsCountOpacityOutOf256AndNeverTouchAlpha)
{
    const NxTables& t = tables();
    EXPECT_EQ(t.w[0], (std::array<std::uint16_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(t.w[1], (std::array<std::uint16_t, 4>{2, 2, 2, 0}));
    EXPECT_EQ(t.w[128], (std::array<std::uint16_t, 4>{129, 129, 129, 0}));
    EXPECT_EQ(t.w[255], (std::array<std::uint16_t, 4>{256, 256, 256, 0}));
    EXPECT_EQ(t.w3[2][0], 0);
    EXPECT_EQ(t.w3[3], t.w[3]);
}

TEST(TablesTest, ProductAndCompositeTablesMatchTheirFormulas)
{
    const NxTables& t = tables();
    for (int a = 0; a < 256; ++a)
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(t.mul[a][x], (a * x + 127) / 255);
            ASSERT_EQ(t.aout[a][x], std::min(255, a + x * (255 - a) / 255));
        }
    EXPECT_EQ(t.aout[0][255], 255);
    EXPECT_EQ(t.srcw[0][255], 255);
    EXPECT_EQ(t.srcw[0][0], 255);
    EXPECT_EQ(t.srcw[255][128], 128);
    EXPECT_EQ(t.srcw[128][0], 0);
    EXPECT_EQ(t.srcw[1][255], 255);
    // Half over half: e = c = 0.5 gives 255 * 1 / (0.5 + 1) = 170.
    EXPECT_EQ(t.srcw[128][128], 170);
    for (int d = 0; d < 256; ++d)
        for (int s = 0; s < 256; ++s)
            ASSERT_EQ(t.composite[static_cast<std::size_t>(d * 256 + s)],
                      static_cast<std::uint32_t>(t.aout[d][s]) << 16 | t.w[t.srcw[d][s]][0]);
}

TEST(TablesTest, ClampAndGrayTables)
{
    const NxTables& t = tables();
    EXPECT_EQ(t.clamp(-768), 0);
    EXPECT_EQ(t.clamp(-1), 0);
    EXPECT_EQ(t.clamp(0), 0);
    EXPECT_EQ(t.clamp(200), 200);
    EXPECT_EQ(t.clamp(255), 255);
    EXPECT_EQ(t.clamp(300), 255);
    EXPECT_EQ(t.clamp(1023), 255);
    EXPECT_EQ(t.gray32[0x12], 0x12121212u);
}

// The first use races in a fresh process (the threadsafe style runs the statement in a new
// run of this program, where nothing has built the tables yet): every thread must see one
// table that is already complete.
TEST(TablesTest, FirstUseFromManyThreadsSeesOneCompleteTable)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto race = [] {
        std::vector<const NxTables*> seen(8);
        std::vector<int> wrong(8, 0);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&seen, &wrong, i] {
                const NxTables& t = tables();
                seen[i] = &t;
                for (int a = 0; a < 256; ++a)
                    for (int x = 0; x < 256; ++x)
                        wrong[i] += t.mul[a][x] != (a * x + 127) / 255 || t.clampData[static_cast<std::size_t>(x + 768)] != x;
            });
        for (auto& th : threads)
            th.join();
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (seen[i] != &tables() || wrong[i] != 0)
                std::_Exit(1);
        std::_Exit(0);
    };
    EXPECT_EXIT(race(), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace gfx
