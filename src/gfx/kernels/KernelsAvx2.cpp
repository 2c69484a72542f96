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

namespace gfx::kernels::avx2 {

namespace {

// a + floor((b - a) * f / 256) per 16-bit lane, the packed lerp's result: with f7 = f << 7 the
// signed high half of 2 (b - a) * f7 is exactly that floor, and the sum stays within 0..255.
inline __m256i lerp16(__m256i a, __m256i b, __m256i f7)
{
    return _mm256_add_epi16(a, _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_sub_epi16(b, a), 1), f7));
}

inline __m256i select(__m256i mask, __m256i whenSet, __m256i otherwise)
{
    return _mm256_blendv_epi8(otherwise, whenSet, mask);
}

// The transparent-pixel colour fix on eight pixel quads, in the reference's order.
inline void fixTransparent8(__m256i& p00, __m256i& p10, __m256i& p01, __m256i& p11)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i z00 = _mm256_cmpeq_epi32(_mm256_and_si256(p00, alpha), zero);
    const __m256i z10 = _mm256_cmpeq_epi32(_mm256_and_si256(p10, alpha), zero);
    const __m256i z01 = _mm256_cmpeq_epi32(_mm256_and_si256(p01, alpha), zero);
    const __m256i z11 = _mm256_cmpeq_epi32(_mm256_and_si256(p11, alpha), zero);
    const __m256i q00 = select(_mm256_andnot_si256(z10, z00), _mm256_and_si256(p10, rgb), p00);
    const __m256i q10 = select(_mm256_andnot_si256(z00, z10), _mm256_and_si256(p00, rgb), p10);
    const __m256i q01 = select(_mm256_andnot_si256(z11, z01), _mm256_and_si256(p11, rgb), p01);
    const __m256i q11 = select(_mm256_andnot_si256(z01, z11), _mm256_and_si256(p01, rgb), p11);
    const __m256i upper = _mm256_and_si256(z00, z10);
    p00 = select(upper, _mm256_and_si256(q01, rgb), q00);
    p10 = select(upper, _mm256_and_si256(q11, rgb), q10);
    const __m256i lower = _mm256_and_si256(z01, z11);
    p01 = select(lower, _mm256_and_si256(p00, rgb), q01);
    p11 = select(lower, _mm256_and_si256(p10, rgb), q11);
}

// Source-alpha blend of eight source pixels (as unpacked low and high halves) onto the
// destination at i: w = W[MUL[a][alpha]], or W3 with the low-alpha cut.
inline void blendOver8(std::uint8_t* d, int i, __m256i sLow, __m256i sHigh, std::uint32_t opacity, bool lowAlphaCut)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i aLow = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sLow, 0xFF), 0xFF);
    __m256i aHigh = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sHigh, 0xFF), 0xFF);
    if (opacity != 255) {
        const __m256i a = _mm256_set1_epi16(static_cast<short>(opacity));
        aLow = scaleOpacity16(aLow, a);
        aHigh = scaleOpacity16(aHigh, a);
    }
    __m256i wLow = _mm256_and_si256(weightOf(aLow), colourLanes());
    __m256i wHigh = _mm256_and_si256(weightOf(aHigh), colourLanes());
    if (lowAlphaCut) {
        const __m256i two = _mm256_set1_epi16(2);
        wLow = _mm256_and_si256(wLow, _mm256_cmpgt_epi16(aLow, two));
        wHigh = _mm256_and_si256(wHigh, _mm256_cmpgt_epi16(aHigh, two));
    }
    const __m256i dv = loadPixels(d, i);
    const __m256i lo = mix(_mm256_unpacklo_epi8(dv, zero), sLow, wLow);
    const __m256i hi = mix(_mm256_unpackhi_epi8(dv, zero), sHigh, wHigh);
    storePixels(d, i, _mm256_packus_epi16(lo, hi));
}

template <typename Pixel, typename Vector>
void walkScaledRows(const KernelArgs& a, Pixel pixel, Vector vector8)
{
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy) {
        const int n = a.width;
        int i = 0;
        for (const int head = headPixels(d, n, 32); i < head; ++i)
            pixel(d, row, fy, i);
        for (; i + 8 <= n; i += 8)
            vector8(d, row, fy, i);
        for (; i < n; ++i)
            pixel(d, row, fy, i);
    });
}

} // namespace

void solidFill32(const KernelArgs& a)
{
    const __m256i colour = _mm256_set1_epi32(static_cast<int>(a.colour));
    walkRows(
        a, [&](std::uint8_t* d, const std::uint8_t*, int i) { store32(d + 4 * i, a.colour); },
        [&](std::uint8_t* d, const std::uint8_t*, int i) { storePixels(d, i, colour); });
}

void scaledBlendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::int32_t* cols = a.colIndex;
    walkScaledRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t, int i) {
            const std::uint32_t s = load32(row + 4 * static_cast<std::ptrdiff_t>(cols[i]));
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), s, sourceAlphaWeight(s, a.opacity, t)));
        },
        [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t, int i) {
            const auto at = [&](int k) {
                return static_cast<int>(load32(row + 4 * static_cast<std::ptrdiff_t>(cols[i + k])));
            };
            const __m256i sv = _mm256_setr_epi32(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7));
            const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
            const __m256i sa = _mm256_and_si256(sv, alphaMask);
            if (_mm256_testz_si256(sa, sa))
                return;
            if (a.opacity == 255 && _mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask)) == -1) {
                storePixels(d, i, _mm256_blendv_epi8(sv, loadPixels(d, i), alphaMask));
                return;
            }
            const __m256i zero = _mm256_setzero_si256();
            blendOver8(d, i, _mm256_unpacklo_epi8(sv, zero), _mm256_unpackhi_epi8(sv, zero), a.opacity, false);
        });
}

void filteredBlendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::int32_t* cols = a.colIndex;
    const std::uint8_t* weights = a.colWeight;
    const bool fix = a.colourFix;
    const bool cut = a.lowAlphaCut;
    walkScaledRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy, int i) {
            const std::uint32_t s = filtered32(row, row + a.srcPitch, cols[i], weights[i], fy, fix);
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), s, filteredAlphaWeight(s, a.opacity, cut, t)));
        },
        [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy, int i) {
            const std::uint8_t* below = row + a.srcPitch;
            // Plain 64-bit loads of each neighbour pair: on the machines measured they beat the
            // gather instructions by a quarter of the kernel's time.
            const auto pairAt = [&](const std::uint8_t* r, int k) {
                return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r + 4 * static_cast<std::ptrdiff_t>(cols[i + k])));
            };
            // Pairs of pixels k, k + 1 in the low half and k + 4, k + 5 in the high half, so that
            // the in-lane shuffles below leave the pixels in their natural order.
            const auto quad = [&](const std::uint8_t* r, int k) {
                const __m128i lo = _mm_unpacklo_epi64(pairAt(r, k), pairAt(r, k + 1));
                const __m128i hi = _mm_unpacklo_epi64(pairAt(r, k + 4), pairAt(r, k + 5));
                return _mm256_castsi256_ps(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1));
            };
            const __m256 upA = quad(row, 0);
            const __m256 upB = quad(row, 2);
            const __m256 dnA = quad(below, 0);
            const __m256 dnB = quad(below, 2);
            __m256i p00 = _mm256_castps_si256(_mm256_shuffle_ps(upA, upB, _MM_SHUFFLE(2, 0, 2, 0)));
            __m256i p10 = _mm256_castps_si256(_mm256_shuffle_ps(upA, upB, _MM_SHUFFLE(3, 1, 3, 1)));
            __m256i p01 = _mm256_castps_si256(_mm256_shuffle_ps(dnA, dnB, _MM_SHUFFLE(2, 0, 2, 0)));
            __m256i p11 = _mm256_castps_si256(_mm256_shuffle_ps(dnA, dnB, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
            const __m256i zero = _mm256_setzero_si256();
            // Thirty-two transparent neighbours filter to alpha 0: the destination stays.
            const __m256i anyAlpha =
                _mm256_and_si256(_mm256_or_si256(_mm256_or_si256(p00, p10), _mm256_or_si256(p01, p11)), alphaMask);
            if (_mm256_testz_si256(anyAlpha, anyAlpha))
                return;
            // The smallest alpha of each quad: 255 everywhere is opaque, 0 anywhere needs the fix.
            const __m256i leastAlpha = _mm256_and_si256(
                _mm256_min_epu8(_mm256_min_epu8(p00, p10), _mm256_min_epu8(p01, p11)), alphaMask);
            if (fix) {
                const __m256i z = _mm256_cmpeq_epi32(leastAlpha, zero);
                if (!_mm256_testz_si256(z, z))
                    fixTransparent8(p00, p10, p01, p11);
            }
            const __m256i allAlpha = leastAlpha;
            const __m256i w32 = _mm256_slli_epi32(
                _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights + i))), 7);
            const __m256i pairs = _mm256_or_si256(w32, _mm256_slli_epi32(w32, 16));
            const __m256i fxLow = _mm256_unpacklo_epi32(pairs, pairs);
            const __m256i fxHigh = _mm256_unpackhi_epi32(pairs, pairs);
            const __m256i fyv = _mm256_set1_epi16(static_cast<short>(fy << 7));
            const __m256i topLow = lerp16(_mm256_unpacklo_epi8(p00, zero), _mm256_unpacklo_epi8(p10, zero), fxLow);
            const __m256i topHigh = lerp16(_mm256_unpackhi_epi8(p00, zero), _mm256_unpackhi_epi8(p10, zero), fxHigh);
            const __m256i bottomLow = lerp16(_mm256_unpacklo_epi8(p01, zero), _mm256_unpacklo_epi8(p11, zero), fxLow);
            const __m256i bottomHigh = lerp16(_mm256_unpackhi_epi8(p01, zero), _mm256_unpackhi_epi8(p11, zero), fxHigh);
            const __m256i sLow = lerp16(topLow, bottomLow, fyv);
            const __m256i sHigh = lerp16(topHigh, bottomHigh, fyv);
            // Opaque neighbours filter to alpha 255; at full opacity that is weight 256: the
            // filtered colour under the destination's alpha.
            if (a.opacity == 255 && _mm256_movemask_epi8(_mm256_cmpeq_epi32(allAlpha, alphaMask)) == -1) {
                storePixels(d, i, _mm256_blendv_epi8(_mm256_packus_epi16(sLow, sHigh), loadPixels(d, i), alphaMask));
                return;
            }
            blendOver8(d, i, sLow, sHigh, a.opacity, cut);
        });
}

} // namespace gfx::kernels::avx2
