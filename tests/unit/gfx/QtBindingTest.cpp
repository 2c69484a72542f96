#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"
#include "gfx/qt/NxQtBinding.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace gfx {
namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "gfxqt_tests";
    static char* argv[] = {name, nullptr};
    // Every widget gets a device-pixel ratio of 2, so the binding's device pixels are tested.
    qputenv("QT_SCALE_FACTOR", "2");
    // Never destroyed: tearing Qt down among the program's static destructors crashes, and a
    // pointer held by a static is not a leak.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// A view-like widget: its paint event updates the window through the painter.
class PaintedWidget : public QWidget {
public:
    NxWindow* window = nullptr;
    bool lastUpdate = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        NxQtPaintContext context(painter, devicePixelRatioF());
        if (window)
            lastUpdate = window->update(&context, true);
    }
};

class QtBindingTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

TEST_F(QtBindingTest, AttachTakesTheWidgetSizeAndFollowsResizes)
{
    auto widget = std::make_unique<QWidget>();
    widget->resize(100, 20);
    widget->show();
    NxWindow window;
    ASSERT_TRUE(attachToWidget(window, widget.get()));
    const qreal ratio = widget->devicePixelRatioF();
    EXPECT_EQ(ratio, 2.0);
    EXPECT_EQ(window.rect().width(), static_cast<int>(100 * ratio));
    EXPECT_EQ(window.rect().height(), static_cast<int>(20 * ratio));
    EXPECT_FALSE(attachToWidget(window, widget.get()));
    auto* first = dynamic_cast<NxQtBinding*>(window.binding());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->widget(), widget.get());

    widget->resize(64, 48);
    EXPECT_EQ(window.rect().width(), static_cast<int>(64 * ratio));
    EXPECT_EQ(window.rect().height(), static_cast<int>(48 * ratio));
    EXPECT_TRUE(window.setCursorPos(3, 3));
}

TEST_F(QtBindingTest, WidgetDestructionDetachesAndWindowDestructionUnhooks)
{
    auto widget = std::make_unique<QWidget>();
    widget->resize(30, 10);
    NxWindow window;
    ASSERT_TRUE(attachToWidget(window, widget.get()));
    widget.reset();
    EXPECT_FALSE(window.isAttached());
    EXPECT_FALSE(window.update(nullptr, true));

    auto other = std::make_unique<QWidget>();
    other->show();
    {
        NxWindow shortLived;
        ASSERT_TRUE(attachToWidget(shortLived, other.get()));
    }
    // The event filter went with the window: resizing reaches nothing dangling.
    other->resize(50, 50);
    other.reset();
}

TEST_F(QtBindingTest, OutsidePaintingThereIsNoContext)
{
    auto widget = std::make_unique<QWidget>();
    widget->resize(30, 10);
    NxWindow window;
    ASSERT_TRUE(attachToWidget(window, widget.get()));
    EXPECT_FALSE(window.update(nullptr, true));
}

TEST_F(QtBindingTest, PaintEventPresentsTheTree)
{
    PaintedWidget widget;
    widget.resize(90, 30);
    NxWindow window;
    widget.window = &window;
    ASSERT_TRUE(attachToWidget(window, &widget));
    window.setBackgroundColour(0xFF204060u);
    auto* box = new NxImageNode(&window);
    NxSurface red(32);
    ASSERT_TRUE(red.create(10, 10));
    fillRect(red, nullptr, 0xFFFF0000u);
    box->setSource(&red, nullptr);
    const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(widget.lastUpdate);
    EXPECT_EQ(shot.pixel(shot.width() - 1, shot.height() - 1), 0xFF204060u);
    EXPECT_EQ(shot.pixel(0, 0), 0xFFFF0000u);
    box->setSource(nullptr, nullptr);
    window.detach();
}

// Bands land at their window position in device pixels, from top-down and bottom-up strips.
TEST_F(QtBindingTest, BandsAreCopiedInDevicePixels)
{
    for (int height : {-4, 4}) {
        NxSurface strip(32);
        ASSERT_TRUE(strip.create(8, height));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const std::uint32_t v = 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x);
                std::memcpy(strip.pixels().row(y) + 4 * x, &v, 4);
            }
        for (qreal ratio : {1.0, 2.0}) {
            QImage target(40, 20, QImage::Format_RGB32);
            target.fill(0xFFFFFFFFu);
            target.setDevicePixelRatio(ratio);
            {
                QPainter painter(&target);
                NxQtPaintContext context(painter, ratio);
                context.presentBand({10, 6, 16, 10}, strip);
            }
            EXPECT_EQ(target.pixel(9, 6), 0xFFFFFFFFu);
            EXPECT_EQ(target.pixel(10, 6), 0xFF000000u);
            EXPECT_EQ(target.pixel(15, 9), 0xFF000305u) << height << " " << ratio;
            EXPECT_EQ(target.pixel(16, 9), 0xFFFFFFFFu);
        }
    }
}

} // namespace
} // namespace gfx
