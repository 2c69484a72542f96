#include "engine/Lua.h"
#include "engine/profile/Scanner.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

using engine::profile::chunkId;
using engine::profile::translateSource;

namespace {

std::string cp932(const char* utf8) { return platform::utf8ToCp932(utf8); }

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};
using State = std::unique_ptr<lua_State, StateCloser>;

State newState()
{
    State L(luaL_newstate());
    luaL_openlibs(L.get());
    return L;
}

// Scans `source` and runs it with the runtime; the results of the chunk as strings.
std::string runScanned(const std::string& source)
{
    std::string out;
    if (!translateSource(source, "=test", out))
        return "scan error: " + out;
    State L = newState();
    if (luaL_loadbuffer(L.get(), out.data(), out.size(), "=test") != 0)
        return std::string("load error: ") + lua_tostring(L.get(), -1);
    if (lua_pcall(L.get(), 0, 1, 0) != 0)
        return std::string("run error: ") + lua_tostring(L.get(), -1);
    std::size_t n = 0;
    const char* s = lua_tolstring(L.get(), -1, &n);
    return s ? std::string(s, n) : std::string("<not a string>");
}

std::string scanError(const std::string& source, const char* chunk = "=test")
{
    std::string out;
    EXPECT_FALSE(translateSource(source, chunk, out)) << "scanned: " << out;
    return out;
}

// A double-byte character whose trail byte is `trail`.
std::string sjis(unsigned char lead, unsigned char trail) { return {static_cast<char>(lead), static_cast<char>(trail)}; }

TEST(ScannerTest, TrailBytesNeverEndOrEscapeQuotedStrings)
{
    // 0x95 0x5C is a character whose second byte is a backslash, right before the quote.
    const std::string table = sjis(0x95, 0x5C);
    EXPECT_EQ(runScanned("return \"" + table + "\""), table);
    EXPECT_EQ(runScanned("return '" + table + "'"), table);
    // A trail byte equal to the quote character does not end the string.
    const std::string quoteTrail = sjis(0x81, '"');
    EXPECT_EQ(runScanned("return \"" + quoteTrail + "x\""), quoteTrail + "x");
    // Escapes still work around double-byte characters, and an escaped lead byte takes its pair.
    EXPECT_EQ(runScanned("return \"a\\n" + table + "\\t\""), "a\n" + table + "\t");
    EXPECT_EQ(runScanned("return \"\\" + table + "\""), table);
    // Lead bytes at the very top of the range (0xFC) and the bottom (0x81).
    EXPECT_EQ(runScanned("return \"" + sjis(0xFC, 0x5C) + sjis(0x81, 0x5C) + "\""), sjis(0xFC, 0x5C) + sjis(0x81, 0x5C));
    // 0xA0-0xDF are single-byte (half-width katakana): a backslash after them escapes.
    EXPECT_EQ(runScanned("return \"\xB1\\n\""), "\xB1\n");
}

TEST(ScannerTest, LongStringsNestAndIgnoreTrailBrackets)
{
    EXPECT_EQ(runScanned("return [[a[[b]]c]]"), "a[[b]]c");
    EXPECT_EQ(runScanned("return [[\nfirst line end is dropped]]"), "first line end is dropped");
    // 0x81 0x5D is a character whose trail byte is "]": followed by "]" it does not close.
    const std::string bracket = sjis(0x81, ']');
    EXPECT_EQ(runScanned("return [[" + bracket + "]x]]"), bracket + "]x");
    const std::string open = sjis(0x81, '[');
    EXPECT_EQ(runScanned("return [[" + open + "[x]]"), open + "[x");
    // Quotes, backslashes and carriage returns are bytes like any other.
    EXPECT_EQ(runScanned("return [[\"\\'\r]]"), "\"\\'\r");
    // The runtime's level syntax means nothing here: "[==[" is text.
    EXPECT_EQ(runScanned("return [[x]==]y]]"), "x]==]y");
}

