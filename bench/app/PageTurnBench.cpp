// Page turns as the user sees them, with the shipped start-up script on a folder of 4000 x 3000
// JPEGs and the view at 1920 x 1080: a key press until the new picture is painted.
//  - to the neighbour the viewer decoded ahead, after a pause (the user looks at each picture);
//  - to a picture nobody decoded ahead (the direction changes every turn);
//  - fifty "next" presses waiting at once, until the picture they land on is painted;
// beside the bare work of a turn in the same run (libjpeg-turbo's decode of the file and
// pixman's bilinear scale to the frame) and the turn's own parts (decode, surface, paint).
// Also start-up to the first picture of a folder of 2,000, beside a bare Qt window's, and the
// memory held after 100 turns with the pictures ahead decoded.

#include "BenchPictures.h"
#include "ViewerFixture.h"

#include "api/AppPrefetch.h"
#include "app/Application.h"
#include "gfx/NxSurface.h"
#include "image/JpegCodec.h"
#include "image/PrefetchCache.h"
#include "platform/Allocator.h"
#include "view/ImageView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
// Pictures with bytes of their own (the prefetch finds results by bytes); the folders repeat
// them as hard links, far enough apart that a turn never lands on bytes decoded ahead.
constexpr int kDistinct = 8;
constexpr int kTurnFiles = 110;  // from any position, 50 turns one way or the other fit
constexpr int kQueued = 50;
constexpr int kStartUpFiles = 2000;

// The photograph with a comment of its own after the start marker: the same picture in other bytes.
std::vector<std::uint8_t> variant(int n)
{
    const std::vector<std::uint8_t>& photo = bench::photoJpeg();
    const std::string comment = "picture " + std::to_string(n);
    std::vector<std::uint8_t> out(photo.begin(), photo.begin() + 2);
    const std::size_t length = comment.size() + 2;
    out.insert(out.end(), {0xFF, 0xFE, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)});
    out.insert(out.end(), comment.begin(), comment.end());
    out.insert(out.end(), photo.begin() + 2, photo.end());
    return out;
}

fs::path variantFile(int n)
{
    const fs::path file = bench::benchRoot() / "variants" / ("v" + std::to_string(n) + ".jpg");
    if (!fs::exists(file)) {
        fs::create_directories(file.parent_path());
        bench::writeBytes(file, variant(n));
    }
    return file;
}

std::string fileName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "img%05d.jpg", index);
    return name;
}

fs::path pictureFolder(int count)
{
    const fs::path dir = bench::benchRoot() / ("folder-" + std::to_string(count));
    if (fs::exists(dir))
        return dir;
    fs::create_directories(dir);
    for (int i = 1; i <= count; ++i)
        fs::create_hard_link(variantFile((i - 1) % kDistinct), dir / fileName(i));
    return dir;
}

// The viewer started on the first picture of the turns' folder, its view at the frame's size.
struct Viewer {
    std::unique_ptr<app::Application> application;
    int position = 1;
    int step = 1;

    Viewer() : application(bench::startViewer(pictureFolder(kTurnFiles) / fileName(1)))
    {
        if (!application)
            std::abort();
        bench::setFrame(*application, kFrameWidth, kFrameHeight);
    }
    ~Viewer() { bench::stopViewer(application); }

    bool canMove(int by) const { return position + by >= 1 && position + by <= kTurnFiles; }

