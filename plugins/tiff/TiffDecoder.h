#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tiffplugin {

struct TiffHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    int photometric = 0;
    int compression = 0;
    bool tiled = false;
    int pages = 0;
    std::uint32_t xPerMetre = 0;
    std::uint32_t yPerMetre = 0;
};

bool hasSignature(const std::uint8_t* data, std::size_t size);
int readHeader(const std::uint8_t* data, std::size_t size, TiffHeader& header);
// The first page, turned as its orientation says.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);
std::string describe(const TiffHeader& header);

}  // namespace tiffplugin
