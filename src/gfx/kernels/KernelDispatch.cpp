#include "gfx/kernels/Kernels.h"

#include <array>
#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace gfx::kernels {

namespace {

using enum Op;
using enum SourceKind;
using namespace req;

// Most specific row first; every operation and source kind ends with its generic scalar row.
constexpr DispatchRow kTable[] = {
    {Copy, Argb32, kAvx512 | kForward, avx512::copy32, "avx512::copy32"},
    {Copy, Argb32, kAvx2 | kForward, avx2::copy32, "avx2::copy32"},
    {Copy, Argb32, kSse2 | kForward, sse2::copy32, "sse2::copy32"},
    {Copy, Argb32, kForward, scalar::copy32Forward, "scalar::copy32Forward"},
    {Copy, Argb32, 0, scalar::copy32, "scalar::copy32"},
    {Copy, Palette8, 0, scalar::copyPalette8, "scalar::copyPalette8"},
    {Copy, Gray8To8, 0, scalar::copyGray8, "scalar::copyGray8"},

    {Blend, Argb32, kAvx512 | kForward | kNormalOp, avx512::blend32, "avx512::blend32"},
    {Blend, Argb32, kAvx2 | kForward | kNormalOp, avx2::blend32, "avx2::blend32"},
    {Blend, Argb32, kSse2 | kForward | kNormalOp, sse2::blend32, "sse2::blend32"},
    {Blend, Argb32, 0, scalar::blend32, "scalar::blend32"},
    {Blend, Palette8, 0, scalar::blendPalette8, "scalar::blendPalette8"},

    {BlendSourceAlpha, Argb32, kAvx512 | kForward | kNormalOp, avx512::blendSourceAlpha, "avx512::blendSourceAlpha"},
    {BlendSourceAlpha, Argb32, kAvx2 | kForward | kNormalOp, avx2::blendSourceAlpha, "avx2::blendSourceAlpha"},
    {BlendSourceAlpha, Argb32, kSse2 | kForward | kNormalOp, sse2::blendSourceAlpha, "sse2::blendSourceAlpha"},
    {BlendSourceAlpha, Argb32, 0, scalar::blendSourceAlpha, "scalar::blendSourceAlpha"},

    {FillColour, Colour, kAvx512 | kNormalOp, avx512::fillColour, "avx512::fillColour"},
    {FillColour, Colour, kAvx2 | kNormalOp, avx2::fillColour, "avx2::fillColour"},
    {FillColour, Colour, kSse2 | kNormalOp, sse2::fillColour, "sse2::fillColour"},
    {FillColour, Colour, 0, scalar::fillColour, "scalar::fillColour"},

    {Composite, Argb32, kAvx512 | kForward, avx512::composite32, "avx512::composite32"},
    {Composite, Argb32, kAvx2 | kForward, avx2::composite32, "avx2::composite32"},
    {Composite, Argb32, kSse2 | kForward, sse2::composite32, "sse2::composite32"},
    {Composite, Argb32, 0, scalar::composite32, "scalar::composite32"},
    {Composite, Colour, 0, scalar::compositeColour, "scalar::compositeColour"},

    {CompositeSourceAlpha, Argb32, kAvx512 | kForward, avx512::compositeSourceAlpha, "avx512::compositeSourceAlpha"},
    {CompositeSourceAlpha, Argb32, kAvx2 | kForward, avx2::compositeSourceAlpha, "avx2::compositeSourceAlpha"},
    {CompositeSourceAlpha, Argb32, kSse2 | kForward, sse2::compositeSourceAlpha, "sse2::compositeSourceAlpha"},
    {CompositeSourceAlpha, Argb32, 0, scalar::compositeSourceAlpha, "scalar::compositeSourceAlpha"},

    {CoverageColour, Byte8, 0, scalar::coverageColour, "scalar::coverageColour"},
    {CoverageComposite, Byte8, 0, scalar::coverageComposite, "scalar::coverageComposite"},

    {WriteMaskCopy, Argb32, 0, scalar::writeMaskCopy32, "scalar::writeMaskCopy32"},
    {WriteMaskCopy, Byte8, 0, scalar::writeMaskCopyByte8, "scalar::writeMaskCopyByte8"},
    {WriteMaskCopy, Gray8To8, 0, scalar::writeMaskCopyGray8, "scalar::writeMaskCopyGray8"},
    {WriteMaskFill, Colour, 0, scalar::writeMaskFill, "scalar::writeMaskFill"},

    {RuleTransition, Argb32, 0, scalar::ruleTransition, "scalar::ruleTransition"},

    {SolidFill, Colour, kAvx512, avx512::solidFill32, "avx512::solidFill32"},
    {SolidFill, Colour, kAvx2, avx2::solidFill32, "avx2::solidFill32"},
    {SolidFill, Colour, kSse2, sse2::solidFill32, "sse2::solidFill32"},
    {SolidFill, Colour, 0, scalar::solidFill32, "scalar::solidFill32"},
    {SolidFill, Gray8To8, 0, scalar::solidFill8, "scalar::solidFill8"},

    {ScaledCopy, Argb32, kAvx512, avx512::scaledCopy32, "avx512::scaledCopy32"},
    {ScaledCopy, Argb32, kAvx2, avx2::scaledCopy32, "avx2::scaledCopy32"},
    {ScaledCopy, Argb32, kSse2, sse2::scaledCopy32, "sse2::scaledCopy32"},
    {ScaledCopy, Argb32, 0, scalar::scaledCopy32, "scalar::scaledCopy32"},
    {ScaledCopy, Palette8, 0, scalar::scaledCopyPalette8, "scalar::scaledCopyPalette8"},
    {ScaledCopy, Gray8To8, 0, scalar::scaledCopyGray8, "scalar::scaledCopyGray8"},
    {ScaledBlend, Argb32, 0, scalar::scaledBlend32, "scalar::scaledBlend32"},
    {ScaledBlend, Palette8, 0, scalar::scaledBlendPalette8, "scalar::scaledBlendPalette8"},
    {ScaledBlendSourceAlpha, Argb32, kAvx512 | kNormalOp, avx512::scaledBlendSourceAlpha, "avx512::scaledBlendSourceAlpha"},
    {ScaledBlendSourceAlpha, Argb32, kAvx2 | kNormalOp, avx2::scaledBlendSourceAlpha, "avx2::scaledBlendSourceAlpha"},
    {ScaledBlendSourceAlpha, Argb32, kSse2 | kNormalOp, sse2::scaledBlendSourceAlpha, "sse2::scaledBlendSourceAlpha"},
    {ScaledBlendSourceAlpha, Argb32, 0, scalar::scaledBlendSourceAlpha, "scalar::scaledBlendSourceAlpha"},

    {FilteredCopy, Argb32, kAvx512, avx512::filteredCopy32, "avx512::filteredCopy32"},
    {FilteredCopy, Argb32, kAvx2, avx2::filteredCopy32, "avx2::filteredCopy32"},
    {FilteredCopy, Argb32, kSse2, sse2::filteredCopy32, "sse2::filteredCopy32"},
    {FilteredCopy, Argb32, 0, scalar::filteredCopy32, "scalar::filteredCopy32"},
    {FilteredCopy, Palette8, 0, scalar::filteredCopyPalette8, "scalar::filteredCopyPalette8"},
    {FilteredCopy, Gray8To8, 0, scalar::filteredCopyGray8, "scalar::filteredCopyGray8"},
    {FilteredBlend, Argb32, 0, scalar::filteredBlend32, "scalar::filteredBlend32"},
    {FilteredBlendSourceAlpha, Argb32, kAvx512 | kNormalOp, avx512::filteredBlendSourceAlpha,
     "avx512::filteredBlendSourceAlpha"},
    {FilteredBlendSourceAlpha, Argb32, kAvx2 | kNormalOp, avx2::filteredBlendSourceAlpha,
     "avx2::filteredBlendSourceAlpha"},
    {FilteredBlendSourceAlpha, Argb32, kSse2 | kNormalOp, sse2::filteredBlendSourceAlpha,
     "sse2::filteredBlendSourceAlpha"},
    {FilteredBlendSourceAlpha, Argb32, 0, scalar::filteredBlendSourceAlpha, "scalar::filteredBlendSourceAlpha"},
};

Level detectLevel()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    // The checks include the system's saving of the wider registers.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        return Level::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return Level::Avx2;
    if (__builtin_cpu_supports("sse2"))
        return Level::Sse2;
#endif
    return Level::Scalar;
}

