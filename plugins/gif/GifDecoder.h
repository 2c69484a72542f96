#pragma once

#include "Dib.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace gifplugin {

// The logical screen and the first frame on it.
struct GifHeader {
    int canvasWidth = 0;  // the screen, grown to hold the first frame when it overhangs
    int canvasHeight = 0;
    int left = 0;
    int top = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int bitsPerPixel = 0;
    int transparentIndex = -1;
    bool interlaced = false;
    bool animated = false;  // a looping extension came before the first frame
    bool gif89 = false;
};

bool hasSignature(const std::uint8_t* data, std::size_t size);

// Reads up to the first frame's descriptor: SPI_SUCCESS or an error code.
int readHeader(const std::uint8_t* data, std::size_t size, GifHeader& header);
// The first frame composed on its screen: outside the frame and at its transparent colour the
// picture is transparent.
int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress);

std::string describe(const GifHeader& header);

}  // namespace gifplugin
