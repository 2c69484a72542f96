// A page turn as the user sees it: the default start-up script answers onNextImage by reading
// the next JPEG of the folder, decoding it, making a surface and showing it; the view repaints
// at once. Measured whole and in its three parts (decode, surface conversion, paint), beside the
// bare work a page turn cannot avoid: libjpeg-turbo's decode of the same file and pixman's
// bilinear scale of the picture to the visible frame.

#include "BenchPictures.h"

#include "app/Application.h"
#include "gfx/NxSurface.h"
#include "image/JpegCodec.h"
#include "platform/Allocator.h"
#include "platform/Paths.h"
#include "view/ImageView.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>


namespace fs = std::filesystem;

namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;

// The viewer started on a folder of three pictures, its view sized to the frame.
struct Viewer {
    fs::path dir = fs::temp_directory_path() / ("selvarin-pageturn-" + std::to_string(::getpid()));
    std::unique_ptr<app::Application> application;
    bool forward = true;

    Viewer()
    {
        fs::create_directories(dir / "module" / "script");
        fs::create_directories(dir / "pictures");
        fs::create_directories(dir / "config");
        fs::copy_file(fs::path(SELVARIN_SOURCE_DIR) / "script" / "start.lua", dir / "module" / "script" / "start.lua");
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            std::ofstream out(dir / "pictures" / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bench::photoJpeg().data()), static_cast<std::streamsize>(bench::photoJpeg().size()));
        }
        // Settings stay out of the user's folders.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        setenv("HOME", (dir / "config").c_str(), 1);
        app::CommandLine line;
        line.fileArguments = {platform::fromOsPath((dir / "pictures" / "a.jpg").string())};
        application = std::make_unique<app::Application>(line, platform::fromOsPath((dir / "module").string()));
        if (!application->start())
            std::abort();
        application->imageView()->setFixedSize(kFrameWidth, kFrameHeight);
        QCoreApplication::processEvents();
    }
    ~Viewer()
    {
        application->shutdown();
        application.reset();
        fs::remove_all(dir);
    }

    // Back and forth between the first two pictures, so every turn shows a new one.
    void turn()
    {
        application->engine()->callWithStrings(forward ? "onNextImage" : "onPrevImage");
        forward = !forward;
    }
};

// Made on first use, ended in main while Qt is still there.
std::unique_ptr<Viewer> g_viewer;

Viewer& viewer()
{
    if (!g_viewer)
        g_viewer = std::make_unique<Viewer>();
    return *g_viewer;
}

void BM_PageTurn(benchmark::State& state)
{
    Viewer& v = viewer();
    for (auto _ : state)
        v.turn();
    if (!v.application->frontImage())
        state.SkipWithError("the start-up script showed no picture");
}
BENCHMARK(BM_PageTurn)->Unit(benchmark::kMillisecond);

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
    v.turn();
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
}

void BM_ReferenceDecodeBgrAndScale(benchmark::State& state) { decodeAndScale(state, bench::BareLayout::Bgr24); }
BENCHMARK(BM_ReferenceDecodeBgrAndScale)->Unit(benchmark::kMillisecond);

void BM_ReferenceDecodeBgrxAndScale(benchmark::State& state) { decodeAndScale(state, bench::BareLayout::Bgrx32); }
BENCHMARK(BM_ReferenceDecodeBgrxAndScale)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // As the program itself does.
    platform::keepLargeBlocksInHeap();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SELVARIN_NONINTERACTIVE", "1", 1);
    QApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_viewer.reset();
    return 0;
}