bool detectFastStringStores()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) || (ebx & (1u << 9)) == 0)  // ERMS
        return false;
    // AMD's families before 1Ah read each line before a string store overwrites it (measured on
    // family 19h), so there the vector and streaming stores are faster.
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx))
        return false;
    const bool amd = ebx == 0x68747541u && edx == 0x69746e65u && ecx == 0x444d4163u;  // "AuthenticAMD"
    if (amd && __get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        const unsigned base = (eax >> 8) & 0xFu;
        const unsigned family = base == 0xFu ? base + ((eax >> 20) & 0xFFu) : base;
        return family >= 0x1Au;
    }
    return true;
#endif
    return false;
}

// Where each operation's rows begin: every band of a window update resolves its kernels, so the
// search starts at the operation's own rows instead of the top of the table.
struct OpRows {
    std::array<std::uint8_t, kOpCount + 1> first{};
    bool grouped = true;
};

constexpr OpRows opRows()
{
    OpRows rows;
    constexpr auto count = static_cast<int>(std::size(kTable));
    int row = 0;
    for (int op = 0; op < kOpCount; ++op) {
        rows.first[static_cast<std::size_t>(op)] = static_cast<std::uint8_t>(row);
        while (row < count && static_cast<int>(kTable[row].op) == op)
            ++row;
    }
    rows.first[kOpCount] = static_cast<std::uint8_t>(row);
    rows.grouped = row == count;
    return rows;
}

