// SSE2 variants of the hot kernels (forward walking, normal operator). Compiled with -msse2;
// byte-exact with the scalar reference.

#include "gfx/kernels/Kernels.h"
#include "gfx/kernels/PixelMath.h"

#include <emmintrin.h>

namespace gfx::kernels::sse2 {

namespace {

// Scalar head to 16-byte alignment of the destination, four pixels at a time, scalar tail.
template <typename Pixel, typename Vector>
void walkRows(const KernelArgs& a, Pixel pixel, Vector vector4)
{
    std::uint8_t* dstRow = a.dst;
    const std::uint8_t* srcRow = a.src;
    for (int y = 0; y < a.height; ++y) {
        const int n = a.width;
        int i = 0;
        for (const int head = headPixels(dstRow, n, 16); i < head; ++i)
            pixel(dstRow, srcRow, i);
        for (; i + 4 <= n; i += 4)
            vector4(dstRow, srcRow, i);
        for (; i < n; ++i)
            pixel(dstRow, srcRow, i);
        dstRow += a.dstPitch;
        srcRow += a.srcPitch;
    }
}

inline __m128i loadPixels(const std::uint8_t* row, int i)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * static_cast<std::ptrdiff_t>(i)));
}

inline void storePixels(std::uint8_t* row, int i, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * static_cast<std::ptrdiff_t>(i)), v);
}

// (d * (256 - w) + s * w) >> 8 on 16-bit lanes; equals the packed scalar formula.
inline __m128i mix(__m128i d16, __m128i s16, __m128i w16)
{
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(256), w16);
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d16, inverse), _mm_mullo_epi16(s16, w16)), 8);
}

// Blends four pixels with per-pixel weights given for the low and high pixel pairs.
inline __m128i mix4(__m128i d, __m128i s, __m128i wLow, __m128i wHigh)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = mix(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), wLow);
    const __m128i hi = mix(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), wHigh);
    return _mm_packus_epi16(lo, hi);
}

// Weight lanes of B, G, R; the alpha lane weighs 0 so the destination alpha stays.
inline __m128i colourLanes() { return _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1); }

// One 32-bit weight per pixel spread over that pixel's colour lanes.
inline void spreadWeights(__m128i w32, __m128i& low, __m128i& high)
{
    const __m128i pairs = _mm_or_si128(w32, _mm_slli_epi32(w32, 16));
    low = _mm_and_si128(_mm_unpacklo_epi32(pairs, pairs), colourLanes());
    high = _mm_and_si128(_mm_unpackhi_epi32(pairs, pairs), colourLanes());
}

// w = W[x] for opacities x in 16-bit lanes: x + 1, or 0 for 0.
inline __m128i weightOf(__m128i x) { return _mm_add_epi16(x, _mm_min_epi16(x, _mm_set1_epi16(1))); }

// MUL[a][x] = (a * x + 127) / 255 in 16-bit lanes; t / 255 = (t + 1 + (t >> 8)) >> 8 for t < 65280.
inline __m128i scaleOpacity(__m128i x, __m128i a)
{
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, a), _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
}

template <bool PerPixel>
void compositeImpl(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t* table = t.composite.data();
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const std::uint32_t sp = load32(s + 4 * i);
            const std::uint32_t sa = PerPixel ? t.mul[a.opacity][sp >> 24] : a.opacity;
            store32(d + 4 * i, compositePixel(load32(d + 4 * i), sp, sa, t));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const __m128i sv = loadPixels(s, i);
            const __m128i dv = loadPixels(d, i);
            alignas(16) std::uint32_t sp[4], dp[4], entry[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(sp), sv);
            _mm_store_si128(reinterpret_cast<__m128i*>(dp), dv);
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t sa = PerPixel ? t.mul[a.opacity][sp[k] >> 24] : a.opacity;
                entry[k] = table[(dp[k] >> 24) * 256 + sa];
            }
            const __m128i e = _mm_load_si128(reinterpret_cast<const __m128i*>(entry));
            __m128i wLow, wHigh;
            spreadWeights(_mm_and_si128(e, _mm_set1_epi32(0x1FF)), wLow, wHigh);
            const __m128i mixed = mix4(dv, sv, wLow, wHigh);
            const __m128i alpha = _mm_slli_epi32(_mm_srli_epi32(e, 16), 24);
            storePixels(d, i, _mm_or_si128(_mm_and_si128(mixed, _mm_set1_epi32(0x00FFFFFF)), alpha));
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
    const __m128i weights = _mm_and_si128(_mm_set1_epi16(static_cast<short>(w)), colourLanes());
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), load32(s + 4 * i), w));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            storePixels(d, i, mix4(loadPixels(d, i), loadPixels(s, i), weights, weights));
        });
}

