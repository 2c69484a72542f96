// Row conversion of 24-bit blue-green-red pixels to opaque 32-bit ones with SSSE3 byte
// shuffles: every decoded photograph enters a surface through it. Compiled with -mssse3 and
// called only on CPUs that have it (the AVX2 level implies it).

#include "ConvertRows.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

namespace gfx::kernels {

void bgr24ToArgb32Ssse3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t n)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    std::int32_t i = 0;
    // Each 16-byte load covers four pixels (12 bytes); stop while 16 bytes remain readable.
    for (; i + 6 <= n; i += 4, src += 12, dst += 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(_mm_shuffle_epi8(in, spread), alpha));
    }
    for (; i < n; ++i, src += 3, dst += 4) {
        const std::uint32_t px = 0xFF000000u | std::uint32_t{src[2]} << 16 | std::uint32_t{src[1]} << 8 | src[0];
        std::memcpy(dst, &px, 4);
    }
}

}  // namespace gfx::kernels

#endif
