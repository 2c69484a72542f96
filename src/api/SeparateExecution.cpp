#include "SeparateExecution.h"

#include "engine/Args.h"
#include "engine/Format.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "engine/ScriptEngine.h"
#include "engine/ValueTree.h"
#include "platform/Paths.h"

#include <chrono>
#include <string>

namespace api {
namespace {

// Settings files run at start-up: one that never ends must not hang the viewer.
constexpr int kTimeLimitSeconds = 5;
constexpr int kInstructionsPerCheck = 100000;
// The separate state holds no host functions, so runs never nest.
std::chrono::steady_clock::time_point g_deadline;

void timeLimitHook(lua_State* S, lua_Debug*)
{
    if (std::chrono::steady_clock::now() <= g_deadline)
        return;
    // A hook runs in the frame of the interrupted function: level 0 is where the script was.
    luaL_where(S, 0);
    const std::string text = engine::format(engine::msg::text(engine::msg::Id::SeparateTimeLimit), {kTimeLimitSeconds});
    lua_pushlstring(S, text.data(), text.size());
    lua_concat(S, 2);
    lua_error(S);
}

int separateDoFile(lua_State* L)
{
    const std::string arg = engine::args::checkText(L, 1);
    const std::string path(platform::untilZero(arg));

    engine::ScriptEngine separate({}, engine::ScriptEngine::Streams::Process);
    if (!separate.openBare())
        engine::args::raise(L, engine::msg::text(engine::msg::Id::SeparateInitFailed));
    // The separate engine closes when this frame ends, also while an error unwinds it.
    if (!platform::fileExists(platform::untilZero(path)))
        engine::args::raise(L, engine::format(engine::msg::text(engine::msg::Id::SeparateFileMissing), {path}));

    lua_State* S = separate.state();
    engine::LuaValueList results;
    bool collecting = false;
    const int status = engine::enterScript(S, [&](lua_State* S) {
        const int loaded = engine::loadFile(S, path);
        if (loaded != 0)
            return loaded;
        g_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeLimitSeconds);
        lua_sethook(S, timeLimitHook, LUA_MASKCOUNT, kInstructionsPerCheck);
        const int ran = engine::protectedCall(S, 0, LUA_MULTRET, false);
        lua_sethook(S, nullptr, 0, 0);
        if (ran != 0)
            return ran;
        // A refused table or a memory error while copying fails the call in the caller's state.
        collecting = true;
        engine::collectResults(S, results);
        return 0;
    });
    if (status != 0 && !collecting) {
        engine::reportScriptError(S, status);
        return 0;
    }
    if (status != 0) {
        std::size_t n = 0;
        const char* text = status == engine::StatusMemoryError || lua_type(S, -1) != LUA_TSTRING ? nullptr : lua_tolstring(S, -1, &n);
        throw engine::HostError(text ? std::string(text, n) : engine::msg::text(engine::msg::Id::NotEnoughMemory));
    }
    separate.close();

    engine::pushAll(L, results);
    return static_cast<int>(results.size());
}

}  // namespace

const engine::HostFunction kSeparateExecutionFunctions[1] = {
    SELVARIN_HOST("separateDoFile", separateDoFile),
};

}  // namespace api
