#include "platform/Clock.h"
#include "platform/Collator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::string_literals;
using platform::compareText;

TEST(Collator, ComparesWithTheJapaneseLocale)
{
    EXPECT_EQ(compareText("abc", "abc"), 0);
    EXPECT_EQ(compareText("abc", "abd"), -1);
    EXPECT_EQ(compareText("abd", "abc"), 1);
    EXPECT_EQ(compareText("a", "B"), -1) << "letters compare alphabetically before case";
    EXPECT_EQ(compareText("file2", "file10"), 1) << "no numeric ordering";
    // "あ" (0x82 0xA0) before "い" (0x82 0xA2), and hiragana before kanji "亜" (0x88 0x9F).
    EXPECT_EQ(compareText("\x82\xa0", "\x82\xa2"), -1);
    EXPECT_EQ(compareText("\x82\xa2", "\x88\x9f"), -1);
}

TEST(Collator, ZeroBytesTakePart)
{
    EXPECT_EQ(compareText("a\0b"s, "a\0b"s), 0);
    EXPECT_EQ(compareText("a\0b"s, "a\0c"s), -1);
}

TEST(Collator, KeysSortAsTheComparison)
{
    std::vector<std::string> texts = {"b", "A", "a", "\x82\xa2", "\x88\x9f", "\x82\xa0", "10", "9", "a b", "ab", "-", "_", ""};
    for (const std::string& x : texts) {
        for (const std::string& y : texts) {
            const int byKey = platform::collationKey(x).compare(platform::collationKey(y));
            EXPECT_EQ(byKey < 0 ? -1 : byKey > 0 ? 1 : 0, compareText(x, y)) << x << " / " << y;
        }
    }
}

TEST(Clock, TicksAdvanceInMilliseconds)
{
    const std::uint32_t start = platform::tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::uint32_t elapsed = platform::tickCount() - start;  // wraps as the counter does
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
