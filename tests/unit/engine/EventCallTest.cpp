#include "EngineTestSupport.h"

#include "engine/ScriptCall.h"

using enginetest::EngineFixture;

namespace {

class EventCallTest : public EngineFixture {};

TEST_F(EventCallTest, UndefinedOrNonFunctionEventsAreNotHandledAndShowNothing)
{
    run("onOpenFile = {} ; onSaveFile = 42");
    bool a = true, b = true;
    const std::string boxes = boxesDuring([&] {
        EXPECT_FALSE(engine.callWithStrings("onNextImage"));
        EXPECT_FALSE(engine.callWithStrings("onOpenFile"));
        EXPECT_FALSE(engine.callWithStrings("onSaveFile"));
        EXPECT_FALSE(engine.queryTwoBools("onUpdateEditCopy", a, b));
        EXPECT_FALSE(engine.callWithTable("onAddFile", {"x"}));
    });
    EXPECT_EQ(boxes, "");
    // An undefined query leaves the caller's flags alone: the caller keeps its defaults.
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
}

TEST_F(EventCallTest, QueryResultsFollowTheTruthRule)
{
    run("function onUpdateEditCopy() return false, true end\n"
        "function onUpdate_saveFile() end\n"
        "function onUpdate_startupOpenLastFile() return 0, '' end\n"
        "function withText(a, b, c) return a == 'x' and b == 'y' and c == nil end");
    bool first = true, second = false;
    EXPECT_TRUE(engine.queryTwoBools("onUpdateEditCopy", first, second));
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);

    bool enabled = true;
    EXPECT_TRUE(engine.queryBool("onUpdate_saveFile", enabled));
    EXPECT_FALSE(enabled) << "nil is false";

    EXPECT_TRUE(engine.queryTwoBools("onUpdate_startupOpenLastFile", first, second));
    EXPECT_TRUE(first) << "0 is true in scripts";
    EXPECT_TRUE(second);

    bool matched = false;
    EXPECT_TRUE(engine.queryBool("withText", matched, {"x", std::nullopt, "y"}));
    EXPECT_TRUE(matched) << "absent texts are skipped, not passed as nil";
}

TEST_F(EventCallTest, ArgumentsArriveInOrder)
{
    run("function onAddFile(t) got = table.concat(t, '|') .. '#' .. table.getn(t) end\n"
        "function onSetBgColor(...) seen = table.concat(arg, ',') .. '#' .. arg.n end");
    EXPECT_TRUE(engine.callWithTable("onAddFile", {"a.jpg", "b.png", "c.bmp"}));
    EXPECT_EQ(global("got"), "a.jpg|b.png|c.bmp#3");
    EXPECT_TRUE(engine.callWithTable("onAddFile", {}));
    EXPECT_EQ(global("got"), "#0");
    EXPECT_TRUE(engine.callWithStrings("onSetBgColor", {"FFFFFF"}));
    EXPECT_EQ(global("seen"), "FFFFFF#1");
    EXPECT_TRUE(engine.callWithStrings("onSetBgColor", {std::nullopt, "a", std::nullopt, "b", "c", "d"}));
    EXPECT_EQ(global("seen"), "a,b,c,d#4");
}

TEST_F(EventCallTest, ErrorsAreReportedWithTracebackAndFlagsBecomeFalse)
{
    run("function onUpdateEditCopy() error('broken') end");
    bool first = true, second = true;
    const std::string boxes = boxesDuring([&] { EXPECT_TRUE(engine.queryTwoBools("onUpdateEditCopy", first, second)); });
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_NE(boxes.find("MessageBox[スクリプトエラー]: Lua 実行時エラー(1)："), std::string::npos) << boxes;
    EXPECT_NE(boxes.find("broken"), std::string::npos);
    EXPECT_NE(boxes.find("スタックトレース:"), std::string::npos) << "the debug library's traceback is the handler";
}

TEST_F(EventCallTest, MissingOrNonFunctionTracebackStillReports)
{
    run("function onNextImage() error('plain') end");
    for (const char* replacement : {"_TRACEBACK = nil", "_TRACEBACK = 'not a function'"}) {
        run(replacement);
        const std::string boxes = boxesDuring([&] { EXPECT_TRUE(engine.callWithStrings("onNextImage")); });
        EXPECT_NE(boxes.find("plain"), std::string::npos) << replacement;
        EXPECT_EQ(boxes.find("traceback"), std::string::npos) << replacement;
    }
}

TEST_F(EventCallTest, ErrorValuesWithoutTextShowTheNoMessageText)
{
    run("_TRACEBACK = nil\n"
        "function withTable() error({}) end\n"
        "function withNil() error(nil) end");
    for (const char* name : {"withTable", "withNil"}) {
        const std::string boxes = boxesDuring([&] { engine.callWithStrings(name); });
        EXPECT_NE(boxes.find("Lua 実行時エラー(1)：(error with no message)"), std::string::npos) << name << boxes;
    }
}

