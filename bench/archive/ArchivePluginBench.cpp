// A 300-page comic (300 KB pages of incompressible data, as JPEG pages are) as a cbz and as a
// solid 7z, read through archive.spi the way the viewer reads it (listing, then every page by
// its position from the file), beside one forward pass of bare libarchive over the same file.
// The 7z is deflate-compressed: LZMA would take minutes to write here, and with a slower
// decoder under both sides the plug-in's share would only look smaller.
#include "ArchiveFixtures.h"
#include "PluginLoader.h"

#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using namespace fixtures;

constexpr int kPages = 300;
constexpr std::size_t kPageSize = 300 * 1024;

std::vector<Member> pages() { return comicPages(kPages, kPageSize); }

const TempFile& cbz()
{
    static const TempFile file(writeArchive("zip", "", pages()), ".cbz");
    return file;
}

const TempFile& solid7z()
{
    static const TempFile file(writeArchive("7zip", "", pages(), "7zip:compression=deflate"), ".cb7");
    return file;
}

const ArchivePlugin& plugin()
{
    static const ArchivePlugin loaded;
    return loaded;
}

// The listing in archive order (the order a reader turns pages in).
std::vector<SpiFileInfo> listing(const std::string& path)
{
    std::vector<SpiFileInfo> records = listFile(plugin(), path).records;
    std::sort(records.begin(), records.end(), [](const SpiFileInfo& a, const SpiFileInfo& b) { return a.position < b.position; });
    return records;
}

std::size_t readPage(const std::string& path, std::uint32_t position)
{
    HLOCAL handle = 0;
    plugin().getFile(path.c_str(), position, reinterpret_cast<char*>(&handle), SPI_INPUT_FILE | SPI_OUTPUT_MEMORY, nullptr, 0);
    const std::size_t size = LocalSize(handle);
    LocalFree(handle);
    return size;
}

void throughPlugin(benchmark::State& state, const TempFile& file, bool reverse, bool firstOnly)
{
    if (!plugin().loaded()) {
        state.SkipWithError("archive.spi did not load");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<SpiFileInfo> records = listing(file.path());
        if (reverse)
            std::reverse(records.begin(), records.end());
        if (firstOnly)
            records.resize(std::min<std::size_t>(records.size(), 1));
        for (const SpiFileInfo& r : records)
            bytes += readPage(file.path(), r.position);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// Every page into a block of its own, as a program using libarchive directly would.
void bareLibarchive(benchmark::State& state, const TempFile& file, bool firstOnly)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        archive* a = archive_read_new();
        archive_read_support_format_zip(a);
        archive_read_support_format_7zip(a);
        archive_read_open_filename(a, file.path().c_str(), 256 * 1024);
        archive_entry* entry = nullptr;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            std::unique_ptr<unsigned char[]> page(new unsigned char[static_cast<std::size_t>(archive_entry_size(entry))]);
            const la_ssize_t got = archive_read_data(a, page.get(), static_cast<std::size_t>(archive_entry_size(entry)));
            bytes += got > 0 ? static_cast<std::size_t>(got) : 0;
            benchmark::DoNotOptimize(page.get());
            if (firstOnly)
                break;
        }
        archive_read_free(a);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_Cbz_Plugin_InOrder(benchmark::State& s) { throughPlugin(s, cbz(), false, false); }
void BM_Cbz_Plugin_Reverse(benchmark::State& s) { throughPlugin(s, cbz(), true, false); }
void BM_Cbz_Bare_OnePass(benchmark::State& s) { bareLibarchive(s, cbz(), false); }
void BM_Cb7_Plugin_InOrder(benchmark::State& s) { throughPlugin(s, solid7z(), false, false); }
void BM_Cb7_Bare_OnePass(benchmark::State& s) { bareLibarchive(s, solid7z(), false); }
void BM_Cbz_Plugin_FirstPage(benchmark::State& s) { throughPlugin(s, cbz(), false, true); }
void BM_Cbz_Bare_FirstPage(benchmark::State& s) { bareLibarchive(s, cbz(), true); }
void BM_Cb7_Plugin_FirstPage(benchmark::State& s) { throughPlugin(s, solid7z(), false, true); }
void BM_Cb7_Bare_FirstPage(benchmark::State& s) { bareLibarchive(s, solid7z(), true); }

BENCHMARK(BM_Cbz_Plugin_InOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cbz_Plugin_Reverse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cbz_Bare_OnePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cb7_Plugin_InOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cb7_Bare_OnePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cbz_Plugin_FirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cbz_Bare_FirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cb7_Plugin_FirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cb7_Bare_FirstPage)->Unit(benchmark::kMillisecond);

}  // namespace