void fillColour(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const std::uint32_t w = t.w[a.colour >> 24][0];
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_and_si128(_mm_set1_epi16(static_cast<short>(w)), colourLanes());
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(256), weights);
    const __m128i colour16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(a.colour)), zero);
    const __m128i scaledColour = _mm_mullo_epi16(colour16, weights);
    walkRows(
        a, [&](std::uint8_t* d, const std::uint8_t*, int i) { store32(d + 4 * i, blendNormal(load32(d + 4 * i), a.colour, w)); },
        [&](std::uint8_t* d, const std::uint8_t*, int i) {
            const __m128i dv = loadPixels(d, i);
            const __m128i lo = _mm_srli_epi16(
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), inverse), scaledColour), 8);
            const __m128i hi = _mm_srli_epi16(
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), inverse), scaledColour), 8);
            storePixels(d, i, _mm_packus_epi16(lo, hi));
        });
}

void blendSourceAlpha(const KernelArgs& a)
{
    const NxTables& t = *a.tables;
    const bool opaque = a.opacity == 255;
    const __m128i opacity = _mm_set1_epi16(static_cast<short>(a.opacity));
    walkRows(
        a,
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const std::uint32_t sp = load32(s + 4 * i);
            store32(d + 4 * i, blendNormal(load32(d + 4 * i), sp, sourceAlphaWeight(sp, a.opacity, t)));
        },
        [&](std::uint8_t* d, const std::uint8_t* s, int i) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
            const __m128i sv = loadPixels(s, i);
            const __m128i sa = _mm_and_si128(sv, alphaMask);
            // Transparent runs leave the destination alone; opaque ones (at full opacity) are a
            // copy of the colour under the destination's alpha.
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF)
                return;
            const __m128i dv = loadPixels(d, i);
            if (opaque && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask)) == 0xFFFF) {
                storePixels(d, i, _mm_or_si128(_mm_andnot_si128(alphaMask, sv), _mm_and_si128(dv, alphaMask)));
                return;
            }
            const __m128i sLow = _mm_unpacklo_epi8(sv, zero);
            const __m128i sHigh = _mm_unpackhi_epi8(sv, zero);
            __m128i aLow = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sLow, 0xFF), 0xFF);
            __m128i aHigh = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sHigh, 0xFF), 0xFF);
            if (!opaque) {
                aLow = scaleOpacity(aLow, opacity);
                aHigh = scaleOpacity(aHigh, opacity);
            }
            const __m128i wLow = _mm_and_si128(weightOf(aLow), colourLanes());
            const __m128i wHigh = _mm_and_si128(weightOf(aHigh), colourLanes());
            const __m128i lo = mix(_mm_unpacklo_epi8(dv, zero), sLow, wLow);
            const __m128i hi = mix(_mm_unpackhi_epi8(dv, zero), sHigh, wHigh);
            storePixels(d, i, _mm_packus_epi16(lo, hi));
        });
}

void composite32(const KernelArgs& a) { compositeImpl<false>(a); }

void compositeSourceAlpha(const KernelArgs& a) { compositeImpl<true>(a); }

} // namespace gfx::kernels::sse2

namespace gfx::kernels::sse2 {

namespace {

inline __m128i loadWeights4(const std::uint8_t* w)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(load32(w)));
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
}

