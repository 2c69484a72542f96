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

// Runs under a protected call in the separate state, so that a refused table or a memory
// error there becomes a status instead of ending the program. The chunk's results are the
// arguments; the list comes as upvalue.
int collectSeparateResults(lua_State* S)
{
    auto* list = static_cast<engine::LuaValueList*>(lua_touserdata(S, lua_upvalueindex(1)));
    engine::collectResults(S, *list);
    return 0;
}

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
    int status = engine::loadFile(S, path);
    if (status == 0) {
        g_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeLimitSeconds);
        lua_sethook(S, timeLimitHook, LUA_MASKCOUNT, kInstructionsPerCheck);
        status = engine::protectedCall(S, 0, LUA_MULTRET, false);
        lua_sethook(S, nullptr, 0, 0);
    }
    if (status != 0) {
        engine::reportScriptError(S, status);
        return 0;
    }

    engine::LuaValueList results;
    const int count = lua_gettop(S);
    if (!lua_checkstack(S, 2))
        throw engine::HostError(engine::format(engine::msg::text(engine::msg::Id::StackOverflow),
                                               {engine::msg::text(engine::msg::Id::TooManyResults)}));
    lua_pushlightuserdata(S, &results);
    lua_pushcclosure(S, &engine::hostFunction<collectSeparateResults>, 1);
    lua_insert(S, 1);
    status = engine::protectedCall(S, count, 0, false);
    if (status != 0) {
        std::size_t n = 0;
        const char* text = status == engine::StatusMemoryError ? nullptr : lua_tolstring(S, -1, &n);
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
