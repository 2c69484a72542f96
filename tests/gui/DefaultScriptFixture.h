// The shipped script/start.lua driving the real application: the fixture shared by its tests.
#pragma once

#include "AppFixture.h"
#include "DialogDriver.h"
#include "app/Application.h"
#include "app/Commands.h"
#include "app/MainFrame.h"

#include "gfx/NxSurface.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/QtPaths.h"
#include "view/ImageView.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QCoreApplication>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace defaultscript {

enum Command {
    FitWhole = 32776,
    FitWidth = 32777,
    ScaleHalf = 32780,
    FileListWindow = 32790,
    ZoomIn = 32826,
    NextImage = 32787,
    PrevImage = 32788,
    LinearFilter = 32789,
    BackgroundWhite = 32804,
    BackgroundBlack = 32805,
    BackgroundPattern = 32806,
    WheelFast = 32811,
    StartupOpenLast = 32814,
    StopDialog = 32829,
    OpenFolder = 32798,
    OpenFile = 57601,
    SaveAs = 57604,
    Copy = 57634,
};

// An environment variable set for the test's lifetime and restored afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

inline std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

inline void put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void put16(std::string& s, std::uint16_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

// A 24-bit bottom-up BMP file of one colour.
inline std::string bmpBytes(int width, int height, std::uint8_t b = 10, std::uint8_t g = 20, std::uint8_t r = 30)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string s = "BM";
    put32(s, 54 + stride * height);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<std::uint32_t>(width));
    put32(s, static_cast<std::uint32_t>(height));
    put16(s, 1);
    put16(s, 24);
    put32(s, 0);
    put32(s, static_cast<std::uint32_t>(stride * height));
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
        row.resize(stride, '\0');
        s += row;
    }
    return s;
}

inline void writeJpeg(const fs::path& p, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 100, 50));
    ASSERT_TRUE(image.save(QString::fromStdString(p.string()), "JPG"));
}

class DefaultScriptTest : public ::testing::Test {
protected:
    fs::path root = fs::temp_directory_path() / ("selvarin-default-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path module = root / "module";
    fs::path config = root / "config";
    fs::path pictures = root / "pictures";
    // Settings must never reach the real user's files.
    ScopedEnv configHome{"XDG_CONFIG_HOME", config.string()};
    ScopedEnv home{"HOME", (root / "home").string()};
    ScopedEnv nonInteractive{"SELVARIN_NONINTERACTIVE", "1"};
    std::unique_ptr<app::Application> application;
    bool capturing = false;

    void SetUp() override
    {
        fs::create_directories(module / "script");
        fs::create_directories(config / "selvarin");
        fs::create_directories(root / "home");
        fs::create_directories(pictures);
        // Not found through __FILE__: a compiler cache may shorten it to a path relative to the build.
        const fs::path shipped = SELVARIN_SHIPPED_SCRIPT;
        ASSERT_TRUE(fs::exists(shipped)) << shipped;
        fs::copy_file(shipped, module / "script" / "start.lua");
        // The bundled plug-ins beside the executable, as installed.
        fs::create_directories(module / "plugins");
        for (const fs::directory_entry& e : fs::directory_iterator(SELVARIN_PLUGIN_DIR))
            if (e.path().extension() == ".spi")
                fs::create_symlink(e.path(), module / "plugins" / e.path().filename());
        // Every message box shows up on standard error in non-interactive mode.
        testing::internal::CaptureStderr();
        capturing = true;
    }

    void TearDown() override
    {
        stop();
        if (capturing)
            testing::internal::GetCapturedStderr();
        fs::remove_all(root);
    }

    void start(const std::vector<fs::path>& files = {})
    {
        app::CommandLine line;
        for (const fs::path& f : files)
            line.fileArguments.push_back(platform::fromOsPath(f.string()));
        application = std::make_unique<app::Application>(line, platform::fromOsPath(module.string()));
        ASSERT_TRUE(application->start());
        QCoreApplication::processEvents();
    }

    // Closes the application; onReleaseApp writes the settings.
    void stop() { shutdownOnly(); }
    void shutdownOnly()
    {
        if (application)
            application->shutdown();
        application.reset();
    }

    // The message boxes shown so far (none is the normal case), and capturing goes on.
    std::string boxes()
    {
        std::istringstream lines(testing::internal::GetCapturedStderr());
        testing::internal::CaptureStderr();
        std::string out;
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("MessageBox[", 0) == 0)
                out += line + "\n";
        return out;
    }

    app::MainFrame* frame() { return application->mainFrame(); }
    std::string title() { return frame()->windowTitle().toStdString(); }
    std::string status() { return frame()->statusText().toStdString(); }
    // A page turn reaches the script once the input with it has been handled.
    void command(int id)
    {
        frame()->runCommand(id);
        if (id == app::commands::NextImage || id == app::commands::PrevImage)
            QCoreApplication::processEvents();
    }
    int shownWidth() { return application->frontImage() ? application->frontImage()->width() : -1; }

    bool checked(int id)
    {
        frame()->refreshStates();
        return frame()->action(id)->isChecked();
    }
    bool enabled(int id)
    {
        frame()->refreshStates();
        return frame()->action(id)->isEnabled();
    }

    static std::string scriptPath(const fs::path& p) { return platform::fromOsPath(p.string()); }
    // A Lua string literal of a text (backslashes and quotes escaped).
    static std::string luaQuoted(const std::string& text)
    {
        std::string out = "\"";
        for (char c : text) {
            if (c == '\\' || c == '"')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }

    void drop(const std::vector<fs::path>& paths)
    {
        std::vector<std::string> texts;
        for (const fs::path& p : paths)
            texts.push_back(scriptPath(p));
        application->engine()->callWithStrings("onNewFileList");
        application->engine()->callWithTable("onAddFile", texts);
    }

    std::string eval(const std::string& expression) { return guitest::evalScript(*application, expression); }

    fs::path settingsFile() const { return config / "selvarin" / "settings.lua"; }
};

#define EXPECT_CONTAINS(haystack, needle) EXPECT_NE((haystack).find(needle), std::string::npos) << (haystack)

}  // namespace defaultscript
