// The additions scripts may use beyond the standard events: onKeyDown, the configuration folder
// made at start-up and the view's rectangle.

#include "AppFixture.h"

#include "app/MainFrame.h"
#include "gfx/NxSurface.h"
#include "view/ImageView.h"

#include <QScrollBar>
#include <QTest>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class HostExtensionsTest : public guitest::AppFixture {
protected:
    view::ImageView* view() { return application->imageView(); }

    // onKeyDown logs its arguments and handles only the keys named in `handled`.
    std::string keyScript()
    {
        return startScript("handled = { Home = true, F5 = true, a = true }\n"
                           "function onKeyDown(key, modifiers)\n"
                           "  table.insert(log, 'key(' .. key .. ',' .. modifiers .. ')')\n"
                           "  return handled[key]\n"
                           "end\n");
    }
};

TEST_F(HostExtensionsTest, KeysNoControllerTookReachTheScript)
{
    startWith(keyScript());
    QTest::keyClick(view(), Qt::Key_Home);
    QTest::keyClick(view(), Qt::Key_F5, Qt::ShiftModifier | Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_A, Qt::ShiftModifier);
    EXPECT_EQ(takeLog(), "key(Home,) key(F5,Ctrl+Shift) key(a,Shift)");

    // The page-turn controller keeps its keys; the character accelerators stay the frame's.
    QTest::keyClick(view(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(takeLog(), "onNextImage()");
    const double before = application->viewState().scaling;
    QTest::keyClick(view(), Qt::Key_Plus, Qt::NoModifier);
    EXPECT_EQ(takeLog(), "");
    EXPECT_GT(application->viewState().scaling, before) << "+ still zooms in";
    // Modifier keys alone are not keys to a script.
    QTest::keyClick(view(), Qt::Key_Shift);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(HostExtensionsTest, AKeyTheScriptLeavesGetsTheStandardHandling)
{
    startWith(keyScript());
    auto picture = std::make_unique<gfx::NxSurface>(32);
    ASSERT_TRUE(picture->create(400, 5000));
    application->setAdjustMode(0);
    application->setFrontImage(picture.get());
    QScrollBar* bar = view()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    QTest::keyClick(view(), Qt::Key_PageDown);
    EXPECT_EQ(takeLog(), "key(PageDown,)");
    EXPECT_GT(bar->value(), 0) << "not handled: the view scrolls a page";

    // Handled: the standard handling does not run.
    run("handled.PageDown = true");
    const int at = bar->value();
    QTest::keyClick(view(), Qt::Key_PageDown);
    EXPECT_EQ(takeLog(), "key(PageDown,)");
    EXPECT_EQ(bar->value(), at);
    application->setFrontImage(nullptr);
}

TEST_F(HostExtensionsTest, AFailingKeyHandlerCountsAsNotHandled)
{
    startWith(startScript("function onKeyDown() error('broken') end\n"));
    QTest::keyClick(view(), Qt::Key_Home);
    // The error box was shown (non-interactive) and the application carries on.
    QTest::keyClick(view(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(takeLog(), "onNextImage()");
}

TEST_F(HostExtensionsTest, TheConfigurationFolderIsMadeAtStartUp)
{
    const fs::path config = module.string() + "-config";
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (config / "deeper").string().c_str());
    startWith(startScript("madeBeforeTheScript = app.getFileInfo(os.getenv('XDG_CONFIG_HOME') .. '/selvarin') ~= nil\n"));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    struct stat st {};
    ASSERT_EQ(::stat((config / "deeper" / "selvarin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "private to the user";
    EXPECT_EQ(guitest::evalScript(*application, "madeBeforeTheScript"), "true");
    fs::remove_all(config);
}

TEST_F(HostExtensionsTest, TheViewRectangleIsThePictureArea)
{
    startWith(startScript());
    application->mainFrame()->resize(640, 480);
    QCoreApplication::processEvents();
    const QWidget* area = view()->viewport();
    EXPECT_EQ(guitest::evalScript(*application, "app.getWindowRect('view').cx"), std::to_string(area->width()));
    EXPECT_EQ(guitest::evalScript(*application, "app.getWindowRect('view').cy"), std::to_string(area->height()));
    EXPECT_LT(area->height(), 480) << "menu, toolbar and status bar are not part of it";
}

}  // namespace

namespace {

// Fifty turns queued before the event loop turns (a held arrow's repeats, or presses) reach the
// script in order, each told how many are still queued behind it; any other event first
// delivers them.
TEST_F(HostExtensionsTest, WaitingTurnsAreDeliveredTogetherWithWhatIsQueued)
{
    startWith(keyScript());
    auto repeat = [this](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(view(), &event);
    };
    for (int i = 0; i < 50; ++i)
        repeat(Qt::Key_Right);
    EXPECT_EQ(takeLog(), "") << "nothing reaches the script while input is still being handled";
    QCoreApplication::processEvents();
    std::string expected;
    for (int pending = 49; pending > 0; --pending)
        expected += "onNextImage(" + std::to_string(pending) + ") ";
    expected += "onNextImage()";  // the landing turn takes no arguments, as a lone press
    EXPECT_EQ(takeLog(), expected);

    repeat(Qt::Key_Right);
    repeat(Qt::Key_Left);
    QTest::keyClick(view(), Qt::Key_Home);
    EXPECT_EQ(takeLog(), "onNextImage(1) onPrevImage() key(Home,)") << "the order of events holds";
    QTest::keyClick(view(), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(takeLog(), "onNextImage()") << "a single press as soon as the input with it is handled";

    // Separate presses that wait together are worked off together as well.
    for (int i = 0; i < 50; ++i)
        QCoreApplication::postEvent(view(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
    QCoreApplication::processEvents();  // the presses
    QCoreApplication::processEvents();  // the turns they queued
    EXPECT_EQ(takeLog(), expected);
}

}  // namespace
