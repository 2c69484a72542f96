#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using namespace std::string_literals;
using platform::joinPath;
using platform::splitExtension;
using platform::splitPath;

// "表" (0x95 0x5C) and "ソ" (0x83 0x5C): their second byte equals a backslash.
const std::string kHyo = "\x95\x5c";
const std::string kSo = "\x83\x5c";

TEST(Paths, PiecesFollowTheSeparatorRules)
{
    using V = std::vector<std::string_view>;
    EXPECT_EQ(platform::pathPieces(""), V{});
    EXPECT_EQ(platform::pathPieces("a\\b/c"), (V{"a", "b", "c"}));
    EXPECT_EQ(platform::pathPieces("a\\\\b"), (V{"a", "", "b"}));
    EXPECT_EQ(platform::pathPieces("a\\"), (V{"a"}));
    EXPECT_EQ(platform::pathPieces("\\a"), (V{"", "a"}));
    EXPECT_EQ(platform::pathPieces(kHyo + "\\" + kSo), (V{kHyo, kSo}));
    EXPECT_EQ(platform::pathPieces("a\\\x95"), (V{"a", "\x95"})) << "a lead byte at the end stands alone";
    EXPECT_EQ(platform::pathPieces("\x5c\x95"), (V{"", "\x95"}));
}

TEST(Paths, JoinPathPutsOneBackslashBetweenTheParts)
{
    EXPECT_EQ(joinPath("C:\\dir\\", "file.txt"), "C:\\dir\\file.txt");
    EXPECT_EQ(joinPath("C:\\dir", "file.txt"), "C:\\dir\\file.txt");
    EXPECT_EQ(joinPath("C:\\dir", "\\file.txt"), "C:\\dir\\\\file.txt") << "a leading separator of the name gives two";
    EXPECT_EQ(joinPath("", "file"), "\\file");
    EXPECT_EQ(joinPath("a/b", "c/d"), "a\\b\\c\\d");
    EXPECT_EQ(joinPath("dir", ""), "dir");
    EXPECT_EQ(joinPath(kHyo, kSo), kHyo + "\\" + kSo) << "a trail byte 0x5C is not a separator";
    EXPECT_EQ(joinPath("dir\\" + kHyo, "x"), "dir\\" + kHyo + "\\x");
}

TEST(Paths, SplitPathGivesFolderAndName)
{
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(splitPath("C:\\dir\\file.txt"), (P{"C:\\dir", "file.txt"}));
    EXPECT_EQ(splitPath("/home/user/file"), (P{"\\home\\user", "file"})) << "slashes come back as backslashes";
    EXPECT_EQ(splitPath("name"), (P{"", "name"}));
    EXPECT_EQ(splitPath("a\\b\\"), (P{"a", "b"})) << "a trailing separator is dropped";
    EXPECT_EQ(splitPath(""), (P{"", ""}));
    EXPECT_EQ(splitPath("dir\\" + kSo), (P{"dir", kSo}));
    EXPECT_EQ(splitPath(kHyo + "\\" + kSo + ".txt"), (P{kHyo, kSo + ".txt"}));
}

TEST(Paths, SplitExtensionUsesTheLastDotOfTheName)
{
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(splitExtension("C:\\dir\\archive.tar.gz"), (P{"archive.tar", "gz"}));
    EXPECT_EQ(splitExtension("noext"), (P{"noext", ""}));
    EXPECT_EQ(splitExtension("a.b\\c"), (P{"c", ""})) << "a dot in the folder is not the name's extension";
    EXPECT_EQ(splitExtension("dir\\" + kSo + ".jpg"), (P{kSo, "jpg"}));
    EXPECT_EQ(splitExtension(kHyo + "\\" + kSo), (P{kSo, ""})) << "the trail byte of 表 is no separator";
    EXPECT_EQ(splitExtension("a.b/c"), (P{"a", "b/c"})) << "a slash is not a separator here";
    EXPECT_EQ(splitExtension(".hidden"), (P{"", "hidden"}));
}

