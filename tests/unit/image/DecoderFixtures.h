#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The small BMP and JPEG files of tests/data/decoders, made here so that they can be made again
// (make_decoder_fixtures), with the picture each was made from.
namespace fixtures {

struct DecoderFixture {
    std::string name;  // file name under tests/data/decoders
    std::vector<std::uint8_t> bytes;
    int width = 0;
    int height = 0;
    // The picture the file was made from, 0xRRGGBB, rows top-down.
    std::vector<std::uint32_t> intended;
    // Largest difference per channel a decoder may show: 0 for lossless files.
    int tolerance = 0;
};

inline void PrintTo(const DecoderFixture& f, std::ostream* os) { *os << f.name; }

// Every bit depth and compression of BMP, and colour, grey, CMYK, YCCK and progressive JPEG.
std::vector<DecoderFixture> decoderFixtures();

}  // namespace fixtures
