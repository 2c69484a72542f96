#include "AppFixture.h"

#include "gfx/NxSurface.h"
#include "view/ImageView.h"

#include <QImage>

#include <cstring>
#include <functional>
#include <vector>

namespace {

// What the view paints, read back from the widget.
class ViewRenderTest : public guitest::AppFixture {
protected:
    view::ImageView* view() { return application->imageView(); }

    // A 32 bpp picture whose pixel (x, y) from the top is colour(x, y), 0xAARRGGBB.
    static std::unique_ptr<gfx::NxSurface> picture(int w, int h, const std::function<std::uint32_t(int, int)>& colour)
    {
        auto s = std::make_unique<gfx::NxSurface>(32);
        EXPECT_TRUE(s->create(w, h));
        gfx::NxDrawContext* dc = s->acquireDC();
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t c = colour(x, y);
                std::memcpy(dc->firstRow + static_cast<std::ptrdiff_t>(dc->pitch) * y + 4 * x, &c, 4);
            }
        }
        s->releaseDC();
        return s;
    }

    QImage shot()
    {
        view()->viewport()->repaint();
        return view()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    void sizeView(int w, int h)
    {
        application->mainFrame()->resize(w + 200, h + 200);
        view()->setFixedSize(w, h);
        QCoreApplication::processEvents();
    }
};

TEST_F(ViewRenderTest, SmallPictureCentredOnBlack)
{
    startWith(startScript());
    sizeView(100, 80);
    application->setBackgroundColour(0);
    application->setScaling(1.0);
    auto red = picture(10, 10, [](int, int) { return 0xFFFF0000u; });
    application->setFrontImage(red.get());
    const QImage img = shot();
    ASSERT_EQ(img.size(), QSize(100, 80));
    EXPECT_EQ(img.pixel(45, 35), qRgb(255, 0, 0)) << "top-left pixel of the centred picture";
    EXPECT_EQ(img.pixel(54, 44), qRgb(255, 0, 0)) << "bottom-right pixel";
    EXPECT_EQ(img.pixel(44, 35), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(55, 44), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(99, 79), qRgb(0, 0, 0));
    application->setFrontImage(nullptr);
}

TEST_F(ViewRenderTest, PatternTilesFromTheTopLeft)
{
    startWith(startScript());
    sizeView(100, 70);
    auto pattern = picture(32, 32, [](int x, int y) { return 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | 0x40; });
    application->setBackgroundImage(pattern.get());
    const QImage img = shot();
    for (auto [x, y] : {std::pair{0, 0}, std::pair{31, 31}, std::pair{32, 0}, std::pair{65, 40}, std::pair{99, 69}})
        EXPECT_EQ(img.pixel(x, y), qRgb((x % 32) * 8, (y % 32) * 8, 0x40)) << x << "," << y;
    application->setBackgroundImage(nullptr);
}

