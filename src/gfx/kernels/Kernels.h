#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace gfx {
struct NxTables;
}

namespace gfx::kernels {

// Everything a kernel needs for one clipped rectangle. Kernels never clip: the caller hands them
// the exact rows and columns to touch and returns early on empty work.
struct KernelArgs {
    std::uint8_t* dst = nullptr;       // first destination pixel
    std::ptrdiff_t dstPitch = 0;       // bytes to the next destination row
    const std::uint8_t* src = nullptr; // first source pixel (or coverage byte) to read
    std::ptrdiff_t srcPitch = 0;       // bytes to the next source row (negative when flipped)
    int srcStep = 1;                   // pixels to the next source column (-1 when mirrored)
    int width = 0;
    int height = 0;
    std::uint32_t blendOp = 0;         // 0 normal .. 6 darken
    std::uint32_t opacity = 255;       // the operation's opacity a
    std::uint32_t colour = 0;          // 0xAARRGGBB
    std::uint32_t writeMask = 0;
    const std::uint32_t* palette = nullptr;  // 256 entries for 8 bpp sources
    // Rule transition: 256-entry opacity ramp, optional rule image walked like the source, and
    // whether the source alpha scales the ramp's opacity.
    const std::uint8_t* ramp = nullptr;
    const std::uint8_t* rule = nullptr;
    std::ptrdiff_t rulePitch = 0;
    bool ruleTimesSourceAlpha = false;
    // Scaled kernels: src is the source's row 0, column 0 and srcPitch its row pitch; per
    // destination row and column the source row and column to sample and the filter weight
    // (the top 8 bits of the position's fraction). The filter also reads row + 1 and column + 1.
    const std::int32_t* rowIndex = nullptr;
    const std::uint8_t* rowWeight = nullptr;
    const std::int32_t* colIndex = nullptr;
    const std::uint8_t* colWeight = nullptr;
    // When the columns are one even walk (colIndex[k] the whole part of a start plus k steps, or
    // that table reversed), the step in 1/2^32 pixels, else 0. The filtered kernels choose by it
    // how they load each register's neighbours; a step the table does not follow gives wrong
    // pixels, but no read before column 0 or past the highest column's right neighbour.
    std::uint64_t columnStep = 0;
    bool colourFix = false;    // transparent-pixel colour fix before filtering
    bool lowAlphaCut = false;  // filtered source-alpha weights through W3
    // Source-alpha kernels (unscaled, nearest and filtered): blend over `colour` as though every
    // destination pixel held it, without reading the destination; every pixel of the rectangle
    // is written. Drawing over a fresh solid fill this way saves the fill's own pass.
    bool overColour = false;
    const NxTables* tables = nullptr;
};

using Kernel = void (*)(const KernelArgs&);

// What a vector kernel knows of the columns one register samples: nothing (Any), that they lie
// close enough for one load of the register's width (Near), or far enough apart never to (Spread).
enum class ColumnWalk : std::uint8_t { Any, Near, Spread };

enum class Op : std::uint8_t {
    Copy,               // source pixels as they are (palette entries for 8 bpp sources)
    Blend,              // blend operator with the constant weight W[opacity]
    BlendSourceAlpha,   // blend operator with W[MUL[opacity][source alpha]]
    FillColour,         // blend operator of the colour with W[colour alpha]
    Composite,          // over destination alpha, constant opacity (source pixel or colour)
    CompositeSourceAlpha,
    CoverageColour,     // colour through an 8 bpp coverage mask, blend operator
    CoverageComposite,  // colour through a coverage mask over destination alpha
    WriteMaskCopy,
    WriteMaskFill,
    RuleTransition,
    SolidFill,          // args.colour as given (8 bpp destinations: its low byte)
    ScaledCopy,         // nearest sampling through the row and column tables
    ScaledBlend,
    ScaledBlendSourceAlpha,
    FilteredCopy,       // linear filter of the four neighbours
    FilteredBlend,
    FilteredBlendSourceAlpha,
};
inline constexpr int kOpCount = static_cast<int>(Op::FilteredBlendSourceAlpha) + 1;

enum class SourceKind : std::uint8_t {
    Argb32,       // 32 bpp source into 32 bpp
    Palette8,     // 8 bpp source through its colour table into 32 bpp
    Byte8,        // 8 bpp source read as raw bytes (coverage, gray) into 32 bpp
    Gray8To8,     // 8 bpp into 8 bpp
    Colour,       // no source: args.colour into 32 bpp
};
inline constexpr int kSourceKindCount = static_cast<int>(SourceKind::Colour) + 1;

// Conditions a dispatch row needs; a call offers the conditions it meets.
namespace req {
inline constexpr std::uint32_t kSse2 = 1;
inline constexpr std::uint32_t kAvx2 = 2;
inline constexpr std::uint32_t kForward = 4;    // source walked left to right (not mirrored)
inline constexpr std::uint32_t kNormalOp = 8;   // blend operator 0
inline constexpr std::uint32_t kAvx512 = 16;  // AVX-512 F, BW and DQ
} // namespace req

struct DispatchRow {
    Op op;
    SourceKind kind;
    std::uint32_t required;
    Kernel kernel;
    const char* name;
};

std::span<const DispatchRow> dispatchTable();

enum class Level : std::uint8_t { Scalar, Sse2, Avx2, Avx512 };

// The level the CPU offers, detected once.
Level cpuLevel();
// Whether the CPU's string stores write whole lines without reading them first (enhanced
// rep movsb/stosb, on a CPU known not to read each line anyway), detected once.
bool fastStringStores();
// Test hook: string stores used as detected, or always, or never.
enum class StringStores : std::uint8_t { Detected, On, Off };
void forceStringStores(StringStores use);
// The level kernels are chosen for: the CPU's, or lower while a test forces it.
Level activeLevel();
// Test hook: caps the active level (Level::Avx512 removes the cap).
void forceLevel(Level level);

// Conditions offered by the active level alone.
std::uint32_t levelConditions(Level level);

// First row for op and kind whose conditions are all offered; null when none.
Kernel resolve(Op op, SourceKind kind, std::uint32_t offered);
// resolve() with the active level plus the call's own conditions.
Kernel resolveForCall(Op op, SourceKind kind, bool forward, bool normalOp);

// Per-level entry points, declared for the table and for the differential tests.
namespace scalar {
void copy32(const KernelArgs&);
void copy32Forward(const KernelArgs&);
void copyPalette8(const KernelArgs&);
void copyGray8(const KernelArgs&);
void blend32(const KernelArgs&);
void blendPalette8(const KernelArgs&);
void blendSourceAlpha(const KernelArgs&);
void fillColour(const KernelArgs&);
void composite32(const KernelArgs&);
void compositeColour(const KernelArgs&);
void compositeSourceAlpha(const KernelArgs&);
void coverageColour(const KernelArgs&);
void coverageComposite(const KernelArgs&);
void writeMaskCopy32(const KernelArgs&);
void writeMaskCopyByte8(const KernelArgs&);
void writeMaskCopyGray8(const KernelArgs&);
void writeMaskFill(const KernelArgs&);
void ruleTransition(const KernelArgs&);
void solidFill32(const KernelArgs&);
void solidFill8(const KernelArgs&);
void scaledCopy32(const KernelArgs&);
void scaledCopyPalette8(const KernelArgs&);
void scaledCopyGray8(const KernelArgs&);
void scaledBlend32(const KernelArgs&);
void scaledBlendPalette8(const KernelArgs&);
void scaledBlendSourceAlpha(const KernelArgs&);
void filteredCopy32(const KernelArgs&);
void filteredCopyPalette8(const KernelArgs&);
void filteredCopyGray8(const KernelArgs&);
void filteredBlend32(const KernelArgs&);
void filteredBlendSourceAlpha(const KernelArgs&);
} // namespace scalar

// Each vector level's entry points: the same set at every level.
namespace sse2 {
#include "gfx/kernels/VectorEntryPoints.inc"
} // namespace sse2

namespace avx2 {
#include "gfx/kernels/VectorEntryPoints.inc"
} // namespace avx2

namespace avx512 {
#include "gfx/kernels/VectorEntryPoints.inc"
} // namespace avx512

} // namespace gfx::kernels
