// The shipped script/start.lua driving the real application: lists, page turns, bad pictures,
// drops, backgrounds and the settings file.

#include "AppFixture.h"
#include "DialogDriver.h"
#include "app/Application.h"
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

namespace {

enum Command {
    ScaleHalf = 32780,
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

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

void put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put16(std::string& s, std::uint16_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

// A 24-bit bottom-up BMP file of one colour.
std::string bmpBytes(int width, int height, std::uint8_t b = 10, std::uint8_t g = 20, std::uint8_t r = 30)
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

void writeJpeg(const fs::path& p, int width, int height)
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
    void command(int id) { frame()->runCommand(id); }
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

TEST_F(DefaultScriptTest, OneFileListsItsFolderInCollationOrderAndTheEndsHold)
{
    // Byte order would put B before a; the collation puts a first.
    writeJpeg(pictures / "a.jpg", 30, 20);
    writeFile(pictures / "B.bmp", bmpBytes(40, 10));
    writeJpeg(pictures / "c.JPG", 50, 60);
    writeFile(pictures / "notes.txt", "not a picture");
    start({pictures / "B.bmp"});

    EXPECT_EQ(title(), "B.bmp (2/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 40);
    EXPECT_CONTAINS(status(), "40 x 10");
    EXPECT_CONTAINS(status(), "BMP, 24 bit");

    command(PrevImage);
    EXPECT_EQ(title(), "a.jpg (1/3) - Selvarin");
    EXPECT_CONTAINS(status(), "30 x 20  JPEG, 24 bit");
    command(PrevImage);
    EXPECT_EQ(title(), "a.jpg (1/3) - Selvarin") << "no wrap at the start";
    EXPECT_EQ(shownWidth(), 30);
    EXPECT_CONTAINS(status(), "first picture");

    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin");
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin") << "no wrap at the end";
    EXPECT_EQ(shownWidth(), 50);
    EXPECT_CONTAINS(status(), "last picture");
    // With the end-of-list option on but no dialog to show, the end behaves the same.
    command(StopDialog);
    EXPECT_TRUE(checked(StopDialog));
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin");
    EXPECT_CONTAINS(status(), "last picture");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, UnreadablePicturesAreSkippedWithAStatusMessage)
{
    writeFile(pictures / "1.bmp", bmpBytes(11, 11));
    writeFile(pictures / "2.jpg", std::string("\xFF\xD8garbage after a JPEG signature", 32));
    std::string truncated = bmpBytes(20, 20);
    truncated.resize(truncated.size() / 2);
    writeFile(pictures / "3.bmp", truncated);
    writeFile(pictures / "4.bmp", bmpBytes(44, 44));
    start({pictures / "1.bmp"});
    ASSERT_EQ(title(), "1.bmp (1/4) - Selvarin");

    command(NextImage);
    EXPECT_EQ(title(), "4.bmp (4/4) - Selvarin");
    EXPECT_EQ(shownWidth(), 44);
    EXPECT_CONTAINS(status(), "Skipped: 2.jpg is damaged (and 1 more)");
    EXPECT_CONTAINS(status(), "44 x 44");

    // A listed file deleted meanwhile is passed over too; the picture stays at the start.
    fs::remove(pictures / "1.bmp");
    command(PrevImage);
    EXPECT_EQ(title(), "4.bmp (4/4) - Selvarin");
    EXPECT_EQ(shownWidth(), 44);
    EXPECT_CONTAINS(status(), "(and 2 more)");
    EXPECT_CONTAINS(status(), "first picture");
    EXPECT_EQ(boxes(), "") << "bad picture data never shows an error box";
}

TEST_F(DefaultScriptTest, ACorruptStartFileMovesOnToTheNextReadableOne)
{
    writeFile(pictures / "a.jpg", std::string("\xFF\xD8\xFF\xE0", 4));
    writeFile(pictures / "b.bmp", bmpBytes(7, 5));
    start({pictures / "a.jpg"});
    EXPECT_EQ(title(), "b.bmp (2/2) - Selvarin");
    EXPECT_CONTAINS(status(), "Skipped: a.jpg is damaged.");

    // Only unreadable pictures: nothing shown, and the status says why.
    stop();
    fs::remove(pictures / "b.bmp");
    writeFile(pictures / "c.bmp", "BM");
    start({pictures / "a.jpg"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(application->frontImage(), nullptr);
    EXPECT_CONTAINS(status(), "None of the pictures could be read.");
    command(NextImage);
    command(PrevImage);
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, FoldersAndSeveralFiles)
{
    fs::create_directories(pictures / "set");
    fs::create_directories(pictures / "empty");
    writeFile(pictures / "set" / "x.bmp", bmpBytes(3, 3));
    writeFile(pictures / "set" / "y.bmp", bmpBytes(4, 4));
    writeFile(pictures / "set" / "z.txt", "text");
    writeFile(pictures / "lone.bmp", bmpBytes(5, 5));

    start({pictures / "set"});
    EXPECT_EQ(title(), "x.bmp (1/2) - Selvarin");
    stop();

    // Several paths keep their order; a folder among them stands for its pictures.
    start({pictures / "lone.bmp", pictures / "set", pictures / "missing.bmp"});
    EXPECT_EQ(title(), "lone.bmp (1/3) - Selvarin");
    EXPECT_CONTAINS(status(), "missing.bmp was not found");
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "y.bmp (3/3) - Selvarin");
    stop();

    start({pictures / "empty"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_CONTAINS(status(), "There are no pictures to show.");
    command(NextImage);
    EXPECT_CONTAINS(status(), "There are no pictures in the list.");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, AFolderOfTenThousandFiles)
{
    // Only the first and the last can be read: a page turn passes over all the rest.
    char name[32];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(name, sizeof name, "%05d.bmp", i);
        if (i == 0 || i == 9999)
            writeFile(pictures / name, bmpBytes(i == 0 ? 2 : 9, 2));
        else
            writeFile(pictures / name, "");
    }
    start({pictures / "00000.bmp"});
    EXPECT_EQ(title(), "00000.bmp (1/10000) - Selvarin");
    command(NextImage);
    EXPECT_EQ(title(), "09999.bmp (10000/10000) - Selvarin");
    EXPECT_EQ(shownWidth(), 9);
    EXPECT_CONTAINS(status(), "Skipped: 00001.bmp is not a picture this viewer can read (and 9997 more)");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, DropsStartANewList)
{
    fs::create_directories(pictures / "dropped");
    fs::create_directories(pictures / "empty");
    writeFile(pictures / "first.bmp", bmpBytes(6, 6));
    writeFile(pictures / "dropped" / "p.bmp", bmpBytes(8, 8));
    writeFile(pictures / "dropped" / "q.bmp", bmpBytes(9, 9));
    writeFile(pictures / "other.bmp", bmpBytes(10, 10));
    start({pictures / "first.bmp"});
    ASSERT_EQ(title(), "first.bmp (1/2) - Selvarin");

    drop({pictures / "dropped", pictures / "other.bmp"});
    EXPECT_EQ(title(), "p.bmp (1/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 8);
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "other.bmp (3/3) - Selvarin");

    // One dropped file stands for its folder, as on the command line.
    drop({pictures / "dropped" / "q.bmp"});
    EXPECT_EQ(title(), "q.bmp (2/2) - Selvarin");

    drop({pictures / "empty"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(application->frontImage(), nullptr);
    EXPECT_CONTAINS(status(), "no pictures in empty");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, EveryNameIsShownAndOpens)
{
    // Names Shift JIS cannot spell beside names it can; each picture has its own width.
    const std::vector<std::string> names = {"caf\u00e9.jpg", "\u00c4\u00d6\u00dc.jpg", "\uc0ac\uc9c4.jpg",
                                            "emoji\U0001F600.jpg", "plain.jpg", "\u9ad9\u6a4b.jpg", "\u03a9mega.jpg"};
    std::map<std::string, int> widths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        writeJpeg(pictures / names[i], 10 + static_cast<int>(i), 5);
        widths[names[i]] = 10 + static_cast<int>(i);
    }
    start({pictures / "caf\u00e9.jpg"});
    EXPECT_EQ(title().substr(0, title().find(" (")), "caf\u00e9.jpg");
    EXPECT_CONTAINS(title(), "/7) - Selvarin");
    EXPECT_EQ(shownWidth(), widths["caf\u00e9.jpg"]);
    command(StartupOpenLast);

    // The whole list pages through: every name reaches its file.
    for (int i = 0; i < 7; ++i)
        command(PrevImage);
    std::set<std::string> shown;
    for (int i = 0; i < 7; ++i) {
        const std::string name = title().substr(0, title().find(" ("));
        ASSERT_TRUE(widths.count(name)) << title();
        EXPECT_EQ(shownWidth(), widths[name]) << name;
        EXPECT_EQ(status().find("Skipped"), std::string::npos) << status();
        shown.insert(name);
        command(NextImage);
    }
    EXPECT_EQ(shown.size(), 7u);

    // The settings file keeps the name so that it opens the same picture next time.
    for (int i = 0; i < 7 && title().rfind("caf\u00e9.jpg", 0) != 0; ++i)
        command(PrevImage);
    stop();
    EXPECT_EQ(readFile(settingsFile()).find("caf?"), std::string::npos);
    start();
    EXPECT_EQ(title().substr(0, title().find(" (")), "caf\u00e9.jpg");
    EXPECT_EQ(shownWidth(), widths["caf\u00e9.jpg"]);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, ADroppedNameThatIsNotUtf8Opens)
{
    fs::create_directories(pictures / "latin");
    writeFile(pictures / "latin" / "\xe9t\xe9.bmp", bmpBytes(17, 5));
    start();
    QMimeData mime;
    mime.setUrls({platform::localUrlOfOsPath((pictures / "latin" / "\xe9t\xe9.bmp").string())});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(application->imageView()->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(application->imageView()->viewport(), &drop);
    EXPECT_EQ(shownWidth(), 17) << status();
    EXPECT_EQ(title(), "\ufffdt\ufffd.bmp (1/1) - Selvarin") << "bytes that spell nothing show as replacement characters";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, BackgroundCommands)
{
    start();
    EXPECT_EQ(title(), "Selvarin");
    command(BackgroundBlack);
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_TRUE(checked(BackgroundBlack));

    command(BackgroundPattern);
    const gfx::NxSurface* pattern = application->backgroundImage();
    ASSERT_NE(pattern, nullptr);
    EXPECT_TRUE(checked(BackgroundPattern));
    EXPECT_FALSE(checked(BackgroundBlack));
    ASSERT_EQ(pattern->width(), 16);
    ASSERT_EQ(pattern->height(), 16);
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = pattern->pixels().row(y) + 4 * x;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    };
    EXPECT_EQ(pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(8, 0), 0xFFCCCCCCu);
    EXPECT_EQ(pixel(0, 8), 0xFFCCCCCCu);
    EXPECT_EQ(pixel(15, 15), 0xFFFFFFFFu);

    command(BackgroundWhite);
    EXPECT_EQ(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().backgroundColour, 0xFFFFFFu);
    EXPECT_TRUE(checked(BackgroundWhite));
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, CommandsWaitingForDialogsAreHarmless)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    start({pictures / "a.bmp"});
    for (int id : {OpenFile, OpenFolder, SaveAs, Copy})
        command(id);
    EXPECT_EQ(title(), "a.bmp (1/1) - Selvarin");
    EXPECT_EQ(shownWidth(), 4);
    // Saving and copying are offered only when the host can do them.
    EXPECT_EQ(enabled(SaveAs), eval("type(app.showFileSaveDialog)") == "function");
    EXPECT_EQ(enabled(Copy), eval("type(app.setClipboardData)") == "function");
    EXPECT_FALSE(checked(Copy));
    EXPECT_EQ(boxes(), "");
}

// The open, save and copy commands with a person answering the dialogs.
TEST_F(DefaultScriptTest, MenuCommandsOpenSaveAndCopyThroughTheDialogs)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    writeFile(pictures / "b.bmp", bmpBytes(6, 4));
    fs::create_directories(pictures / "sub");
    writeFile(pictures / "sub" / "c.bmp", bmpBytes(8, 4));
    start({pictures / "a.bmp"});
    platform::setNonInteractive(false);
    EXPECT_TRUE(frame()->action(OpenFile)->shortcuts().contains(QKeySequence("Ctrl+O")));
    EXPECT_TRUE(frame()->action(OpenFolder)->shortcuts().contains(QKeySequence("Ctrl+F")));
    const auto type = [](QFileDialog& d, const QString& text) {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        QMetaObject::invokeMethod(&d, "accept");
    };
    {
        guitest::DialogDriver driver;
        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(pictures.string())) << "starts at the shown picture";
            EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles);
            type(d, "b.bmp");
        });
        command(OpenFile);
        EXPECT_EQ(title(), "b.bmp (2/2) - Selvarin");
        EXPECT_EQ(shownWidth(), 6);

        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
            type(d, "sub");
        });
        command(OpenFolder);
        EXPECT_EQ(title(), "c.bmp (1/1) - Selvarin");
        EXPECT_EQ(shownWidth(), 8);

        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), "c.bmp");
            type(d, "saved");
        });
        command(SaveAs);
        EXPECT_TRUE(fs::exists(pictures / "sub" / "saved.bmp")) << "the default extension was added";
        EXPECT_CONTAINS(status(), "saved.bmp");

        command(Copy);
        EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(8, 4));

        // At the end of the list with the option on: the four-button dialog, then a folder.
        command(StopDialog);
        driver.then<QDialog>([](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("second"))->click(); }, "optionalDialog")
            .then<QFileDialog>([&](QFileDialog& d) { type(d, QString::fromStdString(pictures.string())); });
        command(NextImage);
        EXPECT_EQ(title(), "a.bmp (1/2) - Selvarin");
        EXPECT_EQ(driver.stepsLeft(), 0);
    }
    platform::setNonInteractive(true);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, SettingsAreWrittenAtExitAndReadOnTheNextStart)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    writeFile(pictures / "b.bmp", bmpBytes(5, 5));
    writeFile(pictures / "c.bmp", bmpBytes(6, 6));
    start({pictures / "a.bmp"});
    EXPECT_FALSE(checked(StartupOpenLast));
    EXPECT_FALSE(checked(StopDialog));
    command(StartupOpenLast);
    command(StopDialog);
    command(BackgroundPattern);
    command(ScaleHalf);
    command(LinearFilter);
    command(WheelFast);
    command(NextImage);
    eval("app.setWindowRect('restoredMain', {x = 30, y = 40, cx = 500, cy = 400})");
    const bool filterBefore = application->viewState().linearFilter;
    stop();

    const std::string text = readFile(settingsFile());
    EXPECT_CONTAINS(text, "startupOpenLastFile = true");
    EXPECT_CONTAINS(text, "background = \"pattern\"");
    EXPECT_CONTAINS(text, "position = 2");
    EXPECT_CONTAINS(text, "window = { x = 30, y = 40, cx = 500, cy = 400 }");
    EXPECT_FALSE(fs::exists(config / "selvarin-settings.lua"));

    start();
    EXPECT_EQ(title(), "b.bmp (2/3) - Selvarin") << "the last list at its last position";
    EXPECT_TRUE(checked(StartupOpenLast));
    EXPECT_TRUE(checked(StopDialog));
    EXPECT_NE(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().adjustMode, 0);
    EXPECT_EQ(application->viewState().scaling, 0.5);
    EXPECT_EQ(application->viewState().linearFilter, filterBefore);
    EXPECT_EQ(application->viewState().wheelRate, 8.0);
    // FIXME: the host turns a rectangle set before the window's first show into a geometry
    // without the frame's margins, so it comes back off by those few pixels.
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').x")), 30, 8);
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').y")), 40, 8);
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').cx")), 500, 8);
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').cy")), 400, 8);

    // Files on the command line win over the remembered list.
    command(BackgroundWhite);
    stop();
    start({pictures / "c.bmp"});
    EXPECT_EQ(title(), "c.bmp (3/3) - Selvarin");
    EXPECT_EQ(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().backgroundColour, 0xFFFFFFu);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, AnExitWithoutTheMainWindowKeepsTheRememberedViewSettings)
{
    start();
    command(BackgroundBlack);
    command(ScaleHalf);
    stop();
    start();
    command(StartupOpenLast);
    // Only the host's own shut-down: the view state is no longer reachable when the script runs.
    shutdownOnly();
    start();
    EXPECT_TRUE(checked(StartupOpenLast)) << "the script's own state is written";
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_EQ(application->viewState().scaling, 0.5);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, WithoutItsFolderTheSettingsFileSitsAtTheConfigurationRoot)
{
    fs::remove_all(config / "selvarin");
    start();
    command(StartupOpenLast);
    command(BackgroundBlack);
    stop();
    ASSERT_TRUE(fs::exists(config / "selvarin-settings.lua"));
    start();
    EXPECT_TRUE(checked(StartupOpenLast));
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, DamagedSettingsAreIgnoredAndRewritten)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    const std::string damaged[] = {
        "-- Selvarin settings\nreturn {\n  startupOpenLastFile = true,\n  files = {\n    \"\\\\x",
        std::string("\x00\x01\x02\xFF garbage", 12),
        "return 42",
        "return { startupOpenLastFile = 1, scaling = 'big', wheelRate = -3, adjustMode = 'sideways',\n"
        "  background = 'pattern\\\"', window = 5, files = 7, position = 'x', linearFilter = 'no' }",
        "return { files = { 1, {}, true }, position = -4, startupOpenLastFile = true,\n"
        "  window = { x = 1e300, y = 0, cx = 500, cy = 400 }, scaling = 0 }",
    };
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content);
        writeFile(settingsFile(), content);
        start({pictures / "a.bmp"});
        EXPECT_FALSE(checked(StopDialog));
        EXPECT_EQ(application->viewState().scaling, 1.0);
        EXPECT_EQ(application->viewState().wheelRate, 4.0);
        EXPECT_EQ(application->backgroundImage(), nullptr);
        EXPECT_EQ(title(), "a.bmp (1/1) - Selvarin");
        EXPECT_EQ(boxes(), "") << "a damaged settings file is ignored quietly";
        stop();
        // Rewritten at exit into a file that reads back.
        const std::string text = readFile(settingsFile());
        EXPECT_CONTAINS(text, "return {");
        EXPECT_CONTAINS(text, "a.bmp");
    }
}

TEST_F(DefaultScriptTest, StrangeFileNamesSurviveTheSettingsFile)
{
    // A quote, a tab and a Japanese name whose second byte in code page 932 is a backslash (ソ).
    const std::string names[] = {"quote\"d.bmp", "tab\td.bmp", "\xE3\x82\xBD.bmp"};
    for (const std::string& n : names)
        writeFile(pictures / n, bmpBytes(3, 3));
    start({pictures / names[0], pictures / names[1], pictures / names[2]});
    ASSERT_EQ(title(), "quote\"d.bmp (1/3) - Selvarin");
    command(StartupOpenLast);
    command(NextImage);
    command(NextImage);
    stop();
    start();
    EXPECT_EQ(title(), "\xE3\x82\xBD.bmp (3/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 3);
    EXPECT_EQ(boxes(), "");
}

}  // namespace
