// The archive tree of a 10,000-entry listing in 500 folders (built, sorted and pushed into the
// interpreter as tables, then collected), beside a plain std::map from each entry's full path to
// its record built from the same block.
#include "image/ArchiveTree.h"

#include <selvarin/spi.h>

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::vector<std::byte>& listing()
{
    static const std::vector<std::byte> block = [] {
        constexpr std::size_t kRecords = 10000;
        std::vector<std::byte> b((kRecords + 1) * sizeof(SpiFileInfo));
        for (std::size_t i = 0; i < kRecords; ++i) {
            SpiFileInfo r{};
            std::memcpy(r.method, "deflate", 7);
            r.position = static_cast<std::uint32_t>(i * 4096);
            r.compsize = r.filesize = 300000;
            r.timestamp = 1700000000;
            const std::string path = "comic " + std::to_string(i % 500 / 25) + "/chapter " + std::to_string(i % 500) + "/";
            const std::string name = "page" + std::to_string(i) + ".jpg";
            std::memcpy(r.path, path.data(), path.size());
            std::memcpy(r.filename, name.data(), name.size());
            std::memcpy(b.data() + i * sizeof r, &r, sizeof r);
        }
        return b;
    }();
    return block;
}

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

void BM_ArchiveTreeBuildAndPush(benchmark::State& state)
{
    const std::vector<std::byte>& block = listing();
    std::unique_ptr<lua_State, StateCloser> L(luaL_newstate());
    for (auto _ : state) {
        const std::optional<image::ArchiveTree> tree = image::buildArchiveTree(block);
        image::pushArchiveTree(L.get(), *tree);
        lua_settop(L.get(), 0);
        lua_gc(L.get(), LUA_GCCOLLECT, 0);
    }
}
BENCHMARK(BM_ArchiveTreeBuildAndPush)->Unit(benchmark::kMillisecond);

void BM_PlainMapOfPaths(benchmark::State& state)
{
    const std::vector<std::byte>& block = listing();
    for (auto _ : state) {
        std::map<std::string, SpiFileInfo> map;
        for (std::size_t at = 0; block[at] != std::byte{0}; at += sizeof(SpiFileInfo)) {
            SpiFileInfo r;
            std::memcpy(&r, block.data() + at, sizeof r);
            map.emplace(std::string(r.path) + r.filename, r);
        }
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_PlainMapOfPaths)->Unit(benchmark::kMillisecond);

}  // namespace
