// The Qt binding drawing bands straight into a raster backing store, at a device-pixel ratio of
// 1 (its own executable: the other Qt binding tests run at a ratio of 2).
#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include "TestSupport.h"
#include "gfx/qt/NxQtBinding.h"

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace gfx {
namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "gfxqt_lend_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down among the static destructors crashes.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

using test::PictureNode;

class PaintedWidget : public QWidget {
public:
    using QWidget::QWidget;
    NxWindow* window = nullptr;
    bool lend = true;
    int lentBands = 0;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        NxQtPaintContext context(painter, devicePixelRatioF());
        context.setLendPixels(lend);
        if (window)
            window->update(&context, true);
        lentBands += context.lentBands();
        ++paints;
    }
};

// A top-level window holding the view at an offset, with an opaque sibling over part of it.
struct Scene {
    QWidget top;
    PaintedWidget* view = new PaintedWidget(&top);
    QWidget* cover = new QWidget(&top);
    NxWindow window;
    NxSurface picture{32};
    PictureNode* image = nullptr;

    Scene()
    {
        top.resize(720, 70);
        view->setGeometry(13, 7, 690, 53);
        cover->setGeometry(300, 20, 40, 60);
        cover->setAutoFillBackground(true);
        QPalette palette = cover->palette();
        palette.setColor(QPalette::Window, QColor(0xFF, 0x00, 0x80));
        cover->setPalette(palette);
        cover->raise();
        view->setAttribute(Qt::WA_OpaquePaintEvent);
        EXPECT_TRUE(picture.create(13, 9));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                const std::uint32_t v = static_cast<std::uint32_t>((x + y) % 4 == 0 ? 0 : (x * 19) << 24) |
                                        static_cast<std::uint32_t>(x * 20 << 16 | y * 28);
                std::memcpy(picture.pixels().row(y) + 4 * x, &v, 4);
            }
        EXPECT_TRUE(attachToWidget(window, view));
        view->window = &window;
        window.setBackgroundColour(0xFF204060u);
        window.setFadeColour(0xFFFFE0C0u);
        window.setFadeLevel(290);
        auto* root = new NxNode(&window);
        root->setClipChildren(false);
        image = new PictureNode(root);
        image->setSource(&picture, nullptr);
        image->setPosition(21, 5);
        image->setSize(611, 47);
        NxBlitParams p;
        p.flags = blitflag::kSourceAlpha | blitflag::kLinearFilter;
        image->setParams(&p, true);
        top.show();
        QCoreApplication::processEvents();
    }
    ~Scene() { view->window = nullptr; }

    QImage backingStore()
    {
        QPaintDevice* device = top.backingStore()->paintDevice();
        EXPECT_EQ(device->devType(), QInternal::Image);
        return static_cast<QImage*>(device)->copy();
    }
};

class QtLendTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

// Drawn in place or copied through the painter, the window shows the same pixels, also where
// a sibling covers the view and where a partial repaint leaves the rest as it was.
TEST_F(QtLendTest, DrawingInTheBackingStoreGivesTheCopiedPicture)
{
    Scene lent, copied;
    copied.view->lend = false;
    lent.view->lentBands = copied.view->lentBands = 0;
    ASSERT_EQ(lent.view->devicePixelRatioF(), 1.0);
    lent.view->repaint();
    copied.view->repaint();
    ASSERT_GT(lent.view->paints, 0);
    EXPECT_GT(lent.view->lentBands, 0);
    EXPECT_EQ(copied.view->lentBands, 0);
    const QImage whole = lent.backingStore();
    ASSERT_EQ(whole, copied.backingStore());
    // The sibling stays over the view, and the view starts at its offset.
    EXPECT_EQ(whole.pixel(310, 40), qRgb(0xFF, 0x00, 0x80));
    EXPECT_EQ(whole.pixel(12, 30) & 0xFFFFFFu, lent.top.palette().color(QPalette::Window).rgb() & 0xFFFFFFu);
    EXPECT_NE(whole.pixel(13, 7), whole.pixel(12, 7));

    // A partial repaint: bands reaching out of the region are copied through the clip, the rest
    // of the window keeps the picture drawn before the change.
    for (Scene* s : {&lent, &copied}) {
        s->image->setPosition(40, 2);
        s->view->lentBands = 0;
        s->view->repaint(QRect(0, 0, 660, 20));
    }
    EXPECT_GT(lent.view->lentBands, 0);
    const QImage partial = lent.backingStore();
    EXPECT_EQ(partial, copied.backingStore());
    EXPECT_NE(partial, whole);
    EXPECT_EQ(partial.copy(0, 30, 720, 40), whole.copy(0, 30, 720, 40));
}

} // namespace
} // namespace gfx
