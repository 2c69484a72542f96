// The viewer as a user meets it, with the shipped start-up script and the bundled plug-ins:
//  - a page turn through a 300-page cbz of 1920 x 1080 JPEG pages, beside the bare work of one
//    page (libarchive extracting the member from its offset, libjpeg-turbo decoding it, pixman
//    scaling it to the view);
//  - start-up to the first picture of a folder of 20,000 pictures, beside a plain listing of that
//    folder (readdir and stat, and QDir), and beside start-up on a folder of one picture.

#include "ArchiveFixtures.h"
#include "BenchPictures.h"
#include "ViewerFixture.h"

#include "app/Application.h"
#include "app/MainFrame.h"
#include "view/ImageView.h"

#include <QCoreApplication>
#include <QDir>

#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>


namespace fs = std::filesystem;

namespace {

using bench::benchRoot;
using bench::startViewer;
using bench::stopViewer;
using bench::writeBytes;

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
constexpr int kPageWidth = 1920;
constexpr int kPageHeight = 1080;
constexpr int kPages = 300;
constexpr int kFolderFiles = 20000;
// Distinct page pictures; the comic repeats them, so making it stays quick.
constexpr int kDistinctPages = 6;
constexpr int kNextImage = 32787;
constexpr int kPrevImage = 32788;

// A photograph-like page: gradients, texture and a per-page shift, as a quality 90 JPEG.
fixtures::Bytes pageJpeg(int seed)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kPageWidth) * kPageHeight * 3);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < kPageHeight; ++y)
        for (int x = 0; x < kPageWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kPageWidth + x) * 3];
            const int n = static_cast<int>((noise >> 16) & 15);
            p[0] = static_cast<std::uint8_t>((x * 255 / kPageWidth + n + seed * 40) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 255 / kPageHeight + n) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y + seed * 13) / 32 * 7 + n) & 0xFF);
        }
    const std::vector<std::uint8_t> jpeg = bench::encodeJpeg(rgb, kPageWidth, kPageHeight);
    return fixtures::Bytes(jpeg.begin(), jpeg.end());
}

const std::vector<fixtures::Bytes>& pagePictures()
{
    static const std::vector<fixtures::Bytes> pictures = [] {
        std::vector<fixtures::Bytes> out;
        for (int i = 0; i < kDistinctPages; ++i)
            out.push_back(pageJpeg(i));
        return out;
    }();
    return pictures;
}

std::uint32_t le32(const fixtures::Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t le16(const fixtures::Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

// The comic: pages stored (as JPEG pages usually are), with each page's local header offset.
struct Comic {
    fs::path path;
    std::vector<std::uint32_t> offsets;
};

const Comic& comic()
{
    static const Comic made = [] {
        std::vector<fixtures::ZipMember> members;
        for (int i = 0; i < kPages; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "comic/%03d.jpg", i + 1);
            members.push_back({name, pagePictures()[static_cast<std::size_t>(i % kDistinctPages)]});
        }
        const fixtures::Bytes zip = fixtures::writeZip(members);
        Comic c;
        c.path = benchRoot() / "comic.cbz";
        writeBytes(c.path, zip);
        for (std::size_t at = 0; at + 30 <= zip.size() && le32(zip, at) == 0x04034b50;) {
            c.offsets.push_back(static_cast<std::uint32_t>(at));
            at += 30 + le16(zip, at + 26) + le16(zip, at + 28) + le32(zip, at + 18);
        }
        if (c.offsets.size() != kPages)
            std::abort();
        return c;
    }();
    return made;
}

// A folder of `count` pictures: hard links of one page, so 20,000 of them cost no room.
fs::path pictureFolder(int count)
{
    const fs::path dir = benchRoot() / ("folder-" + std::to_string(count));
    if (fs::exists(dir))
        return dir;
    fs::create_directories(dir);
    const fs::path first = dir / "img00001.jpg";
    writeBytes(first, pagePictures()[0]);
    for (int i = 2; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "img%05d.jpg", i);
        fs::create_hard_link(first, dir / name);
    }
    return dir;
}

// The viewer on the comic, its view sized to the frame; ended in main while Qt is still there.
struct ComicViewer {
    std::unique_ptr<app::Application> application = startViewer(comic().path);
    int position = 1;
    int step = 1;

    ComicViewer()
    {
        if (!application)
            std::abort();
    }
    // The view at the frame's size, and the page shown again at it, as every later page is.
    void setFrame(int width, int height)
    {
        bench::setFrame(*application, width, height);
        turn();
        turn();
    }
    ~ComicViewer() { stopViewer(application); }

