#pragma once

#include <cstdint>

namespace gfx {

// The nine-word parameter block of every drawing operation.
struct NxBlitParams {
    std::uint32_t flags = 0;
    std::uint32_t writeMask = 0;
    std::uint32_t colour = 0;        // 0xAARRGGBB; rule transition: progress 0..512
    std::uint32_t softness = 0;      // rule transition: soft edge width 0..511
    std::int32_t maskOffsetX = 0;
    std::int32_t maskOffsetY = 0;
    class NxSurface* maskSurface = nullptr;  // rule transition: 8 bpp rule image
    std::uint32_t blurRadius = 0;    // 1..128, 0 = no blur
    std::uint32_t constantAlpha = 0; // read only with kFlagConstantAlpha
};

namespace blitflag {
inline constexpr std::uint32_t kOperatorMask = 0x7;
inline constexpr std::uint32_t kConstantAlpha = 0x10;
inline constexpr std::uint32_t kComposite = 0x20;
inline constexpr std::uint32_t kColour = 0xC0;
inline constexpr std::uint32_t kWriteMask = 0x200;
inline constexpr std::uint32_t kSourceAlpha = 0x800;
inline constexpr std::uint32_t kRuleTransition = 0x1000;
inline constexpr std::uint32_t kLinearFilter = 0x2000;
inline constexpr std::uint32_t kMirror = 0x4000;
inline constexpr std::uint32_t kFlip = 0x8000;
inline constexpr std::uint32_t kKeepAlpha = 0x10000;
inline constexpr std::uint32_t kBlur = 0x20000;
inline constexpr std::uint32_t kPlainFilter = 0x40000;
inline constexpr std::uint32_t kAccelerated = 0x80000000u;
} // namespace blitflag

// Parameters of a colour effect (applyEffect): six words.
struct NxEffectParams {
    // Bits 0-1: effect (0 gray, 1 hue/lightness/saturation, 2 channel levels, 3 invert); bit 31:
    // `opacity` is given (otherwise 255).
    std::uint32_t control = 0;
    std::uint32_t opacity = 0;
    // Words 2 to 5. Levels: blue scale | green scale << 16; red scale; blue offset | green offset
    // << 16 (signed 16-bit halves); red offset (signed low half); scales have 128 = 1.0.
    // Hue/lightness/saturation: hue in degrees (negative counts +360); saturation offset;
    // lightness offset; hue mode (0 adds the hue, non-zero replaces it).
    std::int32_t arg[4] = {};
};

namespace effect {
inline constexpr std::uint32_t kGray = 0;
inline constexpr std::uint32_t kHls = 1;
inline constexpr std::uint32_t kLevels = 2;
inline constexpr std::uint32_t kInvert = 3;
inline constexpr std::uint32_t kOpacityGiven = 0x80000000u;
} // namespace effect

// Blend operators, flags & kOperatorMask. 7 is not an operator.
enum class NxBlendOp : std::uint32_t { Normal, Add, Subtract, Multiply, Screen, Lighten, Darken };

} // namespace gfx
