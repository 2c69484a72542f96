#pragma once

#include <cstdint>
#include <vector>

// JPEG data made by libjpeg's own encoder, so the tests need no fixture files.
namespace fixtures {

struct JpegOptions {
    int quality = 95;
    bool progressive = false;
    int restartRows = 0;
    bool fullChroma = true;  // 4:4:4 instead of 4:2:0
    bool ycck = false;       // four components stored as YCCK instead of CMYK
};

// `pixels` are rows top-down with `components` bytes each: 1 grey, 3 red-green-blue, 4 CMYK.
std::vector<std::uint8_t> encodeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                                     const JpegOptions& options = {});

// A picture with a different colour in every region, so that row order and channels show.
std::vector<std::uint8_t> testPattern(int width, int height, int components);

}  // namespace fixtures
