#include "DecoderFixtures.h"

#include "JpegFixtures.h"

#include <array>
#include <functional>

namespace fixtures {
namespace {

constexpr int kW = 13;  // odd, so that rows of every depth need padding
constexpr int kH = 7;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

struct BmpHeader {
    int bitCount = 24;
    std::uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
    bool topDown = false;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> masks;    // after a 40-byte header (bit fields) or inside a longer one
    std::vector<std::uint32_t> palette;  // 0xRRGGBB
};

// File header, info header, masks and palette in front of `bits`.
std::vector<std::uint8_t> bmpFile(const BmpHeader& h, const std::vector<std::uint8_t>& bits)
{
    const bool masksOutside = h.headerSize == 40 && !h.masks.empty();
    const std::uint32_t offset = 14 + h.headerSize + (masksOutside ? 4 * static_cast<std::uint32_t>(h.masks.size()) : 0) +
                                 4 * static_cast<std::uint32_t>(h.palette.size());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + static_cast<std::uint32_t>(bits.size()));
    put32(out, 0);
    put32(out, offset);
    put32(out, h.headerSize);
    put32(out, kW);
    put32(out, h.topDown ? static_cast<std::uint32_t>(-kH) : kH);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(h.bitCount));
    put32(out, h.compression);
    put32(out, static_cast<std::uint32_t>(bits.size()));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, static_cast<std::uint32_t>(h.palette.size()));
    put32(out, 0);
    if (h.headerSize > 40) {
        for (std::size_t i = 0; i < 4; ++i)
            put32(out, i < h.masks.size() ? h.masks[i] : 0);
        while (out.size() < 14 + h.headerSize)
            out.push_back(0);
    } else {
        for (const std::uint32_t m : h.masks)
            put32(out, m);
    }
    for (const std::uint32_t c : h.palette)
        put32(out, c & 0xFFFFFFu);
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

// Rows in file order (bottom-up unless top-down), each padded to 4 bytes.
std::vector<std::uint8_t> packRows(bool topDown, int bitCount, const std::function<std::uint32_t(int, int)>& value)
{
    const int stride = (bitCount * kW + 31) / 32 * 4;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * kH, 0);
    for (int fileRow = 0; fileRow < kH; ++fileRow) {
        const int y = topDown ? fileRow : kH - 1 - fileRow;
        std::uint8_t* row = bits.data() + static_cast<std::size_t>(fileRow) * stride;
        for (int x = 0; x < kW; ++x) {
            const std::uint32_t v = value(x, y);
            if (bitCount < 8) {
                const int bit = x * bitCount;
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bitCount - bit % 8));
            } else {
                for (int b = 0; b < bitCount / 8; ++b)
                    row[x * (bitCount / 8) + b] = static_cast<std::uint8_t>(v >> (8 * b));
            }
        }
    }
    return bits;
}

std::vector<std::uint32_t> makePalette(int n)
{
    std::vector<std::uint32_t> p;
    for (int k = 0; k < n; ++k)
        p.push_back(static_cast<std::uint32_t>((k * 97 + 13) & 0xFF) << 16 | static_cast<std::uint32_t>((255 - k * 41) & 0xFF) << 8 |
                    static_cast<std::uint32_t>((k * 53 + 200) & 0xFF));
    return p;
}

// Indices in runs of three along a row, so the run-length files have runs to code.
int runIndex(int x, int y, int n) { return (x / 3 + 2 * y) % n; }

