#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

using namespace harness;

namespace {

struct PngSpec {
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // tRNS for palette pictures
    bool greyKey = false;                // tRNS key for a grey picture
    png_uint_16 key = 0;
    bool animationChunk = false;         // an acTL chunk, as an animated file has
};

void writeBytes(png_structp png, png_bytep data, size_t n)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// Packed sample rows as libpng takes them (big-endian 16-bit samples).
Bytes encode(int width, int height, const PngSpec& spec, const std::vector<Bytes>& rows)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test picture";
        return {};
    }
    png_set_write_fn(png, &out, writeBytes, nullptr);
    png_set_IHDR(png, info, width, height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()), nullptr);
    png_color_16 key{};
    key.gray = spec.key;
    if (spec.greyKey)
        png_set_tRNS(png, info, nullptr, 0, &key);
    png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
    if (spec.animationChunk) {
        png_unknown_chunk chunk{};
        std::memcpy(chunk.name, "acTL", 5);
        png_byte data[8] = {0, 0, 0, 1, 0, 0, 0, 0};
        chunk.data = data;
        chunk.size = sizeof data;
        chunk.location = PNG_HAVE_IHDR;
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, reinterpret_cast<png_const_bytep>("acTL"), 1);
        png_set_unknown_chunks(png, info, &chunk, 1);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const auto& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<Bytes> rgbaRows(int width, int height, const std::vector<std::uint8_t>& rgba, bool alpha)
{
    std::vector<Bytes> rows(height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < (alpha ? 4 : 3); ++c)
                rows[y].push_back(rgba[(static_cast<std::size_t>(y) * width + x) * 4 + c]);
    return rows;
}

// libpng's own straightforward decode: the simplified reader to B, G, R, A.
Image referenceDecode(const Bytes& data)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Image out;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
        ADD_FAILURE() << image.message;
        return out;
    }
    image.format = PNG_FORMAT_BGRA;
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.bgra.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.bgra.data(), 0, nullptr))
        ADD_FAILURE() << image.message;
    return out;
}

const Plugin& plugin()
{
    static Plugin p("png");
    return p;
}

void expectMatchesReference(const Bytes& file, const Image& expected, int toleranceToSource)
{
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0) << "differs from libpng's own decode";
    const int diff = maxDifference(d.image, expected);
    EXPECT_GE(diff, 0);
    EXPECT_LE(diff, toleranceToSource) << "differs from the pixels written";
}

TEST(PngPlugin, TrueColourWithAndWithoutAlpha)
{
    for (const bool alpha : {true, false}) {
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << "alpha " << alpha << " interlaced " << interlaced);
            const int w = 37, h = 23;
            const auto rgba = photoRgba(w, h, alpha);
            PngSpec spec;
            spec.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
            spec.interlaced = interlaced;
            expectMatchesReference(encode(w, h, spec, rgbaRows(w, h, rgba, alpha)), fromRgba(w, h, rgba), 0);
        }
    }
}

TEST(PngPlugin, SixteenBitSamplesRoundToEightBits)
{
    const int w = 19, h = 11;
    std::vector<Bytes> rows(h);
    Image expected{w, h, {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint16_t v[4] = {static_cast<std::uint16_t>(x * 3400 + y), static_cast<std::uint16_t>(y * 6000 + 128),
                                        static_cast<std::uint16_t>(65535 - x * 3000), static_cast<std::uint16_t>(x * y * 300)};
            for (const std::uint16_t s : v) {
                rows[y].push_back(static_cast<std::uint8_t>(s >> 8));
                rows[y].push_back(static_cast<std::uint8_t>(s));
            }
            const auto to8 = [](std::uint16_t s) { return static_cast<std::uint8_t>((s * 255u + 32767u) / 65535u); };
            expected.bgra.insert(expected.bgra.end(), {to8(v[2]), to8(v[1]), to8(v[0]), to8(v[3])});
        }
    }
    PngSpec spec;
    spec.bitDepth = 16;
    const Bytes file = encode(w, h, spec, rows);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, expected), 0);
    EXPECT_LE(maxDifference(d.image, referenceDecode(file)), 1);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_EQ(info.colorDepth, 64);
    EXPECT_NE(text.find("16 bits"), std::string::npos) << text;
}

