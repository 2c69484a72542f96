// SSE2 variants of the hot kernels (forward walking, normal operator). Compiled with -msse2;
// byte-exact with the scalar reference. The loop bodies are shared with the other vector levels
// (KernelLoops.inc); this file holds only the SSE2 register operations they use.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <emmintrin.h>

#include <array>
#include <new>
#include <vector>

namespace gfx::kernels::sse2 {

namespace {

// Four pixels per register.
struct Vec {
    using Reg = __m128i;
    static constexpr int kPixels = 4;
    static constexpr int kAlignment = 16;

    static Reg load(const std::uint8_t* row, int i)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::ptrdiff_t>(i)));
    }
    static void store(std::uint8_t* row, int i, Reg v)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
    }

    // A store past the caches, to an address aligned to the register.
    static void stream(std::uint8_t* row, int i, Reg v)
    {
        _mm_stream_si128(reinterpret_cast<__m128i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
    }

    static Reg zero() { return _mm_setzero_si128(); }
    static Reg splat32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static Reg splat16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static Reg splat64(std::uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }

    static Reg bitAnd(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg bitOr(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static Reg andNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); }  // ~a & b
    static Reg select(Reg mask, Reg whenSet, Reg otherwise) { return bitOr(bitAnd(mask, whenSet), andNot(mask, otherwise)); }

    static Reg add16(Reg a, Reg b) { return _mm_add_epi16(a, b); }
    static Reg sub16(Reg a, Reg b) { return _mm_sub_epi16(a, b); }
    static Reg mullo16(Reg a, Reg b) { return _mm_mullo_epi16(a, b); }
    static Reg mulhi16(Reg a, Reg b) { return _mm_mulhi_epi16(a, b); }
    static Reg min16(Reg a, Reg b) { return _mm_min_epi16(a, b); }
    static Reg cmpgt16(Reg a, Reg b) { return _mm_cmpgt_epi16(a, b); }
    static Reg cmpeq32(Reg a, Reg b) { return _mm_cmpeq_epi32(a, b); }
    static Reg minU8(Reg a, Reg b) { return _mm_min_epu8(a, b); }
    template <int N> static Reg shr16(Reg v) { return _mm_srli_epi16(v, N); }
    template <int N> static Reg shl16(Reg v) { return _mm_slli_epi16(v, N); }
    template <int N> static Reg shr32(Reg v) { return _mm_srli_epi32(v, N); }
    template <int N> static Reg shl32(Reg v) { return _mm_slli_epi32(v, N); }

    // Bytes of the low or high pixel pair widened to 16-bit lanes, and back with saturation.
    static Reg unpackLo8(Reg v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    static Reg unpackHi8(Reg v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
    static Reg pack16(Reg lo, Reg hi) { return _mm_packus_epi16(lo, hi); }
    // Each 32-bit lane of the low or high pair doubled.
    static Reg unpackLo32(Reg v) { return _mm_unpacklo_epi32(v, v); }
    static Reg unpackHi32(Reg v) { return _mm_unpackhi_epi32(v, v); }
    // Each unpacked pixel's alpha lane copied into all four of its lanes.
    static Reg alpha16(Reg v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }

    static bool allZero(Reg v) { return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xFFFF; }
    static bool allSet(Reg mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }

    // Four bytes widened to 32-bit lanes.
    static Reg widenBytes(const std::uint8_t* p)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(load32(p)));
        return _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
    }

    // table[index] per 32-bit lane, without a gather instruction.
    static Reg lookup(const std::uint32_t* table, Reg index)
    {
        alignas(16) std::uint32_t at[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
        return _mm_set_epi32(static_cast<int>(table[at[3]]), static_cast<int>(table[at[2]]),
                             static_cast<int>(table[at[1]]), static_cast<int>(table[at[0]]));
    }

    // The pixels of row at columns cols[0..3].
    static Reg gatherPixels(const std::uint8_t* row, const std::int32_t* cols)
    {
        const auto at = [&](int k) { return static_cast<int>(load32(row + 4 * static_cast<std::ptrdiff_t>(cols[k]))); };
        return _mm_set_epi32(at(3), at(2), at(1), at(0));
    }

    // The pixels of row at columns cols[k] (left) and cols[k] + 1 (right), k = 0..3: always a
    // load per pair, wherever the columns lie.
    template <ColumnWalk>
    static void neighbours(const std::uint8_t* row, const std::int32_t* cols, Reg& left, Reg& right)
    {
        const auto pairAt = [&](int k) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::ptrdiff_t>(cols[k])));
        };
        const __m128 p01 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(0), pairAt(1)));
        const __m128 p23 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(2), pairAt(3)));
        left = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0)));
        right = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace

#include "gfx/kernels/KernelLoops.inc"

} // namespace gfx::kernels::sse2
