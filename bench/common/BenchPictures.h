#pragma once

#include <cstdint>
#include <vector>

// Test pictures shared by the benchmarks.
namespace bench {

inline constexpr int kPictureWidth = 4000;
inline constexpr int kPictureHeight = 3000;

// A photograph-like colour picture, 24-bit RGB rows top-down: smooth gradients with texture.
std::vector<std::uint8_t> photoPixels();

// The same picture as a JPEG of quality 90, made once.
const std::vector<std::uint8_t>& photoJpeg();

}  // namespace bench
