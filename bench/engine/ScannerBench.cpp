// Loading a 1 MB script through the Shift JIS scanner, against the runtime loading the same
// text (already in a form both read alike) by itself. Goal: the scanner adds at most 15%.

#include "engine/Lua.h"
#include "engine/profile/Profile.h"
#include "engine/profile/Scanner.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// A script of ordinary shape: functions, tables, strings with double-byte text, comments.
std::string makeScript(std::size_t size)
{
    const std::string kanji = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a";  // plain double-byte text
    std::string script;
    script.reserve(size + 4096);
    for (int i = 0; script.size() < size; ++i) {
        const std::string n = std::to_string(i);
        script += "-- handler " + n + ": turns the page and shows its name\n";
        script += "function onPage" + n + "(files, index)\n";
        script += "  local name = files[index] or \"" + kanji + n + "\"\n";
        script += "  local t = { width = 640, height = 480.5, title = '" + kanji + "', n = " + n + " }\n";
        script += "  if string.find(name, \"%.jpe?g$\") then\n";
        script += "    app.setStatusText(name .. \" (\" .. t.width .. \"x\" .. t.height .. \")\")\n";
        script += "  end\n";
        script += "  return t\n";
        script += "end\n\n";
    }
    return script;
}

const std::string& script()
{
    static const std::string s = makeScript(1u << 20);
    return s;
}

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

void BM_BareLoadBuffer(benchmark::State& state)
{
    std::unique_ptr<lua_State, StateCloser> L(luaL_newstate());
    const std::string& s = script();
    for (auto _ : state) {
        if (luaL_loadbuffer(L.get(), s.data(), s.size(), "=bench") != 0)
            state.SkipWithError(lua_tostring(L.get(), -1));
        lua_settop(L.get(), 0);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_BareLoadBuffer)->Unit(benchmark::kMillisecond);

void BM_ScannerLoad(benchmark::State& state)
{
    std::unique_ptr<lua_State, StateCloser> L(luaL_newstate());
    const std::string& s = script();
    for (auto _ : state) {
        if (engine::profile::loadBuffer(L.get(), s, "=bench") != 0)
            state.SkipWithError(lua_tostring(L.get(), -1));
        lua_settop(L.get(), 0);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_ScannerLoad)->Unit(benchmark::kMillisecond);

// The scanner alone, for the share of the total.
void BM_ScannerOnly(benchmark::State& state)
{
    const std::string& s = script();
    std::string out;
    for (auto _ : state) {
        engine::profile::translateSource(s, "=bench", out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_ScannerOnly)->Unit(benchmark::kMillisecond);

}  // namespace
