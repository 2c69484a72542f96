#include "EngineTestSupport.h"

#include "engine/Args.h"
#include "engine/ErrorReporter.h"
#include "engine/Format.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "platform/Paths.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <tuple>
#include <vector>

using enginetest::EngineFixture;

namespace {

class HelpersTest : public EngineFixture {};

TEST_F(HelpersTest, FetchGlobalReportsLookupsThatRaise)
{
    run("present = 'yes'");
    const int top = lua_gettop(L());
    lua_pushliteral(L(), "present");
    EXPECT_TRUE(engine::fetchGlobal(L()));
    EXPECT_STREQ(lua_tostring(L(), -1), "yes");
    lua_pop(L(), 1);

    lua_pushliteral(L(), "absent");
    EXPECT_TRUE(engine::fetchGlobal(L())) << "a missing global is nil, not a failure";
    EXPECT_TRUE(lua_isnil(L(), -1));
    lua_pop(L(), 1);

    run("setmetatable(_G, {__index = function() error('no such global') end})");
    lua_pushliteral(L(), "absent");
    EXPECT_FALSE(engine::fetchGlobal(L()));
    EXPECT_TRUE(lua_isnil(L(), -1));
    lua_pop(L(), 1);
    EXPECT_EQ(lua_gettop(L()), top);
}

TEST_F(HelpersTest, ToTextKeepsZeroBytesAndNumbers)
{
    lua_pushlstring(L(), "a\0b", 3);
    lua_pushnumber(L(), 1.5);
    std::string text;
    EXPECT_TRUE(engine::args::toText(L(), -2, text));
    EXPECT_EQ(text, std::string("a\0b", 3));
    EXPECT_TRUE(engine::args::toText(L(), -1, text));
    EXPECT_EQ(text, "1.5");
    EXPECT_EQ(lua_gettop(L()), 2);
    lua_settop(L(), 0);
}

TEST_F(HelpersTest, ToTextFailureLeavesTheCallersValues)
{
    run("function tostring(v) if v == 'boom' then error('tostring failed') end return nil end");
    lua_pushliteral(L(), "keep");
    lua_pushliteral(L(), "boom");
    std::string text = "unchanged";
    const std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine::args::toText(L(), 2, text)); });
    EXPECT_NE(boxes.find("tostring failed"), std::string::npos);
    ASSERT_EQ(lua_gettop(L()), 2);
    EXPECT_STREQ(lua_tostring(L(), 1), "keep");
    EXPECT_STREQ(lua_tostring(L(), 2), "boom");

    // A tostring that gives no text is a plain false, without a box.
    lua_pushliteral(L(), "other");
    EXPECT_EQ(boxesDuring([&] { EXPECT_FALSE(engine::args::toText(L(), 3, text)); }), "");
    EXPECT_EQ(lua_gettop(L()), 3);
    lua_settop(L(), 0);
}

TEST_F(HelpersTest, ScriptErrorTextsByStatus)
{
    const std::string detail = "x:1: oops";
    EXPECT_EQ(platform::cp932ToUtf8(engine::scriptErrorText(3, &detail)), "Lua 文法エラー(3)：x:1: oops");
    EXPECT_EQ(platform::cp932ToUtf8(engine::scriptErrorText(4, &detail)), "Lua メモリエラー(4)：x:1: oops");
    EXPECT_EQ(platform::cp932ToUtf8(engine::scriptErrorText(1, &detail)), "Lua 実行時エラー(1)：x:1: oops");
    EXPECT_EQ(platform::cp932ToUtf8(engine::scriptErrorText(5, nullptr)), "Lua 実行時エラー(5)：(error with no message)");
}

TEST_F(HelpersTest, ReportPopsTheErrorAndIgnoresSuccess)
{
    lua_pushliteral(L(), "keep");
    engine::reportScriptError(L(), 0);
    EXPECT_EQ(lua_gettop(L()), 1);
    const std::string boxes = boxesDuring([&] { engine::reportScriptError(L(), 1); });
    EXPECT_EQ(lua_gettop(L()), 0);
    EXPECT_EQ(boxes, "MessageBox[スクリプトエラー]: Lua 実行時エラー(1)：keep\n");
}

