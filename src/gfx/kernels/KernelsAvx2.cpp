// AVX2 variants of the hot kernels (forward walking, normal operator). Compiled with -mavx2 and
// called only when the CPU has it; byte-exact with the scalar reference. No globals here: a
// static initialiser would run AVX2 code at start-up on any CPU.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <immintrin.h>

namespace gfx::kernels::avx2 {

namespace {

// Scalar head to 32-byte alignment of the destination, eight pixels at a time, scalar tail.
template <typename Pixel, typename Vector>
void walkRows(const KernelArgs& a, Pixel pixel, Vector vector8)
{
    std::uint8_t* dstRow = a.dst;
    const std::uint8_t* srcRow = a.src;
    for (int y = 0; y < a.height; ++y) {
        const int n = a.width;
        int i = 0;
        for (const int head = headPixels(dstRow, n, 32); i < head; ++i)
            pixel(dstRow, srcRow, i);
        for (; i + 8 <= n; i += 8)
            vector8(dstRow, srcRow, i);
        for (; i < n; ++i)
            pixel(dstRow, srcRow, i);
        dstRow += a.dstPitch;
        srcRow += a.srcPitch;
    }
}

inline __m256i loadPixels(const std::uint8_t* row, int i)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * static_cast<std::ptrdiff_t>(i)));
}

inline void storePixels(std::uint8_t* row, int i, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
}

// (d * (256 - w) + s * w) >> 8 on 16-bit lanes; equals the packed scalar formula.
inline __m256i mix(__m256i d16, __m256i s16, __m256i w16)
{
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(256), w16);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d16, inverse), _mm256_mullo_epi16(s16, w16)), 8);
}

// Unpack and pack both work within 128-bit halves, so pixel order survives the round trip.
inline __m256i mix8(__m256i d, __m256i s, __m256i wLow, __m256i wHigh)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = mix(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero), wLow);
    const __m256i hi = mix(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero), wHigh);
    return _mm256_packus_epi16(lo, hi);
}

// Weight lanes of B, G, R; the alpha lane weighs 0 so the destination alpha stays.
inline __m256i colourLanes()
{
    return _mm256_set_epi16(0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1, 0, -1, -1, -1);
}

inline void spreadWeights(__m256i w32, __m256i& low, __m256i& high)
{
    const __m256i pairs = _mm256_or_si256(w32, _mm256_slli_epi32(w32, 16));
    low = _mm256_and_si256(_mm256_unpacklo_epi32(pairs, pairs), colourLanes());
    high = _mm256_and_si256(_mm256_unpackhi_epi32(pairs, pairs), colourLanes());
}

inline __m256i weightOf(__m256i x) { return _mm256_add_epi16(x, _mm256_min_epi16(x, _mm256_set1_epi16(1))); }

// MUL[a][x] = (a * x + 127) / 255; t / 255 = (t + 1 + (t >> 8)) >> 8 for t < 65280. Works on
// 16-bit lanes and on 32-bit lanes holding values below 65536.
inline __m256i scaleOpacity16(__m256i x, __m256i a)
{
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(x, a), _mm256_set1_epi16(127));
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, _mm256_set1_epi16(1)), _mm256_srli_epi16(t, 8)), 8);
}

template <bool PerPixel>
void compositeImpl(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const auto* table = reinterpret_cast<const int*>(t.composite.data());
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const std::uint32_t sp = load32(s + 4 * i);
            const std::uint32_t sa = PerPixel ? t.mul[a.opacity][sp >> 24] : a.opacity;
            store32(d + 4 * i, compositePixel(load32(d + 4 * i), sp, sa, t));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const __m256i sv = loadPixels(s, i);
            const __m256i dv = loadPixels(d, i);
            __m256i sa;
            if constexpr (PerPixel) {
                sa = _mm256_srli_epi32(sv, 24);
                if (a.opacity != 255)
                    sa = scaleOpacity16(sa, _mm256_set1_epi32(static_cast<int>(a.opacity)));
            } else {
                sa = _mm256_set1_epi32(static_cast<int>(a.opacity));
            }
            const __m256i index = _mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(dv, 24), 8), sa);
            const __m256i e = _mm256_i32gather_epi32(table, index, 4);
            __m256i wLow, wHigh;
            spreadWeights(_mm256_and_si256(e, _mm256_set1_epi32(0x1FF)), wLow, wHigh);
            const __m256i mixed = mix8(dv, sv, wLow, wHigh);
            const __m256i alpha = _mm256_slli_epi32(_mm256_srli_epi32(e, 16), 24);
            storePixels(d, i, _mm256_or_si256(_mm256_and_si256(mixed, _mm256_set1_epi32(0x00FFFFFF)), alpha));
        });
}

} // namespace

