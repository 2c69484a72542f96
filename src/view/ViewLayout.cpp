#include "ViewLayout.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace view {
namespace {

int trunc(double v) { return static_cast<int>(std::trunc(v)); }

constexpr double kZoomSteps[] = {0.1, 0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 5.0, 7.5, 10.0, 15.0};

}  // namespace

Layout computeLayout(const LayoutInput& in)
{
    Layout out;
    const int W = in.windowWidth, H = in.windowHeight;
    const double iw = in.imageWidth, ih = in.imageHeight;
    if (in.imageWidth <= 0 || in.imageHeight <= 0) {
        out.backgroundWidth = W;
        out.backgroundHeight = H;
        return out;
    }
    const int sbW = in.scrollBarWidth, sbH = in.scrollBarHeight;

    int32_t m = in.adjustMode;
    if (m == AdjustLessor) {
        if (trunc((W - sbW) / iw * ih) >= H)
            m = AdjustWidth;
        else if (trunc((H - sbH) / ih * iw) >= W)
            m = AdjustHeight;
        else
            m = AdjustGreator;
    }
    if (m == AdjustGreator)
        m = trunc(W / iw * ih) > H ? AdjustHeight : AdjustWidth;

    int dw = 0, dh = 0, Wa = W, Ha = H;
    if (m == AdjustWidth) {
        const double k = W / iw;
        dw = trunc(iw * k);
        dh = trunc(ih * k);
        if (dh > H) {
            const double k2 = (W - sbW) / iw;
            const int dh2 = trunc(ih * k2);
            if (dh2 >= H) {
                dw = trunc(iw * k2);
                dh = dh2;
                Wa = W - sbW;
            } else {
                const double k3 = H / ih;
                dw = trunc(iw * k3);
                dh = trunc(ih * k3);
            }
        }
    } else if (m == AdjustHeight) {
        const double k = H / ih;
        dw = trunc(iw * k);
        dh = trunc(ih * k);
        if (dw > W) {
            const double k2 = (H - sbH) / ih;
            const int dw2 = trunc(iw * k2);
            if (dw2 >= W) {
                dw = dw2;
                dh = trunc(ih * k2);
                Ha = H - sbH;
            } else {
                const double k3 = W / iw;
                dw = trunc(iw * k3);
                dh = trunc(ih * k3);
            }
        }
    } else {
        dw = trunc(iw * in.scaling);
        dh = trunc(ih * in.scaling);
    }

    out.imageWidth = dw;
    out.imageHeight = dh;
    out.backgroundWidth = std::max(dw, W);
    out.backgroundHeight = std::max(dh, H);
    out.imageX = dw < Wa ? Wa / 2 - dw / 2 : 0;
    out.imageY = dh < Ha ? Ha / 2 - dh / 2 : 0;
    out.scrollWidth = dw;
    out.scrollHeight = dh;
    // A displayed size larger than the window gets a scroll range; one equal to the available
    // size none, and the image sits at the edge.
    out.horizontalRange = dw > Wa;
    out.verticalRange = dh > Ha;
    if (dw == Wa)
        out.imageX = 0;
    if (dh == Ha)
        out.imageY = 0;
    return out;
}

double zoomIn(double scaling)
{
    for (double step : kZoomSteps) {
        if (step > scaling)
            return step;
    }
    return kZoomSteps[std::size(kZoomSteps) - 1];
}

double zoomOut(double scaling)
{
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
        if (*it < scaling)
            return *it;
    }
    return kZoomSteps[0];
}

double clampWheelRate(double rate) { return rate < 0.1 ? 0.1 : rate; }

int scaledWheelDistance(double wheelRate, int distance)
{
    const double d = std::trunc(wheelRate * distance);
    return static_cast<int>(std::clamp(d, -32767.0, 32767.0));
}

}  // namespace view
