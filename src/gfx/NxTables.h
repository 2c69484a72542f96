#pragma once

#include <array>
#include <cstdint>

namespace gfx {

// Start-up tables of the alpha arithmetic. Built once on first use (thread-safe), read-only after.
struct NxTables {
    // Weight of an opacity, out of 256, for B, G, R and the alpha byte (always 0: blending keeps
    // the destination's alpha byte).
    std::array<std::array<std::uint16_t, 4>, 256> w;
    // As w, with opacities below 3 counted as 0.
    std::array<std::array<std::uint16_t, 4>, 256> w3;
    // mul[a][x] = (a * x + 127) / 255.
    std::array<std::array<std::uint8_t, 256>, 256> mul;
    // aout[d][s]: alpha after compositing opacity s over destination alpha d.
    std::array<std::array<std::uint8_t, 256>, 256> aout;
    // srcw[d][s]: share of the source colour after compositing opacity s over destination alpha d.
    std::array<std::array<std::uint8_t, 256>, 256> srcw;
    // clampData[i + 768] = i clamped to 0..255, for i in -768..1023.
    std::array<std::uint8_t, 1792> clampData;
    std::array<std::uint32_t, 256> gray32;
    // Derived for the vector composite kernels: aout[d][s] << 16 | w[srcw[d][s]][0], indexed
    // d * 256 + s, padded so that 32-bit gathers at any index stay inside.
    std::array<std::uint32_t, 65536 + 4> composite;

    std::uint8_t clamp(int i) const { return clampData[static_cast<std::size_t>(i + 768)]; }
};

const NxTables& tables();

} // namespace gfx
