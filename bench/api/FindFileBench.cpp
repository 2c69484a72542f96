// app.findFile over a folder of 10,000 files, beside a plain listing with one stat per entry
// of the same folder: the listing, the code page conversion, the collation keys and the sort
// should together stay within a small multiple of what the file system itself costs.
//
// And names the code page cannot spell: the same listing where a third of the names hold
// accents, Hangul or emoji (escaped on their way into the script) beside the all-ASCII
// listing, in the same run. The escapes should cost at most 1.3 times the ASCII listing.
#include "api/AppTable.h"
#include "engine/ScriptEngine.h"
#include "platform/Directory.h"
#include "platform/Paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 10000;

// The folder is made once per run and removed at exit.
class Folder {
public:
    Folder()
    {
        m_path = fs::temp_directory_path() / ("selvarin-bench-findfile-" + std::to_string(getpid()));
        fs::create_directories(m_path);
        for (int i = 0; i < kFiles; ++i) {
            char name[64];
            // Every tenth name is Japanese, so the conversions see double-byte text too.
            std::snprintf(name, sizeof name, i % 10 == 0 ? "画像%05d.jpg" : "img%05d.jpg", (i * 7919) % kFiles);
            std::ofstream(m_path / name) << 'x';
        }
        fs::create_directory(m_path / "subfolder");
    }
    ~Folder() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }
    std::string pattern() const { return platform::fromOsPath(m_path.string()) + "\\*"; }

private:
    fs::path m_path;
};

const Folder& folder()
{
    static const Folder f;
    return f;
}

void BM_PlainListingWithStat(benchmark::State& state)
{
    const std::string dir = folder().path().string();
    for (auto _ : state) {
        DIR* d = opendir(dir.c_str());
        std::size_t n = 0;
        while (const dirent* e = readdir(d)) {
            struct stat st;
            n += fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            n += 1;
        }
        closedir(d);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_PlainListingWithStat)->Unit(benchmark::kMillisecond);

void BM_FindFilesPlatform(benchmark::State& state)
{
    const std::string pattern = folder().pattern();
    for (auto _ : state) {
        std::vector<std::string> names = platform::findFiles(pattern);
        benchmark::DoNotOptimize(names.data());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_FindFilesPlatform)->Unit(benchmark::kMillisecond);

// app.findFile(pattern) from the script, as a start-up script calls it.
void runAppFindFile(benchmark::State& state, const std::string& pattern, std::size_t expected)
{
    static constexpr engine::HostLibrary kLibraries[] = {{"app", &api::installApp}};
    engine::ScriptEngine engine(kLibraries, engine::ScriptEngine::Streams::Process);
    if (!engine.open()) {
        state.SkipWithError("engine did not open");
        return;
    }
    lua_State* L = engine.state();
    for (auto _ : state) {
        lua_getglobal(L, "app");
        lua_getfield(L, -1, "findFile");
        lua_pushlstring(L, pattern.data(), pattern.size());
        if (lua_pcall(L, 1, 1, 0) != 0) {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
        if (lua_objlen(L, -1) != expected)
            state.SkipWithError("wrong number of names");
        lua_settop(L, 0);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_AppFindFile(benchmark::State& state) { runAppFindFile(state, folder().pattern(), kFiles + 3); }
BENCHMARK(BM_AppFindFile)->Unit(benchmark::kMillisecond);

// Two folders of the same 10,000 numbered names: plain ASCII, or with every third name
// starting with a word from outside code page 932.
class NamedFolder {
public:
    explicit NamedFolder(bool foreign)
    {
        static const char* const kWords[] = {"caf\u00e9-", "\uc0ac\uc9c4-", "emoji\U0001F600-", "\u00c4rger-"};
        m_path = fs::temp_directory_path() /
                 ("selvarin-bench-names-" + std::string(foreign ? "foreign-" : "ascii-") + std::to_string(getpid()));
        fs::create_directories(m_path);
        for (int i = 0; i < kFiles; ++i) {
            char name[64];
            const bool outside = foreign && i % 3 == 0;
            std::snprintf(name, sizeof name, "%sphoto%05d.jpg", outside ? kWords[(i / 3) % 4] : "plain-", i);
            std::ofstream(m_path / name) << 'x';
        }
    }
    ~NamedFolder() { fs::remove_all(m_path); }
    std::string pattern() const { return platform::fromOsPath(m_path.string()) + "\\*.jpg"; }

private:
    fs::path m_path;
};

void BM_AppFindFileAsciiNames(benchmark::State& state)
{
    static const NamedFolder folder(false);
    runAppFindFile(state, folder.pattern(), kFiles);
}
BENCHMARK(BM_AppFindFileAsciiNames)->Unit(benchmark::kMillisecond);

void BM_AppFindFileThirdOutsideCodePage(benchmark::State& state)
{
    static const NamedFolder folder(true);
    runAppFindFile(state, folder.pattern(), kFiles);
}
BENCHMARK(BM_AppFindFileThirdOutsideCodePage)->Unit(benchmark::kMillisecond);

}  // namespace