TEST(PngPlugin, PaletteWithTransparencyAndLowBitDepths)
{
    for (const int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(depth);
        const int w = 21, h = 9, colours = 1 << depth;
        PngSpec spec;
        spec.colourType = PNG_COLOR_TYPE_PALETTE;
        spec.bitDepth = depth;
        spec.interlaced = depth == 2;
        Image expected{w, h, {}};
        for (int i = 0; i < colours; ++i) {
            spec.palette.push_back({static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11), static_cast<png_byte>(i * 5)});
            spec.paletteAlpha.push_back(static_cast<png_byte>(i == 0 ? 0 : 255 - i));
        }
        spec.paletteAlpha.resize(colours / 2 + 1);  // entries past tRNS are opaque
        std::vector<Bytes> rows(h);
        for (int y = 0; y < h; ++y) {
            rows[y].assign((w * depth + 7) / 8, 0);
            for (int x = 0; x < w; ++x) {
                const int index = (x + y * 3) % colours;
                const int bit = x * depth;
                rows[y][bit / 8] |= static_cast<png_byte>(index << (8 - depth - bit % 8));
                const png_color c = spec.palette[index];
                const png_byte a = static_cast<std::size_t>(index) < spec.paletteAlpha.size() ? spec.paletteAlpha[index] : 255;
                expected.bgra.insert(expected.bgra.end(), {c.blue, c.green, c.red, a});
            }
        }
        expectMatchesReference(encode(w, h, spec, rows), expected, 0);
    }
}

TEST(PngPlugin, GreyLevelsWithKeyAndAlpha)
{
    const int w = 17, h = 6;
    for (const int depth : {1, 4, 8, 16}) {
        for (const bool withAlpha : {false, true}) {
            if (withAlpha && depth < 8)
                continue;
            SCOPED_TRACE(testing::Message() << depth << " alpha " << withAlpha);
            PngSpec spec;
            spec.colourType = withAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY;
            spec.bitDepth = depth;
            const int maxValue = (1 << depth) - 1;
            spec.greyKey = !withAlpha;
            spec.key = static_cast<png_uint_16>(maxValue / 3);
            std::vector<Bytes> rows(h);
            Image expected{w, h, {}};
            for (int y = 0; y < h; ++y) {
                int bitPos = 0;
                rows[y].assign((w * depth * (withAlpha ? 2 : 1) + 7) / 8, 0);
                for (int x = 0; x < w; ++x) {
                    const int v = (x * 7 + y * 5) * maxValue / (16 * 7 + 5 * 5);
                    const int a = withAlpha ? (x * 15) * maxValue / (16 * 15) : (v == spec.key ? 0 : maxValue);
                    const int samples[2] = {v, a};
                    for (int s = 0; s < (withAlpha ? 2 : 1); ++s) {
                        if (depth == 16) {
                            rows[y][bitPos / 8] = static_cast<png_byte>(samples[s] >> 8);
                            rows[y][bitPos / 8 + 1] = static_cast<png_byte>(samples[s]);
                        } else {
                            rows[y][bitPos / 8] |= static_cast<png_byte>(samples[s] << (8 - depth - bitPos % 8));
                        }
                        bitPos += depth;
                    }
                    const auto to8 = [&](int s) { return static_cast<std::uint8_t>((s * 255 + maxValue / 2) / maxValue); };
                    expected.bgra.insert(expected.bgra.end(), {to8(v), to8(v), to8(v), to8(a)});
                }
            }
            const Bytes file = encode(w, h, spec, rows);
            const Decoded d = plugin().decode(file);
            ASSERT_EQ(d.rc, SPI_SUCCESS);
            EXPECT_EQ(maxDifference(d.image, expected), 0);
            EXPECT_LE(maxDifference(d.image, referenceDecode(file)), depth == 16 ? 1 : 0);
        }
    }
}

