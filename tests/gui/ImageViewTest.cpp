#include "AppFixture.h"

#include "app/MainFrame.h"

#include "gfx/NxSurface.h"
#include "view/ImageView.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

namespace {

class ImageViewTest : public guitest::AppFixture {
protected:
    view::ImageView* view() { return application->imageView(); }
    QWidget* viewport() { return view()->viewport(); }

    // A double click as the window system delivers it: press, release, double-click, release.
    void doubleClick(Qt::MouseButton button)
    {
        const QPointF at(20, 20);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent e(type, at, viewport()->mapToGlobal(at), button, down ? button : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport(), &e);
        }
    }

    // Page turns reach the script once the input waiting with them has been handled.
    std::string delivered()
    {
        QCoreApplication::processEvents();
        return takeLog();
    }

    std::unique_ptr<gfx::NxSurface> picture(int w, int h)
    {
        auto s = std::make_unique<gfx::NxSurface>(32);
        EXPECT_TRUE(s->create(w, h));
        return s;
    }
};

TEST_F(ImageViewTest, PageTurnModeButtonsAndKeys)
{
    startWith(startScript());
    ASSERT_EQ(view()->operateMode(), 0);
    QTest::mouseClick(viewport(), Qt::RightButton);
    QTest::mouseClick(viewport(), Qt::LeftButton);
    EXPECT_EQ(delivered(), "onNextImage(1) onPrevImage()");
    doubleClick(Qt::LeftButton);
    EXPECT_EQ(delivered(), "onPrevImage(1) onPrevImage()") << "the press and the double-click";
    doubleClick(Qt::RightButton);
    EXPECT_EQ(delivered(), "onNextImage(1) onNextImage()");
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Right, Qt::Key_Left})
        QTest::keyClick(view(), key);
    EXPECT_EQ(delivered(), "onNextImage(3) onNextImage(2) onNextImage(1) onPrevImage()");
}

TEST_F(ImageViewTest, BrowseModeButtonsAndNoKeys)
{
    startWith(startScript());
    view()->setOperateMode(1);
    EXPECT_EQ(view()->operateMode(), 1);
    doubleClick(Qt::LeftButton);
    EXPECT_EQ(delivered(), "onNextImage(1) onPrevImage()");
    QTest::mouseClick(viewport(), Qt::RightButton);
    EXPECT_EQ(delivered(), "onNextImage()");
    QTest::keyClick(view(), Qt::Key_Right);
    EXPECT_EQ(delivered(), "") << "browse mode leaves keys to the view";
}

TEST_F(ImageViewTest, DroppedFilesMakeANewListThenAddIt)
{
    startWith(startScript());
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile("/p/a.jpg"), QUrl::fromLocalFile("/p/b.png"), QUrl::fromLocalFile("/p/c.bmp")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &drop);
    delete data;
    EXPECT_EQ(takeLog(), "onNewFileList() onAddFile(\\p\\a.jpg,\\p\\b.png,\\p\\c.bmp)");
}

TEST_F(ImageViewTest, LayoutFollowsTheImageAndTheMode)
{
    startWith(startScript());
    view()->resize(800, 600);
    auto image = picture(400, 300);
    application->setScaling(1.0);
    application->setFrontImage(image.get());
    EXPECT_EQ(view()->layout().imageWidth, 400);
    EXPECT_EQ(view()->layout().imageX, 200);
    EXPECT_EQ(view()->layout().imageY, 150);
    application->setFrontImage(nullptr);
    EXPECT_EQ(view()->layout().imageWidth, 0);
}

TEST_F(ImageViewTest, WheelScrollsByLinesScaledByTheWheelRate)
{
    startWith(startScript());
    view()->setFixedSize(400, 300);
    auto image = picture(380, 10000);
    application->setScaling(1.0);
    application->setFrontImage(image.get());
    ASSERT_TRUE(view()->layout().verticalRange);
    QApplication::setWheelScrollLines(3);
    const int line = view()->layout().scrollHeight / 100;

    application->setWheelRate(1.0);
    view()->wheelScroll(-120);
    EXPECT_EQ(view()->scrollPosition().y(), 3 * line) << "one notch toward the user: three lines down";
    view()->wheelScroll(120);
    EXPECT_EQ(view()->scrollPosition().y(), 0);

    application->setWheelRate(4.0);
    view()->wheelScroll(-120);
    EXPECT_EQ(view()->scrollPosition().y(), std::min(12 * line, view()->viewport()->height())) << "four times as far, at most a window";

    // The page-turn mode's Down arrow scrolls like a notch.
    view()->scrollTo(0, 0);
    QTest::keyClick(view(), Qt::Key_Down);
    EXPECT_GT(view()->scrollPosition().y(), 0);
    application->setFrontImage(nullptr);
}

TEST_F(ImageViewTest, MiddleDragScrollsWithinTheLimits)
{
    startWith(startScript());
    view()->resize(400, 300);
    auto image = picture(2000, 1500);
    application->setScaling(1.0);
    application->setFrontImage(image.get());
    ASSERT_GT(view()->scrollLimitX(), 100);
    view()->scrollTo(100, 100);
    QTest::mousePress(viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(200, 150));
    EXPECT_TRUE(view()->isDragging());
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 150), QPointF(250, 150), Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &move);
    EXPECT_EQ(view()->scrollPosition(), QPoint(50, 100)) << "dragging right by 50 scrolls left by 50";
    QMouseEvent far(QEvent::MouseMove, QPointF(5000, -5000), QPointF(5000, -5000), Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &far);
    EXPECT_EQ(view()->scrollPosition(), QPoint(0, view()->scrollLimitY()));
    QTest::mouseRelease(viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(5000, -5000));
    EXPECT_FALSE(view()->isDragging());
    application->setFrontImage(nullptr);
}

}  // namespace

namespace {

// The operate mode comes from the profile file that stands in for WIN.INI.
class OperateModeTest : public guitest::AppFixture {
protected:
    std::filesystem::path config = std::filesystem::temp_directory_path() / ("selvarin-ini-" + std::to_string(::getpid()));
    QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");

    void writeIni(const std::string& text)
    {
        std::filesystem::create_directories(config / "selvarin");
        std::ofstream(config / "selvarin" / "win.ini") << text;
        qputenv("XDG_CONFIG_HOME", config.string().c_str());
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        if (savedConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig);
        std::filesystem::remove_all(config);
    }
};

TEST_F(OperateModeTest, BrowseModeFromTheProfile)
{
    writeIni("[other]\nOperateMode=0\n\n[setting]\n operatemode = 1 \n");
    startWith(startScript());
    EXPECT_EQ(application->imageView()->operateMode(), 1) << "section and key without regard to case";
}

TEST_F(OperateModeTest, MissingKeyMeansPageTurn)
{
    writeIni("[Setting]\nOther=1\n");
    startWith(startScript());
    EXPECT_EQ(application->imageView()->operateMode(), 0);
}

// The manual tells users to press Ctrl+N after editing the profile: the mode changes at once.
TEST_F(OperateModeTest, CtrlNReadsTheProfileAgain)
{
    writeIni("[Setting]\nOperateMode=0\n");
    startWith(startScript());
    ASSERT_EQ(application->imageView()->operateMode(), 0);
    writeIni("[Setting]\nOperateMode=1\n");
    application->mainFrame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(application->mainFrame()));
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : application->mainFrame();
    QTest::keyClick(target, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(application->imageView()->operateMode(), 1);
}

}  // namespace