TEST(ScannerTest, EscapesAreThoseOfTheFiveZeroLexer)
{
    EXPECT_EQ(runScanned(R"(return "\a\b\f\n\r\t\v\\\"\'\q")"), "\a\b\f\n\r\t\v\\\"'q");
    EXPECT_EQ(runScanned("return \"\\65\\066\\0677\""), std::string("AB") + "C7");
    EXPECT_EQ(runScanned("return \"a\\\nb\""), "a\nb");
    EXPECT_EQ(runScanned("return \"\\0\""), std::string(1, '\0'));
    const std::string err = scanError("x = \"\\256\"");
    EXPECT_EQ(err, "test:1: `\"' " + cp932("付近に文法エラーがあります。エスケープシーケンスの１０進数値が大きすぎます"));
}

TEST(ScannerTest, LexicalErrorsCarryChunkLineAndNearText)
{
    const std::string near = cp932("付近に文法エラーがあります。");
    EXPECT_EQ(scanError("x = 1\ny = 'abc\n"), "test:2: `'abc' " + near + cp932("文字列が正しく閉じていません"));
    EXPECT_EQ(scanError("y = \"abc"), "test:1: `<eof>' " + near + cp932("文字列が正しく閉じていません"));
    EXPECT_EQ(scanError("\n\nz = [[abc"), "test:3: `<eof>' " + near + cp932("複数行文字列が [[...]] のように正しく閉じていません"));
    EXPECT_EQ(scanError("--[[ open\n\n"), "test:3: `<eof>' " + near + cp932("囲みコメントが --[[...]] のように正しく閉じていません"));
    EXPECT_EQ(scanError("x = 1e+"), "test:1: `1e+' " + near + cp932("間違った数字表記"));
    EXPECT_EQ(scanError("x = .5.5"), "test:1: `.5.5' " + near + cp932("間違った数字表記"));
    EXPECT_EQ(scanError("x = 3..4"), "test:1: `3..' " + near + cp932("あいまいな表記です (小数点か連結演算子か判断できません)"));
    EXPECT_EQ(scanError("x = 1\n\x01"),
              "test:2: `" + cp932("(文字コード：1)") + "' " + near + cp932("認識できない制御文字が見つかりました"));
    EXPECT_EQ(scanError(std::string("x = 1 \0", 7)),
              "test:1: `" + cp932("(文字コード：0)") + "' " + near + cp932("認識できない制御文字が見つかりました"));
    // The chunk name as positions show it.
    EXPECT_EQ(scanError("'", "@dir\\file.lua").substr(0, 15), "dir\\file.lua:1:");
    EXPECT_EQ(scanError("'", "x = '").substr(0, 17), "[string \"x = '\"]:");
}

TEST(ScannerTest, LeadByteAtLineOrInputEndIsAnUnfinishedString)
{
    const std::string near = cp932("付近に文法エラーがあります。");
    EXPECT_EQ(scanError("x = \"ab\x82\ny\""), "test:1: `\"ab\x82' " + near + cp932("文字列が正しく閉じていません"));
    EXPECT_EQ(scanError("x = \"ab\x82"), "test:1: `<eof>' " + near + cp932("文字列が正しく閉じていません"));
}

TEST(ScannerTest, LineNumbersSurviveMultiLineStringsAndComments)
{
    // Each chunk raises an error on its last line; the runtime must name that line.
    const std::string sources[] = {
        "local s = [[\none\ntwo\n]]\nerror('here', 0 + 1)",
        "--[[ a\nlong\ncomment ]] local x\nerror('here')",
        "local s = \"a\\\nb\\\nc\"\nerror('here')",
        "-- a line comment with [[\nlocal s = [[x\n" + sjis(0x81, ']') + "]\n]]\nerror('here')",
        "local a = 1\r\nlocal b = 2\r\nerror('here')",
        "#!/usr/bin/lua first line\nlocal a\nerror('here')",
        "local t = { [[\n]], [[\n\n]] }\nerror('here')",
    };
    for (const std::string& source : sources) {
        const int lines = static_cast<int>(std::count(source.begin(), source.end(), '\n')) + 1;
        EXPECT_EQ(runScanned(source), "run error: test:" + std::to_string(lines) + ": here") << source;
    }
    // A lone carriage return is not a line end in this dialect.
    EXPECT_EQ(runScanned("local a\rerror('here')"), "run error: test:1: here");
}

