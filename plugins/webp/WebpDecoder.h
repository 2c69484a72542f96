#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace webpplugin {

struct WebpHeader {
    int width = 0;  // the canvas of an animation
    int height = 0;
    bool alpha = false;
    bool animated = false;
    int format = 0;  // 0 mixed or unknown, 1 lossy, 2 lossless
};

bool hasSignature(const std::uint8_t* data, std::size_t size);
int readHeader(const std::uint8_t* data, std::size_t size, WebpHeader& header);
// A still picture, or the first composed frame of an animation.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);
std::string describe(const WebpHeader& header);

}  // namespace webpplugin
