// AVX-512 variants of the hot kernels (forward walking, normal operator). Compiled with the
// AVX-512 F, BW and DQ flags and called only when the CPU and the system have them; byte-exact
// with the scalar reference. No globals here, for the reason the AVX2 file gives. The loop bodies
// are the other vector levels' (KernelLoops.inc); this file holds only the register operations.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <immintrin.h>

#include <array>
#include <new>
#include <vector>

namespace gfx::kernels::avx512 {

namespace {

// Sixteen pixels per register, as four 128-bit lanes of four: as at the AVX2 level, unpacking
// and packing stay within each lane, which keeps the pixels in order through a round trip.
// Comparisons give whole-lane masks in a register, like the narrower levels, so the shared loop
// bodies need no mask registers of their own.
struct Vec {
    using Reg = __m512i;
    static constexpr int kPixels = 16;
    static constexpr int kAlignment = 64;

    static Reg load(const std::uint8_t* row, int i)
    {
        return _mm512_loadu_si512(row + 4 * static_cast<std::ptrdiff_t>(i));
    }
    static void store(std::uint8_t* row, int i, Reg v)
    {
        _mm512_storeu_si512(row + 4 * static_cast<std::ptrdiff_t>(i), v);
    }

    // A store past the caches, to an address aligned to the register.
    static void stream(std::uint8_t* row, int i, Reg v)
    {
        _mm512_stream_si512(reinterpret_cast<__m512i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
    }

    static Reg zero() { return _mm512_setzero_si512(); }
    static Reg splat32(std::uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
    static Reg splat16(int v) { return _mm512_set1_epi16(static_cast<short>(v)); }
    static Reg splat64(std::uint64_t v) { return _mm512_set1_epi64(static_cast<long long>(v)); }

    static Reg bitAnd(Reg a, Reg b) { return _mm512_and_si512(a, b); }
    static Reg bitOr(Reg a, Reg b) { return _mm512_or_si512(a, b); }
    static Reg andNot(Reg a, Reg b) { return _mm512_andnot_si512(a, b); }  // ~a & b
    // By the top bit of each byte of mask, as the AVX2 byte blend.
    static Reg select(Reg mask, Reg whenSet, Reg otherwise)
    {
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(mask), otherwise, whenSet);
    }

    static Reg add16(Reg a, Reg b) { return _mm512_add_epi16(a, b); }
    static Reg sub16(Reg a, Reg b) { return _mm512_sub_epi16(a, b); }
    static Reg mullo16(Reg a, Reg b) { return _mm512_mullo_epi16(a, b); }
    static Reg mulhi16(Reg a, Reg b) { return _mm512_mulhi_epi16(a, b); }
    static Reg min16(Reg a, Reg b) { return _mm512_min_epi16(a, b); }
    static Reg cmpgt16(Reg a, Reg b) { return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b)); }
    static Reg cmpeq32(Reg a, Reg b) { return _mm512_movm_epi32(_mm512_cmpeq_epi32_mask(a, b)); }
    static Reg minU8(Reg a, Reg b) { return _mm512_min_epu8(a, b); }
    template <int N> static Reg shr16(Reg v) { return _mm512_srli_epi16(v, N); }
    template <int N> static Reg shl16(Reg v) { return _mm512_slli_epi16(v, N); }
    template <int N> static Reg shr32(Reg v) { return _mm512_srli_epi32(v, N); }
    template <int N> static Reg shl32(Reg v) { return _mm512_slli_epi32(v, N); }

    static Reg unpackLo8(Reg v) { return _mm512_unpacklo_epi8(v, _mm512_setzero_si512()); }
    static Reg unpackHi8(Reg v) { return _mm512_unpackhi_epi8(v, _mm512_setzero_si512()); }
    static Reg pack16(Reg lo, Reg hi) { return _mm512_packus_epi16(lo, hi); }
    static Reg unpackLo32(Reg v) { return _mm512_unpacklo_epi32(v, v); }
    static Reg unpackHi32(Reg v) { return _mm512_unpackhi_epi32(v, v); }
    static Reg alpha16(Reg v) { return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(v, 0xFF), 0xFF); }

    static bool allZero(Reg v) { return _mm512_test_epi64_mask(v, v) == 0; }
    static bool allSet(Reg mask) { return _mm512_movepi8_mask(mask) == ~__mmask64{0}; }

    // Sixteen bytes widened to 32-bit lanes.
    static Reg widenBytes(const std::uint8_t* p)
    {
        return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }

    // table[index] per 32-bit lane.
    static Reg lookup(const std::uint32_t* table, Reg index) { return _mm512_i32gather_epi32(index, table, 4); }

