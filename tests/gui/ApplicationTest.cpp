#include "app/Application.h"
#include "app/MainFrame.h"
#include "app/Version.h"

#include "platform/Dialogs.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A module folder of its own for each test, with script/start.lua beside a pretend executable.
class ApplicationTest : public ::testing::Test {
protected:
    fs::path module = fs::temp_directory_path() / ("selvarin-app-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path initialDirectory = fs::current_path();

    void SetUp() override { fs::create_directories(module / "script"); }
    void TearDown() override
    {
        fs::current_path(initialDirectory);
        fs::remove_all(module);
    }

    void writeStartScript(const std::string& code) { std::ofstream(module / "script" / "start.lua") << code; }

    static std::string read(const fs::path& p)
    {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::unique_ptr<app::Application> makeApp(std::vector<std::string> files = {})
    {
        app::CommandLine line;
        line.fileArguments = std::move(files);
        return std::make_unique<app::Application>(line, platform::fromOsPath(module.string()));
    }
};

TEST_F(ApplicationTest, StartScriptRunsInTheScriptFolderAndEventsInTheModuleFolder)
{
    writeStartScript(
        "local f = io.open('at-start.txt', 'w') f:write('start') f:close()\n"
        "function onInitializeApp(files)\n"
        "  local g = io.open('at-init.txt', 'w')\n"
        "  g:write(table.getn(files), '|', files[1] or '', '|', files[2] or '')\n"
        "  g:close()\n"
        "end\n");
    auto application = makeApp({"C:\\a.jpg", "\\abs\\b.png"});
    ASSERT_TRUE(application->start());
    EXPECT_EQ(read(module / "script" / "at-start.txt"), "start");
    EXPECT_EQ(read(module / "at-init.txt"), "2|C:\\a.jpg|\\abs\\b.png");
    ASSERT_NE(application->mainFrame(), nullptr);
    EXPECT_TRUE(application->mainFrame()->isVisible());
    EXPECT_EQ(application->mainFrame()->windowTitle(), "Selvarin");
    EXPECT_EQ(platform::mainWindow(), application->mainFrame());
    application->shutdown();
    EXPECT_EQ(platform::mainWindow(), nullptr);
}

TEST_F(ApplicationTest, NoFilesGiveAnEmptyTable)
{
    writeStartScript("function onInitializeApp(files) local g = io.open('n.txt', 'w') g:write(type(files), table.getn(files)) g:close() end");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    EXPECT_EQ(read(module / "n.txt"), "table0");
}

TEST_F(ApplicationTest, MissingStartScriptFailsWithOnlyTheInitialisationMessage)
{
    auto application = makeApp();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(application->start());
    const std::string boxes = testing::internal::GetCapturedStderr();
    EXPECT_EQ(boxes, "MessageBox[Selvarin]: アプリケーションの初期化に失敗しました。\n");
    EXPECT_EQ(application->mainFrame(), nullptr);
}

TEST_F(ApplicationTest, FailingStartScriptShowsTheScriptErrorFirst)
{
    writeStartScript("this is not lua");
    auto application = makeApp();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(application->start());
    const std::string boxes = testing::internal::GetCapturedStderr();
    const auto scriptError = boxes.find("MessageBox[スクリプトエラー]: Lua 文法エラー(3)：");
    const auto initError = boxes.find("MessageBox[Selvarin]: アプリケーションの初期化に失敗しました。");
    ASSERT_NE(scriptError, std::string::npos) << boxes;
    ASSERT_NE(initError, std::string::npos) << boxes;
    EXPECT_LT(scriptError, initError);
    EXPECT_NE(boxes.find("start.lua:1:"), std::string::npos) << boxes;
}

TEST_F(ApplicationTest, ErrorsInInitialiseAndReleaseAreReportedAndStartUpGoesOn)
{
    writeStartScript("function onInitializeApp() error('init broke') end\nfunction onReleaseApp() error('release broke') end");
    auto application = makeApp();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(application->start());
    application->shutdown();
    const std::string boxes = testing::internal::GetCapturedStderr();
    EXPECT_NE(boxes.find("init broke"), std::string::npos);
    EXPECT_NE(boxes.find("release broke"), std::string::npos);
}

TEST_F(ApplicationTest, IdlePassesTakeScriptOutputSoItNeverPilesUp)
{
    writeStartScript("io.write('written at start') io.stderr:write(' and to error')");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    // An event loop that waits for a timer blocks at least once: an idle pass.
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(application->engine()->takeOutput(), "") << "the idle pass took the output";
}

TEST_F(ApplicationTest, ReadingStandardInputDoesNotWait)
{
    writeStartScript("line = io.read('*l') ; chunk = io.read(10)");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    lua_State* L = application->engine()->state();
    lua_getglobal(L, "line");
    lua_getglobal(L, "chunk");
    EXPECT_TRUE(lua_isnil(L, -1));
    EXPECT_TRUE(lua_isnil(L, -2));
    lua_pop(L, 2);
}

int mainWindowExists(lua_State* L)
{
    lua_pushboolean(L, platform::mainWindow() && platform::mainWindow()->isWindow());
    return 1;
}

TEST_F(ApplicationTest, ReleaseIsRaisedWhileTheMainWindowExists)
{
    writeStartScript("function onReleaseApp() local f = io.open('release.txt', 'w') f:write(tostring(mainWindowExists()), ' ', tostring(app.getMainWindowMode())) f:close() end");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    lua_register(application->engine()->state(), "mainWindowExists", mainWindowExists);
    application->mainFrame()->close();
    application->shutdown();
    EXPECT_EQ(read(module / "release.txt"), "true normal") << "the window and its state are still reachable";
    EXPECT_EQ(application->engine(), nullptr) << "the engine is gone after shut-down";
    application->shutdown();  // a second shut-down does nothing
}

TEST_F(ApplicationTest, EscapeAsksAndClosesOnYes)
{
    writeStartScript("");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    app::MainFrame* frame = application->mainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    testing::internal::CaptureStderr();
    QTest::keyClick(frame, Qt::Key_Escape);
    const std::string boxes = testing::internal::GetCapturedStderr();
    EXPECT_EQ(boxes, "MessageBox[終了の確認]: Selvarinを終了してよろしいですか？\n");
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->isVisible()) << "the close request was posted and handled";
}

TEST_F(ApplicationTest, EscapeInFullScreenOnlyLeavesFullScreen)
{
    writeStartScript("");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    app::MainFrame* frame = application->mainFrame();
    frame->setFullScreenMode(true);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    ASSERT_TRUE(frame->isFullScreen());
    testing::internal::CaptureStderr();
    QTest::keyClick(frame, Qt::Key_Escape);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame->isFullScreen());
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(ApplicationTest, AboutBoxShowsProductAndVersion)
{
    writeStartScript("");
    auto application = makeApp();
    ASSERT_TRUE(application->start());
    application->mainFrame()->showAbout();
    auto* box = application->mainFrame()->findChild<QDialog*>("aboutBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "バージョン情報");
    auto* text = box->findChild<QLabel*>("versionText");
    ASSERT_NE(text, nullptr);
    const app::Version& v = app::version();
    EXPECT_EQ(text->text(), QString("Selvarin %1.%2.%3 build %4").arg(v.major).arg(v.minor).arg(v.patch).arg(v.build));
    box->close();
}

}  // namespace
