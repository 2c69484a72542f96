#include "EngineTestSupport.h"

#include "engine/ScriptCall.h"

#include <cstdlib>

using enginetest::EngineFixture;
using enginetest::RecordingConsole;

namespace {

class BuiltinsTest : public EngineFixture {
protected:
    RecordingConsole console;
    bool consoleExists = false;

    void SetUp() override
    {
        EngineFixture::SetUp();
        engine.setConsoleProvider([this](bool create) -> engine::Console* {
            if (create)
                consoleExists = true;
            return consoleExists ? &console : nullptr;
        });
    }
};

TEST_F(BuiltinsTest, PrintWithoutConsoleDoesNothing)
{
    run("print('lost', 1) ; done = 'yes'");
    EXPECT_EQ(global("done"), "yes");
    EXPECT_EQ(console.text_, "");
}

TEST_F(BuiltinsTest, PrintJoinsWithTabsAndEndsTheLine)
{
    consoleExists = true;
    run("print() print('a', 1, nil, true) print(setmetatable({}, {__tostring = function() return 'custom' end}))");
    EXPECT_EQ(console.text_, "\na\t1\tnil\ttrue\ncustom\n");
    EXPECT_EQ(console.shown, 0) << "print does not show the console";
}

TEST_F(BuiltinsTest, PrintRaisesWhenTostringGivesNoText)
{
    consoleExists = true;
    run("ok, err = pcall(print, 'first', setmetatable({}, {__tostring = function() return {} end}))");
    EXPECT_EQ(global("ok"), "<nil>");
    EXPECT_NE(platform::cp932ToUtf8(global("err")).find("引数に対して `tostring' 関数を呼び出しましたが、文字列を返しませんでした"),
              std::string::npos);
}

TEST_F(BuiltinsTest, ExecuteReturnsTheExitCodeAndQueuesOutput)
{
    unsetenv("COMSPEC");
    run("code = os.execute('echo out; echo err 1>&2; exit 7')");
    EXPECT_EQ(global("code"), "7");
    EXPECT_EQ(console.shown, 1) << "the console is shown, created if needed";
    const std::string output = engine.takeOutput();
    EXPECT_NE(output.find("out\n"), std::string::npos);
    EXPECT_NE(output.find("err\n"), std::string::npos);
}

TEST_F(BuiltinsTest, ExecuteDrainsLargeOutputWithoutBlocking)
{
    unsetenv("COMSPEC");
    run("code = os.execute('head -c 1000000 /dev/zero | tr \"\\\\0\" x')");
    EXPECT_EQ(global("code"), "0");
    EXPECT_EQ(engine.takeOutput().size(), 1000000u);
}

TEST_F(BuiltinsTest, ExecuteThroughComspecAndFailureToStart)
{
    setenv("COMSPEC", "/nonexistent/interpreter", 1);
    std::string boxes = boxesDuring([&] { run("code = os.execute('whatever')"); });
    unsetenv("COMSPEC");
    EXPECT_EQ(global("code"), "-1");
    EXPECT_EQ(boxes.rfind("MessageBox[Error]: ", 0), 0u) << boxes;

    // COMSPEC names the interpreter, which gets "/c" and the command.
    setenv("COMSPEC", "/bin/echo", 1);
    run("code = os.execute('hello there')");
    unsetenv("COMSPEC");
    EXPECT_EQ(global("code"), "0");
    EXPECT_EQ(engine.takeOutput(), "/c hello there\n");
}

TEST_F(BuiltinsTest, ExecuteRefusesALineBeyondItsLimitInsteadOfCuttingIt)
{
    unsetenv("COMSPEC");
    // A line cut at the limit would run "true"; whole, the second one exits with 5.
    const std::string fits = "exit 3 ; " + std::string(2047 - 11 - 9, ' ');  // "/bin/sh -c " is 11
    run("code = os.execute('" + fits + "')");
    EXPECT_EQ(global("code"), "3") << "a line of exactly the limit runs";
    std::string boxes = boxesDuring([&] { run("code = os.execute('true " + std::string(2100, ' ') + "; exit 5')"); });
    EXPECT_EQ(global("code"), "-1");
    EXPECT_EQ(boxes.rfind("MessageBox[Error]: Argument list too long", 0), 0u) << boxes;

    setenv("COMSPEC", ("/bin/echo" + std::string(1100, '/')).c_str(), 1);
    boxes = boxesDuring([&] { run("code = os.execute('x')"); });
    unsetenv("COMSPEC");
    EXPECT_EQ(global("code"), "-1") << "an interpreter path beyond its limit is not cut either";
    EXPECT_NE(boxes.find("MessageBox[Error]"), std::string::npos);
}

TEST_F(BuiltinsTest, ExecuteNeedsACommand)
{
    run("ok, err = pcall(function() os.execute() end)");
    EXPECT_NE(platform::cp932ToUtf8(global("err")).find("`execute( #1 )' は引数の指定が間違っています (no value 型"),
              std::string::npos)
        << platform::cp932ToUtf8(global("err"));
}

TEST_F(BuiltinsTest, StandardStreamsNeverBlockTheGui)
{
    run("line = io.read() ; io.write('to out') ; io.stderr:write(' and err')");
    EXPECT_EQ(global("line"), "<nil>") << "standard input is at end of file";
    EXPECT_EQ(engine.takeOutput(), "to out and err");
    // Megabytes with nobody draining: written at once, the newest part kept.
    run("local s = string.rep('y', 1048576) for i = 1, 20 do io.write(s) end io.write('end')");
    const std::string out = engine.takeOutput();
    EXPECT_GE(out.size(), 8u << 20);
    EXPECT_LE(out.size(), 16u << 20);
    EXPECT_EQ(out.substr(out.size() - 3), "end");
}

TEST(EngineLifecycle, ReopenStartsAFreshStateAndBareHasNothing)
{
    static constexpr engine::HostLibrary kLibraries[] = {{"print", &engine::installPrint}};
    engine::ScriptEngine e(kLibraries, engine::ScriptEngine::Streams::Queued);
    ASSERT_TRUE(e.open());
    ASSERT_EQ(luaL_dostring(e.state(), "leftover = 1"), 0);
    ASSERT_TRUE(e.open());
    lua_getglobal(e.state(), "leftover");
    EXPECT_TRUE(lua_isnil(e.state(), -1));
    lua_pop(e.state(), 1);
    EXPECT_EQ(engine::ScriptEngine::from(e.state()), &e);

    ASSERT_TRUE(e.openBare());
    lua_getglobal(e.state(), "print");
    EXPECT_TRUE(lua_isnil(e.state(), -1)) << "a bare state has nothing registered";
    lua_pop(e.state(), 1);
    // ...yet what fails in it is reported in Japanese.
    ASSERT_EQ(luaL_loadstring(e.state(), "print('x')"), 0);
    EXPECT_EQ(engine::protectedCall(e.state(), 0, 0, false), engine::StatusRuntimeError);
    EXPECT_NE(platform::cp932ToUtf8(lua_tostring(e.state(), -1)).find("グローバル変数 `print' に対して関数呼び出し構文が使われました"),
              std::string::npos)
        << lua_tostring(e.state(), -1);
    lua_pop(e.state(), 1);
    e.close();
    EXPECT_FALSE(e.isOpen());
}

TEST(EngineLifecycle, LibrariesAndGlobalsOfAnOpenedState)
{
    static constexpr engine::HostLibrary kLibraries[] = {{"print", &engine::installPrint}};
    engine::ScriptEngine e(kLibraries, engine::ScriptEngine::Streams::Queued);
    ASSERT_TRUE(e.open());
    ASSERT_EQ(luaL_dostring(e.state(), "assert(type(table) == 'table' and type(io) == 'table' and type(os) == 'table' "
                                       "and type(string) == 'table' and type(math) == 'table' and type(debug) == 'table' "
                                       "and _TRACEBACK == debug.traceback and type(print) == 'function')"),
              0)
        << lua_tostring(e.state(), -1);
}

}  // namespace
