#pragma once

#include <cstdint>

namespace gfx::kernels {

// n pixels of 24-bit B, G, R to 32-bit B, G, R, 0xFF; the same result as the scalar
// conversion, byte for byte. Reads exactly 3 n bytes.
void bgr24ToArgb32Ssse3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t n);

}  // namespace gfx::kernels
