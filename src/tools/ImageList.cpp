#include "ImageList.h"

#include <QBitmap>

namespace tools {

QImage fileListImageStrip()
{
    constexpr QRgb kMask = qRgb(0, 255, 0);
    constexpr QRgb kInk = qRgb(64, 64, 64);
    QImage strip(30, 9, QImage::Format_RGB888);
    strip.fill(kMask);
    // Right-pointing triangle in the second image: columns 13..16, widest at row 4.
    for (int i = 0; i < 4; ++i) {
        for (int y = 4 - (3 - i); y <= 4 + (3 - i); ++y)
            strip.setPixel(13 + i, y, kInk);
    }
    // Down-pointing triangle in the third image: rows 2..5, widest at the top.
    for (int i = 0; i < 4; ++i) {
        for (int x = 24 - (3 - i); x <= 24 + (3 - i); ++x)
            strip.setPixel(x, 2 + i, kInk);
    }
    return strip;
}

std::vector<QPixmap> cutImageList(const QImage& strip, int width, QRgb maskColour)
{
    std::vector<QPixmap> images;
    if (width <= 0)
        return images;
    for (int x = 0; x + width <= strip.width(); x += width) {
        const QImage part = strip.copy(x, 0, width, strip.height());
        QPixmap pixmap = QPixmap::fromImage(part);
        pixmap.setMask(QBitmap::fromImage(part.createMaskFromColor(maskColour, Qt::MaskInColor)));
        images.push_back(pixmap);
    }
    return images;
}

}  // namespace tools
