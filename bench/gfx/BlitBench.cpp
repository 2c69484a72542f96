// Blit kernels against pixman at 1920 x 1080. Our operations run at each kernel level (argument:
// 0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512); pixman runs its own best path.

#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"
#include "gfx/kernels/Kernels.h"
#include "Paired.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

using gfx::NxBlitParams;
using gfx::NxSurface;

// A picture with a real alpha channel: soft gradients with fully transparent and fully opaque
// patches, as an image with a cut-out subject has.
std::uint32_t sourcePixel(int x, int y, std::mt19937& rng)
{
    const int band = (x / 240 + y / 135) % 4;
    std::uint32_t alpha;
    switch (band) {
    case 0: alpha = 0; break;
    case 1: alpha = 255; break;
    default: alpha = static_cast<std::uint32_t>((x * 7 + y * 3) & 0xFF); break;
    }
    return alpha << 24 | (rng() & 0x00FFFFFFu);
}

struct Pictures {
    std::unique_ptr<NxSurface> src = std::make_unique<NxSurface>(32);
    std::unique_ptr<NxSurface> dst = std::make_unique<NxSurface>(32);
    std::vector<std::uint32_t> pixSrc;       // premultiplied copy of src for pixman
    std::vector<std::uint32_t> pixDst;
    pixman_image_t* pixmanSrc = nullptr;
    pixman_image_t* pixmanDst = nullptr;

    explicit Pictures(bool opaqueSource = false)
    {
        if (!src->create(kWidth, kHeight) || !dst->create(kWidth, kHeight))
            std::abort();
        pixSrc.resize(static_cast<std::size_t>(kWidth) * kHeight);
        pixDst.resize(pixSrc.size());
        std::mt19937 rng(42);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t s = sourcePixel(x, y, rng);
                const std::uint32_t d = 0xFF000000u | (rng() & 0x00FFFFFFu);
                std::memcpy(src->pixels().row(y) + 4 * x, &s, 4);
                std::memcpy(dst->pixels().row(y) + 4 * x, &d, 4);
                const std::uint32_t a = s >> 24;
                const auto pm = [a](std::uint32_t c) { return (c * a + 127) / 255; };
                pixSrc[static_cast<std::size_t>(y) * kWidth + x] =
                    a << 24 | pm((s >> 16) & 0xFF) << 16 | pm((s >> 8) & 0xFF) << 8 | pm(s & 0xFF);
                pixDst[static_cast<std::size_t>(y) * kWidth + x] = d;
            }
        pixmanSrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, pixSrc.data(), kWidth * 4);
        pixmanDst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, pixDst.data(), kWidth * 4);
        if (opaqueSource)
            makeSourceOpaque();
    }

    ~Pictures()
    {
        pixman_image_unref(pixmanSrc);
        pixman_image_unref(pixmanDst);
    }

    void makeSourceOpaque()
    {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                src->pixels().row(y)[4 * x + 3] = 0xFF;
                reinterpret_cast<std::uint8_t*>(&pixSrc[static_cast<std::size_t>(y) * kWidth + x])[3] = 0xFF;
            }
    }
};

Pictures& pictures()
{
    static Pictures p;
    return p;
}

// The constant-alpha pair blends an opaque copy of the picture, so that pixman's solid mask
// does what our constant weight does; a picture of its own keeps the order of the rows free.
Pictures& opaquePictures()
{
    static Pictures p(true);
    return p;
}

bool setLevel(benchmark::State& state)
{
    const auto level = static_cast<gfx::kernels::Level>(state.range(0));
    if (gfx::kernels::cpuLevel() < level) {
        state.SkipWithError("CPU lacks this level");
        return false;
    }
    gfx::kernels::forceLevel(level);
    return true;
}

void finish(benchmark::State& state)
{
    state.SetBytesProcessed(state.iterations() * std::int64_t{kWidth} * kHeight * 4);
    gfx::kernels::forceLevel(gfx::kernels::Level::Avx512);
}