TEST(ScannerTest, TokensTheRuntimeWouldReadDifferently)
{
    // A 5.0 line comment that looks like a long bracket of the runtime.
    EXPECT_EQ(runScanned("--[==[ not long\nreturn 'ok'"), "ok");
    // A number directly followed by a name or a concatenation.
    EXPECT_EQ(runScanned("local x = 1.5 return x..''"), "1.5");
    EXPECT_EQ(runScanned("return 2 ..'x'"), "2x");
    EXPECT_EQ(runScanned("return .5 .. ''"), "0.5");
    // "#" on the first line of any chunk, and "[=" which would open a runtime long string.
    EXPECT_EQ(runScanned("# comment\nreturn 'hash'"), "hash");
    EXPECT_EQ(runScanned("local t = {} t[ 1 ] = 'b' return t[1]"), "b");
}

TEST(ScannerTest, ScriptFilesAreReadAsTextUnlessTheyStartLikeBinaryData)
{
    std::string text = "local s = 'a\\\r\nb'\r\nreturn [[x\r\ny]]\r";
    engine::profile::readAsTextFile(text);
    EXPECT_EQ(text, "local s = 'a\\\nb'\nreturn [[x\ny]]\r");
    EXPECT_EQ(runScanned(text), "x\ny");
    // A first byte outside printable ASCII and white space (a double-byte character, a
    // precompiled chunk) means binary: the bytes stay as they are.
    for (std::string binary : {std::string("\x82\xa0\r\n"), std::string("\x1bLua\r\n")}) {
        const std::string before = binary;
        engine::profile::readAsTextFile(binary);
        EXPECT_EQ(binary, before);
    }
}

TEST(ScannerTest, PrecompiledChunksAreRecognised)
{
    EXPECT_TRUE(engine::profile::isPrecompiled("\x1bLua"));
    EXPECT_FALSE(engine::profile::isPrecompiled("-- \x1b"));
    EXPECT_FALSE(engine::profile::isPrecompiled(""));
}

TEST(ScannerTest, ChunkIdsAreShortenedAsTheRuntimeDoes)
{
    EXPECT_EQ(chunkId("=stdin"), "stdin");
    EXPECT_EQ(chunkId("@a.lua"), "a.lua");
    EXPECT_EQ(chunkId("@" + std::string(80, 'x')), "..." + std::string(52, 'x'));
    EXPECT_EQ(chunkId("x = 1\ny = 2"), "[string \"x = 1...\"]");
    EXPECT_EQ(chunkId(std::string(50, 'y')), "[string \"" + std::string(43, 'y') + "...\"]");
}

// Random byte soups built from the bytes the scanner treats specially: it never fails
// otherwise than with a message, keeps every line end, and what it accepts never meets a
// lexical error in the runtime.
TEST(ScannerTest, RandomInputsAreScannedSafely)
{
    static constexpr unsigned char kAlphabet[] = {
        '"', '\'', '[', '[', ']', ']', '\\', '\n', '\r', '-', '-', '.', '=', 'e', '1', '9', 'a', '_', ' ',
        '0', 0x81, 0x9F, 0xE0, 0xFC, 0x5C, 0x5D, 0xA0, 0x7F, 0x00, 0x01, '#', '+', 'x', 0x1B,
    };
    std::mt19937 random(20260108);
    State L = newState();
    std::string source;
    std::string out;
    int accepted = 0;
    for (int round = 0; round < 100000; ++round) {
        const std::size_t length = random() % 40;
        source.clear();
        for (std::size_t i = 0; i < length; ++i)
            source += static_cast<char>(kAlphabet[random() % sizeof kAlphabet]);
        if (engine::profile::isPrecompiled(source))
            continue;
        if (!translateSource(source, "=fuzz", out)) {
            ASSERT_EQ(out.rfind("fuzz:", 0), 0u) << "message starts with the position";
            continue;
        }
        ++accepted;
        ASSERT_EQ(std::count(out.begin(), out.end(), '\n'), std::count(source.begin(), source.end(), '\n'));
        if (luaL_loadbuffer(L.get(), out.data(), out.size(), "=fuzz") != 0) {
            const std::string message = lua_tostring(L.get(), -1);
            for (const char* lexical : {"unfinished", "malformed number", "escape sequence", "long string delimiter",
                                        "nesting of"})
                ASSERT_EQ(message.find(lexical), std::string::npos) << message << "\nfrom: " << out;
        }
        lua_settop(L.get(), 0);
    }
    EXPECT_GT(accepted, 1000);
}

}  // namespace
