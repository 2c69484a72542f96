#include "gfx/NxTables.h"
#include "gfx/kernels/Kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace gfx::kernels {
namespace {

// ---- dispatch table ----

// Every (operation, source kind) the engines ask for.
const std::vector<std::pair<Op, SourceKind>> kUsedPairs = {
    {Op::Copy, SourceKind::Argb32},          {Op::Copy, SourceKind::Palette8},
    {Op::Copy, SourceKind::Gray8To8},        {Op::Blend, SourceKind::Argb32},
    {Op::Blend, SourceKind::Palette8},       {Op::BlendSourceAlpha, SourceKind::Argb32},
    {Op::FillColour, SourceKind::Colour},    {Op::Composite, SourceKind::Argb32},
    {Op::Composite, SourceKind::Colour},     {Op::CompositeSourceAlpha, SourceKind::Argb32},
    {Op::CoverageColour, SourceKind::Byte8}, {Op::CoverageComposite, SourceKind::Byte8},
    {Op::WriteMaskCopy, SourceKind::Argb32}, {Op::WriteMaskCopy, SourceKind::Byte8},
    {Op::WriteMaskCopy, SourceKind::Gray8To8}, {Op::WriteMaskFill, SourceKind::Colour},
    {Op::RuleTransition, SourceKind::Argb32},
    {Op::SolidFill, SourceKind::Colour},       {Op::SolidFill, SourceKind::Gray8To8},
    {Op::ScaledCopy, SourceKind::Argb32},      {Op::ScaledCopy, SourceKind::Palette8},
    {Op::ScaledCopy, SourceKind::Gray8To8},    {Op::ScaledBlend, SourceKind::Argb32},
    {Op::ScaledBlend, SourceKind::Palette8},   {Op::ScaledBlendSourceAlpha, SourceKind::Argb32},
    {Op::FilteredCopy, SourceKind::Argb32},    {Op::FilteredCopy, SourceKind::Palette8},
    {Op::FilteredCopy, SourceKind::Gray8To8},  {Op::FilteredBlend, SourceKind::Argb32},
    {Op::FilteredBlendSourceAlpha, SourceKind::Argb32},
};

TEST(DispatchTableTest, EveryOperationAndFormatResolvesWithoutAnyCondition)
{
    std::set<int> ops;
    for (const auto& [op, kind] : kUsedPairs) {
        EXPECT_NE(resolve(op, kind, 0), nullptr) << static_cast<int>(op) << "/" << static_cast<int>(kind);
        ops.insert(static_cast<int>(op));
    }
    EXPECT_EQ(ops.size(), static_cast<std::size_t>(kOpCount));
}

TEST(DispatchTableTest, EachGroupEndsWithItsGenericScalarRow)
{
    const auto table = dispatchTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        bool laterInGroup = false;
        for (std::size_t j = i + 1; j < table.size(); ++j)
            laterInGroup |= table[j].op == table[i].op && table[j].kind == table[i].kind;
        if (!laterInGroup)
            EXPECT_EQ(table[i].required, 0u) << table[i].name;
    }
}

// The instruction set a row needs: the highest level bit among its conditions.
Level rowLevel(const DispatchRow& row)
{
    if (row.required & req::kAvx512)
        return Level::Avx512;
    if (row.required & req::kAvx2)
        return Level::Avx2;
    if (row.required & req::kSse2)
        return Level::Sse2;
    return Level::Scalar;
}

TEST(DispatchTableTest, NoRowIsShadowedByAnEarlierOne)
{
    const auto table = dispatchTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (table[j].op == table[i].op && table[j].kind == table[i].kind)
                EXPECT_NE(table[j].required & table[i].required, table[j].required)
                    << table[i].name << " is shadowed by " << table[j].name;
    // And each row is what a call offering exactly its conditions (plus the implied lower
    // level) gets.
    for (const DispatchRow& row : table) {
        const std::uint32_t offered = row.required | levelConditions(rowLevel(row));
        EXPECT_EQ(resolve(row.op, row.kind, offered), row.kernel) << row.name;
    }
}