// a + floor((b - a) * f / 256) per 16-bit lane, the packed lerp's result: with f7 = f << 7 the
// signed high half of 2 (b - a) * f7 is exactly that floor, and the sum stays within 0..255.
inline __m128i lerp16(__m128i a, __m128i b, __m128i f7)
{
    return _mm_add_epi16(a, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(b, a), 1), f7));
}

inline __m128i select(__m128i mask, __m128i whenSet, __m128i otherwise)
{
    return _mm_or_si128(_mm_and_si128(mask, whenSet), _mm_andnot_si128(mask, otherwise));
}

// The transparent-pixel colour fix on four pixel quads, in the reference's order.
inline void fixTransparent4(__m128i& p00, __m128i& p10, __m128i& p01, __m128i& p11)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    const __m128i z00 = _mm_cmpeq_epi32(_mm_and_si128(p00, alpha), zero);
    const __m128i z10 = _mm_cmpeq_epi32(_mm_and_si128(p10, alpha), zero);
    const __m128i z01 = _mm_cmpeq_epi32(_mm_and_si128(p01, alpha), zero);
    const __m128i z11 = _mm_cmpeq_epi32(_mm_and_si128(p11, alpha), zero);
    const __m128i q00 = select(_mm_andnot_si128(z10, z00), _mm_and_si128(p10, rgb), p00);
    const __m128i q10 = select(_mm_andnot_si128(z00, z10), _mm_and_si128(p00, rgb), p10);
    const __m128i q01 = select(_mm_andnot_si128(z11, z01), _mm_and_si128(p11, rgb), p01);
    const __m128i q11 = select(_mm_andnot_si128(z01, z11), _mm_and_si128(p01, rgb), p11);
    const __m128i upper = _mm_and_si128(z00, z10);
    p00 = select(upper, _mm_and_si128(q01, rgb), q00);
    p10 = select(upper, _mm_and_si128(q11, rgb), q10);
    const __m128i lower = _mm_and_si128(z01, z11);
    p01 = select(lower, _mm_and_si128(p00, rgb), q01);
    p11 = select(lower, _mm_and_si128(p10, rgb), q11);
}

// Source-alpha blend of four source pixels (low and high pairs in 16-bit lanes) onto the
// destination at i: w = W[MUL[a][alpha]], or W3 with the low-alpha cut.
inline void blendOver4(std::uint8_t* d, int i, __m128i sLow, __m128i sHigh, std::uint32_t opacity, bool lowAlphaCut)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i aLow = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sLow, 0xFF), 0xFF);
    __m128i aHigh = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sHigh, 0xFF), 0xFF);
    if (opacity != 255) {
        const __m128i a = _mm_set1_epi16(static_cast<short>(opacity));
        aLow = scaleOpacity(aLow, a);
        aHigh = scaleOpacity(aHigh, a);
    }
    __m128i wLow = _mm_and_si128(weightOf(aLow), colourLanes());
    __m128i wHigh = _mm_and_si128(weightOf(aHigh), colourLanes());
    if (lowAlphaCut) {
        const __m128i two = _mm_set1_epi16(2);
        wLow = _mm_and_si128(wLow, _mm_cmpgt_epi16(aLow, two));
        wHigh = _mm_and_si128(wHigh, _mm_cmpgt_epi16(aHigh, two));
    }
    const __m128i dv = loadPixels(d, i);
    const __m128i lo = mix(_mm_unpacklo_epi8(dv, zero), sLow, wLow);
    const __m128i hi = mix(_mm_unpackhi_epi8(dv, zero), sHigh, wHigh);
    storePixels(d, i, _mm_packus_epi16(lo, hi));
}

// Scalar head to alignment, four pixels at a time, scalar tail, for each destination row.
template <typename Pixel, typename Vector>
void walkScaledRows(const KernelArgs& a, Pixel pixel, Vector vector4)
{
    forEachScaledRow(a, [&](std::uint8_t* d, const std::uint8_t* row, std::uint32_t fy) {
        const int n = a.width;
        int i = 0;
        for (const int head = headPixels(d, n, 16); i < head; ++i)
            pixel(d, row, fy, i);
        for (; i + 4 <= n; i += 4)
            vector4(d, row, fy, i);
        for (; i < n; ++i)
            pixel(d, row, fy, i);
    });
}

} // namespace

