#pragma once

#include <QImage>
#include <QPixmap>

#include <vector>

namespace tools {

// The strip the file list's images are cut from: 30 x 9 pixels, 24 bits, green (0, 255, 0) where
// it is transparent. Image 0 is blank, image 1 a triangle pointing right, image 2 one pointing down.
QImage fileListImageStrip();

// The strip cut into images `width` pixels wide with the mask colour made transparent.
std::vector<QPixmap> cutImageList(const QImage& strip, int width, QRgb maskColour);

}  // namespace tools
