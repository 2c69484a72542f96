#include "AppFixture.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "view/ImageView.h"

#include <QAction>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextLayout>
#include <QTest>
#include <QToolBar>

namespace {

using namespace app::commands;

class MainFrameTest : public guitest::AppFixture {
protected:
    app::MainFrame* frame() { return application->mainFrame(); }
    QAction* action(int id) { return frame()->action(id); }
    void refresh() { frame()->refreshStates(); }
    void activate()
    {
        frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    }
};

TEST_F(MainFrameTest, MenuCaptionsAndOrder)
{
    startWith(startScript());
    QStringList top;
    for (QAction* a : frame()->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "設定(&O)", "ﾍﾙﾌﾟ(&H)"}));
    EXPECT_EQ(action(OpenFolder)->text(), "フォルダを開く(&F)...\tCtrl+F");
    EXPECT_EQ(action(Scale25)->text(), "25%");
    EXPECT_EQ(action(LinearFilter)->statusTip(), "線形補間法で滑らかに拡大表示します。やや画像がぼやけます");
    EXPECT_EQ(action(LinearFilter)->toolTip(), "滑らかに拡大");
    EXPECT_EQ(frame()->toolBar()->actions().size(), 19);
    EXPECT_EQ(frame()->statusText(), " ");
    QStringList panes, lit;
    for (QLabel* pane : frame()->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        panes << pane->text();
        if (pane->isEnabled())
            lit << pane->text();
    }
    EXPECT_EQ(panes, (QStringList{" ", "ページ/総ページ数", "CAP", "NUM", "SCRL"}));
    EXPECT_EQ(lit, (QStringList{" ", "ページ/総ページ数"})) << "no lock key shown as on";
}

// Digits and letters beside Japanese text come from the same font as the Japanese, not from a
// monospace fallback that makes "100%" narrower than the "300" after it.
TEST_F(MainFrameTest, StatusTextIsDrawnInOneFont)
{
    startWith(startScript());
    if (!QFontDatabase::hasFamily("IPAPGothic") && !QFontDatabase::hasFamily("Noto Sans CJK JP"))
        GTEST_SKIP() << "no proportional Japanese font installed";
    QTextLayout layout(QString::fromUtf8("最後の画像です  100%  400 x 300  JPEG 24ビット"), frame()->statusBar()->font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun& run : layout.glyphRuns())
        if (!families.contains(run.rawFont().familyName()))
            families << run.rawFont().familyName();
    EXPECT_EQ(families.size(), 1) << families.join(", ").toStdString();
}

TEST_F(MainFrameTest, CopyStateFollowsTheScript)
{
    startWith(startScript());
    refresh();
    EXPECT_TRUE(action(EditCopy)->isEnabled()) << "no handler defined: enabled";
    EXPECT_FALSE(action(EditCopy)->isChecked());

    run("function onUpdateEditCopy() return false, true end");
    refresh();
    EXPECT_FALSE(action(EditCopy)->isEnabled());
    EXPECT_TRUE(action(EditCopy)->isChecked());

    run("function onUpdate_saveFile() end");
    refresh();
    EXPECT_FALSE(action(FileSaveAs)->isEnabled()) << "nil is false";
    run("function onUpdate_saveFile() return 1 end");
    refresh();
    EXPECT_TRUE(action(FileSaveAs)->isEnabled());
}

TEST_F(MainFrameTest, CommandsWithoutAHandlerStayDisabled)
{
    startWith(startScript());
    for (int id : {Print, PrintPreview, PrintSetup, EditPaste, EditCut, EditUndo, NextPane, ImageOnlyInFullScreen, OperateViewer})
        EXPECT_FALSE(action(id)->isEnabled()) << id;
    for (int id : {OpenFolder, FileOpen, NextImage, PrevImage, ZoomIn, ZoomOut, About, ExitRequest, FullScreen, OperatePager})
        EXPECT_TRUE(action(id)->isEnabled()) << id;
    EXPECT_TRUE(action(OperatePager)->isChecked()) << "page-turn mode is the default";
}