TEST(DispatchTableTest, ForcedLevelCapsTheChoice)
{
    forceLevel(Level::Scalar);
    EXPECT_EQ(activeLevel(), Level::Scalar);
    EXPECT_EQ(resolveForCall(Op::Blend, SourceKind::Argb32, true, true), &scalar::blend32);
    forceLevel(Level::Avx2);
    if (cpuLevel() >= Level::Avx2)
        EXPECT_EQ(resolveForCall(Op::Blend, SourceKind::Argb32, true, true), &avx2::blend32);
    forceLevel(Level::Avx512);
    EXPECT_EQ(activeLevel(), cpuLevel());
    if (cpuLevel() == Level::Avx512)
        EXPECT_EQ(resolveForCall(Op::Blend, SourceKind::Argb32, true, true), &avx512::blend32);
    // Mirrored walks and other operators always take the generic row.
    EXPECT_EQ(resolveForCall(Op::Blend, SourceKind::Argb32, false, true), &scalar::blend32);
    EXPECT_EQ(resolveForCall(Op::Blend, SourceKind::Argb32, true, false), &scalar::blend32);
}

// ---- differential tests: every vector row against the scalar reference ----

struct Buffers {
    std::vector<std::uint8_t> dst;
    std::vector<std::uint8_t> src;
    KernelArgs args;
};

std::uint8_t pickAlpha(std::mt19937& rng)
{
    switch (rng() % 4) {
    case 0: return 0;
    case 1: return 255;
    default: return static_cast<std::uint8_t>(rng());
    }
}

std::uint32_t pickOpacity(std::mt19937& rng)
{
    static const std::uint32_t kInteresting[] = {0, 1, 2, 127, 128, 254, 255};
    return rng() % 2 ? kInteresting[rng() % 7] : rng() % 256;
}

// Random pixels whose alpha bytes come in runs, so vector fast paths (all transparent, all
// opaque) and mixed groups all occur.
void fillPixels(std::vector<std::uint8_t>& bytes, std::mt19937& rng)
{
    std::uint8_t alpha = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        if (rng() % 6 == 0)
            alpha = pickAlpha(rng);
        const std::uint32_t v = (rng() & 0x00FFFFFFu) | (rng() % 3 == 0 ? std::uint32_t(rng()) << 24 : std::uint32_t(alpha) << 24);
        std::memcpy(bytes.data() + i, &v, std::min<std::size_t>(4, bytes.size() - i));
    }
}

Buffers makeCase(std::mt19937& rng, int width)
{
    Buffers b;
    const int height = 1 + static_cast<int>(rng() % 4);
    const int dstOffset = static_cast<int>(rng() % 9);       // pixels before the rectangle
    const int srcOffset = static_cast<int>(rng() % 9);
    const int dstPitchPx = width + dstOffset + 1 + static_cast<int>(rng() % 7);
    const int srcPitchPx = width + srcOffset + 1 + static_cast<int>(rng() % 7);
    const int byteShift = rng() % 8 == 0 ? 1 : 0;             // now and then a destination off 4-byte alignment
    b.dst.resize(static_cast<std::size_t>(dstPitchPx) * (height + 1) * 4 + 64);
    b.src.resize(static_cast<std::size_t>(srcPitchPx) * (height + 1) * 4 + 64);
    fillPixels(b.dst, rng);
    fillPixels(b.src, rng);
    KernelArgs& a = b.args;
    a.dst = b.dst.data() + 16 + byteShift + 4 * dstOffset;
    a.dstPitch = 4 * dstPitchPx;
    a.src = b.src.data() + 16 + 4 * srcOffset;
    a.srcPitch = 4 * srcPitchPx;
    if (rng() % 4 == 0) {  // a flipped source: walk upward from the last row
        a.src += a.srcPitch * (height - 1);
        a.srcPitch = -a.srcPitch;
    }
    a.srcStep = 1;
    a.width = width;
    a.height = height;
    a.blendOp = 0;
    a.opacity = pickOpacity(rng);
    a.colour = (rng() & 0x00FFFFFFu) | pickOpacity(rng) << 24;
    a.tables = &tables();
    return b;
}