void solidFill32(const KernelArgs& a)
{
    const __m128i colour = _mm_set1_epi32(static_cast<int>(a.colour));
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
            const __m128i sv = _mm_set_epi32(at(3), at(2), at(1), at(0));
            const __m128i zero = _mm_setzero_si128();
            const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(sv, alphaMask), zero)) == 0xFFFF)
                return;
            blendOver4(d, i, _mm_unpacklo_epi8(sv, zero), _mm_unpackhi_epi8(sv, zero), a.opacity, false);
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
            const auto pairAt = [&](const std::uint8_t* r, int k) {
                return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r + 4 * static_cast<std::ptrdiff_t>(cols[i + k])));
            };
            const __m128 up01 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(row, 0), pairAt(row, 1)));
            const __m128 up23 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(row, 2), pairAt(row, 3)));
            const __m128 dn01 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(below, 0), pairAt(below, 1)));
            const __m128 dn23 = _mm_castsi128_ps(_mm_unpacklo_epi64(pairAt(below, 2), pairAt(below, 3)));
            __m128i p00 = _mm_castps_si128(_mm_shuffle_ps(up01, up23, _MM_SHUFFLE(2, 0, 2, 0)));
            __m128i p10 = _mm_castps_si128(_mm_shuffle_ps(up01, up23, _MM_SHUFFLE(3, 1, 3, 1)));
            __m128i p01 = _mm_castps_si128(_mm_shuffle_ps(dn01, dn23, _MM_SHUFFLE(2, 0, 2, 0)));
            __m128i p11 = _mm_castps_si128(_mm_shuffle_ps(dn01, dn23, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128i zero = _mm_setzero_si128();
            const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
            // Sixteen transparent neighbours filter to alpha 0: the destination stays.
            const __m128i anyAlpha = _mm_and_si128(_mm_or_si128(_mm_or_si128(p00, p10), _mm_or_si128(p01, p11)), alphaMask);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(anyAlpha, zero)) == 0xFFFF)
                return;
            // The fix changes nothing unless some neighbour is fully transparent.
            if (fix) {
                const __m128i z = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(p00, alphaMask), zero),
                                                            _mm_cmpeq_epi32(_mm_and_si128(p10, alphaMask), zero)),
                                               _mm_or_si128(_mm_cmpeq_epi32(_mm_and_si128(p01, alphaMask), zero),
                                                            _mm_cmpeq_epi32(_mm_and_si128(p11, alphaMask), zero)));
                if (_mm_movemask_epi8(z) != 0)
                    fixTransparent4(p00, p10, p01, p11);
            }
            const __m128i w32 = _mm_slli_epi32(loadWeights4(weights + i), 7);
            const __m128i pairs = _mm_or_si128(w32, _mm_slli_epi32(w32, 16));
            const __m128i fxLow = _mm_unpacklo_epi32(pairs, pairs);
            const __m128i fxHigh = _mm_unpackhi_epi32(pairs, pairs);
            const __m128i fyv = _mm_set1_epi16(static_cast<short>(fy << 7));
            const __m128i topLow = lerp16(_mm_unpacklo_epi8(p00, zero), _mm_unpacklo_epi8(p10, zero), fxLow);
            const __m128i topHigh = lerp16(_mm_unpackhi_epi8(p00, zero), _mm_unpackhi_epi8(p10, zero), fxHigh);
            const __m128i bottomLow = lerp16(_mm_unpacklo_epi8(p01, zero), _mm_unpacklo_epi8(p11, zero), fxLow);
            const __m128i bottomHigh = lerp16(_mm_unpackhi_epi8(p01, zero), _mm_unpackhi_epi8(p11, zero), fxHigh);
            blendOver4(d, i, lerp16(topLow, bottomLow, fyv), lerp16(topHigh, bottomHigh, fyv), a.opacity, cut);
        });
}

} // namespace gfx::kernels::sse2