TEST(Paths, AbsolutePaths)
{
    EXPECT_TRUE(platform::isAbsolutePath("C:\\x"));
    EXPECT_TRUE(platform::isAbsolutePath("z:\\"));
    EXPECT_FALSE(platform::isAbsolutePath("C:x"));
    EXPECT_FALSE(platform::isAbsolutePath("C:"));
    EXPECT_FALSE(platform::isAbsolutePath("1:\\x"));
    EXPECT_TRUE(platform::isAbsolutePath("\\\\server\\share"));
    EXPECT_TRUE(platform::isAbsolutePath("http://host/x"));
    EXPECT_TRUE(platform::isAbsolutePath("ftp://host/x"));
    EXPECT_TRUE(platform::isAbsolutePath("/"));
    EXPECT_TRUE(platform::isAbsolutePath("\\home"));
    EXPECT_FALSE(platform::isAbsolutePath("home\\x"));
    EXPECT_FALSE(platform::isAbsolutePath(""));
    EXPECT_FALSE(platform::isAbsolutePath(kHyo + "\\x"));
}

class CurrentDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = std::filesystem::current_path();
        std::filesystem::current_path("/tmp");
    }
    void TearDown() override { std::filesystem::current_path(m_saved); }

private:
    std::filesystem::path m_saved;
};

TEST_F(CurrentDirectory, FullPathCompletesRelativeTexts)
{
    EXPECT_EQ(platform::fullPath("file.txt"), "\\tmp\\file.txt");
    EXPECT_EQ(platform::fullPath("a/./b\\..\\c"), "\\tmp\\a\\c");
    EXPECT_EQ(platform::fullPath("..\\..\\..\\x"), "\\x") << "the root is as far up as it goes";
    EXPECT_EQ(platform::fullPath(".."), "\\");
    EXPECT_EQ(platform::fullPath("sub\\"), "\\tmp\\sub\\");
    EXPECT_EQ(platform::fullPath("/etc/x"), "/etc/x") << "absolute texts stay as given";
    EXPECT_EQ(platform::fullPath(kSo), "\\tmp\\" + kSo);
}

