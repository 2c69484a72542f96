#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace pngplugin {

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int channels = 0;
    bool interlaced = false;
    bool hasTransparency = false;  // tRNS chunk
    bool animated = false;         // acTL before the first IDAT: only the default image is read
    std::uint32_t xPerMetre = 0;   // 0 when unknown
    std::uint32_t yPerMetre = 0;
};

bool hasSignature(const std::uint8_t* data, std::size_t size);

// Reads the header of a PNG stream: SPI_SUCCESS or an error code.
int readHeader(const std::uint8_t* data, std::size_t size, PngHeader& header);
// Decodes the picture (the default image of an animated file) into `dib`.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);

std::string describe(const PngHeader& header);

}  // namespace pngplugin