TEST_F(HelpersTest, FailuresGoToTheInstalledReporter)
{
    std::vector<std::tuple<engine::ErrorSource, std::string, std::string>> reports;
    engine::setErrorReporter([&](const engine::ErrorReport& r) {
        reports.emplace_back(r.source, platform::cp932ToUtf8(r.caption), platform::cp932ToUtf8(r.text));
    });
    setenv("COMSPEC", "/nonexistent/interpreter", 1);
    const std::string written = boxesDuring([&] {
        lua_pushliteral(L(), "oops");
        engine::reportScriptError(L(), 1);
        run("code = os.execute('whatever')");
    });
    unsetenv("COMSPEC");
    engine::setErrorReporter({});
    EXPECT_EQ(written, "") << "an installed reporter replaces standard error";
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(std::get<0>(reports[0]), engine::ErrorSource::Script);
    EXPECT_EQ(std::get<1>(reports[0]), "スクリプトエラー");
    EXPECT_EQ(std::get<2>(reports[0]), "Lua 実行時エラー(1)：oops");
    EXPECT_EQ(std::get<0>(reports[1]), engine::ErrorSource::Process);
    EXPECT_EQ(std::get<1>(reports[1]), "Error");
    EXPECT_EQ(global("code"), "-1");

    lua_pushliteral(L(), "again");
    EXPECT_EQ(boxesDuring([&] { engine::reportScriptError(L(), 1); }),
              "MessageBox[スクリプトエラー]: Lua 実行時エラー(1)：again\n") << "removing it puts standard error back";
}

TEST_F(HelpersTest, RegistryReplacement)
{
    lua_pushliteral(L(), "value");
    lua_setfield(L(), LUA_REGISTRYINDEX, "app_frontImage");
    lua_pushliteral(L(), "on top");
    engine::replaceWithRegistry(L(), "app_frontImage");
    EXPECT_EQ(lua_gettop(L()), 1);
    EXPECT_STREQ(lua_tostring(L(), -1), "value");
    lua_settop(L(), 0);
    EXPECT_EQ(engine::pushTrue(L()) + engine::pushFalse(L()) + engine::pushNumber(L(), 7), 3);
    EXPECT_TRUE(lua_toboolean(L(), 1));
    EXPECT_FALSE(lua_toboolean(L(), 2));
    EXPECT_EQ(lua_tonumber(L(), 3), 7);
    lua_settop(L(), 0);
}

// Argument errors as a script sees them through pcall.
class ArgumentErrorTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        lua_pushcfunction(L(), engine::hostFunction<takesStringAndNumber>);
        lua_setglobal(L(), "takes");
        run("obj = {takes = takes} ; anything = function() end");
        lua_pushcfunction(L(), engine::hostFunction<takesAny>);
        lua_setglobal(L(), "takesAny");
    }

    static int takesStringAndNumber(lua_State* L)
    {
        engine::args::checkString(L, 1);
        engine::args::checkNumber(L, 2);
        return 0;
    }
    static int takesAny(lua_State* L)
    {
        engine::args::checkAny(L, 1);
        return 0;
    }

    std::string errorOf(const std::string& call)
    {
        run("ok, err = pcall(function() " + call + " end)");
        return platform::cp932ToUtf8(global("err"));
    }
};

TEST_F(ArgumentErrorTest, FunctionArgumentTexts)
{
    EXPECT_EQ(errorOf("takes()"),
              "[string \"ok, err = pcall(function() takes() end)\"]:1: "
              "関数呼び出し `takes( #1 )' は引数の指定が間違っています (no value 型が渡されましたが、ここには string 型が必要です)");
    EXPECT_NE(errorOf("takes('a', {})").find("`takes( #2 )' は引数の指定が間違っています (table 型が渡されましたが、ここには number 型が必要です)"),
              std::string::npos);
    run("okText = tostring(pcall(takes, 'a', '12'))");
    EXPECT_EQ(global("okText"), "true") << "numeric strings are numbers";
    EXPECT_NE(errorOf("takesAny()").find("`takesAny( #1 )' は引数の指定が間違っています (ここには値が必要です（NULLが渡されました）)"),
              std::string::npos);
}

int selfThenNumber(lua_State* L)
{
    engine::args::checkAny(L, 1);
    engine::args::checkNumber(L, 2);
    return 0;
}

TEST_F(ArgumentErrorTest, MethodCallsCountWithoutSelf)
{
    lua_register(L(), "selfThenNumber", engine::hostFunction<selfThenNumber>);
    run("obj.m = selfThenNumber");
    EXPECT_NE(errorOf("obj:m('x')").find("`m( #1 )' は引数の指定が間違っています (string 型が渡されましたが、ここには number 型が必要です)"),
              std::string::npos)
        << "argument 2 of the method call is argument 1 to its caller";
    EXPECT_NE(errorOf("local x = setmetatable({}, {__index = {m = selfThenNumber}}) ; x:m()").find("`m( #1 )' は引数の指定が間違っています (no value 型"),
              std::string::npos);
    // Called as a plain field, the same function counts every argument.
    EXPECT_NE(errorOf("obj.m(obj, 'x')").find("`m( #2 )'"), std::string::npos);
}

