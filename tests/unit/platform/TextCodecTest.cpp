#include "platform/TextCodec.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(TextCodec, Utf16RoundTrip)
{
    // "日本語" in code page 932, then "ソ" whose trail byte is 0x5C.
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\x83\x5c";
    const std::u16string utf16 = u"日本語ソ";
    EXPECT_EQ(platform::cp932ToUtf16(sjis), utf16);
    EXPECT_EQ(platform::utf16ToCp932(utf16), sjis);
    EXPECT_EQ(platform::cp932ToUtf16(""), u"");
    EXPECT_EQ(platform::utf16ToCp932(u""), "");
}

TEST(TextCodec, ZeroBytesConvertLikeOtherCharacters)
{
    EXPECT_EQ(platform::cp932ToUtf16("a\0b"s), u"a\0b"s);
    EXPECT_EQ(platform::utf16ToCp932(u"a\0b"s), "a\0b"s);
}

TEST(TextCodec, UnrepresentableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(platform::utf16ToCp932(u"a\u00e9b"), "a?b");       // é is not in code page 932
    EXPECT_EQ(platform::utf16ToCp932(u"x\U0001F600y"), "x?y");   // one character, one mark
    EXPECT_EQ(platform::utf16ToCp932(u"x\xd800y"s), "x?y");      // a lone surrogate
    EXPECT_EQ(platform::utf8ToCp932("caf\xc3\xa9"), "caf?");
}

TEST(TextCodec, InvalidShiftJisNeverLosesTheRest)
{
    // A lead byte at the end, and a lead byte followed by a byte that cannot trail.
    const std::u16string endLead = platform::cp932ToUtf16("ab\x82");
    ASSERT_EQ(endLead.size(), 3u);
    EXPECT_EQ(endLead.substr(0, 2), u"ab");
    const std::u16string badTrail = platform::cp932ToUtf16("\x82\x20z");
    ASSERT_FALSE(badTrail.empty());
    EXPECT_EQ(badTrail.back(), u'z');
    // Bytes that never start a character.
    const std::u16string lone = platform::cp932ToUtf16("\xa0\xfd\xfe\xffq");
    ASSERT_FALSE(lone.empty());
    EXPECT_EQ(lone.back(), u'q');
}

}  // namespace
