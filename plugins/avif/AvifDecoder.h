#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace avifplugin {

struct AvifHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    int yuvFormat = 0;
    bool alpha = false;
    int frames = 1;
};

bool hasSignature(const std::uint8_t* data, std::size_t size);
int readHeader(const std::uint8_t* data, std::size_t size, AvifHeader& header);
// The still picture, or the first frame of a sequence.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);
std::string describe(const AvifHeader& header);

}  // namespace avifplugin