TEST_F(ArgumentErrorTest, BadSelfOfAMethod)
{
    lua_CFunction needsSelf = [](lua_State* L) -> int { engine::args::typeError(L, 1, "userdata"); };
    lua_pushcfunction(L(), needsSelf);
    lua_setglobal(L(), "needsSelf");
    EXPECT_NE(errorOf("local o = {m = needsSelf} ; o:m()").find("`m' メソッドに渡された self が間違っています (table 型が渡されましたが、ここには userdata 型が必要です)"),
              std::string::npos);
}

int exhausted(lua_State*) { throw std::bad_alloc(); }
int refuses(lua_State*) { throw engine::HostError("host says no"); }
int tooLong(lua_State*)
{
    std::string s;
    s.reserve(s.max_size() + 1);
    return 0;
}
int outOfRange(lua_State*) { return std::vector<int>().at(3); }
int codecBroke(lua_State*) { throw std::runtime_error("converter missing"); }

TEST_F(ArgumentErrorTest, HostExceptionsBecomeScriptErrors)
{
    lua_register(L(), "exhausted", engine::hostFunction<exhausted>);
    lua_register(L(), "refuses", engine::hostFunction<refuses>);
    EXPECT_NE(errorOf("exhausted()").find("メモリ不足です"), std::string::npos);
    EXPECT_NE(errorOf("refuses()").find(":1: host says no"), std::string::npos);
}

TEST_F(ArgumentErrorTest, ForeignExceptionsBecomeScriptErrorsAndTheStateGoesOn)
{
    lua_register(L(), "tooLong", engine::hostFunction<tooLong>);
    lua_register(L(), "outOfRange", engine::hostFunction<outOfRange>);
    lua_register(L(), "codecBroke", engine::hostFunction<codecBroke>);
    for (const char* call : {"tooLong()", "outOfRange()", "codecBroke()"}) {
        const std::string err = errorOf(call);
        EXPECT_NE(err.find(":1: 内部エラーのため処理を中止しました ("), std::string::npos) << call << ": " << err;
    }
    EXPECT_NE(errorOf("codecBroke()").find("(converter missing)"), std::string::npos);
    // A script's pcall around them keeps working, and so does the state.
    run("n = 0 for i = 1, 3 do if not pcall(codecBroke) then n = n + 1 end end");
    EXPECT_EQ(global("n"), "3");
}

TEST(Format, DirectivesAndDoubleByteCharacters)
{
    EXPECT_EQ(engine::format("%s:%d: %s %%", {"chunk", 12, "text"}), "chunk:12: text %");
    EXPECT_EQ(engine::format("%f|%c|%i", {2.5, 'x', 7}), "2.5|x|7");
    EXPECT_EQ(engine::format("%q%", {}), "%q%");
    EXPECT_EQ(engine::format("%s", {std::string_view("a\0b", 3)}), std::string("a\0b", 3));
    // 0x81 0x25 is one character: its second byte is not a directive.
    EXPECT_EQ(engine::format("\x81%s", {"unused"}), "\x81%s");
    EXPECT_EQ(engine::format("\x95\x5c%s", {"v"}), "\x95\x5cv");
    // Missing arguments leave nothing behind.
    EXPECT_EQ(engine::format("%s-%d", {}), "-");
}

TEST(Messages, CatalogueTextsAreCodePage932)
{
    EXPECT_EQ(engine::msg::text(engine::msg::Id::ScriptErrorCaption), "\x83\x58\x83\x4e\x83\x8a\x83\x76\x83\x67\x83\x47\x83\x89\x81\x5b");
    EXPECT_EQ(engine::msg::text(engine::msg::Id::ApplicationName), "Selvarin");
    for (int i = 0; i < static_cast<int>(engine::msg::Id::Count); ++i)
        EXPECT_FALSE(engine::msg::text(static_cast<engine::msg::Id>(i)).empty()) << i;
}

class RunFileTest : public EngineFixture {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("selvarin-runfile-" + std::to_string(::getpid()));
    void SetUp() override
    {
        EngineFixture::SetUp();
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const char* name, const std::string& code)
    {
        std::ofstream(dir / name, std::ios::binary) << code;
        return platform::fromOsPath((dir / name).string());
    }
};

TEST_F(RunFileTest, MissingFileIsSilent)
{
    const std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine.runFile(platform::fromOsPath((dir / "none.lua").string()))); });
    EXPECT_EQ(boxes, "");
}

