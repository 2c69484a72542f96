#pragma once

#include "engine/ScriptEngine.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace enginetest {

// A console that keeps what it is given.
class RecordingConsole : public engine::Console {
public:
    void appendText(std::string_view text) override { text_.append(text); }
    void showWindow() override { ++shown; }
    std::string text_;
    int shown = 0;
};

// An engine opened with `print` and the queued GUI streams; message boxes answer themselves
// and write one line each to standard error, which the tests capture.
class EngineFixture : public ::testing::Test {
protected:
    static constexpr engine::HostLibrary kLibraries[] = {{"print", &engine::installPrint}};

    void SetUp() override { ASSERT_TRUE(engine.open()); }

    lua_State* L() const { return engine.state(); }

    void run(const std::string& code)
    {
        ASSERT_EQ(luaL_dostring(L(), code.c_str()), 0) << lua_tostring(L(), -1);
    }

    // Standard error written while `f` runs, in UTF-8.
    static std::string boxesDuring(const std::function<void()>& f)
    {
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }

    std::string global(const char* name)
    {
        lua_getglobal(L(), name);
        std::size_t n = 0;
        const char* s = lua_tolstring(L(), -1, &n);
        std::string out = s ? std::string(s, n) : std::string("<nil>");
        lua_pop(L(), 1);
        return out;
    }

    static std::string cp932(const char* utf8) { return platform::utf8ToCp932(utf8); }

    engine::ScriptEngine engine{kLibraries, engine::ScriptEngine::Streams::Queued};
};

}  // namespace enginetest
