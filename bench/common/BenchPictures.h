#pragma once

#include <cstddef>
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

// 24-bit RGB rows, top-down, as a JPEG of quality 90.
std::vector<std::uint8_t> encodeJpeg(const std::vector<std::uint8_t>& rgb, int width, int height);

// The bare work of showing a JPEG: libjpeg-turbo's decode into a new block (blue-green-red rows,
// or 32-bit ones as pixman's fast paths want), then pixman's bilinear scale by `scale` into a
// 32-bit frame of frameWidth x frameHeight.
enum class BareLayout { Bgr24, Bgrx32 };
void decodeAndScale(const std::uint8_t* jpeg, std::size_t size, BareLayout layout, std::uint32_t* frame, int frameWidth,
                    int frameHeight, double scale);

}  // namespace bench
