#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace jxlplugin {

struct JxlHeader {
    std::uint32_t width = 0;  // as shown, with the picture's orientation applied
    std::uint32_t height = 0;
    std::uint32_t bits = 8;
    std::uint32_t colourChannels = 3;
    bool alpha = false;
    bool animated = false;
    bool container = false;
};

bool hasSignature(const std::uint8_t* data, std::size_t size);
int readHeader(const std::uint8_t* data, std::size_t size, JxlHeader& header);
// The still picture, or the first composed frame of an animation.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);
std::string describe(const JxlHeader& header);

}  // namespace jxlplugin