    // Forward to the last page and back, so every turn shows a new page.
    void turn()
    {
        if (position + step < 1 || position + step > kPages)
            step = -step;
        application->mainFrame()->runCommand(step > 0 ? kNextImage : kPrevImage);
        QCoreApplication::processEvents();  // the turn waits for the input with it
        position += step;
    }
    bool showsPosition() const
    {
        return application->frameTitle().find("(" + std::to_string(position) + "/" + std::to_string(kPages) + ")") != std::string::npos;
    }
};

std::unique_ptr<ComicViewer> g_comicViewer;

ComicViewer& comicViewer()
{
    if (!g_comicViewer)
        g_comicViewer = std::make_unique<ComicViewer>();
    return *g_comicViewer;
}

void BM_ComicPageTurn(benchmark::State& state)
{
    ComicViewer& v = comicViewer();
    v.setFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        v.turn();
    if (!v.application->frontImage() || !v.showsPosition())
        state.SkipWithError(("the viewer is not at page " + std::to_string(v.position) + ": " + v.application->frameTitle()).c_str());
}
BENCHMARK(BM_ComicPageTurn)->Args({kFrameWidth, kFrameHeight})->Args({1280, 720})->Unit(benchmark::kMillisecond);

// The bare work of one page: the member read from its local header by libarchive into a block
// of its own, decoded by libjpeg-turbo into 32-bit pixels (pixman's fast paths are for those),
// scaled to the view by pixman at the view's scale.
void BM_ComicReference(benchmark::State& state)
{
    const Comic& c = comic();
    const int frameWidth = static_cast<int>(state.range(0)), frameHeight = static_cast<int>(state.range(1));
    // The same scale the view uses for this page and frame.
    comicViewer().setFrame(frameWidth, frameHeight);
    const view::Layout& layout = comicViewer().application->imageView()->layout();
    const double scale = static_cast<double>(layout.imageWidth) / kPageWidth;
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(frameWidth) * frameHeight);
    std::size_t page = 0;
    for (auto _ : state) {
        std::FILE* file = std::fopen(c.path.c_str(), "rb");
        std::fseek(file, static_cast<long>(c.offsets[page]), SEEK_SET);
        page = (page + 1) % c.offsets.size();
        archive* a = archive_read_new();
        archive_read_support_format_zip_streamable(a);
        archive_read_open_FILE(a, file);
        archive_entry* entry = nullptr;
        if (archive_read_next_header(a, &entry) != ARCHIVE_OK) {
            state.SkipWithError("libarchive read no member");
            break;
        }
        const auto size = static_cast<std::size_t>(archive_entry_size(entry));
        std::unique_ptr<std::uint8_t[]> member(new std::uint8_t[size]);
        if (archive_read_data(a, member.get(), size) != static_cast<la_ssize_t>(size)) {
            state.SkipWithError("libarchive read a short member");
            break;
        }
        archive_read_free(a);
        std::fclose(file);

        bench::decodeAndScale(member.get(), size, bench::BareLayout::Bgrx32, frame.data(), frameWidth, frameHeight, scale);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["scale"] = scale;
}
BENCHMARK(BM_ComicReference)->Args({kFrameWidth, kFrameHeight})->Args({1280, 720})->Unit(benchmark::kMillisecond);

void startUp(benchmark::State& state, int files) { bench::measureStartUp(state, pictureFolder(files)); }

void BM_StartUpFolderOf20000(benchmark::State& state) { startUp(state, kFolderFiles); }
BENCHMARK(BM_StartUpFolderOf20000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartUpFolderOf1(benchmark::State& state) { startUp(state, 1); }
BENCHMARK(BM_StartUpFolderOf1)->Unit(benchmark::kMillisecond)->Iterations(5);

// What listing the folder costs a program that only lists: names and a stat of each.
void BM_ListFolderReaddirStat(benchmark::State& state)
{
    const fs::path folder = pictureFolder(kFolderFiles);
    for (auto _ : state) {
        DIR* dir = ::opendir(folder.c_str());
        const int fd = ::dirfd(dir);
        std::size_t count = 0;
        while (dirent* e = ::readdir(dir)) {
            struct stat st;
            if (e->d_name[0] != '.' && ::fstatat(fd, e->d_name, &st, 0) == 0)
                ++count;
        }
        ::closedir(dir);
        if (count != kFolderFiles)
            state.SkipWithError("the folder listing missed files");
    }
}
BENCHMARK(BM_ListFolderReaddirStat)->Unit(benchmark::kMillisecond);

void BM_ListFolderQDir(benchmark::State& state)
{
    const QString folder = QString::fromStdString(pictureFolder(kFolderFiles).string());
    for (auto _ : state) {
        const QFileInfoList list = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        qint64 bytes = 0;
        for (const QFileInfo& info : list)
            bytes += info.size();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ListFolderQDir)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::runViewerBenchmarks(argc, argv, [] { g_comicViewer.reset(); });
}
