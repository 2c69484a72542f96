// Decoding into a DIB pair and converting it to a surface, against the bare work underneath:
// libjpeg's own decode of the same bytes (same output order, same DCT) and a memcpy of the
// BMP's pixel bytes.
#include "BenchPictures.h"
#include "image/ScriptSurface.h"
#include "platform/Allocator.h"
#include "image/BmpCodec.h"
#include "image/JpegCodec.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = bench::kPictureWidth;
constexpr int kHeight = bench::kPictureHeight;

namespace memory = platform::memory;

// The allocator set up as the program sets it at start-up.
const bool kHeapTuned = (platform::keepLargeBlocksInHeap(), true);

const std::vector<std::uint8_t>& jpegBytes() { return bench::photoJpeg(); }

constexpr std::size_t kBmpStride = kWidth * 3;  // already a multiple of 4
constexpr std::size_t kBmpPixelBytes = kBmpStride * kHeight;

const std::vector<std::uint8_t>& bmpBytes()
{
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes(14 + 40);
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
        bytes[0] = 'B';
        bytes[1] = 'M';
        put32(2, static_cast<std::uint32_t>(54 + kBmpPixelBytes));
        put32(10, 54);
        put32(14, 40);
        put32(18, kWidth);
        put32(22, kHeight);
        bytes[26] = 1;
        bytes[28] = 24;
        put32(34, static_cast<std::uint32_t>(kBmpPixelBytes));
        const std::vector<std::uint8_t> rgb = bench::photoPixels();
        bytes.insert(bytes.end(), rgb.begin(), rgb.end());
        return bytes;
    }();
    return data;
}

void toSurface(image::DibPair& pair, benchmark::State& state)
{
    image::ScriptSurface surface;
    const memory::Lock header(pair.header.get());
    const memory::Lock bits(pair.bits.get());
    if (!surface.createFromDib(reinterpret_cast<const gfx::NxBitmapInfoHeader*>(header.data()), bits.data(), 32))
        state.SkipWithError("createFromDib failed");
    benchmark::DoNotOptimize(surface.lockBits());
}

void BM_LoadJpegCreateSurface(benchmark::State& state)
{
    const auto& data = jpegBytes();
    for (auto _ : state) {
        auto pair = image::loadJpeg(image::Bytes(data.data(), data.size()));
        if (!pair) {
            state.SkipWithError("loadJpeg failed");
            break;
        }
        toSurface(*pair, state);
    }
}

void BM_LoadJpegOnly(benchmark::State& state)
{
    const auto& data = jpegBytes();
    for (auto _ : state) {
        auto pair = image::loadJpeg(image::Bytes(data.data(), data.size()));
        benchmark::DoNotOptimize(pair->bits.get());
    }
}

// The conversion alone: the DIB pair decoded once, turned into a 32-bit surface each time.
void BM_CreateSurfaceFromJpegPair(benchmark::State& state)
{
    const auto& data = jpegBytes();
    auto pair = image::loadJpeg(image::Bytes(data.data(), data.size()));
    for (auto _ : state)
        toSurface(*pair, state);
}

void BM_BareLibjpegDecode(benchmark::State& state)
{
    const auto& data = jpegBytes();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data.data(), data.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = cinfo.output_width * 3u;
        std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - cinfo.output_scanline);
            for (JDIMENSION k = 0; k < n; ++k)
                rows[k] = out.get() + stride * (cinfo.output_scanline + k);
            jpeg_read_scanlines(&cinfo, rows, n);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(out.get());
    }
}

void BM_LoadBmpCreateSurface(benchmark::State& state)
{
    const auto& data = bmpBytes();
    for (auto _ : state) {
        auto pair = image::loadBmp(image::Bytes(data.data(), data.size()));
        if (!pair) {
            state.SkipWithError("loadBmp failed");
            break;
        }
        toSurface(*pair, state);
    }
}

void BM_MemcpyBmpPixels(benchmark::State& state)
{
    const auto& data = bmpBytes();
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[kBmpPixelBytes]);
    std::memset(out.get(), 0, kBmpPixelBytes);
    for (auto _ : state) {
        std::memcpy(out.get(), data.data() + 54, kBmpPixelBytes);
        benchmark::DoNotOptimize(out.get());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_LoadJpegCreateSurface)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpegOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateSurfaceFromJpegPair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibjpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBmpCreateSurface)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyBmpPixels)->Unit(benchmark::kMillisecond);