    // `times` presses of the arrow key waiting at once; returns when the picture they land on
    // has been painted.
    bool turn(int by)
    {
        const Qt::Key key = by > 0 ? Qt::Key_Right : Qt::Key_Left;
        for (int i = 0; i < std::abs(by); ++i)
            QCoreApplication::postEvent(application->imageView(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        position += by;
        const std::string mark = "(" + std::to_string(position) + "/" + std::to_string(kTurnFiles) + ")";
        QElapsedTimer waited;
        waited.start();
        do
            QCoreApplication::processEvents();
        while (application->frameTitle().find(mark) == std::string::npos && waited.elapsed() < 10000);
        // The repaint the new picture asked for.
        QCoreApplication::processEvents();
        return application->frameTitle().find(mark) != std::string::npos;
    }

    // Until the pictures ahead are decoded, as after the user's pause.
    void settle()
    {
        if (image::PrefetchCache* cache = api::prefetchCache(application->engine()->state()))
            cache->waitIdle();
    }
};

std::unique_ptr<Viewer> g_viewer;

Viewer& viewer()
{
    if (!g_viewer) {
        g_viewer = std::make_unique<Viewer>();
        g_viewer->settle();
    }
    return *g_viewer;
}

void failUnlessShown(benchmark::State& state, bool ok)
{
    if (!ok || !viewer().application->frontImage())
        state.SkipWithError(("the viewer is not at " + std::to_string(viewer().position) + ": " + viewer().application->frameTitle()).c_str());
}

void BM_TurnToPrefetched(benchmark::State& state)
{
    Viewer& v = viewer();
    bool ok = true;
    for (auto _ : state) {
        if (!v.canMove(v.step)) {
            // The first turn back was not decoded ahead: outside the measurement.
            state.PauseTiming();
            v.step = -v.step;
            ok = v.turn(v.step) && ok;
            v.settle();
            state.ResumeTiming();
        }
        ok = v.turn(v.step) && ok;
        state.PauseTiming();
        v.settle();
        state.ResumeTiming();
    }
    failUnlessShown(state, ok);
}
BENCHMARK(BM_TurnToPrefetched)->Unit(benchmark::kMillisecond);

void BM_ColdTurn(benchmark::State& state)
{
    Viewer& v = viewer();
    bool ok = true;
    for (auto _ : state) {
        // Against the direction of travel: the picture ahead is on the other side.
        v.step = -v.step;
        if (!v.canMove(v.step))
            v.step = -v.step;
        ok = v.turn(v.step) && ok;
        state.PauseTiming();
        v.settle();
        state.ResumeTiming();
    }
    failUnlessShown(state, ok);
}
BENCHMARK(BM_ColdTurn)->Unit(benchmark::kMillisecond);

void BM_FiftyQueuedNext(benchmark::State& state)
{
    Viewer& v = viewer();
    bool ok = true;
    for (auto _ : state) {
        const int by = v.canMove(kQueued) ? kQueued : -kQueued;
        ok = v.turn(by) && ok;
        state.PauseTiming();
        v.settle();
        state.ResumeTiming();
    }
    failUnlessShown(state, ok);
}
BENCHMARK(BM_FiftyQueuedNext)->Unit(benchmark::kMillisecond);

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The whole process's resident memory after 100 turns, each after a pause for the picture
// ahead; it includes what the benchmarks before it keep.
void BM_ResidentAfter100Turns(benchmark::State& state)
{
    Viewer& v = viewer();
    bool ok = true;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            if (!v.canMove(v.step))
                v.step = -v.step;
            ok = v.turn(v.step) && ok;
            v.settle();
        }
    }
    state.counters["rss_MiB"] = residentMiB();
    // Whether the turns found their pictures, and surfaces, prepared.
    if (image::PrefetchCache* cache = api::prefetchCache(v.application->engine()->state())) {
        state.counters["hits"] = static_cast<double>(cache->stats().hits);
        state.counters["converted"] = static_cast<double>(cache->stats().converted);
    }
    failUnlessShown(state, ok);
}
BENCHMARK(BM_ResidentAfter100Turns)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PartDecode(benchmark::State& state)
{
    const auto& bytes = bench::photoJpeg();
    for (auto _ : state) {
        auto pair = image::loadJpeg(image::Bytes(bytes.data(), bytes.size()));
        benchmark::DoNotOptimize(pair);
    }
}
BENCHMARK(BM_PartDecode)->Unit(benchmark::kMillisecond);

void BM_PartConvert(benchmark::State& state)
{
    const auto& bytes = bench::photoJpeg();
    auto pair = image::loadJpeg(image::Bytes(bytes.data(), bytes.size()));
    const platform::memory::Lock header(pair->header.get());
    const platform::memory::Lock bits(pair->bits.get());
    for (auto _ : state) {
        gfx::NxSurface surface(32);
        benchmark::DoNotOptimize(surface.createFromDib(reinterpret_cast<const gfx::NxBitmapInfoHeader*>(header.data()), bits.data()));
    }
}
BENCHMARK(BM_PartConvert)->Unit(benchmark::kMillisecond);

void BM_PartPaint(benchmark::State& state)
{
    Viewer& v = viewer();
    for (auto _ : state)
        v.application->imageView()->viewport()->repaint();
}
BENCHMARK(BM_PartPaint)->Unit(benchmark::kMillisecond);

// The reference: a bare decode of the same file into a new block, then one bilinear scale of
// those pixels to the frame by pixman. Measured with the decode this program must make
// (blue-green-red rows, as its pictures reach scripts) and with the 32-bit decode a viewer
// without scripts could make.
void decodeAndScale(benchmark::State& state, bench::BareLayout layout)
{
    const auto& bytes = bench::photoJpeg();
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(kFrameWidth) * kFrameHeight);
    // The same scale the view uses for this picture and frame.
    const double scale = static_cast<double>(viewer().application->imageView()->layout().imageWidth) / bench::kPictureWidth;
    for (auto _ : state) {
        bench::decodeAndScale(bytes.data(), bytes.size(), layout, frame.data(), kFrameWidth, kFrameHeight, scale);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["scale"] = scale;
}

void BM_ReferenceDecodeBgrAndScale(benchmark::State& state) { decodeAndScale(state, bench::BareLayout::Bgr24); }
BENCHMARK(BM_ReferenceDecodeBgrAndScale)->Unit(benchmark::kMillisecond);

void BM_ReferenceDecodeBgrxAndScale(benchmark::State& state) { decodeAndScale(state, bench::BareLayout::Bgrx32); }
BENCHMARK(BM_ReferenceDecodeBgrxAndScale)->Unit(benchmark::kMillisecond);

// Only one viewer runs at a time: the one the turns use is ended first (the next benchmark
// that turns starts it again).
void BM_StartUpFolderOf2000(benchmark::State& state)
{
    g_viewer.reset();
    bench::measureStartUp(state, pictureFolder(kStartUpFiles));
}
BENCHMARK(BM_StartUpFolderOf2000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The reference: a window of the frame's size shown and painted, without menus or pictures.
void BM_StartUpBareQtWindow(benchmark::State& state)
{
    for (auto _ : state) {
        auto window = std::make_unique<QWidget>();
        window->resize(kFrameWidth, kFrameHeight);
        window->show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpBareQtWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    return bench::runViewerBenchmarks(argc, argv, [] { g_viewer.reset(); });
}