constexpr OpRows kOpRows = opRows();
static_assert(kOpRows.grouped && std::size(kTable) < 256, "the table lists each operation's rows together, in Op order");

std::atomic<Level> g_levelCap{Level::Avx512};
std::atomic<StringStores> g_stringStores{StringStores::Detected};

} // namespace

std::span<const DispatchRow> dispatchTable() { return kTable; }

Kernel resolve(Op op, SourceKind kind, std::uint32_t offered)
{
    const auto o = static_cast<std::size_t>(op);
    if (o >= static_cast<std::size_t>(kOpCount))
        return nullptr;
    for (std::size_t i = kOpRows.first[o]; i < kOpRows.first[o + 1]; ++i) {
        const DispatchRow& row = kTable[i];
        if (row.kind == kind && (row.required & offered) == row.required)
            return row.kernel;
    }
    return nullptr;
}

Level cpuLevel()
{
    static const Level level = detectLevel();
    return level;
}

bool fastStringStores()
{
    static const bool fast = detectFastStringStores();
    switch (g_stringStores.load(std::memory_order_relaxed)) {
    case StringStores::On: return true;
    case StringStores::Off: return false;
    default: return fast;
    }
}

void forceStringStores(StringStores use) { g_stringStores.store(use, std::memory_order_relaxed); }

Level activeLevel()
{
    const Level cap = g_levelCap.load(std::memory_order_relaxed);
    const Level cpu = cpuLevel();
    return cap < cpu ? cap : cpu;
}

void forceLevel(Level level) { g_levelCap.store(level, std::memory_order_relaxed); }

std::uint32_t levelConditions(Level level)
{
    switch (level) {
    case Level::Avx512: return kAvx512 | kAvx2 | kSse2;
    case Level::Avx2: return kAvx2 | kSse2;
    case Level::Sse2: return kSse2;
    default: return 0;
    }
}

Kernel resolveForCall(Op op, SourceKind kind, bool forward, bool normalOp)
{
    std::uint32_t offered = levelConditions(activeLevel());
    if (forward)
        offered |= kForward;
    if (normalOp)
        offered |= kNormalOp;
    return resolve(op, kind, offered);
}

} // namespace gfx::kernels
