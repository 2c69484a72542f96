#include "ViewerFixture.h"

#include "platform/Allocator.h"
#include "platform/Paths.h"
#include "view/ImageView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace bench {

const fs::path& benchRoot()
{
    static const fs::path root = [] {
        fs::path p = fs::temp_directory_path() / ("selvarin-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return root;
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
}

fs::path moduleFolder()
{
    const fs::path module = benchRoot() / "module";
    if (fs::exists(module))
        return module;
    fs::create_directories(module / "script");
    fs::copy_file(fs::path(SELVARIN_SOURCE_DIR) / "script" / "start.lua", module / "script" / "start.lua");
#ifdef SELVARIN_PLUGIN_DIR
    fs::create_directories(module / "plugins");
    for (const fs::directory_entry& e : fs::directory_iterator(SELVARIN_PLUGIN_DIR))
        if (e.path().extension() == ".spi")
            fs::create_symlink(e.path(), module / "plugins" / e.path().filename());
#endif
    // Settings stay out of the user's folders.
    fs::create_directories(benchRoot() / "config");
    setenv("XDG_CONFIG_HOME", (benchRoot() / "config").c_str(), 1);
    setenv("HOME", (benchRoot() / "config").c_str(), 1);
    return module;
}

std::unique_ptr<app::Application> startViewer(const fs::path& argument)
{
    app::CommandLine line;
    line.fileArguments = {platform::fromOsPath(argument.string())};
    auto application = std::make_unique<app::Application>(line, platform::fromOsPath(moduleFolder().string()));
    if (!application->start())
        return nullptr;
    return application;
}

void stopViewer(std::unique_ptr<app::Application>& application)
{
    if (application)
        application->shutdown();
    application.reset();
}

void setFrame(app::Application& application, int width, int height)
{
    application.imageView()->setFixedSize(width, height);
    QCoreApplication::processEvents();
}

namespace {

// When the view first began to paint a picture.
class FirstPicturePaint : public QObject {
public:
    QElapsedTimer clock;
    qint64 atNs = -1;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (atNs < 0 && event->type() == QEvent::Paint) {
            auto* view = watched ? dynamic_cast<view::ImageView*>(watched->parent()) : nullptr;
            if (view && view->frontImage())
                atNs = clock.nsecsElapsed();
        }
        return false;
    }
};

}  // namespace

void measureStartUp(benchmark::State& state, const fs::path& argument)
{
    FirstPicturePaint paint;
    qApp->installEventFilter(&paint);
    double firstPaintMs = 0;
    for (auto _ : state) {
        paint.atNs = -1;
        paint.clock.start();
        std::unique_ptr<app::Application> application = startViewer(argument);
        // A script may show the first picture once the event loop runs.
        QElapsedTimer waited;
        waited.start();
        while (application && !application->frontImage() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const bool shown = application && application->frontImage() != nullptr;
        if (shown)
            QCoreApplication::processEvents();  // painted
        state.PauseTiming();
        firstPaintMs += static_cast<double>(paint.atNs) / 1e6;
        stopViewer(application);
        state.ResumeTiming();
        if (!shown || paint.atNs < 0) {
            state.SkipWithError("no picture was shown at start-up");
            break;
        }
    }
    qApp->removeEventFilter(&paint);
    // The whole measurement runs until the list is made and shown as well.
    state.counters["first_paint_ms"] = firstPaintMs / static_cast<double>(state.iterations());
}

int runViewerBenchmarks(int argc, char** argv, const std::function<void()>& beforeQtEnds)
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
    beforeQtEnds();
    std::error_code ignored;
    fs::remove_all(benchRoot(), ignored);
    return 0;
}

}  // namespace bench
