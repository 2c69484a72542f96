#include "../gui/AppFixture.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Runs under a real X server with a window manager that adds a frame (see run-under-wm.sh):
// offscreen windows have no frame, so they cannot show the difference between the kinds of
// rectangle.
class WindowManagerTest : public guitest::AppFixture {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X server with a window manager";
    }

    QWidget* mainWindow()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("app::MainFrame"))
                return w;
        return nullptr;
    }

    // Waits until the window manager has framed and placed the main window.
    void waitForFrame()
    {
        QWidget* frame = mainWindow();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame, 5000));
        (void)QTest::qWaitFor([&] { return frame->frameGeometry() != frame->geometry(); }, 5000);
        ASSERT_NE(frame->frameGeometry(), frame->geometry()) << "the window manager drew no frame";
        QTest::qWait(300);
    }

    std::string rect(const std::string& name)
    {
        return eval("(function() local r = app.getWindowRect('" + name +
                    "') return r.x .. ',' .. r.y .. ',' .. r.cx .. ',' .. r.cy end)()");
    }
    std::string eval(const std::string& e) { return guitest::evalScript(*application, e); }

    // A start-up script that sets the restore rectangle as a settings file would, before the
    // window is first shown.
    std::string restoringScript(const std::string& r)
    {
        return startScript("function onInitializeApp() app.setWindowRect('restoredMain', {" + r + "}) end\n");
    }
};

TEST_F(WindowManagerTest, RestoreRectangleSetAtStartRoundTripsOverRestarts)
{
    std::string saved = "x = 120, y = 90, cx = 640, cy = 480";
    std::string expected = "120,90,640,480";
    for (int start = 0; start < 3; ++start) {
        startWith(restoringScript(saved));
        waitForFrame();
        EXPECT_EQ(rect("restoredMain"), expected) << "start " << start;
        EXPECT_EQ(rect("main"), expected) << "start " << start;
        const std::string got = rect("restoredMain");
        application->shutdown();
        application.reset();
        int x, y, cx, cy;
        ASSERT_EQ(std::sscanf(got.c_str(), "%d,%d,%d,%d", &x, &y, &cx, &cy), 4) << got;
        saved = "x = " + std::to_string(x) + ", y = " + std::to_string(y) + ", cx = " + std::to_string(cx) +
                ", cy = " + std::to_string(cy);
    }
}

// A start-up script that shows a picture before a long task (listing a large folder) has the
// window framed and placed at the rectangle it restored by then, not first at another size.
TEST_F(WindowManagerTest, TheWindowShownForTheFirstPictureIsAlreadyPlaced)
{
    startWith(startScript("function onInitializeApp()\n"
                          "  app.setWindowRect('restoredMain', {x = 130, y = 70, cx = 700, cy = 520})\n"
                          "  pic = app.createSurface(300, 200)\n"
                          "  app.setImage(pic)\n"
                          "  local r = app.getWindowRect('view')\n"
                          "  atPicture = r.cx .. 'x' .. r.cy\n"
                          "end\n"));
    waitForFrame();
    EXPECT_EQ(rect("main"), "130,70,700,520");
    EXPECT_EQ(eval("atPicture"),
              eval("(function() local r = app.getWindowRect('view') return r.cx .. 'x' .. r.cy end)()"))
        << "the picture was first drawn at the size of the view it stays in";
}

// Restored maximised, the window never was framed in its normal state: the rectangle it gives
// back for the settings is still the one it was given, and restoring it goes there.
TEST_F(WindowManagerTest, AWindowStartedMaximisedKeepsItsRestoreRectangle)
{
    startWith(startScript("function onInitializeApp()\n"
                          "  app.setWindowRect('restoredMain', {x = 110, y = 90, cx = 640, cy = 480})\n"
                          "  app.setMainWindowMode('maximized')\n"
                          "  pic = app.createSurface(300, 200)\n"
                          "  app.setImage(pic)\n"
                          "end\n"));
    waitForFrame();
    EXPECT_EQ(eval("app.getMainWindowMode()"), "maximized");
    EXPECT_EQ(rect("restoredMain"), "110,90,640,480");
    run("app.setMainWindowMode('normal')");
    (void)QTest::qWaitFor([&] { return rect("main") == "110,90,640,480"; }, 3000);
    EXPECT_EQ(rect("main"), "110,90,640,480");
    EXPECT_EQ(rect("restoredMain"), "110,90,640,480");
}

TEST_F(WindowManagerTest, RectangleSetWhileShownIsTheOneReadBack)
{
    startWith(startScript());
    waitForFrame();
    run("app.setWindowRect('restoredMain', {x = 200, y = 150, cx = 500, cy = 400})");
    (void)QTest::qWaitFor([&] { return rect("restoredMain") == "200,150,500,400"; }, 3000);
    EXPECT_EQ(rect("restoredMain"), "200,150,500,400");
    run("app.setWindowRect('main', {x = 60, y = 50, cx = 700, cy = 500})");
    (void)QTest::qWaitFor([&] { return rect("main") == "60,50,700,500"; }, 3000);
    EXPECT_EQ(rect("main"), "60,50,700,500");
    EXPECT_EQ(rect("restoredMain"), "60,50,700,500");
}

TEST_F(WindowManagerTest, FullScreenGivesBackTheSameRestoreRectangle)
{
    startWith(restoringScript("x = 100, y = 80, cx = 600, cy = 450"));
    waitForFrame();
    run("app.setMainWindowMode('fullscreen')");
    QTest::qWait(500);
    EXPECT_EQ(rect("restoredMain"), "100,80,600,450");
    run("app.setMainWindowMode('normal')");
    (void)QTest::qWaitFor([&] { return rect("main") == "100,80,600,450"; }, 3000);
    EXPECT_EQ(rect("main"), "100,80,600,450");
    EXPECT_EQ(rect("restoredMain"), "100,80,600,450");
}

}  // namespace