struct VectorRow {
    DispatchRow row;
    Level level;
};

// Turns the case's destination upside down: the same rows, walked from the last one upward.
void flipDestination(Buffers& b)
{
    KernelArgs& a = b.args;
    a.dst += a.dstPitch * (a.height - 1);
    a.dstPitch = -a.dstPitch;
}

// Whether byte i of the destination block lies inside the case's rectangle.
bool insideRectangle(const Buffers& b, std::size_t i)
{
    const KernelArgs& a = b.args;
    const std::ptrdiff_t first = a.dst - b.dst.data();
    for (int y = 0; y < a.height; ++y) {
        const std::ptrdiff_t row = first + y * a.dstPitch;
        const auto at = static_cast<std::ptrdiff_t>(i);
        if (at >= row && at < row + 4 * a.width)
            return true;
    }
    return false;
}

std::vector<VectorRow> vectorRows()
{
    std::vector<VectorRow> rows;
    for (const DispatchRow& row : dispatchTable()) {
        // Scaled kernels read sampling tables; ScaledKernelTest covers them.
        if (row.op >= Op::ScaledCopy)
            continue;
        if (rowLevel(row) != Level::Scalar)
            rows.push_back({row, rowLevel(row)});
    }
    return rows;
}

void PrintTo(const VectorRow& row, std::ostream* os) { *os << row.row.name; }

class VectorKernelTest : public ::testing::TestWithParam<VectorRow> {};

TEST_P(VectorKernelTest, MatchesTheScalarReferenceByteForByte)
{
    const VectorRow& v = GetParam();
    if (cpuLevel() < v.level)
        GTEST_SKIP() << "CPU lacks " << v.row.name;
    // The reference is the generic row: no conditions at all.
    const Kernel reference = resolve(v.row.op, v.row.kind, 0);
    ASSERT_NE(reference, nullptr);
    std::mt19937 rng(0x5EED0000u + static_cast<unsigned>(v.row.op) * 31 + static_cast<unsigned>(v.level));
    for (int iteration = 0; iteration < 600; ++iteration) {
        const int width = iteration % 71;
        Buffers expected = makeCase(rng, width);
        // Every third case writes a bottom-up destination, whose rows descend in memory.
        if (iteration % 3 == 1)
            flipDestination(expected);
        // Now and then blended over the case's colour instead of the destination.
        expected.args.overColour = v.row.op == Op::BlendSourceAlpha && iteration % 4 == 2;
        Buffers actual = expected;
        actual.args.dst = actual.dst.data() + (expected.args.dst - expected.dst.data());
        actual.args.src = actual.src.data() + (expected.args.src - expected.src.data());
        const std::vector<std::uint8_t> before = expected.dst;
        reference(expected.args);
        v.row.kernel(actual.args);
        ASSERT_EQ(actual.dst, expected.dst) << v.row.name << " iteration " << iteration << " width " << width
                                            << " opacity " << expected.args.opacity;
        // Outside the rectangle nothing changed.
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (!insideRectangle(expected, i)) {
                ASSERT_EQ(expected.dst[i], before[i]) << v.row.name << " wrote outside at byte " << i;
            }
        }
    }
}