TEST_F(ViewRenderTest, TransparentPixelsShowThePattern)
{
    startWith(startScript());
    sizeView(64, 64);
    application->setScaling(1.0);
    auto pattern = picture(8, 8, [](int x, int y) { return ((x + y) % 2) ? 0xFF202020u : 0xFFE0E0E0u; });
    // Left half opaque blue, right half fully transparent.
    auto half = picture(64, 64, [](int x, int) { return x < 32 ? 0xFF0000FFu : 0x00FF0000u; });
    application->setBackgroundImage(pattern.get());
    application->setFrontImage(half.get());
    const QImage img = shot();
    EXPECT_EQ(img.pixel(10, 10), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(40, 10), ((40 + 10) % 2) ? qRgb(0x20, 0x20, 0x20) : qRgb(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(img.pixel(41, 10), ((41 + 10) % 2) ? qRgb(0x20, 0x20, 0x20) : qRgb(0xE0, 0xE0, 0xE0));
    application->setFrontImage(nullptr);
    application->setBackgroundImage(nullptr);
}

TEST_F(ViewRenderTest, FilteringChangesOnlyScaledPictures)
{
    startWith(startScript());
    sizeView(64, 64);
    application->setBackgroundColour(0);
    auto checker = picture(8, 8, [](int x, int y) { return ((x + y) % 2) ? 0xFFFFFFFFu : 0xFF000000u; });
    application->setScaling(1.0);
    application->setFrontImage(checker.get());
    const QImage unscaledSmooth = shot();
    application->setLinearFilter(false);
    EXPECT_EQ(shot(), unscaledSmooth) << "unscaled pictures look the same either way";
    application->setScaling(4.0);
    const QImage scaledSharp = shot();
    application->setLinearFilter(true);
    EXPECT_NE(shot(), scaledSharp) << "scaled pictures are smoothed";
    application->setFrontImage(nullptr);
}

TEST_F(ViewRenderTest, ScrollBarsGoingAwayLeaveNoUnpaintedEdge)
{
    startWith(startScript());
    application->setBackgroundColour(0xFF00FF);
    auto tall = picture(20, 400, [](int, int) { return 0xFF00FF00u; });
    auto small = picture(10, 10, [](int, int) { return 0xFF00FF00u; });
    // The scroll bar appears and goes again while the window is hidden, as at start-up.
    application->mainFrame()->hide();
    view()->setFixedSize(100, 80);
    application->setScaling(1.0);
    application->setFrontImage(tall.get());
    application->setFrontImage(small.get());
    application->mainFrame()->show();
    QCoreApplication::processEvents();
    const QImage img = shot();
    ASSERT_EQ(img.width(), 100);
    EXPECT_EQ(img.pixel(99, 5), qRgb(255, 0, 255)) << "the right edge shows the background";
    application->setFrontImage(nullptr);
}

// A picture converted from a bitmap without alpha is drawn as a copy; it must look exactly as
// the same pixels drawn with source alpha, unscaled, shrunk and enlarged, sharp and smoothed.
TEST_F(ViewRenderTest, OpaquePicturesLookAsBlendedOnes)
{
    startWith(startScript());
    sizeView(120, 90);
    const int w = 37, h = 23;
    const auto colour = [](int x, int y) {
        return 0xFF000000u | static_cast<std::uint32_t>((x * 53 + y * 7) & 0xFF) << 16 |
               static_cast<std::uint32_t>((x * y * 5) & 0xFF) << 8 | static_cast<std::uint32_t>((y * 31 + x) & 0xFF);
    };
    // Bottom-up 24-bit rows, padded to four bytes.
    const int rowBytes = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowBytes) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colour(x, y);
            std::uint8_t* p = bits.data() + static_cast<std::ptrdiff_t>(rowBytes) * (h - 1 - y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
        }
    gfx::NxBitmapInfoHeader header;
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    auto opaque = std::make_unique<gfx::NxSurface>(32);
    ASSERT_TRUE(opaque->createFromDib(&header, bits.data()));
    auto blended = picture(w, h, colour);
    ASSERT_TRUE(opaque->isKnownOpaque());
    ASSERT_FALSE(blended->isKnownOpaque());
    auto pattern = picture(8, 8, [](int x, int y) { return ((x + y) % 2) ? 0x80202020u : 0xFFE0E0E0u; });
    application->setBackgroundImage(pattern.get());
    for (const double scaling : {1.0, 0.37, 2.3}) {
        for (const bool smooth : {false, true}) {
            application->setScaling(scaling);
            application->setLinearFilter(smooth);
            application->setFrontImage(blended.get());
            const QImage expected = shot();
            application->setFrontImage(opaque.get());
            EXPECT_EQ(shot(), expected) << "scaling " << scaling << (smooth ? " smoothed" : " sharp");
            EXPECT_TRUE(opaque->isKnownOpaque()) << "drawing a picture does not make it writable";
        }
    }
    application->setFrontImage(nullptr);
    application->setBackgroundImage(nullptr);
}

}  // namespace
