#pragma once

#include "Dib.h"

#include <optional>

// JPEG data from memory, decoded by libjpeg into 24-bit blue-green-red or 8-bit grey DIBs.
namespace image {

// How many leading bytes of a file the signature test needs.
inline constexpr std::size_t kJpegProbeBytes = 2;

// The start-of-image marker.
bool isSupportedJpeg(Bytes data);
// Width, height and output depth (24 for colour, 8 for grey); nothing when the data cannot be
// parsed or hold a colour space that is not decoded.
std::optional<PictureInfo> pictureInfoJpeg(Bytes data);
// A DIB pair, rows bottom-up; nothing on any failure. Truncated data decode as far as they go.
// Four-component (CMYK, YCCK) pictures are converted to 24-bit colour.
std::optional<DibPair> loadJpeg(Bytes data, const DecodeLimits& limits = {});

}  // namespace image