TEST(PngPlugin, AnimatedFileShowsItsDefaultImageAndSaysSo)
{
    const int w = 12, h = 8;
    const auto rgba = photoRgba(w, h, true);
    PngSpec spec;
    spec.animationChunk = true;
    const Bytes file = encode(w, h, spec, rgbaRows(w, h, rgba, true));
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, fromRgba(w, h, rgba)), 0);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_NE(text.find("animated"), std::string::npos) << text;
    EXPECT_EQ(info.x_density, 72);  // 2835 per metre
    EXPECT_EQ(d.xPerMetre, 2835u);
}

// A header that claims a picture far larger than the data could code is refused before any
// block is allocated, and one beyond the Surface cap whatever the data.
TEST(PngPlugin, LyingSizesAreRefused)
{
    Bytes file = encode(4, 4, PngSpec{}, rgbaRows(4, 4, photoRgba(4, 4, true), true));
    const auto setSize = [&](std::uint32_t w, std::uint32_t h) {
        for (int i = 0; i < 4; ++i) {
            file[16 + i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
            file[20 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
        }
        const auto crc = static_cast<std::uint32_t>(crc32(0, file.data() + 12, 17));  // IHDR type and data
        for (int i = 0; i < 4; ++i)
            file[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    };
    setSize(30000, 30000);  // 3.6 GB of pixels
    EXPECT_EQ(plugin().decode(file).rc, SPI_NO_MEMORY);
    setSize(20000, 20000);  // fits the cap, but not in a few dozen bytes
    EXPECT_EQ(plugin().decode(file).rc, SPI_OUT_OF_ORDER);
    SpiPictureInfo info;
    std::string text;
    EXPECT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS) << "the header itself is readable";
    EXPECT_EQ(info.width, 20000);
}

}  // namespace

namespace samples {

harness::Bytes png(int width, int height, bool alpha)
{
    PngSpec spec;
    spec.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    return encode(width, height, spec, rgbaRows(width, height, photoRgba(width, height, alpha), alpha));
}

harness::Image pngReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> pngVariants()
{
    const int w = 37, h = 29;
    const auto rgba = photoRgba(w, h, true, 21);
    std::vector<Variant> out;

    PngSpec palette;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    for (int i = 0; i < 200; ++i) {
        palette.palette.push_back({static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)});
        palette.paletteAlpha.push_back(static_cast<png_byte>(i % 3 == 0 ? i : 255));
    }
    std::vector<Bytes> indices(h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indices[y].push_back(static_cast<png_byte>((x * 7 + y * 3) % 200));
    out.push_back({"palette", encode(w, h, palette, indices)});

    PngSpec grey;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    std::vector<Bytes> greyRows(h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            greyRows[y].push_back(rgba[(static_cast<std::size_t>(y) * w + x) * 4 + 1]);
    out.push_back({"grey", encode(w, h, grey, greyRows)});

    // 16-bit samples with low bits of their own; libpng's reader rounds them its own way.
    for (const bool colour : {false, true}) {
        PngSpec deep;
        deep.colourType = colour ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_GRAY_ALPHA;
        deep.bitDepth = 16;
        std::vector<Bytes> rows(h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * w + x) * 4;
                for (const int c : colour ? std::vector<int>{0, 1, 2, 3} : std::vector<int>{1, 3}) {
                    const int s = p[c] * 257 + (p[c] < 255 ? (x % 5) * 40 : 0);
                    rows[y].push_back(static_cast<png_byte>(s >> 8));
                    rows[y].push_back(static_cast<png_byte>(s));
                }
            }
        }
        out.push_back({colour ? "rgba-16bit" : "grey-alpha-16bit", encode(w, h, deep, rows), 1});
    }

    PngSpec interlaced;
    interlaced.interlaced = true;
    out.push_back({"interlaced", encode(w, h, interlaced, rgbaRows(w, h, rgba, true))});
    return out;
}

}  // namespace samples
