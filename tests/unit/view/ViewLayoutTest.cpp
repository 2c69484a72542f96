#include "view/ViewLayout.h"

#include <gtest/gtest.h>

namespace {

view::LayoutInput window800x600(int iw, int ih, int32_t mode, double scaling = 1.0)
{
    view::LayoutInput in;
    in.windowWidth = 800;
    in.windowHeight = 600;
    in.scrollBarWidth = 16;
    in.scrollBarHeight = 16;
    in.imageWidth = iw;
    in.imageHeight = ih;
    in.adjustMode = mode;
    in.scaling = scaling;
    return in;
}

TEST(ViewLayout, FitWidthOfALargeImageNeedsNoScrollBar)
{
    const view::Layout l = view::computeLayout(window800x600(1600, 1200, view::AdjustWidth));
    EXPECT_EQ(l.imageWidth, 800);
    EXPECT_EQ(l.imageHeight, 600);
    EXPECT_EQ(l.imageX, 0);
    EXPECT_EQ(l.imageY, 0);
    EXPECT_FALSE(l.horizontalRange);
    EXPECT_FALSE(l.verticalRange);
}

TEST(ViewLayout, FitWidthOfATallImageMakesRoomForTheVerticalBar)
{
    const view::Layout l = view::computeLayout(window800x600(800, 1600, view::AdjustWidth));
    EXPECT_EQ(l.imageWidth, 784);
    EXPECT_EQ(l.imageHeight, 1568);
    EXPECT_EQ(l.imageX, 0);
    EXPECT_EQ(l.imageY, 0);
    EXPECT_TRUE(l.verticalRange);
    EXPECT_FALSE(l.horizontalRange);
    EXPECT_EQ(l.backgroundWidth, 800);
    EXPECT_EQ(l.backgroundHeight, 1568);
}

TEST(ViewLayout, FixedScalingCentresASmallImage)
{
    const view::Layout l = view::computeLayout(window800x600(400, 300, view::AdjustNone, 1.0));
    EXPECT_EQ(l.imageWidth, 400);
    EXPECT_EQ(l.imageHeight, 300);
    EXPECT_EQ(l.imageX, 200);
    EXPECT_EQ(l.imageY, 150);
    EXPECT_EQ(l.backgroundWidth, 800);
    EXPECT_EQ(l.backgroundHeight, 600);
}

TEST(ViewLayout, WholeImageModeFitsTheWidthOfAWideImage)
{
    const view::Layout l = view::computeLayout(window800x600(1000, 500, view::AdjustGreator));
    EXPECT_EQ(l.imageWidth, 800);
    EXPECT_EQ(l.imageHeight, 400);
    EXPECT_EQ(l.imageX, 0);
    EXPECT_EQ(l.imageY, 100);
}

TEST(ViewLayout, WholeImageModeFitsTheHeightOfATallImage)
{
    const view::Layout l = view::computeLayout(window800x600(500, 1000, view::AdjustGreator));
    EXPECT_EQ(l.imageWidth, 300);
    EXPECT_EQ(l.imageHeight, 600);
    EXPECT_EQ(l.imageX, 250);
    EXPECT_EQ(l.imageY, 0);
}

TEST(ViewLayout, LessorModeScrollsOneDirectionOnly)
{
    // A very wide image fits the height and scrolls sideways.
    view::Layout l = view::computeLayout(window800x600(4000, 1000, view::AdjustLessor));
    EXPECT_EQ(l.imageHeight, 584);
    EXPECT_EQ(l.imageWidth, 2336);
    EXPECT_TRUE(l.horizontalRange);
    EXPECT_FALSE(l.verticalRange);
    // A tall one fits the width and scrolls down.
    l = view::computeLayout(window800x600(1000, 4000, view::AdjustLessor));
    EXPECT_EQ(l.imageWidth, 784);
    EXPECT_TRUE(l.verticalRange);
    EXPECT_FALSE(l.horizontalRange);
}

TEST(ViewLayout, NoImageLeavesOnlyTheBackground)
{
    for (auto [w, h] : {std::pair{0, 0}, std::pair{10, 0}, std::pair{0, 10}}) {
        const view::Layout l = view::computeLayout(window800x600(w, h, view::AdjustWidth));
        EXPECT_EQ(l.imageWidth, 0);
        EXPECT_EQ(l.imageHeight, 0);
        EXPECT_EQ(l.backgroundWidth, 800);
        EXPECT_EQ(l.backgroundHeight, 600);
        EXPECT_FALSE(l.horizontalRange || l.verticalRange);
    }
}

TEST(ViewLayout, ZoomSteps)
{
    EXPECT_EQ(view::zoomIn(1.2), 1.5);
    EXPECT_EQ(view::zoomOut(1.2), 1.0);
    EXPECT_EQ(view::zoomOut(0.1), 0.1);
    EXPECT_EQ(view::zoomIn(15.0), 15.0);
    EXPECT_EQ(view::zoomIn(1.0), 1.5) << "strictly greater";
    EXPECT_EQ(view::zoomOut(1.0), 0.75) << "strictly smaller";
    EXPECT_EQ(view::zoomOut(100.0), 15.0);
    EXPECT_EQ(view::zoomIn(0.0), 0.1);
}

TEST(ViewLayout, WheelRateAndDistances)
{
    EXPECT_EQ(view::clampWheelRate(0), 0.1);
    EXPECT_EQ(view::clampWheelRate(-3), 0.1);
    EXPECT_EQ(view::clampWheelRate(8), 8);
    EXPECT_EQ(view::scaledWheelDistance(4.0, 120), 480);
    EXPECT_EQ(view::scaledWheelDistance(4.0, -120), -480);
    EXPECT_EQ(view::scaledWheelDistance(0.1, 120), 12);
    EXPECT_EQ(view::scaledWheelDistance(1000.0, 120), 32767) << "clamped to 16 bits";
    EXPECT_EQ(view::scaledWheelDistance(1000.0, -120), -32767);
}

TEST(ViewLayout, BackgroundFillColour)
{
    EXPECT_EQ(view::fillColour(0xFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(view::fillColour(0), 0xFF000000u);
    EXPECT_EQ(view::fillColour(0x0000FF), 0xFFFF0000u) << "red is in the low byte of a view colour";
    EXPECT_EQ(view::fillColour(0xFF0000), 0xFF0000FFu);
}

}  // namespace
