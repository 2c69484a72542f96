// The cost of a state request (queryTwoBools) against a bare protected call of the same
// function: once with the function already in hand (no lookup at all), once looked up by name
// as a host without the engine would. A state request looks up two globals (the event and
// _TRACEBACK). Toolbar buttons ask for their state on every idle pass, so this path must be cheap.

#include "engine/ScriptEngine.h"

#include <benchmark/benchmark.h>

namespace {

constexpr engine::HostLibrary kLibraries[] = {{"print", &engine::installPrint}};

struct Engine {
    Engine()
    {
        engine.open();
        luaL_dostring(engine.state(), "function onUpdateEditCopy() return false, true end");
    }
    engine::ScriptEngine engine{kLibraries, engine::ScriptEngine::Streams::Queued};
};

void BM_BarePcall(benchmark::State& state)
{
    Engine e;
    lua_State* L = e.engine.state();
    lua_getglobal(L, "onUpdateEditCopy");
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    for (auto _ : state) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        lua_pcall(L, 0, 2, 0);
        bool first = lua_toboolean(L, -2);
        bool second = lua_toboolean(L, -1);
        lua_pop(L, 2);
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(second);
    }
}
BENCHMARK(BM_BarePcall);

// The same call as a host would write it without the engine: look the global up, then call.
void BM_BareGetglobalPcall(benchmark::State& state)
{
    Engine e;
    lua_State* L = e.engine.state();
    for (auto _ : state) {
        lua_getglobal(L, "onUpdateEditCopy");
        lua_pcall(L, 0, 2, 0);
        bool first = lua_toboolean(L, -2);
        bool second = lua_toboolean(L, -1);
        lua_pop(L, 2);
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(second);
    }
}
BENCHMARK(BM_BareGetglobalPcall);

void BM_QueryTwoBoolsDefined(benchmark::State& state)
{
    Engine e;
    for (auto _ : state) {
        bool first = false, second = false;
        benchmark::DoNotOptimize(e.engine.queryTwoBools("onUpdateEditCopy", first, second));
        benchmark::DoNotOptimize(first);
        benchmark::DoNotOptimize(second);
    }
}
BENCHMARK(BM_QueryTwoBoolsDefined);

void BM_QueryTwoBoolsUndefined(benchmark::State& state)
{
    Engine e;
    for (auto _ : state) {
        bool first = false, second = false;
        benchmark::DoNotOptimize(e.engine.queryTwoBools("onUpdate_notDefined", first, second));
    }
}
BENCHMARK(BM_QueryTwoBoolsUndefined);

}  // namespace
