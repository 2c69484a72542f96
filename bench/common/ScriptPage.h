#pragma once

#include "api/AppTable.h"
#include "api/ScriptBuffer.h"
#include "api/SurfaceClass.h"
#include "api/SusiePlugin.h"
#include "engine/ScriptEngine.h"
#include "platform/Allocator.h"

#include <benchmark/benchmark.h>

// A script page timed in a bare engine with the picture classes and `app`, as the viewer's
// script sees them. Header-only: only benchmarks that already link the api library include it.
namespace bench {

// Runs `setup` once with the arguments `pushArgs(L)` pushes (it returns how many); setup must
// return true. Then times `page`, which must return true, once per iteration, after `untimed`
// (when given) has run with the clock stopped. False (with the benchmark marked skipped) when
// anything fails.
template <class PushArgs>
bool runScriptPage(benchmark::State& state, const char* setup, PushArgs pushArgs, const char* page,
                   const char* untimed = nullptr)
{
    platform::keepLargeBlocksInHeap();
    static constexpr engine::HostLibrary kLibraries[] = {
        {"Buffer", &api::installBufferClass},
        {"Surface", &api::installSurfaceClass},
        {"Susie_plugin", &api::installSusiePluginClass},
        {"app", &api::installApp},
    };
    engine::ScriptEngine engine(kLibraries, engine::ScriptEngine::Streams::Process);
    if (!engine.open()) {
        state.SkipWithError("engine did not open");
        return false;
    }
    lua_State* L = engine.state();
    luaL_loadstring(L, setup);
    const int args = pushArgs(L);
    if (lua_pcall(L, args, 1, 0) != 0 || !lua_toboolean(L, -1)) {
        state.SkipWithError("set-up failed");
        return false;
    }
    lua_settop(L, 0);
    luaL_loadstring(L, page);
    luaL_loadstring(L, untimed ? untimed : "return true");
    for (auto _ : state) {
        if (untimed) {
            state.PauseTiming();
            lua_pushvalue(L, 2);
            const bool ok = lua_pcall(L, 0, 1, 0) == 0 && lua_toboolean(L, -1);
            lua_settop(L, 2);
            state.ResumeTiming();
            if (!ok) {
                state.SkipWithError("untimed part failed");
                return false;
            }
        }
        lua_pushvalue(L, 1);
        if (lua_pcall(L, 0, 1, 0) != 0 || !lua_toboolean(L, -1)) {
            state.SkipWithError("page failed");
            return false;
        }
        lua_settop(L, 2);
    }
    return true;
}

}  // namespace bench