    // The pixels of row at columns cols[0..15]. Within sixteen of each other they come from one
    // load and a lane permute; up to 47 apart (shrinking to about a third) from the loads that
    // cover them (pixelsAcross), where sixteen single loads made the nearest shrink about a fifth
    // slower.
    static Reg gatherPixels(const std::uint8_t* row, const std::int32_t* cols)
    {
        const Reg index = loadColumns(cols);
        std::int32_t lo, span;
        if (columnSpan(cols, index, lo, span)) {
            if (span <= 15 && lo + span >= 15) {
                const std::int32_t base = lo + span - 15;
                return _mm512_permutexvar_epi32(_mm512_sub_epi32(index, _mm512_set1_epi32(base)), loadAt(row, base));
            }
            if (span >= 16 && span <= 47)
                return pixelsAcross(row, index, lo, span);
        }
        // Plain loads: on the machines measured the gather instruction took twice their time.
        const auto at = [&](int k) { return static_cast<int>(load32(row + 4 * static_cast<std::ptrdiff_t>(cols[k]))); };
        return _mm512_setr_epi32(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9), at(10), at(11),
                                 at(12), at(13), at(14), at(15));
    }

    // The pixels of row at columns cols[k] (left) and cols[k] + 1 (right), k = 0..15. What the
    // walk's step says of the columns is not used at this level: it was measured only at AVX2,
    // on a CPU without AVX-512, so every register tests its own span as before.
    template <ColumnWalk>
    static void neighbours(const std::uint8_t* row, const std::int32_t* cols, Reg& left, Reg& right)
    {
        const Reg index = loadColumns(cols);
        std::int32_t lo, span;
        // Up to the highest column's right neighbour, which the filter reads anyway.
        if (columnSpan(cols, index, lo, span) && span <= 14 && lo + span >= 14) {
            const std::int32_t base = lo + span + 1 - 15;
            const Reg shift = _mm512_set1_epi32(base);
            const Reg pixels = loadAt(row, base);
            left = _mm512_permutexvar_epi32(_mm512_sub_epi32(index, shift), pixels);
            const Reg next = _mm512_add_epi32(index, _mm512_set1_epi32(1));
            right = _mm512_permutexvar_epi32(_mm512_sub_epi32(next, shift), pixels);
            return;
        }
        // Each neighbour pair by a plain 64-bit load (the gathers took twice as long), two pairs
        // to a 128-bit lane, then the lefts and the rights picked out of all eight lanes.
        const auto pairs = [&](int k) {
            const auto pairAt = [&](int j) {
                return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::ptrdiff_t>(cols[j])));
            };
            return _mm_unpacklo_epi64(pairAt(k), pairAt(k + 1));
        };
        const auto four = [&](int k) {
            const Reg low = _mm512_castsi128_si512(pairs(k));
            const Reg two = _mm512_inserti32x4(low, pairs(k + 2), 1);
            const Reg three = _mm512_inserti32x4(two, pairs(k + 4), 2);
            return _mm512_inserti32x4(three, pairs(k + 6), 3);
        };
        const Reg a = four(0);
        const Reg b = four(8);
        const Reg even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        left = _mm512_permutex2var_epi32(a, even, b);
        right = _mm512_permutex2var_epi32(a, _mm512_add_epi32(even, _mm512_set1_epi32(1)), b);
    }

private:
    // The pixels at index, all in columns lo .. lo + span (16 to 47), from three loads inside
    // that range: at lo, at lo + 16 (or, for a span below 31, at the last sixteen columns), and
    // at the last sixteen columns. A two-register permute picks the lanes of the first two loads,
    // a masked permute those past them from the third.
    static Reg pixelsAcross(const std::uint8_t* row, Reg index, std::int32_t lo, std::int32_t span)
    {
        const std::int32_t last = lo + span - 15;
        const std::int32_t middle = std::min(lo + 16, last);
        const Reg fromFirst = _mm512_sub_epi32(index, _mm512_set1_epi32(lo));
        const Reg fromMiddle = _mm512_sub_epi32(index, _mm512_set1_epi32(middle - 16));
        const __mmask16 inMiddle = _mm512_cmpge_epi32_mask(index, _mm512_set1_epi32(lo + 16));
        const Reg pair = _mm512_permutex2var_epi32(loadAt(row, lo), _mm512_mask_mov_epi32(fromFirst, inMiddle, fromMiddle),
                                                   loadAt(row, middle));
        const __mmask16 inLast = _mm512_cmpgt_epi32_mask(index, _mm512_set1_epi32(middle + 15));
        return _mm512_mask_permutexvar_epi32(pair, inLast, _mm512_sub_epi32(index, _mm512_set1_epi32(last)),
                                             loadAt(row, last));
    }

    static Reg loadColumns(const std::int32_t* cols) { return _mm512_loadu_si512(cols); }
    static Reg loadAt(const std::uint8_t* row, std::int32_t column)
    {
        return _mm512_loadu_si512(row + 4 * static_cast<std::ptrdiff_t>(column));
    }

    // The smallest column and the distance to the largest, when all sixteen lie between the
    // first and the last (as in every monotonic walk); false for other tables.
    static bool columnSpan(const std::int32_t* cols, Reg index, std::int32_t& lo, std::int32_t& span)
    {
        lo = std::min(cols[0], cols[15]);
        span = std::max(cols[0], cols[15]) - lo;
        // Unsigned: a column below lo wraps to a large offset.
        const Reg offset = _mm512_sub_epi32(index, _mm512_set1_epi32(lo));
        return _mm512_cmpgt_epu32_mask(offset, _mm512_set1_epi32(span)) == 0;
    }
};

} // namespace

#include "gfx/kernels/KernelLoops.inc"

} // namespace gfx::kernels::avx512