TEST_F(MainFrameTest, FixedScalingsAndFitModesCheckExclusively)
{
    startWith(startScript());
    refresh();
    EXPECT_TRUE(action(AdjustWidth)->isChecked()) << "fit width by default";
    frame()->runCommand(Scale25);
    refresh();
    EXPECT_EQ(application->viewState().adjustMode, 0);
    EXPECT_EQ(application->viewState().scaling, 0.25);
    EXPECT_TRUE(action(Scale25)->isChecked());
    for (int id : {AdjustLessor, AdjustGreator, AdjustWidth, AdjustHeight, Scale50})
        EXPECT_FALSE(action(id)->isChecked()) << id;

    application->setScaling(0.51);
    refresh();
    for (int id : {Scale25, Scale50, Scale75, Scale100})
        EXPECT_FALSE(action(id)->isChecked()) << "exact comparison: " << id;
    frame()->runCommand(ZoomIn);
    EXPECT_EQ(application->viewState().scaling, 0.75);
    frame()->runCommand(AdjustGreator);
    refresh();
    EXPECT_TRUE(action(AdjustGreator)->isChecked());
    EXPECT_FALSE(action(Scale75)->isChecked()) << "a fixed scaling is checked only in mode 0";
}

TEST_F(MainFrameTest, WheelRatesFilterAndBackgrounds)
{
    startWith(startScript());
    frame()->runCommand(WheelFast);
    refresh();
    EXPECT_EQ(application->viewState().wheelRate, 8.0);
    EXPECT_TRUE(action(WheelFast)->isChecked());
    EXPECT_FALSE(action(WheelNormal)->isChecked());
    application->setWheelRate(0);
    EXPECT_EQ(application->viewState().wheelRate, 0.1);

    frame()->runCommand(LinearFilter);
    refresh();
    EXPECT_FALSE(application->viewState().linearFilter);
    EXPECT_FALSE(action(LinearFilter)->isChecked());

    refresh();
    EXPECT_TRUE(action(BgWhite)->isChecked());
    application->setBackgroundColour(0);
    refresh();
    EXPECT_TRUE(action(BgBlack)->isChecked());
    EXPECT_FALSE(action(BgWhite)->isChecked());

    // The background commands only ask the script.
    frame()->runCommand(BgWhite);
    frame()->runCommand(BgBlack);
    frame()->runCommand(BgPattern);
    EXPECT_EQ(takeLog(), "onSetBgColor(FFFFFF) onSetBgColor(000000) onSetBgCheckMenu()");
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
}

