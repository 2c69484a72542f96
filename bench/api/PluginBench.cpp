// getPicture + createSurface of a 4000 x 3000 32-bit picture through a plug-in that only copies
// a prepared DIB, beside memcpy of the same bytes in the same run. The plug-in's copy is the one
// pass over the bytes the path cannot avoid: createSurface lends the bits Buffer's block to the
// Surface instead of copying it, so the goal (at most 1.2 times one copy) bounds everything the
// host adds; measured at about 1.01 times. The two-copy figure shows what a copying Surface costs.
#include "ScriptPage.h"
#include "platform/Allocator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef DIBCOPY_SPI_PATH
#define DIBCOPY_SPI_PATH ""
#endif

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr std::size_t kBits = std::size_t{kWidth} * kHeight * 4;

void BM_MemcpyOnce(benchmark::State& state)
{
    platform::keepLargeBlocksInHeap();
    std::vector<std::uint8_t> from(kBits, 0x5A), to(kBits);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kBits);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBits);
}
BENCHMARK(BM_MemcpyOnce)->Unit(benchmark::kMillisecond);

void BM_MemcpyTwice(benchmark::State& state)
{
    std::vector<std::uint8_t> from(kBits, 0x5A), mid(kBits), to(kBits);
    for (auto _ : state) {
        std::memcpy(mid.data(), from.data(), kBits);
        std::memcpy(to.data(), mid.data(), kBits);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBits);
}
BENCHMARK(BM_MemcpyTwice)->Unit(benchmark::kMillisecond);

const char* const kSetup = R"(
  local path, width, height = ...
  plugin = app.loadSusiePlugin(path)
  local function u32(n)
    local b = {}
    for i = 1, 4 do b[i] = math.mod(n, 256); n = math.floor(n / 256) end
    return string.char(b[1], b[2], b[3], b[4])
  end
  local function u16(n) return string.char(math.mod(n, 256), math.floor(n / 256)) end
  local bits = width * height * 4
  local header = u32(40) .. u32(width) .. u32(height) .. u16(1) .. u16(32) .. u32(0) .. u32(bits)
    .. u32(0) .. u32(0) .. u32(0) .. u32(0)
  source = app.createBuffer(4 + 40 + bits)
  source:setStringData(1, u32(40) .. header)
  source:setStringData(45, string.rep("\90", bits))
  return plugin ~= nil
)";

const char* const kPage = R"(
  local header, bits = plugin:getPicture(source)
  local surface = app.createSurface(header, bits)
  header:release()
  bits:release()
  local ok = surface ~= nil
  surface:release()
  return ok
)";

void BM_GetPictureAndCreateSurface(benchmark::State& state)
{
    const auto args = [](lua_State* L) {
        lua_pushstring(L, DIBCOPY_SPI_PATH);
        lua_pushnumber(L, kWidth);
        lua_pushnumber(L, kHeight);
        return 3;
    };
    if (bench::runScriptPage(state, kSetup, args, kPage))
        state.SetBytesProcessed(state.iterations() * kBits);
}
BENCHMARK(BM_GetPictureAndCreateSurface)->Unit(benchmark::kMillisecond);

}  // namespace
