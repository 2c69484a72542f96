#include "EngineTestSupport.h"

#include <chrono>
#include <deque>
#include <optional>

using enginetest::EngineFixture;

namespace {

using namespace std::chrono_literals;

// A script stuck in an event: the handler is asked after the interval; its answer either lets
// the script run on or stops it with a script error of that event.
class StallCheckTest : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        self = this;
        engine.setStallCheck(200ms, [this]() -> std::optional<std::string> {
            ++asked;
            if (answers.empty())
                return "stopped";
            std::optional<std::string> a = answers.front();
            answers.pop_front();
            return a;
        });
        // turn(): the event loop ran. nested(name): an event raised from inside a host function.
        lua_register(L(), "turn", [](lua_State*) -> int {
            self->engine.noteEventLoop();
            return 0;
        });
        lua_register(L(), "nested", [](lua_State* S) -> int {
            self->engine.callWithStrings(lua_tostring(S, 1));
            return 0;
        });
    }

    // The script error reported by the event, or "" when none was.
    std::string reportOf(const char* event)
    {
        return boxesDuring([&] { EXPECT_TRUE(engine.callWithStrings(event)); });
    }

    static inline StallCheckTest* self = nullptr;
    int asked = 0;
    std::deque<std::optional<std::string>> answers;
};

TEST_F(StallCheckTest, StuckEventIsAskedAboutThenStopsWithAScriptError)
{
    run("function onNextImage() local n = 0 while true do n = n + 1 end end\n"
        "function onPrevImage() done = 'yes' end");
    answers = {std::nullopt, std::nullopt, "stopped"};
    const std::string report = reportOf("onNextImage");
    EXPECT_EQ(asked, 3) << "two answers to go on, then the stop";
    EXPECT_NE(report.find("MessageBox["), std::string::npos) << report;
    EXPECT_NE(report.find(":1: stopped"), std::string::npos) << "raised where the script was: " << report;

    // The stop belonged to that event: the next one runs to its end.
    asked = 0;
    EXPECT_EQ(reportOf("onPrevImage"), "");
    EXPECT_EQ(global("done"), "yes");
    EXPECT_EQ(asked, 0);
}

TEST_F(StallCheckTest, ProtectedCallsAndCoroutinesCannotCatchTheStop)
{
    run("function onNextImage() while true do pcall(function() while true do end end) end end\n"
        "function onPrevImage() while true do xpcall(function() while true do end end, function(e) return e end) end end\n"
        "function onOpenFile() while true do coroutine.resume(coroutine.create(function() while true do end end)) end end\n"
        "function onSaveFile() local f = coroutine.wrap(function() while true do end end) pcall(f) after = 'ran' end");
    for (const char* event : {"onNextImage", "onPrevImage", "onOpenFile", "onSaveFile"}) {
        asked = 0;
        const std::string report = reportOf(event);
        EXPECT_EQ(asked, 1) << event;
        EXPECT_NE(report.find("stopped"), std::string::npos) << event << ": " << report;
    }
    EXPECT_EQ(global("after"), "<nil>");
}

TEST_F(StallCheckTest, TurningTheEventLoopKeepsAScriptAlive)
{
    run("function onNextImage() local t = os.clock() while os.clock() - t < 0.6 do turn() end done = 'yes' end");
    EXPECT_EQ(reportOf("onNextImage"), "");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(global("done"), "yes");
}

TEST_F(StallCheckTest, WaitingForACommandIsNotBeingStuck)
{
    run("function onNextImage() os.execute('sleep 0.5') local t = os.clock() while os.clock() - t < 0.01 do end done = 'yes' end");
    EXPECT_EQ(reportOf("onNextImage"), "");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(global("done"), "yes");
}

TEST_F(StallCheckTest, StoppingANestedEventLeavesItsCallerRunning)
{
    // The outer event waits in a nested event (as in a dialog) that gets stuck.
    run("function onNextImage() turn() nested('onPrevImage') outer = 'went on' end\n"
        "function onPrevImage() while true do end end");
    const std::string report = reportOf("onNextImage");
    EXPECT_EQ(asked, 1);
    EXPECT_NE(report.find("stopped"), std::string::npos) << report;
    EXPECT_EQ(global("outer"), "went on");
}

TEST_F(StallCheckTest, NothingIsCheckedOutsideTheHostsEntriesOrWhenOff)
{
    // A test driving the state directly is not an event.
    run("local t = os.clock() while os.clock() - t < 0.3 do end");
    EXPECT_EQ(asked, 0);

    engine.setStallCheck(0ms, nullptr);
    run("function onNextImage() local t = os.clock() while os.clock() - t < 0.3 do end done = 'yes' end");
    EXPECT_EQ(reportOf("onNextImage"), "");
    EXPECT_EQ(global("done"), "yes");
    EXPECT_EQ(asked, 0);
}

}  // namespace