TEST_F(EventCallTest, StackStaysBalancedOverManyCallsInEveryPath)
{
    run("function ok2() return 1, 2 end\n"
        "function bad() error('x') end\n"
        "notFunction = 5\n"
        "setmetatable(_G, {__index = function(t, k) if k == 'trap' then error('lookup') end end})");
    const int top = lua_gettop(L());
    bool a = false, b = false;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5000; ++i) {
        engine.queryTwoBools("ok2", a, b);
        engine.queryTwoBools("undefinedEvent", a, b);
        engine.queryBool("notFunction", a);
        engine.callWithStrings("trap", {"x"});
        engine.callWithTable("ok2", {"a", "b"});
        if (i % 500 == 0)
            engine.queryTwoBools("bad", a, b);
        ASSERT_EQ(lua_gettop(L()), top);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(lua_gettop(L()), top);
}

TEST_F(EventCallTest, ClosedEngineHandlesNothing)
{
    engine.close();
    bool a = true, b = true;
    EXPECT_FALSE(engine.callWithStrings("onNextImage"));
    EXPECT_FALSE(engine.queryTwoBools("onUpdateEditCopy", a, b));
    EXPECT_FALSE(engine.runFile("anything.lua"));
    EXPECT_EQ(engine::protectedCall(nullptr, 0, 0, true), -1);
}

TEST_F(EventCallTest, EventsMayNestOnTheSameState)
{
    // A script that makes the host raise another event while it runs, as a modal dialog would.
    lua_CFunction raiseInner = [](lua_State* L) -> int {
        engine::ScriptEngine* e = engine::ScriptEngine::from(L);
        bool first = false, second = false;
        e->queryTwoBools("inner", first, second);
        lua_pushboolean(L, first && !second);
        return 1;
    };
    lua_pushcfunction(L(), raiseInner);
    lua_setglobal(L(), "raiseInner");
    run("function inner() return true, false end\n"
        "function outer() nested = raiseInner() end");
    EXPECT_TRUE(engine.callWithStrings("outer"));
    run("result = tostring(nested)");
    EXPECT_EQ(global("result"), "true");
}

// Making the event's name and texts can fail for want of memory: the failure is a reported
// memory error, not the interpreter's panic that ends the process.
TEST_F(EventCallTest, MemoryErrorsWhileEnteringAnEventAreReported)
{
    run("function onOpenFile(s) got = string.len(s) end");
    const std::string big(4u << 20, 'x');
    engine.setMemoryLimit(static_cast<std::size_t>(lua_gc(L(), LUA_GCCOUNT, 0) + 256) * 1024);
    const int top = lua_gettop(L());
    const std::string boxes = boxesDuring([&] {
        EXPECT_TRUE(engine.callWithStrings("onOpenFile", {big}));
        EXPECT_TRUE(engine.callWithTable("onOpenFile", {big}));
        EXPECT_FALSE(engine.callWithStrings(big));
    });
    EXPECT_EQ(lua_gettop(L()), top);
    EXPECT_EQ(global("got"), "<nil>");
    std::size_t count = 0;
    for (std::size_t at = boxes.find("Lua メモリエラー(4)：メモリ不足です"); at != std::string::npos;
         at = boxes.find("Lua メモリエラー(4)：メモリ不足です", at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << boxes;
    // With room again, the same event runs.
    engine.setMemoryLimit(engine::ScriptEngine::kDefaultMemoryLimit);
    EXPECT_TRUE(engine.callWithStrings("onOpenFile", {big}));
    EXPECT_EQ(global("got"), std::to_string(big.size()));
}

// A finaliser that raises while the host makes an event's values is reported the same way.
TEST_F(EventCallTest, FinaliserErrorsWhileEnteringAnEventAreReported)
{
    run("function onNextImage() ran = 'yes' end\n"
        "local p = newproxy(true) getmetatable(p).__gc = function() error('finaliser broke') end p = nil");
    // The next allocation runs a whole collection, and with it the finaliser.
    lua_gc(L(), LUA_GCSETSTEPMUL, 0);
    lua_gc(L(), LUA_GCRESTART, 0);
    const std::string boxes = boxesDuring([&] { engine.callWithStrings("onNextImage", {"a text the host makes"}); });
    EXPECT_NE(boxes.find("finaliser broke"), std::string::npos) << boxes;
    lua_gc(L(), LUA_GCSETSTEPMUL, 200);
    EXPECT_TRUE(engine.callWithStrings("onNextImage"));
    EXPECT_EQ(global("ran"), "yes");
}

TEST_F(EventCallTest, CallPreparedSetsTheLatchOnFailure)
{
    EXPECT_FALSE(engine.errorLatch());
    run("function good(a) return a + 1 end function bad() error('cb') end");
    lua_getglobal(L(), "good");
    lua_pushnumber(L(), 41);
    EXPECT_TRUE(engine.callPrepared(1, 1));
    EXPECT_EQ(lua_tonumber(L(), -1), 42);
    lua_pop(L(), 1);
    EXPECT_FALSE(engine.errorLatch());

    lua_getglobal(L(), "bad");
    const int top = lua_gettop(L()) - 1;
    const std::string boxes = boxesDuring([&] { EXPECT_FALSE(engine.callPrepared(0, 0)); });
    EXPECT_NE(boxes.find("cb"), std::string::npos);
    EXPECT_TRUE(engine.errorLatch());
    EXPECT_EQ(lua_gettop(L()), top);
}

}  // namespace
