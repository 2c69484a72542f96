#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace heifplugin {

struct HeifHeader {
    int width = 0;  // as shown, with the picture's rotation and cropping applied
    int height = 0;
    int bits = 8;
    bool alpha = false;
    int images = 1;
    char brand[5] = {};
};

bool hasSignature(const std::uint8_t* data, std::size_t size);
int readHeader(const std::uint8_t* data, std::size_t size, HeifHeader& header);
// The primary image with its transformations applied.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);
std::string describe(const HeifHeader& header);

}  // namespace heifplugin
