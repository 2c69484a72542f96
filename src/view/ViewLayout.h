#pragma once

#include <cstdint>

namespace view {

// How the front image is sized to the view.
enum AdjustMode : int32_t {
    AdjustNone = 0,     // fixed scaling
    AdjustLessor = 1,   // fit so that only one direction scrolls
    AdjustGreator = 2,  // fit the whole image
    AdjustWidth = 3,
    AdjustHeight = 4,
};

// The view state the application keeps for its view (and scripts read and write).
struct ViewState {
    int32_t adjustMode = AdjustWidth;
    double scaling = 1.0;
    bool linearFilter = true;
    double wheelRate = 4.0;
    uint32_t backgroundColour = 0xFFFFFF;  // red in bits 0-7, green 8-15, blue 16-23
};

// What the layout asks of the window: its size and the thickness of the scroll bars.
struct LayoutInput {
    int windowWidth = 0;
    int windowHeight = 0;
    int scrollBarWidth = 0;   // of a vertical bar
    int scrollBarHeight = 0;  // of a horizontal bar
    int imageWidth = 0;       // of the front image's source rectangle; 0 without an image
    int imageHeight = 0;
    int32_t adjustMode = AdjustWidth;
    double scaling = 1.0;
};

struct Layout {
    int imageX = 0, imageY = 0, imageWidth = 0, imageHeight = 0;
    int backgroundWidth = 0, backgroundHeight = 0;
    // Scroll sizes; a direction without a scroll range has 0.
    int scrollWidth = 0, scrollHeight = 0;
    bool horizontalRange = false, verticalRange = false;
};

// Sizes and places the image for the adjust mode; the scroll sizes follow the displayed size.
Layout computeLayout(const LayoutInput& in);

// The next zoom step above or below the current scaling.
double zoomIn(double scaling);
double zoomOut(double scaling);

// The wheel rate as stored: never below 0.1.
double clampWheelRate(double rate);

// A wheel distance (120 a notch) scaled by the wheel rate, truncated, clamped to 16 bits.
int scaledWheelDistance(double wheelRate, int distance);

// The colour the background fill uses: 0xAARRGGBB from a view colour.
constexpr uint32_t fillColour(uint32_t viewColour)
{
    return 0xFF000000u | ((viewColour & 0xFF) << 16) | (viewColour & 0xFF00) | ((viewColour >> 16) & 0xFF);
}

}  // namespace view