TEST_F(RunFileTest, RunsAndReportsWithTheScriptPathAsChunkName)
{
    const std::string good = write("good.lua", "ran = (ran or 0) + 1");
    EXPECT_TRUE(engine.runFile(good));
    EXPECT_EQ(global("ran"), "1");

    const std::string syntax = write("syntax.lua", "x = = 1");
    std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine.runFile(syntax)); });
    EXPECT_NE(boxes.find("Lua 文法エラー(3)："), std::string::npos) << boxes;
    EXPECT_NE(boxes.find("syntax.lua:1:"), std::string::npos) << boxes;

    const std::string runtime = write("runtime.lua", "\n\nerror('at three')");
    boxes = boxesDuring([&] { EXPECT_FALSE(engine.runFile(runtime)); });
    EXPECT_NE(boxes.find("Lua 実行時エラー(1)："), std::string::npos);
    EXPECT_NE(boxes.find("runtime.lua:3: at three"), std::string::npos) << boxes;
    EXPECT_EQ(lua_gettop(L()), 0);
}

TEST_F(RunFileTest, UnreadableFileIsReported)
{
    // A folder exists but cannot be read as a file.
    std::filesystem::create_directories(dir / "folder.lua");
    const std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine.runFile(platform::fromOsPath((dir / "folder.lua").string()))); });
    EXPECT_NE(boxes.find("が読み込めません: "), std::string::npos) << boxes;
}

}  // namespace

TEST(NumberConversionTest, ByteCountsWordsAndInt32Edges)
{
    using namespace engine::args;
    const double nan = std::nan("");
    EXPECT_EQ(toByteCount(0), 0u);
    EXPECT_EQ(toByteCount(2.9), 2u);
    EXPECT_EQ(toByteCount(4294967295.5), 4294967295u);
    EXPECT_EQ(toByteCount(4294967296.0), std::nullopt);
    EXPECT_EQ(toByteCount(-0.5), std::nullopt);
    EXPECT_EQ(toByteCount(nan), std::nullopt);

    EXPECT_EQ(toWord(-1), 0xFFFFFFFFu);
    EXPECT_EQ(toWord(4294967296.0 + 5), 5u);
    EXPECT_EQ(toWord(-2.5), 0xFFFFFFFEu);
    EXPECT_EQ(toWord(nan), 0u);
    EXPECT_EQ(toWord(HUGE_VAL), 0u);

    EXPECT_EQ(toInt32(2147483647.9), 2147483647);
    EXPECT_EQ(toInt32(-2147483648.9), -2147483647 - 1);
    EXPECT_EQ(toInt32(2147483648.0), std::nullopt);
    EXPECT_EQ(toInt32(-2147483649.0), std::nullopt);
    EXPECT_EQ(toInt32(nan), std::nullopt);

    EXPECT_EQ(clampInteger(nan), 0);
    EXPECT_EQ(clampInteger(-2.9), -2);
    EXPECT_EQ(clampInteger(HUGE_VAL), LLONG_MAX);
    EXPECT_EQ(clampInteger(-HUGE_VAL), LLONG_MIN);
    EXPECT_EQ(clampInteger(9223372036854775808.0), LLONG_MAX);
    EXPECT_EQ(clampInteger(9223372036854774784.0), 9223372036854774784LL) << "the largest double below 2^63";
    EXPECT_EQ(clampInt32(1e300), INT32_MAX);
    EXPECT_EQ(clampInt32(-2147483648.9), INT32_MIN);
    EXPECT_EQ(clampInt32(nan), 0);
    EXPECT_EQ(clampInt32(LLONG_MIN), INT32_MIN);
    EXPECT_EQ(clampSize(-1), 0u);
    EXPECT_EQ(clampSize(nan), 0u);
    EXPECT_EQ(clampSize(7.5), 7u);
}

TEST_F(HelpersTest, NumberArgumentsAcceptNumericTextsOnly)
{
    lua_pushliteral(L(), " 0x10 ");
    lua_pushliteral(L(), "ten");
    lua_pushnumber(L(), -1);
    lua_pushboolean(L(), 1);
    EXPECT_EQ(engine::args::testNumber(L(), 1), 16.0);
    EXPECT_EQ(engine::args::testNumber(L(), 2), std::nullopt);
    EXPECT_EQ(engine::args::testByteCount(L(), 1), 16u);
    EXPECT_EQ(engine::args::testByteCount(L(), 3), std::nullopt) << "negative";
    EXPECT_EQ(engine::args::testWord(L(), 3), 0xFFFFFFFFu);
    EXPECT_EQ(engine::args::testWord(L(), 4), std::nullopt);
    EXPECT_EQ(engine::args::testInt32(L(), 3), -1);
    EXPECT_EQ(engine::args::testInt32(L(), 5), std::nullopt) << "none";
    EXPECT_EQ(lua_gettop(L()), 4);
    lua_settop(L(), 0);
}