TEST_F(MainFrameTest, AcceleratorsRaiseTheirEvents)
{
    startWith(startScript());
    activate();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : frame();
    QTest::keyClick(target, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Space, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
    // Turns typed before the loop turns wait together, as the view's keys do; any other
    // accelerator first works them off.
    EXPECT_EQ(takeLog(), "onNextImage(2) onNextImage(1) onPrevImage() onOpenFile() onOpenFolder() onEditCopy() onSaveFile()");
    application->setScaling(1.0);
    QTest::keyClick(target, Qt::Key_Plus);
    EXPECT_EQ(application->viewState().scaling, 1.5);
    QTest::keyClick(target, Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_EQ(application->viewState().scaling, 2.0) << "typed with Shift";
    QTest::keyClick(target, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(application->viewState().scaling, 1.5) << "from the keypad";
    QTest::keyClick(target, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(application->viewState().scaling, 1.0);
}

// Fifty page turns from an accelerator waiting at once (a held Ctrl+Right) reach the script as
// fifty waiting arrow presses do; turns from keys, accelerators, menu and toolbar share one
// queue in the order they came, and any other command first works it off.
TEST_F(MainFrameTest, TurnCommandsWaitInTheQueueOfTheViewsKeys)
{
    startWith(startScript("function onNextImage(...) table.insert(log, 'onNextImage(' .. table.concat(arg, ',') .. ')')\n"
                          "  app.setViewScaling(2) end\n"));
    activate();
    QWidget* target = QApplication::focusWidget();
    ASSERT_EQ(target, application->imageView());
    auto post = [target](Qt::Key key, Qt::KeyboardModifiers modifiers, int times = 1) {
        for (int i = 0; i < times; ++i)
            QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, modifiers, QString(), true));
    };
    auto delivered = [this] {
        QCoreApplication::processEvents();  // the presses
        QCoreApplication::processEvents();  // the turns they queued
        return takeLog();
    };

    post(Qt::Key_Right, Qt::NoModifier, 50);
    const std::string keys = delivered();
    ASSERT_EQ(keys.substr(0, 15), "onNextImage(49)");
    post(Qt::Key_Right, Qt::ControlModifier, 50);
    EXPECT_EQ(delivered(), keys) << "accelerator repeats";
    post(Qt::Key_Space, Qt::ControlModifier, 25);
    post(Qt::Key_Right, Qt::NoModifier, 25);
    EXPECT_EQ(delivered(), keys) << "accelerator and key repeats together";

    post(Qt::Key_Right, Qt::NoModifier);
    post(Qt::Key_Left, Qt::ControlModifier);
    QMetaObject::invokeMethod(action(NextImage), &QAction::trigger, Qt::QueuedConnection);  // the menu item
    post(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(delivered(), "onNextImage(3) onPrevImage(2) onNextImage(1) onPrevImage()");
    post(Qt::Key_Right, Qt::NoModifier);
    post(Qt::Key_Left, Qt::ControlModifier);
    post(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(delivered(), "onNextImage(2) onPrevImage(1) onNextImage()");

    // Another accelerator, and a command the view's own keys give ("+" zooms), come after the
    // turns before them: the zoom applies to the page they land on.
    post(Qt::Key_Right, Qt::ControlModifier, 2);
    post(Qt::Key_O, Qt::ControlModifier);
    post(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(delivered(), "onNextImage(1) onNextImage() onOpenFile() onNextImage()");
    application->setScaling(1.0);
    post(Qt::Key_Right, Qt::NoModifier);
    // Typed with Shift: no accelerator, the frame's own key handling.
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Plus, Qt::ShiftModifier, "+"));
    EXPECT_EQ(delivered(), "onNextImage()");
    EXPECT_EQ(application->viewState().scaling, 3.0) << "zoomed from the turn's 200 %";

    // Clicks on the toolbar's turn buttons wait together; another button works them off.
    QToolBar* bar = frame()->findChild<QToolBar*>("toolBar");
    ASSERT_NE(bar, nullptr);
    refresh();
    QWidget* next = bar->widgetForAction(action(NextImage));
    QWidget* folder = bar->widgetForAction(action(OpenFolder));
    ASSERT_TRUE(next && folder);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(bar->widgetForAction(action(PrevImage)), Qt::LeftButton);
    EXPECT_EQ(takeLog(), "") << "still handling input";
    QTest::mouseClick(folder, Qt::LeftButton);
    EXPECT_EQ(takeLog(), "onNextImage(2) onNextImage(1) onPrevImage() onOpenFolder()");
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(delivered(), "onNextImage()");
}

TEST_F(MainFrameTest, FullScreenRestoresTheRectangleAndTheBars)
{
    startWith(startScript());
    frame()->statusBar()->hide();
    frame()->setGeometry(100, 120, 640, 480);
    QCoreApplication::processEvents();
    const QRect before = frame()->geometry();

    frame()->runCommand(FullScreen);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame()->isFullScreenMode());
    EXPECT_TRUE(application->imageView()->cursorHidden()) << "no cursor over a full-screen picture";
    EXPECT_FALSE(frame()->menuBar()->isVisible());
    EXPECT_FALSE(frame()->toolBar()->isVisible());
    EXPECT_EQ(frame()->restoreRect(), before);

    frame()->setMenuByMouse(true);
    EXPECT_TRUE(frame()->menuBar()->isVisible());
    EXPECT_TRUE(frame()->toolBar()->isVisible()) << "it was visible before full screen";
    frame()->setMenuByMouse(false);
    EXPECT_FALSE(frame()->menuBar()->isVisible());

    frame()->runCommand(FullScreen);
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame()->isFullScreenMode());
    EXPECT_FALSE(application->imageView()->cursorHidden());
    EXPECT_EQ(frame()->geometry(), before);
    EXPECT_TRUE(frame()->menuBar()->isVisible());
    EXPECT_TRUE(frame()->toolBar()->isVisible());
    EXPECT_FALSE(frame()->statusBar()->isVisible()) << "hidden before, hidden after";
}

TEST_F(MainFrameTest, MinimisingHidesToolWindowsAndRestoringShowsThem)
{
    startWith(startScript());
    QWidget visibleTool, hiddenTool;
    visibleTool.show();
    frame()->addToolWindow(&visibleTool);
    frame()->addToolWindow(&hiddenTool);
    frame()->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(visibleTool.isVisible());
    EXPECT_FALSE(hiddenTool.isVisible());
    frame()->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(visibleTool.isVisible()) << "shown again with the frame";
    EXPECT_FALSE(hiddenTool.isVisible()) << "hidden before minimising, hidden after";
}

}  // namespace
