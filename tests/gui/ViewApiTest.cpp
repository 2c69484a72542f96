#include "tools/FileListFrame.h"
#include "AppFixture.h"

#include "app/MainFrame.h"
#include "gfx/NxSurface.h"
#include "view/ImageView.h"

#include <QTest>

namespace {

// The view and window members of `app` against the real main window.
class ViewApiTest : public guitest::AppFixture {
protected:
    std::string eval(const std::string& expression) { return guitest::evalScript(*application, expression); }
};

TEST_F(ViewApiTest, ImagesReachTheViewAndReleasingOneClearsIt)
{
    startWith(startScript("pic = app.createSurface(120, 80)\nbg = app.createSurface(32, 32)\n"));
    run("assert(app.setImage(pic)) assert(app.setBgImage(bg))");
    ASSERT_NE(application->frontImage(), nullptr);
    EXPECT_EQ(application->frontImage()->width(), 120);
    EXPECT_NE(application->backgroundImage(), nullptr);

    run("pic:release()");
    EXPECT_EQ(application->frontImage(), nullptr) << "the view let go before the pixels were freed";
    application->imageView()->viewport()->repaint();  // must not touch freed pixels

    run("app.setBgColor('000000')");
    EXPECT_EQ(application->backgroundImage(), nullptr);
    EXPECT_EQ(eval("app.getBgImage()"), "nil");
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
}

TEST_F(ViewApiTest, ViewStateThroughTheScript)
{
    startWith(startScript());
    run("app.setViewScaling(0.5) app.setWheelRate(8) app.setUseLinearFilter(false)");
    EXPECT_EQ(application->viewState().adjustMode, 0);
    EXPECT_EQ(application->viewState().scaling, 0.5);
    EXPECT_EQ(application->viewState().wheelRate, 8.0);
    EXPECT_FALSE(application->viewState().linearFilter);
    run("app.setAdustMode('height')");
    EXPECT_EQ(application->viewState().adjustMode, 4);
    application->mainFrame()->refreshStates();
    EXPECT_TRUE(application->mainFrame()->action(32778)->isChecked()) << "the menu follows script changes";
}

TEST_F(ViewApiTest, TitleAndStatusText)
{
    startWith(startScript());
    EXPECT_EQ(eval("app.getFrameTitle()"), "Selvarin");
    run("app.setFrameTitle('photo.jpg - Selvarin') app.setStatusText('800 x 600')");
    EXPECT_EQ(application->mainFrame()->windowTitle(), "photo.jpg - Selvarin");
    EXPECT_EQ(application->mainFrame()->statusText(), "800 x 600");
}

TEST_F(ViewApiTest, WindowModesAndRectangles)
{
    startWith(startScript());
    EXPECT_EQ(eval("app.getMainWindowMode()"), "normal");
    run("app.setWindowRect('main', {x = 40, y = 50, cx = 700, cy = 500})");
    QCoreApplication::processEvents();
    EXPECT_EQ(eval("app.getWindowRect('main').x"), "40");
    EXPECT_EQ(eval("app.getWindowRect('main').cx"), "700");
    EXPECT_EQ(eval("(app.getWindowRect('filelist'))"), "nil");
    EXPECT_EQ(eval("(app.getWindowRect('nonsense'))"), "nil");
    run("app.setWindowRect('filelist', {x = 5, y = 6, cx = 300, cy = 200})");
    EXPECT_EQ(eval("(app.getWindowRect('filelist'))"), "nil") << "a file list never shown is no window yet";

    // Once shown, the file list answers to its name; hiding it again keeps the window.
    application->fileList()->show();
    QCoreApplication::processEvents();
    application->fileList()->hide();
    run("app.setWindowRect('filelist', {x = 30, y = 35, cx = 320, cy = 240})");
    QCoreApplication::processEvents();
    EXPECT_EQ(eval("app.getWindowRect('filelist').x"), "30");
    EXPECT_EQ(eval("app.getWindowRect('filelist').y"), "35");
    EXPECT_EQ(eval("app.getWindowRect('filelist').cx"), "320");
    EXPECT_EQ(eval("app.getWindowRect('filelist').cy"), "240");
    EXPECT_EQ(eval("app.getWindowRect('main').x"), "40") << "placing a tool window leaves the main window";
    EXPECT_EQ(eval("(app.getWindowRect('console'))"), "nil");

    run("app.setMainWindowMode('fullscreen') app.setMainWindowMode('fullscreen')");
    QCoreApplication::processEvents();
    EXPECT_EQ(eval("app.getMainWindowMode()"), "fullscreen");
    EXPECT_EQ(eval("app.getWindowRect('restoredMain').x"), "40") << "the restore rectangle while in full screen";
    run("app.setWindowRect('restoredMain', {x = 60, y = 70, cx = 640, cy = 480})");
    run("app.setMainWindowMode('normal')");
    QCoreApplication::processEvents();
    EXPECT_EQ(eval("app.getMainWindowMode()"), "normal");
    EXPECT_EQ(application->mainFrame()->frameGeometry(), QRect(60, 70, 640, 480));
}

// Numbers no screen has (NaN, infinities, 32-bit extremes) place the window somewhere sound.
TEST_F(ViewApiTest, RectanglesBeyondAnyScreenAreHeldWithinRange)
{
    startWith(startScript());
    application->fileList()->show();
    QCoreApplication::processEvents();
    for (const char* rect : {"{x = 0/0, y = 1/0, cx = -1/0, cy = 0/0}",
                             "{x = 2^31 - 1, y = -2^31, cx = 2^31 - 1, cy = -2^31}",
                             "{x = 1e300, y = -1e300, cx = 1e300, cy = -1e300}"}) {
        run(std::string("app.setWindowRect('filelist', ") + rect + ")");
        QCoreApplication::processEvents();
        EXPECT_EQ(eval("math.abs(app.getWindowRect('filelist').x) <= 2^24 and math.abs(app.getWindowRect('filelist').y) <= 2^24"),
                  "true")
            << rect;
    }
    run("app.setWindowRect('filelist', {x = 30, y = 35, cx = 320, cy = 240})");
    QCoreApplication::processEvents();
    EXPECT_EQ(eval("app.getWindowRect('filelist').cx"), "320") << "the window still follows";
}

TEST_F(ViewApiTest, DrawScreenCopiesOntoTheView)
{
    startWith(startScript("pic = app.createSurface(16, 16)\n"));
    EXPECT_EQ(eval("app.drawScreen(pic)"), "true");
    EXPECT_NE(eval("pcall(app.drawScreen, {})"), "true");
}

}  // namespace
