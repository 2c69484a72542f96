#include "platform/Paths.h"
#include "platform/Sjis.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace std::string_literals;
using platform::cp932ToUtf16;
using platform::cp932ToUtf8;
using platform::utf16ToCp932;
using platform::utf8ToCp932;

// Whether the text is made of escape units only.
bool onlyEscapeUnits(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        if (!platform::sjis::escapeUnitAt(text, i))
            return false;
    }
    return true;
}

TEST(TextCodec, Utf16RoundTrip)
{
    // "日本語" in code page 932, then "ソ" whose trail byte is 0x5C.
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea\x83\x5c";
    const std::u16string utf16 = u"日本語ソ";
    EXPECT_EQ(cp932ToUtf16(sjis), utf16);
    EXPECT_EQ(utf16ToCp932(utf16), sjis);
    EXPECT_EQ(cp932ToUtf16(""), u"");
    EXPECT_EQ(utf16ToCp932(u""), "");
}

TEST(TextCodec, ZeroBytesConvertLikeOtherCharacters)
{
    EXPECT_EQ(cp932ToUtf16("a\0b"s), u"a\0b"s);
    EXPECT_EQ(utf16ToCp932(u"a\0b"s), "a\0b"s);
    EXPECT_EQ(utf8ToCp932("a\0b"s), "a\0b"s);
    EXPECT_EQ(cp932ToUtf8("a\0b"s), "a\0b"s);
}

TEST(TextCodec, CharactersCodePage932HasStayByteForByte)
{
    struct Case {
        const char* utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"日本語", "\x93\xfa\x96\x7b\x8c\xea"},
        {"Ωmega", "\x83\xb6mega"},              // Greek is in JIS X 0208
        {"Жж", "\x84\x47\x84\x77"},             // and so is Cyrillic
        {"ｱｲ", "\xb1\xb2"},                      // half-width katakana: one byte each
        {"髙橋", "\xfb\xfc\x8b\xb4"},            // an extension character of the code page
        {"①～", "\x87\x40\x81\x60"},
        {"\uE000", "\xf0\x40"},                   // a user-defined character outside the escape units
        {"\\~\x1a\x1c\x7f", "\\~\x1a\x1c\x7f"},   // ASCII is itself, control codes included
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToCp932(c.utf8), c.cp932) << c.utf8;
        EXPECT_EQ(cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
        EXPECT_EQ(platform::cp932ToQString(c.cp932), QString::fromUtf8(c.utf8)) << c.utf8;
    }
}

struct RoundTrip {
    const char* what;
    std::string utf8;
};

class TextCodecRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextCodecRoundTrip, OsTextComesBackByteForByteAndOnlyAsEscapeUnits)
{
    const std::string& os = GetParam().utf8;
    const std::string script = utf8ToCp932(os);
    EXPECT_TRUE(onlyEscapeUnits(script)) << "code page 932 has none of these";
    EXPECT_EQ(cp932ToUtf8(script), os);
    EXPECT_EQ(utf8ToCp932(cp932ToUtf8(script)), script) << "one script form for each name";
    EXPECT_EQ(platform::fromOsPath("/x/" + os + ".jpg"), "\\x\\" + script + ".jpg");
    EXPECT_EQ(platform::toOsPath("\\x\\" + script + ".jpg"), "/x/" + os + ".jpg");
}