// Source and destination rows in one block, both bottom-up, the destination one row above the
// source: each row reads the row the previous one wrote, so the rows must go in their given order.
TEST_P(VectorKernelTest, OverlappingRowsKeepTheirOrder)
{
    const VectorRow& v = GetParam();
    if (cpuLevel() < v.level)
        GTEST_SKIP() << "CPU lacks " << v.row.name;
    const Kernel reference = resolve(v.row.op, v.row.kind, 0);
    std::mt19937 rng(99);
    for (const int width : {5, 16, 37, 64}) {
        const int height = 6;
        const std::ptrdiff_t pitch = 4 * (width + 3);
        std::vector<std::uint8_t> expected(static_cast<std::size_t>(pitch) * (height + 1) + 32);
        fillPixels(expected, rng);
        std::vector<std::uint8_t> actual = expected;
        KernelArgs a;
        a.dstPitch = -pitch;
        a.srcPitch = -pitch;
        a.width = width;
        a.height = height;
        a.opacity = 200;
        a.colour = 0x80336699u;
        a.tables = &tables();
        for (auto* block : {&expected, &actual}) {
            a.src = block->data() + 8 + pitch * height;
            a.dst = block->data() + 8 + pitch * (height - 1);
            (block == &expected ? reference : v.row.kernel)(a);
        }
        ASSERT_EQ(actual, expected) << v.row.name << " width " << width;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, VectorKernelTest, ::testing::ValuesIn(vectorRows()),
                         [](const ::testing::TestParamInfo<VectorRow>& info) {
                             std::string name = info.param.row.name;
                             for (char& c : name)
                                 if (c == ':')
                                     c = '_';
                             return name;
                         });

// Every source alpha under every opacity, so the vector division by 255 is checked exhaustively.
class AlphaSweepTest : public ::testing::TestWithParam<VectorRow> {};

TEST_P(AlphaSweepTest, EveryAlphaAndOpacityMatchesTheReference)
{
    const VectorRow& v = GetParam();
    if (cpuLevel() < v.level)
        GTEST_SKIP();
    const Kernel reference = resolve(v.row.op, v.row.kind, 0);
    std::vector<std::uint8_t> src(256 * 4), dstInit(256 * 4);
    std::mt19937 rng(7);
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t s = (rng() & 0x00FFFFFFu) | std::uint32_t(i) << 24;
        const std::uint32_t d = (rng() & 0x00FFFFFFu) | std::uint32_t(255 - i) << 24;
        std::memcpy(&src[4 * i], &s, 4);
        std::memcpy(&dstInit[4 * i], &d, 4);
    }
    for (std::uint32_t opacity = 0; opacity < 256; ++opacity) {
        std::vector<std::uint8_t> expected = dstInit, actual = dstInit;
        KernelArgs a;
        a.src = src.data();
        a.srcPitch = 0;
        a.width = 256;
        a.height = 1;
        a.opacity = opacity;
        a.colour = 0x00336699u | opacity << 24;
        a.tables = &tables();
        a.dst = expected.data();
        reference(a);
        a.dst = actual.data();
        v.row.kernel(a);
        ASSERT_EQ(actual, expected) << v.row.name << " opacity " << opacity;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, AlphaSweepTest, ::testing::ValuesIn(vectorRows()),
                         [](const ::testing::TestParamInfo<VectorRow>& info) {
                             std::string name = info.param.row.name;
                             for (char& c : name)
                                 if (c == ':')
                                     c = '_';
                             return name;
                         });

// ---- the scalar formulas, pinned ----

// FNV-1a over the results of every scalar kernel on fixed random cases. A change here means the
// arithmetic changed; the exact-pixel tests of the blit operations say which way.
TEST(ScalarChecksumTest, ScalarResultsArePinned)
{
    std::mt19937 rng(1234);
    std::uint64_t hash = 1469598103934665603ull;
    std::vector<std::uint32_t> palette(256);
    for (auto& e : palette)
        e = static_cast<std::uint32_t>(rng());
    std::uint8_t ramp[256];
    for (int i = 0; i < 256; ++i)
        ramp[i] = static_cast<std::uint8_t>(255 - i);
    for (const DispatchRow& row : dispatchTable()) {
        // Fills and scaled kernels are pinned by their own tests.
        if (rowLevel(row) != Level::Scalar || row.op >= Op::SolidFill)
            continue;
        for (int iteration = 0; iteration < 40; ++iteration) {
            Buffers b = makeCase(rng, 1 + iteration);
            b.args.blendOp = row.required & req::kNormalOp ? 0 : static_cast<std::uint32_t>(rng() % 7);
            b.args.palette = palette.data();
            b.args.writeMask = static_cast<std::uint32_t>(rng());
            b.args.ramp = ramp;
            if (!(row.required & req::kForward) && rng() % 2) {
                b.args.src += 4 * (b.args.width - 1);
                b.args.srcStep = -1;
            }
            row.kernel(b.args);
            for (std::uint8_t byte : b.dst)
                hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    EXPECT_EQ(hash, 0x2e0b28f472366a04ull) << std::hex << hash;
}

} // namespace
} // namespace gfx::kernels

namespace gfx::kernels {
namespace {

// ---- scaled kernels ----

std::vector<VectorRow> scaledVectorRows()
{
    std::vector<VectorRow> rows;
    for (const DispatchRow& row : dispatchTable()) {
        if (row.op < Op::ScaledCopy)
            continue;
        if (rowLevel(row) != Level::Scalar)
            rows.push_back({row, rowLevel(row)});
    }
    return rows;
}

class ScaledKernelTest : public ::testing::TestWithParam<VectorRow> {};

// Random sampling tables over a random source, odd strides and offsets, every width up to 70:
// byte-exact with the reference, nothing written outside the rectangle.
TEST_P(ScaledKernelTest, MatchesTheScalarReferenceByteForByte)
{
    const VectorRow& v = GetParam();
    if (cpuLevel() < v.level)
        GTEST_SKIP() << "CPU lacks " << v.row.name;
    const Kernel reference = resolve(v.row.op, v.row.kind, req::kNormalOp | req::kForward);
    ASSERT_NE(reference, nullptr);
    std::mt19937 rng(0x5CA1Eu + static_cast<unsigned>(v.row.op));
    for (int iteration = 0; iteration < 700; ++iteration) {
        const int width = iteration % 71;
        const int height = 1 + static_cast<int>(rng() % 4);
        // Every third case the even walk of a real scale (up to 3.5 source pixels per step, left
        // to right or mirrored) over a source wide enough for it, which the vector kernels read
        // in blocks of one to three registers; else runs of neighbouring columns, as real steps
        // make, and now and then a jump.
        const bool even = iteration % 3 == 0;
        const std::uint32_t step = 1 + rng() % 896;  // source pixels per destination pixel, in 1/256
        const int extent = width > 0 ? static_cast<int>((static_cast<std::uint32_t>(width - 1) * step) >> 8) : 0;
        const int srcWidth = even ? extent + 2 + static_cast<int>(rng() % 20) : 2 + static_cast<int>(rng() % 90);
        const int srcHeight = 2 + static_cast<int>(rng() % 6);
        const int srcPitchPx = srcWidth + static_cast<int>(rng() % 5);
        std::vector<std::uint8_t> src(static_cast<std::size_t>(srcPitchPx) * srcHeight * 4);
        fillPixels(src, rng);
        std::vector<std::int32_t> rowIndex(static_cast<std::size_t>(height)), colIndex(static_cast<std::size_t>(width));
        std::vector<std::uint8_t> rowWeight(rowIndex.size()), colWeight(colIndex.size());
        for (auto& r : rowIndex)
            r = static_cast<std::int32_t>(rng() % static_cast<unsigned>(srcHeight - 1));
        for (auto& w : rowWeight)
            w = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0 : rng());
        std::int32_t c = static_cast<std::int32_t>(rng() % static_cast<unsigned>(srcWidth - 1 - (even ? extent : 0)));
        if (even) {
            const bool mirrored = rng() % 2 == 0;
            for (std::size_t k = 0; k < colIndex.size(); ++k) {
                const std::uint32_t at = static_cast<std::uint32_t>(k) * step;
                colIndex[k] = c + static_cast<std::int32_t>(at >> 8);
                colWeight[k] = static_cast<std::uint8_t>(at);
            }
            if (mirrored)
                std::reverse(colIndex.begin(), colIndex.end());
        } else {
            for (std::size_t k = 0; k < colIndex.size(); ++k) {
                if (rng() % 5 == 0)
                    c = static_cast<std::int32_t>(rng() % static_cast<unsigned>(srcWidth - 1));
                colIndex[k] = c;
                colWeight[k] = static_cast<std::uint8_t>(rng());
                if (rng() % 2)
                    c = std::min(c + 1, srcWidth - 2);
            }
        }
        const int dstOffset = static_cast<int>(rng() % 9);
        const int dstPitchPx = width + dstOffset + 1 + static_cast<int>(rng() % 7);
        std::vector<std::uint8_t> expected(static_cast<std::size_t>(dstPitchPx) * (height + 1) * 4);
        fillPixels(expected, rng);
        std::vector<std::uint8_t> actual = expected;
        const std::vector<std::uint8_t> before = expected;
        KernelArgs a;
        a.dstPitch = dstPitchPx * 4;
        a.src = src.data();
        a.srcPitch = srcPitchPx * 4;
        a.width = width;
        a.height = height;
        a.opacity = pickOpacity(rng);
        a.rowIndex = rowIndex.data();
        a.rowWeight = rowWeight.data();
        a.colIndex = colIndex.data();
        a.colWeight = colWeight.data();
        // Half of the even walks tell their step, so that each way of loading columns is checked.
        a.columnStep = even && rng() % 2 == 0 ? std::uint64_t{step} << 24 : 0;
        a.lowAlphaCut = rng() % 3 == 0;
        a.colourFix = !a.lowAlphaCut;
        a.tables = &tables();
        const bool blendsSourceAlpha = v.row.op == Op::ScaledBlendSourceAlpha || v.row.op == Op::FilteredBlendSourceAlpha;
        a.overColour = blendsSourceAlpha && rng() % 3 == 0;
        a.colour = static_cast<std::uint32_t>(rng());
        a.dst = expected.data() + 4 * dstOffset;
        reference(a);
        a.dst = actual.data() + 4 * dstOffset;
        v.row.kernel(a);
        ASSERT_EQ(actual, expected) << v.row.name << " iteration " << iteration << " width " << width;
        for (std::size_t i = 0; i < before.size(); ++i) {
            const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(i) - 4 * dstOffset;
            const bool inside = off >= 0 && off / a.dstPitch < height && off % a.dstPitch < 4 * width;
            if (!inside)
                ASSERT_EQ(expected[i], before[i]) << v.row.name << " wrote outside at byte " << i;
        }
    }
}

// Blending over a colour is blending over a destination filled with it: every pixel of the
// rectangle written, whatever it held, and nothing around it.
TEST(ScaledOverColourTest, EqualsTheBlendOverAFreshFill)
{
    std::mt19937 rng(0xC0102u);
    for (const Op op : {Op::ScaledBlendSourceAlpha, Op::FilteredBlendSourceAlpha}) {
        for (const Level level : {Level::Scalar, Level::Sse2, Level::Avx2, Level::Avx512}) {
            if (cpuLevel() < level)
                continue;
            const Kernel kernel = resolve(op, SourceKind::Argb32, levelConditions(level) | req::kNormalOp | req::kForward);
            const Kernel fill = resolve(Op::SolidFill, SourceKind::Colour, 0);
            ASSERT_NE(kernel, nullptr);
            for (int iteration = 0; iteration < 200; ++iteration) {
                const int width = iteration % 41, height = 1 + static_cast<int>(rng() % 3);
                const int srcWidth = 2 + static_cast<int>(rng() % 60);
                std::vector<std::uint8_t> src(static_cast<std::size_t>(srcWidth) * 4 * 4);
                fillPixels(src, rng);
                std::vector<std::int32_t> rowIndex(static_cast<std::size_t>(height)), colIndex(static_cast<std::size_t>(width));
                std::vector<std::uint8_t> rowWeight(rowIndex.size()), colWeight(colIndex.size());
                for (std::size_t k = 0; k < rowIndex.size(); ++k) {
                    rowIndex[k] = static_cast<std::int32_t>(rng() % 3);
                    rowWeight[k] = static_cast<std::uint8_t>(rng());
                }
                for (std::size_t k = 0; k < colIndex.size(); ++k) {
                    colIndex[k] = std::min<std::int32_t>(static_cast<std::int32_t>(k * 3 / 2), srcWidth - 2);
                    colWeight[k] = static_cast<std::uint8_t>(rng());
                }
                const int pitchPx = width + 3;
                std::vector<std::uint8_t> filled(static_cast<std::size_t>(pitchPx) * (height + 1) * 4);
                fillPixels(filled, rng);
                std::vector<std::uint8_t> over = filled;
                KernelArgs a;
                a.dstPitch = pitchPx * 4;
                a.src = src.data();
                a.srcPitch = srcWidth * 4;
                a.width = width;
                a.height = height;
                a.opacity = pickOpacity(rng);
                a.rowIndex = rowIndex.data();
                a.rowWeight = rowWeight.data();
                a.colIndex = colIndex.data();
                a.colWeight = colWeight.data();
                a.colourFix = rng() % 2 == 0;
                a.lowAlphaCut = !a.colourFix;
                a.tables = &tables();
                a.colour = (rng() & 0x00FFFFFFu) | std::uint32_t{pickAlpha(rng)} << 24;
                a.dst = filled.data() + 4;
                fill(a);
                kernel(a);
                a.dst = over.data() + 4;
                a.overColour = true;
                kernel(a);
                ASSERT_EQ(over, filled) << static_cast<int>(op) << " level " << static_cast<int>(level) << " iteration "
                                        << iteration;
            }
        }
    }
}

// An enlargement samples a source row for several rows in turn. Drawn onto the rows it reads, a
// repeated row must be drawn again from what the rows before it wrote, as the reference does,
// and not copied from the row above nor blended from samples gathered before; apart, the copy
// and the gathered samples must equal the drawing. Nearest copies and nearest blends over a
// colour and over the destination, halving columns so that each step reads ahead of its writes.
TEST(ScaledRepeatTest, RepeatedSourceRowsMatchTheReferenceOverTheirOwnSource)
{
    int tested = 0;
    for (const VectorRow& v : scaledVectorRows()) {
        if (cpuLevel() < v.level || (v.row.op != Op::ScaledCopy && v.row.op != Op::ScaledBlendSourceAlpha) ||
            v.row.kind != SourceKind::Argb32)
            continue;
        ++tested;
        const Kernel reference = resolve(v.row.op, v.row.kind, req::kNormalOp | req::kForward);
        ASSERT_NE(reference, nullptr);
        std::mt19937 rng(0xEC40u);
        const int width = 37, srcWidth = 2 * width, height = 6;
        const int pitchPx = srcWidth + 3;
        const std::vector<std::int32_t> rowIndex = {0, 0, 1, 1, 1, 3};
        std::vector<std::int32_t> colIndex(static_cast<std::size_t>(width));
        for (int k = 0; k < width; ++k)
            colIndex[static_cast<std::size_t>(k)] = 2 * k;
        const std::vector<std::uint8_t> rowWeight(rowIndex.size()), colWeight(colIndex.size());
        const bool blend = v.row.op == Op::ScaledBlendSourceAlpha;
        for (const auto& [dstRow, overColour] : {std::pair{0, blend}, {1, blend}, {8, blend}, {0, false}, {8, false}}) {
            std::vector<std::uint8_t> expected(static_cast<std::size_t>(pitchPx) * 16 * 4);
            fillPixels(expected, rng);
            std::vector<std::uint8_t> actual = expected;
            KernelArgs a;
            a.dstPitch = pitchPx * 4;
            a.srcPitch = pitchPx * 4;
            a.width = width;
            a.height = height;
            a.opacity = 255;
            a.rowIndex = rowIndex.data();
            a.rowWeight = rowWeight.data();
            a.colIndex = colIndex.data();
            a.colWeight = colWeight.data();
            a.tables = &tables();
            a.overColour = overColour;
            a.colour = 0x80336699u;
            a.src = expected.data();
            a.dst = expected.data() + static_cast<std::ptrdiff_t>(dstRow) * a.dstPitch;
            reference(a);
            a.src = actual.data();
            a.dst = actual.data() + static_cast<std::ptrdiff_t>(dstRow) * a.dstPitch;
            v.row.kernel(a);
            ASSERT_EQ(actual, expected) << v.row.name << " destination from row " << dstRow
                                        << (overColour ? " over the colour" : "");
        }
    }
    if (cpuLevel() >= Level::Sse2)
        EXPECT_GE(tested, 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScaledKernelTest, ::testing::ValuesIn(scaledVectorRows()),
                         [](const ::testing::TestParamInfo<VectorRow>& info) {
                             std::string name = info.param.row.name;
                             for (char& c : name)
                                 if (c == ':')
                                     c = '_';
                             return name;
                         });

} // namespace
} // namespace gfx::kernels

namespace gfx::kernels {
namespace {

// Puts the string stores back to what the CPU was found to offer.
struct DetectedStringStores {
    ~DetectedStringStores() { forceStringStores(StringStores::Detected); }
};

// A fill larger than the caches takes string stores when its rows follow each other without a
// gap and the CPU's string stores pay, else the streaming stores: every pixel of the rectangle
// gets the colour, rows starting off alignment and ending in a partial register included, and no
// byte around it changes. Both kinds of store whatever the CPU, both row orders, pixels that do
// not start on a word (lent bits may), which cannot stream, and a block that is not a whole
// number of string-store calls.
TEST(LargeFillTest, LargeFillWritesExactlyTheRectangle)
{
    const int width = 2921, height = 2901;  // over 32 MB of pixels inside the border
    const std::ptrdiff_t pitch = 4 * std::ptrdiff_t{width};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(pitch) * height + 4);
    const std::uint32_t colour = 0x80FFEE11u;
    const DetectedStringStores restore;
    for (const StringStores use : {StringStores::On, StringStores::Off}) {
        forceStringStores(use);
        for (const DispatchRow& row : dispatchTable()) {
            if (row.op != Op::SolidFill || row.kind != SourceKind::Colour)
                continue;
            if (cpuLevel() < rowLevel(row))
                continue;
            // Each case: rows whole or cut, pixels on a word or shifted, rows top-down or bottom-up.
            for (int c = 0; c < 8; ++c) {
                const bool wholeRows = (c & 1) != 0;
                const int shift = (c >> 1) & 1;
                const bool bottomUp = (c & 4) != 0;
                std::fill(bytes.begin(), bytes.end(), std::uint8_t{0x5A});
                std::uint8_t* base = bytes.data() + shift;
                const int left = wholeRows ? 0 : 1;
                KernelArgs a;
                a.dst = base + pitch + 4 * left;
                a.dstPitch = pitch;
                if (bottomUp) {
                    a.dst += (height - 3) * pitch;
                    a.dstPitch = -pitch;
                }
                a.width = width - 2 * left;
                a.height = height - 2;
                a.colour = colour;
                a.tables = &tables();
                row.kernel(a);
                const auto where = [&] {
                    return std::string(row.name) + (bottomUp ? " bottom-up" : " top-down") +
                           (shift ? " shifted" : "") + (wholeRows ? " whole rows" : "") +
                           (use == StringStores::On ? " string stores" : "");
                };
                for (std::ptrdiff_t i = 0; i < shift; ++i)
                    ASSERT_EQ(bytes[static_cast<std::size_t>(i)], 0x5A) << where();
                for (std::size_t i = static_cast<std::size_t>(shift + pitch * height); i < bytes.size(); ++i)
                    ASSERT_EQ(bytes[i], 0x5A) << where();
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const bool inside = x >= left && x < width - left && y > 0 && y < height - 1;
                        std::uint32_t v;
                        std::memcpy(&v, base + y * pitch + 4 * x, 4);
                        ASSERT_EQ(v, inside ? colour : 0x5A5A5A5Au) << where() << " at " << x << "," << y;
                    }
            }
        }
    }
}

} // namespace
} // namespace gfx::kernels
