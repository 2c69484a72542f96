#include "platform/Sjis.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(Sjis, LeadBytesAndCharacterLengths)
{
    for (int b = 0; b < 256; ++b) {
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(platform::sjis::isLeadByte(static_cast<unsigned char>(b)), lead) << b;
    }
    EXPECT_EQ(platform::sjis::charLength("\x95\x5c", 0), 2u);
    EXPECT_EQ(platform::sjis::charLength("\x95", 0), 1u) << "a lead byte at the end stands alone";
    EXPECT_EQ(platform::sjis::charLength("\x95\0x"s, 0), 1u) << "a lead byte before zero stands alone";
}

TEST(Sjis, SeparatorSearchStepsOverTrailBytes)
{
    // "表" is 0x95 0x5C: its second byte is never a separator.
    EXPECT_EQ(platform::sjis::findLast("dir\\\x95\x5c", '\\'), 3u);
    EXPECT_EQ(platform::sjis::findLast("\x95\x5c", '\\'), std::string_view::npos);
    EXPECT_FALSE(platform::sjis::endsWith("dir\\\x95\x5c", '\\'));
    EXPECT_TRUE(platform::sjis::endsWith("dir\\\x95\x5c\\", '\\'));
    EXPECT_FALSE(platform::sjis::endsWith("", '\\'));
}

}  // namespace