TEST(Paths, WildcardsIgnoreAsciiCaseAndCountDoubleByteCharactersOnce)
{
    using platform::matchWildcard;
    EXPECT_TRUE(matchWildcard("*", "anything"));
    EXPECT_TRUE(matchWildcard("*", "."));
    EXPECT_TRUE(matchWildcard("*.JPG", "photo.jpg"));
    EXPECT_FALSE(matchWildcard("*.jpg", "photo.jpeg"));
    EXPECT_TRUE(matchWildcard("a?c", "abc"));
    EXPECT_FALSE(matchWildcard("a?c", "ac"));
    EXPECT_TRUE(matchWildcard("?", kHyo)) << "one double-byte character is one character";
    EXPECT_FALSE(matchWildcard("??", kHyo));
    EXPECT_TRUE(matchWildcard("*" + kSo + "*", "x" + kSo + "y"));
    EXPECT_FALSE(matchWildcard("*\\", kHyo)) << "a trail byte never matches a single-byte backslash";
    EXPECT_FALSE(matchWildcard("\x95\x7c", "\x95\x5c")) << "double-byte characters are not case-folded";
    EXPECT_TRUE(matchWildcard("*.*", "README")) << "*.* matches names without an extension";
    EXPECT_TRUE(matchWildcard("*.*", ".."));
    EXPECT_TRUE(matchWildcard("abc.*", "abc"));
    EXPECT_FALSE(matchWildcard("abc.*", "abcd"));
    EXPECT_TRUE(matchWildcard("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_TRUE(platform::hasWildcard("a*"));
    EXPECT_FALSE(platform::hasWildcard(kHyo + kSo));
}

// Names that code page 932 cannot spell, in their script form.
const std::string kCafe = platform::fromOsPath("caf\u00e9");                // the é is escaped
const std::string kSmile = platform::fromOsPath("\U0001F600");
const std::string kBackslashed = platform::fromOsPath("a\\b");             // a "\" inside a name
const std::string kLatin1 = platform::fromOsPath("\xe9t\xe9");             // bytes that are not UTF-8

TEST(Paths, EscapedNamesStayWholeInEveryPathFunction)
{
    using P = std::pair<std::string, std::string>;
    ASSERT_EQ(kCafe.size(), 7u);
    ASSERT_EQ(kBackslashed.size(), 4u) << "the backslash became one escape unit";
    for (const std::string& name : {kCafe, kSmile, kBackslashed, kLatin1, kSmile + kHyo, kSo + kCafe}) {
        EXPECT_EQ(splitPath("dir\\" + name), (P{"dir", name}));
        EXPECT_EQ(splitPath(name + "\\" + name), (P{name, name}));
        EXPECT_EQ(joinPath(name, name), name + "\\" + name);
        EXPECT_EQ(platform::pathPieces(name).size(), 1u);
        EXPECT_EQ(splitExtension("d.x\\" + name + ".jpg"), (P{name, "jpg"}));
        EXPECT_EQ(splitExtension(name), (P{name, ""}));
        EXPECT_FALSE(platform::hasWildcard(name));
        EXPECT_FALSE(platform::isAbsolutePath(name + "\\x"));
        EXPECT_EQ(platform::toOsPath(platform::joinPath("\\d", name)), "/d/" + platform::cp932ToUtf8(name));
    }
    EXPECT_EQ(platform::toOsPath(kBackslashed), "a\\b") << "the escaped backslash is the name's own again";
    // Double-byte characters of the escape area whose second byte is ASCII are whole characters
    // too: "\\", "." and ":" after such a lead byte are no separator, dot or colon.
    for (const char trail : {'\\', '.', ':'}) {
        const std::string odd = std::string("\xf8") + trail;
        EXPECT_EQ(splitPath("a\\" + odd + "b"), (P{"a", odd + "b"}));
        EXPECT_EQ(splitExtension("x" + odd + "y"), (P{"x" + odd + "y", ""}));
        EXPECT_EQ(platform::pathPieces(odd).size(), 1u);
    }
}

TEST(Paths, AWildcardCharacterStandsForAWholeEscapedCharacter)
{
    using platform::matchWildcard;
    EXPECT_TRUE(matchWildcard("caf?", kCafe));
    EXPECT_FALSE(matchWildcard("caf??", kCafe)) << "é is one character, not two units";
    EXPECT_TRUE(matchWildcard("?", kSmile));
    EXPECT_TRUE(matchWildcard("*.JPG", kSmile + ".jpg"));
    EXPECT_TRUE(matchWildcard("*" + kSmile + "*", "x" + kSmile + "y"));
    EXPECT_TRUE(matchWildcard("CAF*", kCafe)) << "ASCII still ignores case";
    EXPECT_TRUE(matchWildcard("?t?", kLatin1)) << "each stray byte is a character of its own";
    EXPECT_FALSE(matchWildcard("*\\*", kBackslashed)) << "an escaped backslash is not a backslash";
    EXPECT_TRUE(matchWildcard("a?b", kBackslashed));
    EXPECT_TRUE(matchWildcard(kCafe, kCafe));
    EXPECT_FALSE(matchWildcard(platform::fromOsPath("caf\u00e8"), kCafe));
}

TEST(Paths, WildcardMatchingStaysLinear)
{
    const std::string name(20000, 'a');
    EXPECT_FALSE(platform::matchWildcard("*a*a*a*a*a*a*a*a*b", name));
}

TEST(Paths, UntilZero)
{
    EXPECT_EQ(platform::untilZero("ab\0cd"s), "ab");
    EXPECT_EQ(platform::untilZero("abc"), "abc");
}

}  // namespace