void copy32(const KernelArgs& a)
{
    walkRows(
        a, [](std::uint8_t* d, const std::uint8_t* s, int i) { store32(d + 4 * i, load32(s + 4 * i)); },
        [](std::uint8_t* d, const std::uint8_t* s, int i) { storePixels(d, i, loadPixels(s, i)); });
}

void blend32(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.opacity][0];
    const __m256i weights = _mm256_and_si256(_mm256_set1_epi16(static_cast<short>(w)), colourLanes());
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), load32(s + 4 * i), w));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            storePixels(d, i, mix8(loadPixels(d, i), loadPixels(s, i), weights, weights));
        });
}

void fillColour(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.colour >> 24][0];
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weights = _mm256_and_si256(_mm256_set1_epi16(static_cast<short>(w)), colourLanes());
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(256), weights);
    const __m256i colour16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(a.colour)), zero);
    const __m256i scaledColour = _mm256_mullo_epi16(colour16, weights);
    walkRows(
        a, [&](std::uint8_t* d, const std::uint8_t*, int i) { store32(d + 4 * i, blendNormal(load32(d + 4 * i), a.colour, w)); },
        [&](std::uint8_t* d, const std::uint8_t*, int i) {
            const __m256i dv = loadPixels(d, i);
            const __m256i lo = _mm256_srli_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(dv, zero), inverse), scaledColour), 8);
            const __m256i hi = _mm256_srli_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(dv, zero), inverse), scaledColour), 8);
            storePixels(d, i, _mm256_packus_epi16(lo, hi));
        });
}

void blendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const bool opaque = a.opacity == 255;
    const __m256i opacity = _mm256_set1_epi16(static_cast<short>(a.opacity));
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const std::uint32_t sp = load32(s + 4 * i);
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), sp, sourceAlphaWeight(sp, a.opacity, t)));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const __m256i zero = _mm256_setzero_si256();
            const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
            const __m256i sv = loadPixels(s, i);
            const __m256i sa = _mm256_and_si256(sv, alphaMask);
            // Transparent runs leave the destination alone; opaque ones (at full opacity) are a
            // copy of the colour under the destination's alpha.
            if (_mm256_testz_si256(sa, sa))
                return;
            const __m256i dv = loadPixels(d, i);
            if (opaque && _mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask)) == -1) {
                storePixels(d, i, _mm256_blendv_epi8(sv, dv, alphaMask));
                return;
            }
            const __m256i sLow = _mm256_unpacklo_epi8(sv, zero);
            const __m256i sHigh = _mm256_unpackhi_epi8(sv, zero);
            __m256i aLow = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sLow, 0xFF), 0xFF);
            __m256i aHigh = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sHigh, 0xFF), 0xFF);
            if (!opaque) {
                aLow = scaleOpacity16(aLow, opacity);
                aHigh = scaleOpacity16(aHigh, opacity);
            }
            const __m256i wLow = _mm256_and_si256(weightOf(aLow), colourLanes());
            const __m256i wHigh = _mm256_and_si256(weightOf(aHigh), colourLanes());
            const __m256i lo = mix(_mm256_unpacklo_epi8(dv, zero), sLow, wLow);
            const __m256i hi = mix(_mm256_unpackhi_epi8(dv, zero), sHigh, wHigh);
            storePixels(d, i, _mm256_packus_epi16(lo, hi));
        });
}

void composite32(const KernelArgs& a) { compositeImpl<false>(a); }

void compositeSourceAlpha(const KernelArgs& a) { compositeImpl<true>(a); }

} // namespace gfx::kernels::avx2
