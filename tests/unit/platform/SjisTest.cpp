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

namespace {

std::string unit(unsigned char b)
{
    return {static_cast<char>(platform::sjis::escapeLead(b)), static_cast<char>(platform::sjis::escapeTrail(b))};
}

TEST(Sjis, EscapeUnitsAreDoubleByteCharactersWithoutAsciiBytes)
{
    for (int b = 0; b < 256; ++b) {
        const std::string u = unit(static_cast<unsigned char>(b));
        const auto lead = static_cast<unsigned char>(u[0]);
        const auto trail = static_cast<unsigned char>(u[1]);
        EXPECT_TRUE(platform::sjis::isLeadByte(lead));
        EXPECT_GE(lead, 0xF0) << "in the user-defined area";
        EXPECT_LE(lead, 0xF9);
        EXPECT_GE(trail, 0x80) << "never ASCII, so never a separator, dot, colon or wildcard";
        EXPECT_TRUE(platform::sjis::isEscapeUnit(lead, trail));
        EXPECT_EQ(platform::sjis::escapedByte(lead, trail), b);
        EXPECT_EQ(platform::sjis::charLength(u, 0), 2u);
    }
    EXPECT_FALSE(platform::sjis::isEscapeUnit(0xF5, 0x80));
    EXPECT_FALSE(platform::sjis::isEscapeUnit(0xF6, 0x7E));
    EXPECT_FALSE(platform::sjis::isEscapeUnit(0xF9, 0xC0));
}

TEST(Sjis, AWholeEscapedCharacterCountsAsOne)
{
    using platform::sjis::wholeCharLength;
    const std::string e = unit(0xC3) + unit(0xA9);                                  // é
    const std::string smile = unit(0xF0) + unit(0x9F) + unit(0x98) + unit(0x80);  // U+1F600
    EXPECT_EQ(wholeCharLength(e + "x", 0), 4u);
    EXPECT_EQ(wholeCharLength(smile, 0), 8u);
    EXPECT_EQ(wholeCharLength(e + e, 4), 4u);
    EXPECT_EQ(wholeCharLength(unit(0xE9) + "x", 0), 2u) << "a byte that starts no sequence is one character";
    EXPECT_EQ(wholeCharLength(unit(0xE3) + unit(0x81), 0), 2u) << "nor does a sequence cut short";
    EXPECT_EQ(wholeCharLength(unit(0xA9), 0), 2u);
    EXPECT_EQ(wholeCharLength(unit(0xC3), 0), 2u) << "a unit at the end";
    EXPECT_EQ(wholeCharLength("\x95\x5c", 0), 2u);
    EXPECT_EQ(wholeCharLength("a", 0), 1u);
}

}  // namespace

namespace {

TEST(Sjis, APrefixNeverCutsACharacter)
{
    using platform::sjis::wholePrefix;
    const std::string e = unit(0xC3) + unit(0xA9);  // é, four bytes
    EXPECT_EQ(wholePrefix("abc", 5), "abc");
    EXPECT_EQ(wholePrefix("abc", 2), "ab");
    EXPECT_EQ(wholePrefix("a\x95\x5c", 2), "a") << "not half of 表";
    EXPECT_EQ(wholePrefix("a" + e, 4), "a") << "not part of an escaped character";
    EXPECT_EQ(wholePrefix("a" + e, 5), "a" + e);
    EXPECT_EQ(wholePrefix("abc", 0), "");
}

}  // namespace
