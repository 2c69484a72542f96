// AVX2 variants of the hot kernels (forward walking, normal operator). Compiled with -mavx2 and
// called only when the CPU has it; byte-exact with the scalar reference. No globals here: a
// static initialiser would run AVX2 code at start-up on any CPU. The loop bodies are shared with
// the other vector levels (KernelLoops.inc); this file holds only the AVX2 register operations.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <immintrin.h>

#include <array>
#include <new>
#include <vector>

namespace gfx::kernels::avx2 {

namespace {

// Eight pixels per register, as two 128-bit lanes of four: unpacking and packing work within
// each lane, which keeps the pixels in order through a widen-compute-pack round trip.
struct Vec {
    using Reg = __m256i;
    static constexpr int kPixels = 8;
    static constexpr int kAlignment = 32;

    static Reg load(const std::uint8_t* row, int i)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * static_cast<std::ptrdiff_t>(i)));
    }
    static void store(std::uint8_t* row, int i, Reg v)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
    }

    // A store past the caches, to an address aligned to the register.
    static void stream(std::uint8_t* row, int i, Reg v)
    {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
    }

    static Reg zero() { return _mm256_setzero_si256(); }
    static Reg splat32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static Reg splat16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static Reg splat64(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }

    static Reg bitAnd(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    static Reg bitOr(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static Reg andNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }  // ~a & b
    static Reg select(Reg mask, Reg whenSet, Reg otherwise) { return _mm256_blendv_epi8(otherwise, whenSet, mask); }

    static Reg add16(Reg a, Reg b) { return _mm256_add_epi16(a, b); }
    static Reg sub16(Reg a, Reg b) { return _mm256_sub_epi16(a, b); }
    static Reg mullo16(Reg a, Reg b) { return _mm256_mullo_epi16(a, b); }
    static Reg mulhi16(Reg a, Reg b) { return _mm256_mulhi_epi16(a, b); }
    static Reg min16(Reg a, Reg b) { return _mm256_min_epi16(a, b); }
    static Reg cmpgt16(Reg a, Reg b) { return _mm256_cmpgt_epi16(a, b); }
    static Reg cmpeq32(Reg a, Reg b) { return _mm256_cmpeq_epi32(a, b); }
    static Reg minU8(Reg a, Reg b) { return _mm256_min_epu8(a, b); }
    template <int N> static Reg shr16(Reg v) { return _mm256_srli_epi16(v, N); }
    template <int N> static Reg shl16(Reg v) { return _mm256_slli_epi16(v, N); }
    template <int N> static Reg shr32(Reg v) { return _mm256_srli_epi32(v, N); }
    template <int N> static Reg shl32(Reg v) { return _mm256_slli_epi32(v, N); }

    static Reg unpackLo8(Reg v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
    static Reg unpackHi8(Reg v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
    static Reg pack16(Reg lo, Reg hi) { return _mm256_packus_epi16(lo, hi); }
    static Reg unpackLo32(Reg v) { return _mm256_unpacklo_epi32(v, v); }
    static Reg unpackHi32(Reg v) { return _mm256_unpackhi_epi32(v, v); }
    static Reg alpha16(Reg v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }

    static bool allZero(Reg v) { return _mm256_testz_si256(v, v) != 0; }
    static bool allSet(Reg mask) { return _mm256_movemask_epi8(mask) == -1; }

    // Eight bytes widened to 32-bit lanes.
    static Reg widenBytes(const std::uint8_t* p)
    {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }

    // table[index] per 32-bit lane.
    static Reg lookup(const std::uint32_t* table, Reg index)
    {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
    }

    // The pixels of row at columns cols[0..7]. Where the columns lie within eight of each other
    // (scaling up, or down by a little) one load and a lane permute replace eight loads.
    static Reg gatherPixels(const std::uint8_t* row, const std::int32_t* cols)
    {
        const Reg index = loadColumns(cols);
        std::int32_t lo, span;
        if (columnSpan(cols, index, lo, span)) {
            // The eight pixels up to the highest column: every one of them is a pixel of the row.
            if (span <= 7 && lo + span >= 7)
                return pixelsFrom(row, index, lo + span - 7);
            // Up to fifteen apart (shrinking to about a half): the eight from lo and the eight up
            // to the highest, each lane from the one that holds it.
            if (span >= 8 && span <= 15)
                return _mm256_blendv_epi8(pixelsFrom(row, index, lo), pixelsFrom(row, index, lo + span - 7),
                                          _mm256_cmpgt_epi32(index, _mm256_set1_epi32(lo + 7)));
        }
        const auto at = [&](int k) { return static_cast<int>(load32(row + 4 * static_cast<std::ptrdiff_t>(cols[k]))); };
        return _mm256_setr_epi32(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7));
    }

    // The pixels of row at columns cols[k] (left) and cols[k] + 1 (right), k = 0..7, where the
    // columns lie as Columns says.
    template <ColumnWalk Columns>
    static void neighbours(const std::uint8_t* row, const std::int32_t* cols, Reg& left, Reg& right)
    {
        if (Columns != ColumnWalk::Spread) {
            const Reg index = loadColumns(cols);
            const std::int32_t highest = std::max(cols[0], cols[7]);
            std::int32_t lo, span;
            const bool near = Columns == ColumnWalk::Near
                                  ? highest >= 6
                                  : columnSpan(cols, index, lo, span) && span <= 6 && highest >= 6;
            // The eight pixels up to the highest column's right neighbour, which the filter reads
            // anyway: none lies outside the row.
            if (near) {
                const Reg shift = _mm256_set1_epi32(highest - 6);
                const Reg pixels = loadAt(row, highest - 6);
                left = _mm256_permutevar8x32_epi32(pixels, _mm256_sub_epi32(index, shift));
                right = _mm256_permutevar8x32_epi32(pixels, _mm256_sub_epi32(index, _mm256_set1_epi32(highest - 7)));
                return;
            }
        }
        neighbourPairs(row, cols, left, right);
    }

private:
    static Reg loadColumns(const std::int32_t* cols) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols)); }

    static Reg loadAt(const std::uint8_t* row, std::int32_t column)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * static_cast<std::ptrdiff_t>(column)));
    }

    // The eight pixels from column base on, permuted to the columns in index (base .. base + 7).
    static Reg pixelsFrom(const std::uint8_t* row, Reg index, std::int32_t base)
    {
        return _mm256_permutevar8x32_epi32(loadAt(row, base), _mm256_sub_epi32(index, _mm256_set1_epi32(base)));
    }

    // The smallest column and the distance to the largest, when all eight lie between the first
    // and the last (as in every monotonic walk); false for other tables.
    static bool columnSpan(const std::int32_t* cols, Reg index, std::int32_t& lo, std::int32_t& span)
    {
        lo = std::min(cols[0], cols[7]);
        span = std::max(cols[0], cols[7]) - lo;
        const Reg offset = _mm256_sub_epi32(index, _mm256_set1_epi32(lo));
        const Reg limit = _mm256_set1_epi32(span);
        // Unsigned: a column below lo wraps to a large offset.
        return _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_max_epu32(offset, limit), limit)) == -1;
    }

    // Plain 64-bit loads of each neighbour pair: on the machines measured they beat the gather
    // instructions by a quarter of the kernel's time.
    static void neighbourPairs(const std::uint8_t* row, const std::int32_t* cols, Reg& left, Reg& right)
    {
        const auto pairAt = [&](int k) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::ptrdiff_t>(cols[k])));
        };
        // Pairs k, k + 1 in the low lane and k + 4, k + 5 in the high lane, so that the in-lane
        // shuffles below leave the pixels in their natural order.
        const auto quad = [&](int k) {
            const __m128i lo = _mm_unpacklo_epi64(pairAt(k), pairAt(k + 1));
            const __m128i hi = _mm_unpacklo_epi64(pairAt(k + 4), pairAt(k + 5));
            return _mm256_castsi256_ps(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1));
        };
        const __m256 a = quad(0);
        const __m256 b = quad(2);
        left = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        right = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace

#include "gfx/kernels/KernelLoops.inc"

} // namespace gfx::kernels::avx2