// 8-bit run-length rows: runs of two or more as coded runs, the rest as absolute pieces of three
// or more, single leftovers as runs of one. Row 2 ends two pixels early, which keep index 0.
std::vector<std::uint8_t> rle8(const std::function<int(int, int)>& index)
{
    std::vector<std::uint8_t> out;
    for (int y = kH - 1; y >= 0; --y) {
        int x = 0;
        const int end = y == 2 ? kW - 2 : kW;
        while (x < end) {
            int run = 1;
            while (x + run < end && index(x + run, y) == index(x, y))
                ++run;
            if (run >= 2) {
                out.insert(out.end(), {static_cast<std::uint8_t>(run), static_cast<std::uint8_t>(index(x, y))});
                x += run;
                continue;
            }
            int n = 0;
            while (x + n < end && (x + n + 1 >= end || index(x + n, y) != index(x + n + 1, y)))
                ++n;
            if (n >= 3) {
                out.insert(out.end(), {0, static_cast<std::uint8_t>(n)});
                for (int i = 0; i < n; ++i)
                    out.push_back(static_cast<std::uint8_t>(index(x + i, y)));
                if (n % 2)
                    out.push_back(0);
                x += n;
            } else {
                out.insert(out.end(), {1, static_cast<std::uint8_t>(index(x, y))});
                ++x;
            }
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

// 4-bit run-length rows: odd rows as coded runs of alternating pairs, even rows absolute.
std::vector<std::uint8_t> rle4(const std::function<int(int, int)>& index)
{
    std::vector<std::uint8_t> out;
    for (int y = kH - 1; y >= 0; --y) {
        if (y % 2) {
            for (int x = 0; x < kW; x += 2) {
                const int count = x + 1 < kW ? 2 : 1;
                const int second = x + 1 < kW ? index(x + 1, y) : 0;
                out.insert(out.end(), {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(index(x, y) << 4 | second)});
            }
        } else {
            out.insert(out.end(), {0, static_cast<std::uint8_t>(kW)});
            const std::size_t start = out.size();
            for (int x = 0; x < kW; x += 2)
                out.push_back(static_cast<std::uint8_t>(index(x, y) << 4 | (x + 1 < kW ? index(x + 1, y) : 0)));
            if ((out.size() - start) % 2)
                out.push_back(0);
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

std::uint32_t expand(std::uint32_t v, int bits)
{
    const std::uint32_t e = (v << (8 - bits)) & 0xFFu;
    return e | e >> bits;
}

DecoderFixture fixture(std::string name, std::vector<std::uint8_t> bytes, const std::function<std::uint32_t(int, int)>& rgb, int tolerance = 0)
{
    DecoderFixture f{std::move(name), std::move(bytes), kW, kH, {}, tolerance};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            f.intended.push_back(rgb(x, y));
    return f;
}

void addBmpFixtures(std::vector<DecoderFixture>& out)
{
    for (const int bits : {1, 4, 8}) {
        const int n = bits == 1 ? 2 : bits == 4 ? 16 : 200;
        BmpHeader h{.bitCount = bits, .palette = makePalette(n)};
        auto index = [n](int x, int y) { return static_cast<std::uint32_t>((x * 7 + y * 3) % n); };
        out.push_back(fixture("pal" + std::to_string(bits) + ".bmp", bmpFile(h, packRows(false, bits, index)),
                              [&](int x, int y) { return h.palette[index(x, y)]; }));
    }
    {
        BmpHeader h{.bitCount = 8, .compression = 1, .palette = makePalette(20)};
        auto index = [](int x, int y) { return runIndex(x, y, 20); };
        out.push_back(fixture("rle8.bmp", bmpFile(h, rle8(index)),
                              [&](int x, int y) { return h.palette[y == 2 && x >= kW - 2 ? 0 : index(x, y)]; }));
    }
    {
        BmpHeader h{.bitCount = 4, .compression = 2, .palette = makePalette(16)};
        auto index = [](int x, int y) { return runIndex(x, y, 16); };
        out.push_back(fixture("rle4.bmp", bmpFile(h, rle4(index)), [&](int x, int y) { return h.palette[index(x, y)]; }));
    }
    // 16 bits: five bits a channel by default, or the file's masks (5-6-5), also in a longer header.
    auto channels = [](int x, int y) { return std::array<std::uint32_t, 3>{static_cast<std::uint32_t>(x * 2), static_cast<std::uint32_t>(y * 4), static_cast<std::uint32_t>((x + y) % 32)}; };
    {
        BmpHeader h{.bitCount = 16};
        out.push_back(fixture("rgb555.bmp", bmpFile(h, packRows(false, 16, [&](int x, int y) {
                                  const auto c = channels(x, y);
                                  return c[0] << 10 | c[1] << 5 | c[2];
                              })),
                              [&](int x, int y) {
                                  const auto c = channels(x, y);
                                  return expand(c[0], 5) << 16 | expand(c[1], 5) << 8 | expand(c[2], 5);
                              }));
    }
    for (const std::uint32_t headerSize : {40u, 108u}) {
        BmpHeader h{.bitCount = 16, .compression = 3, .headerSize = headerSize, .masks = {0xF800, 0x07E0, 0x001F}};
        out.push_back(fixture(headerSize == 40 ? "rgb565.bmp" : "rgb565v4.bmp", bmpFile(h, packRows(false, 16, [&](int x, int y) {
                                  const auto c = channels(x, y);
                                  return c[0] << 11 | (c[1] * 2 + 1) << 5 | c[2];
                              })),
                              [&](int x, int y) {
                                  const auto c = channels(x, y);
                                  return expand(c[0], 5) << 16 | expand(c[1] * 2 + 1, 6) << 8 | expand(c[2], 5);
                              }));
    }
    auto colour = [](int x, int y) {
        return static_cast<std::uint32_t>(x * 19) << 16 | static_cast<std::uint32_t>(y * 37) << 8 | static_cast<std::uint32_t>(255 - x * y);
    };
    for (const bool topDown : {false, true}) {
        BmpHeader h{.bitCount = 24, .topDown = topDown};
        out.push_back(fixture(topDown ? "rgb24topdown.bmp" : "rgb24.bmp", bmpFile(h, packRows(topDown, 24, colour)), colour));
    }
    {
        BmpHeader h{.bitCount = 32};
        out.push_back(fixture("rgb32.bmp", bmpFile(h, packRows(false, 32, colour)), colour));
        BmpHeader f{.bitCount = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}};
        out.push_back(fixture("bitfields32.bmp", bmpFile(f, packRows(false, 32, colour)), colour));
    }
}

// Smooth pictures, so that a lossy file stays near the picture it was made from.
std::vector<std::uint8_t> smooth(int components)
{
    std::vector<std::uint8_t> p;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int c = 0; c < components; ++c)
                p.push_back(static_cast<std::uint8_t>(c == 0 ? 40 + x * 14 : c == 1 ? 200 - y * 20 : c == 2 ? 90 + (x + y) * 5 : 30));
    return p;
}

void addJpegFixtures(std::vector<DecoderFixture>& out)
{
    const std::vector<std::uint8_t> rgb = smooth(3);
    auto fromRgb = [&](int x, int y) {
        const std::uint8_t* p = rgb.data() + 3 * (y * kW + x);
        return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    };
    out.push_back(fixture("colour444.jpg", encodeJpeg(kW, kH, 3, rgb, {.quality = 95}), fromRgb, 8));
    out.push_back(fixture("colour420.jpg", encodeJpeg(kW, kH, 3, rgb, {.quality = 95, .fullChroma = false}), fromRgb, 16));
    out.push_back(fixture("progressive.jpg", encodeJpeg(kW, kH, 3, rgb, {.quality = 90, .progressive = true}), fromRgb, 12));
    out.push_back(fixture("restarts.jpg", encodeJpeg(kW, kH, 3, rgb, {.quality = 95, .restartRows = 1}), fromRgb, 8));
    const std::vector<std::uint8_t> grey = smooth(1);
    auto fromGrey = [&](int x, int y) { return 0x010101u * grey[y * kW + x]; };
    out.push_back(fixture("grey.jpg", encodeJpeg(kW, kH, 1, grey, {.quality = 95}), fromGrey, 6));
    out.push_back(fixture("greyprogressive.jpg", encodeJpeg(kW, kH, 1, grey, {.quality = 95, .progressive = true}), fromGrey, 6));
    // Four components: no picture to compare with beyond the golden one (the conversion to
    // colour is the decoder's).
    const std::vector<std::uint8_t> cmyk = smooth(4);
    out.push_back(DecoderFixture{"cmyk.jpg", encodeJpeg(kW, kH, 4, cmyk, {.quality = 95}), kW, kH, {}, 0});
    out.push_back(DecoderFixture{"ycck.jpg", encodeJpeg(kW, kH, 4, cmyk, {.quality = 95, .ycck = true}), kW, kH, {}, 0});
}

}  // namespace

std::vector<DecoderFixture> decoderFixtures()
{
    std::vector<DecoderFixture> out;
    addBmpFixtures(out);
    addJpegFixtures(out);
    return out;
}

}  // namespace fixtures