TEST_P(TextCodecRoundTrip, TheUiAndUtf16SeeTheCharactersTheBytesSpell)
{
    const std::string& os = GetParam().utf8;
    const std::string script = utf8ToCp932(os);
    const QString valid = QString::fromUtf8(os);
    if (valid.toStdString() == os) {
        EXPECT_EQ(platform::cp932ToQString(script), valid);
        EXPECT_EQ(cp932ToUtf16(script), valid.toStdU16String());
        EXPECT_EQ(platform::qstringToCp932(valid), script);
    } else {
        // Each byte that spells no character shows as one replacement character.
        EXPECT_EQ(platform::cp932ToQString(script), QString(static_cast<qsizetype>(os.size()), QChar(0xFFFD)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, TextCodecRoundTrip,
    ::testing::Values(RoundTrip{"accents", "\u00e9\u00c4\u00d6\u00dc\u00f1"}, RoundTrip{"hangul", "\uc0ac\uc9c4"},
                      RoundTrip{"cjkOutsideJis", "\u4e02\u9fa5"}, RoundTrip{"cjkExtensionB", "\U00020BB7"},
                      RoundTrip{"emoji", "\U0001F600\U0001F469\u200d\U0001F4BB"},
                      RoundTrip{"combiningMarks", "\u0301\u0308\u0327"},
                      RoundTrip{"latin1Bytes", "\xe9\xe8"}, RoundTrip{"cutSequence", "\xe3\x81"},
                      RoundTrip{"strayContinuation", "\x80\xbf"}, RoundTrip{"overlong", "\xc0\xaf\xe0\x80\xaf"},
                      RoundTrip{"encodedSurrogate", "\xed\xa0\x80"}, RoundTrip{"beyondUnicode", "\xf4\x90\x80\x80\xff"},
                      RoundTrip{"userDefinedInEscapeCodes", "\ue4a7\ue71a"}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.what); });

TEST(TextCodec, UserDefinedCharactersNeverCollideWithEscapes)
{
    int escaped = 0;
    for (char32_t c = 0xE000; c <= 0xE757; ++c) {
        const std::string os = QString::fromUcs4(&c, 1).toStdString();
        const std::string script = utf8ToCp932(os);
        ASSERT_EQ(cp932ToUtf8(script), os) << std::hex << static_cast<unsigned>(c);
        if (script.size() == 2) {
            EXPECT_FALSE(platform::sjis::escapeUnitAt(script, 0));
            EXPECT_GE(static_cast<unsigned char>(script[0]), 0xF0) << "its own code page 932 code";
            EXPECT_LE(static_cast<unsigned char>(script[0]), 0xF9);
        } else {
            EXPECT_TRUE(onlyEscapeUnits(script)) << std::hex << static_cast<unsigned>(c);
            const bool inRanges = (c >= 0xE4A7 && c <= 0xE4E6) || (c >= 0xE563 && c <= 0xE5A2) ||
                                  (c >= 0xE61F && c <= 0xE65E) || (c >= 0xE6DB && c <= 0xE71A);
            EXPECT_TRUE(inRanges) << std::hex << static_cast<unsigned>(c);
            ++escaped;
        }
    }
    EXPECT_EQ(escaped, 256) << "exactly those whose codes are escape units";
}

TEST(TextCodec, EveryEscapeUnitStandsForItsByte)
{
    for (int b = 0; b < 256; ++b) {
        const unsigned char lead = platform::sjis::escapeLead(static_cast<unsigned char>(b));
        const unsigned char trail = platform::sjis::escapeTrail(static_cast<unsigned char>(b));
        const std::string unit = {static_cast<char>(lead), static_cast<char>(trail)};
        EXPECT_EQ(cp932ToUtf8(unit), std::string(1, static_cast<char>(b))) << b;
    }
}

// Random bytes, weighted towards the interesting ones, survive every way in and out.
TEST(TextCodec, RandomOsNamesRoundTrip)
{
    std::mt19937 random(20260613);
    const std::string pieces[] = {"a", ".", "\\", "*", "?", "\xc3\xa9", "\xe6\x97\xa5", "\xf0\x9f\x98\x80",
                                  "\xee\x80\x80", "\xe3\x81", "\xff", "\x80", "\xcd\x81", "\xef\xbf\xbd"};
    for (int round = 0; round < 3000; ++round) {
        std::string os;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            if (random() % 3 == 0)
                os += static_cast<char>(random() % 255 + 1);
            else
                os += pieces[random() % std::size(pieces)];
        }
        const std::string text = utf8ToCp932(os);
        ASSERT_EQ(cp932ToUtf8(text), os);
        ASSERT_EQ(utf8ToCp932(cp932ToUtf8(text)), text);
        const std::string name = platform::osNameToCp932(os);
        ASSERT_EQ(cp932ToUtf8(name), os);
        // The only ASCII in a name's script form is the ASCII of the name, minus the bytes a
        // script path gives a meaning.
        std::string asciiIn, asciiOut;
        for (char c : os)
            if (static_cast<unsigned char>(c) < 0x80 && c != '\\' && c != '*' && c != '?')
                asciiIn += c;
        for (std::size_t i = 0; i < name.size(); i += platform::sjis::charLength(name, i))
            if (static_cast<unsigned char>(name[i]) < 0x80)
                asciiOut += name[i];
        ASSERT_EQ(asciiOut, asciiIn);
    }
}

TEST(TextCodec, UiTextIntoScriptsIsLosslessToo)
{
    const std::u16string text = u"caf\u00e9 \U0001F600 \uc0ac\uc9c4 日本";
    EXPECT_EQ(cp932ToUtf16(utf16ToCp932(text)), text);
    EXPECT_EQ(platform::cp932ToQString(platform::qstringToCp932(QString::fromStdU16String(text))), QString::fromStdU16String(text));
    EXPECT_EQ(cp932ToUtf16(utf16ToCp932(u"x\xd800y"s)), u"x\ufffdy") << "a lone surrogate is no character";
}

TEST(TextCodec, TheReplacingConversionWritesQuestionMarks)
{
    using platform::utf16ToCp932Replacing;
    EXPECT_EQ(utf16ToCp932Replacing(u"a\u00e9b"), "a?b");
    EXPECT_EQ(utf16ToCp932Replacing(u"x\U0001F600y"), "x?y") << "one character, one mark";
    EXPECT_EQ(utf16ToCp932Replacing(u"x\xd800y"s), "x?y") << "a lone surrogate";
    EXPECT_EQ(utf16ToCp932Replacing(u"日本ｱ\\"), "\x93\xfa\x96\x7b\xb1\\");
    // User-defined characters take their own codes, the escape units' codes included.
    EXPECT_EQ(utf16ToCp932Replacing(u"\ue000\ue03e\ue03f\ue4a7\ue757"), "\xf0\x40\xf0\x7e\xf0\x80\xf6\x80\xf9\xfc");
}

TEST(TextCodec, InvalidShiftJisNeverLosesTheRest)
{
    // A lead byte at the end, and a lead byte followed by a byte that cannot trail.
    EXPECT_EQ(cp932ToUtf16("ab\x82"), u"ab\ufffd");
    EXPECT_EQ(cp932ToUtf16("\x82\x20z"), u"\ufffd z");
    EXPECT_EQ(cp932ToUtf16("\x85\x40z"), u"\ufffdz") << "a well-formed but unassigned code is one character";
    // Bytes that never start a character.
    EXPECT_EQ(cp932ToUtf16("\x80\xa0\xfd\xfe\xffq"), u"\ufffd\ufffd\ufffd\ufffd\ufffdq");
    EXPECT_EQ(cp932ToUtf8("\xfd/"), "\xef\xbf\xbd/");
}

}  // namespace

namespace {

TEST(TextCodec, AStreamHoldsBackWhatIsCutInTwo)
{
    // Japanese with a trail byte 0x5C, escaped é and 😀, a stray byte, ASCII.
    const std::string text = "\x83\x5c" + utf8ToCp932("caf\xc3\xa9 \xf0\x9f\x98\x80 \xe9!") + "\x93\xfa";
    const QString whole = platform::cp932ToQString(text);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (std::size_t cut2 = cut; cut2 <= text.size(); cut2 += 3) {
            platform::ScriptTextStream stream;
            QString out = stream.decode(std::string_view(text).substr(0, cut));
            out += stream.decode(std::string_view(text).substr(cut, cut2 - cut));
            out += stream.decode(std::string_view(text).substr(cut2));
            out += stream.finish();
            ASSERT_EQ(out, whole) << cut << " " << cut2;
        }
    }
    platform::ScriptTextStream stream;
    EXPECT_EQ(stream.decode("ab\x93"), "ab") << "a lead byte waits for its trail";
    EXPECT_EQ(stream.finish(), QString(QChar(0xFFFD))) << "and without one it is no character";
}

}  // namespace