void runBlit(benchmark::State& state, NxBlitParams params, bool withSource = true, Pictures& p = pictures())
{
    if (!setLevel(state))
        return;
    for (auto _ : state) {
        const int r = gfx::blit(*p.dst, nullptr, withSource ? p.src.get() : nullptr, nullptr, &params);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    finish(state);
}

void pixmanFrame(pixman_op_t op, pixman_image_t* src, pixman_image_t* mask, Pictures& p)
{
    pixman_image_composite32(op, src, mask, p.pixmanDst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
}

// Our blit and pixman's equivalent timed in turns at the chosen level: the ratio the goals are
// set in, steadier than the ratio of two rows on a shared machine.
void runPerPixman(benchmark::State& state, NxBlitParams params, pixman_image_t* mask, Pictures& p)
{
    runPaired(
        state, "blend_per_pixman", [&] { pixmanFrame(PIXMAN_OP_OVER, p.pixmanSrc, mask, p); },
        [&] { benchmark::DoNotOptimize(gfx::blit(*p.dst, nullptr, p.src.get(), nullptr, &params)); });
}

void runPixman(benchmark::State& state, pixman_op_t op, pixman_image_t* src, pixman_image_t* mask,
               Pictures& p = pictures())
{
    for (auto _ : state) {
        pixmanFrame(op, src, mask, p);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kWidth} * kHeight * 4);
}

// ---- source-alpha blend ----

NxBlitParams sourceAlphaBlend()
{
    NxBlitParams params;
    params.flags = gfx::blitflag::kSourceAlpha;
    return params;
}

void BM_SourceAlphaBlend_gfx(benchmark::State& state) { runBlit(state, sourceAlphaBlend()); }

void BM_SourceAlphaBlend_pixmanOver(benchmark::State& state)
{
    runPixman(state, PIXMAN_OP_OVER, pictures().pixmanSrc, nullptr);
}

// ---- constant-alpha blend ----

NxBlitParams constantAlphaBlend()
{
    NxBlitParams params;
    params.flags = gfx::blitflag::kConstantAlpha;
    params.constantAlpha = 128;
    return params;
}

// pixman's equivalent of the constant alpha: a solid mask of half coverage.
struct HalfMask {
    pixman_image_t* image;
    HalfMask()
    {
        const pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
        image = pixman_image_create_solid_fill(&half);
    }
    ~HalfMask() { pixman_image_unref(image); }
    HalfMask(const HalfMask&) = delete;
    HalfMask& operator=(const HalfMask&) = delete;
};

void BM_ConstantAlphaBlend_gfx(benchmark::State& state)
{
    runBlit(state, constantAlphaBlend(), true, opaquePictures());
}

void BM_ConstantAlphaBlend_pixmanOverSolidMask(benchmark::State& state)
{
    const HalfMask mask;
    runPixman(state, PIXMAN_OP_OVER, opaquePictures().pixmanSrc, mask.image, opaquePictures());
}

void BM_SourceAlphaBlend_perPixman(benchmark::State& state)
{
    runPerPixman(state, sourceAlphaBlend(), nullptr, pictures());
}

void BM_ConstantAlphaBlend_perPixman(benchmark::State& state)
{
    const HalfMask mask;
    runPerPixman(state, constantAlphaBlend(), mask.image, opaquePictures());
}

// ---- copy ----

void BM_Copy_gfx(benchmark::State& state) { runBlit(state, NxBlitParams{}); }

void BM_Copy_pixmanSrc(benchmark::State& state)
{
    runPixman(state, PIXMAN_OP_SRC, pictures().pixmanSrc, nullptr);
}

void BM_Copy_memcpy(benchmark::State& state)
{
    Pictures& p = pictures();
    const std::size_t bytes = static_cast<std::size_t>(kWidth) * kHeight * 4;
    for (auto _ : state) {
        std::memcpy(p.dst->pixels().bits(), p.src->pixels().bits(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// ---- colour fill with alpha ----

void BM_ColourFill_gfx(benchmark::State& state)
{
    NxBlitParams params;
    params.flags = gfx::blitflag::kColour;
    params.colour = 0x80336699;
    runBlit(state, params, false);
}

void BM_ColourFill_pixmanOverSolid(benchmark::State& state)
{
    // The same colour, premultiplied, as pixman's 16-bit channels.
    const pixman_color_t colour{0x1A1A, 0x3333, 0x4D4D, 0x8080};
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    runPixman(state, PIXMAN_OP_OVER, solid, nullptr);
    pixman_image_unref(solid);
}

BENCHMARK(BM_SourceAlphaBlend_gfx)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SourceAlphaBlend_pixmanOver)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConstantAlphaBlend_gfx)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConstantAlphaBlend_pixmanOverSolidMask)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SourceAlphaBlend_perPixman)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConstantAlphaBlend_perPixman)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy_gfx)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy_pixmanSrc)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy_memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColourFill_gfx)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColourFill_pixmanOverSolid)->Unit(benchmark::kMicrosecond);

} // namespace
