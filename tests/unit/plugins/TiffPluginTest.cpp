#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <unistd.h>

using namespace harness;

namespace {

struct TiffSpec {
    int samples = 4;  // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    int bits = 8;
    std::uint16_t compression = COMPRESSION_LZW;
    bool tiled = false;
    bool associatedAlpha = false;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    int pages = 1;
    int rowsPerStrip = 8;  // 0: the whole picture in one strip
};

// Written through a real file: libtiff's writer needs to seek and read back.
Bytes encode(int width, int height, const TiffSpec& spec, const std::vector<std::uint8_t>& samples)
{
    const std::string path = writeTemp("encode.tif", {});
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    const std::size_t bytesPerSample = spec.bits / 8;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * spec.samples * bytesPerSample;
    for (int page = 0; page < spec.pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, spec.bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spec.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, spec.compression);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, spec.orientation);
        if (spec.samples == 2 || spec.samples == 4) {
            const std::uint16_t extra = spec.associatedAlpha ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        if (spec.pages > 1) {
            TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
            TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, spec.pages);
        }
        // Later pages are inverted, so showing the wrong page is seen.
        std::vector<std::uint8_t> data = samples;
        if (page > 0)
            for (auto& b : data)
                b = static_cast<std::uint8_t>(~b);
        if (spec.tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
            const std::size_t pixelBytes = spec.samples * bytesPerSample;
            std::vector<std::uint8_t> tile(16 * 16 * pixelBytes);
            for (int ty = 0; ty < height; ty += 16) {
                for (int tx = 0; tx < width; tx += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = 0; y < 16 && ty + y < height; ++y)
                        for (int x = 0; x < 16 && tx + x < width; ++x)
                            std::memcpy(&tile[(y * 16 + x) * pixelBytes],
                                        &data[(ty + y) * rowBytes + (tx + x) * pixelBytes], pixelBytes);
                    TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
                }
            }
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip > 0 ? spec.rowsPerStrip : height);
            for (int y = 0; y < height; ++y)
                TIFFWriteScanline(tif, &data[y * rowBytes], y, 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    Bytes out = readFileBytes(path);
    ::unlink(path.c_str());
    return out;
}

std::vector<std::uint8_t> samplesOf(const std::vector<std::uint8_t>& rgba, int samples)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        if (samples >= 3) {
            out.insert(out.end(), rgba.begin() + static_cast<std::ptrdiff_t>(i), rgba.begin() + static_cast<std::ptrdiff_t>(i + 3));
        } else {
            out.push_back(rgba[i + 1]);
        }
        if (samples == 2 || samples == 4)
            out.push_back(rgba[i + 3]);
    }
    return out;
}

// libtiff's RGBA reader, top-down, converted to B, G, R, A. It premultiplies straight alpha of
// colour pictures, so for those the straight samples are read back as stored (strips, 8 bits).
Image referenceDecode(const Bytes& data)
{
    const std::string path = writeTemp("reference.tif", data);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    Image img;
    if (!tif) {
        ADD_FAILURE() << "libtiff cannot read the test picture";
        return img;
    }
    std::uint32_t w = 0, h = 0;
    std::uint16_t spp = 1, extra = 0, *extraTypes = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    std::vector<std::uint32_t> raster(std::size_t{w} * h);
    EXPECT_TRUE(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1));
    for (const std::uint32_t p : raster)
        img.bgra.insert(img.bgra.end(), {static_cast<std::uint8_t>(TIFFGetB(p)), static_cast<std::uint8_t>(TIFFGetG(p)),
                                         static_cast<std::uint8_t>(TIFFGetR(p)), static_cast<std::uint8_t>(TIFFGetA(p))});
    if (spp == 4 && extra == 1 && extraTypes[0] == EXTRASAMPLE_UNASSALPHA && !TIFFIsTiled(tif)) {
        std::vector<std::uint8_t> line(TIFFScanlineSize(tif));
        for (std::uint32_t y = 0; y < h; ++y) {
            TIFFReadScanline(tif, line.data(), y, 0);
            for (std::uint32_t x = 0; x < w; ++x) {
                std::uint8_t* p = &img.bgra[(std::size_t{y} * w + x) * 4];
                p[0] = line[x * 4 + 2];
                p[1] = line[x * 4 + 1];
                p[2] = line[x * 4];
            }
        }
    }
    TIFFClose(tif);
    return img;
}

const Plugin& plugin()
{
    static Plugin p("tiff");
    return p;
}

TEST(TiffPlugin, StripsTilesAndCompressionsAreExact)
{
    const int w = 37, h = 29;
    for (const bool tiled : {false, true}) {
        for (const std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
            for (const int samples : {1, 2, 3, 4}) {
                SCOPED_TRACE(testing::Message() << "tiled " << tiled << " compression " << compression << " samples " << samples);
                const auto rgba = photoRgba(w, h, samples == 2 || samples == 4);
                TiffSpec spec;
                spec.samples = samples;
                spec.tiled = tiled;
                spec.compression = compression;
                const Bytes file = encode(w, h, spec, samplesOf(rgba, samples));
                const Decoded d = plugin().decode(file);
                ASSERT_EQ(d.rc, SPI_SUCCESS);
                Image expected = fromRgba(w, h, rgba);
                if (samples < 3)
                    for (std::size_t i = 0; i < expected.bgra.size(); i += 4)
                        expected.bgra[i] = expected.bgra[i + 2] = expected.bgra[i + 1];
                EXPECT_EQ(maxDifference(d.image, expected), 0);
            }
        }
    }
}

TEST(TiffPlugin, SixteenBitAndPremultipliedAlpha)
{
    const int w = 13, h = 9;
    std::vector<std::uint8_t> samples;
    Image expected{w, h, {}};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint16_t v[3] = {static_cast<std::uint16_t>(x * 5000), static_cast<std::uint16_t>(y * 7000), 40000};
            for (const std::uint16_t s : v) {
                samples.push_back(static_cast<std::uint8_t>(s));
                samples.push_back(static_cast<std::uint8_t>(s >> 8));
            }
            expected.bgra.insert(expected.bgra.end(), {static_cast<std::uint8_t>(v[2] >> 8), static_cast<std::uint8_t>(v[1] >> 8),
                                                       static_cast<std::uint8_t>(v[0] >> 8), 255});
        }
    }
    TiffSpec spec;
    spec.samples = 3;
    spec.bits = 16;
    const Bytes file = encode(w, h, spec, samples);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_LE(maxDifference(d.image, expected), 1);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);

    // Premultiplied samples come back straight.
    std::vector<std::uint8_t> pre;
    for (int i = 0; i < w * h; ++i) {
        const int a = (i * 7) % 256;
        pre.insert(pre.end(), {static_cast<std::uint8_t>(200 * a / 255), static_cast<std::uint8_t>(100 * a / 255), 0,
                               static_cast<std::uint8_t>(a)});
    }
    spec = TiffSpec{};
    spec.associatedAlpha = true;
    const Decoded p = plugin().decode(encode(w, h, spec, pre));
    ASSERT_EQ(p.rc, SPI_SUCCESS);
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t* px = p.image.bgra.data() + i * 4;
        EXPECT_EQ(px[3], pre[i * 4 + 3]);
        if (px[3] >= 32) {
            EXPECT_NEAR(px[2], 200, 255 / px[3] + 1) << i;
            EXPECT_NEAR(px[1], 100, 255 / px[3] + 1) << i;
        }
    }
}

TEST(TiffPlugin, OrientationAndFirstPage)
{
    const int w = 10, h = 21;
    const auto rgba = photoRgba(w, h, false);
    for (const std::uint16_t orientation : {ORIENTATION_TOPLEFT, ORIENTATION_BOTLEFT}) {
        SCOPED_TRACE(orientation);
        TiffSpec spec;
        spec.samples = 3;
        spec.orientation = orientation;
        spec.pages = 3;
        const Bytes file = encode(w, h, spec, samplesOf(rgba, 3));
        const Decoded d = plugin().decode(file);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
        Image expected = fromRgba(w, h, rgba);
        if (orientation == ORIENTATION_BOTLEFT) {
            Image flipped = expected;
            for (int y = 0; y < h; ++y)
                std::memcpy(&flipped.bgra[y * w * 4], &expected.bgra[(h - 1 - y) * w * 4], w * 4);
            expected = flipped;
        }
        EXPECT_EQ(maxDifference(d.image, expected), 0);
        SpiPictureInfo info;
        std::string text;
        ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
        EXPECT_NE(text.find("3 pages"), std::string::npos) << text;
    }
}

TEST(TiffPlugin, OneTallStripIsReadInStepsWithProgress)
{
    const int w = 41, h = 300;
    const auto rgba = photoRgba(w, h, true, 31);
    for (const auto orientation : {ORIENTATION_TOPLEFT, ORIENTATION_BOTLEFT}) {
        for (const int samples : {1, 3, 4}) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation << " samples " << samples);
            TiffSpec spec;
            spec.samples = samples;
            spec.rowsPerStrip = 0;
            spec.orientation = orientation;
            spec.compression = COMPRESSION_ADOBE_DEFLATE;
            const Bytes file = encode(w, h, spec, samplesOf(rgba, samples));
            ProgressLog log;
            const Decoded d = plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&log));
            ASSERT_EQ(d.rc, SPI_SUCCESS);
            // The reference premultiplies colour with straight alpha, so that case is checked
            // against the samples written; a picture stored bottom-up shows its last row first.
            if (samples != 4)
                EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
            Image expected = fromRgba(w, h, rgba);
            for (std::size_t i = 0; i < expected.bgra.size(); i += 4) {
                if (samples == 1)
                    expected.bgra[i] = expected.bgra[i + 2] = expected.bgra[i + 1];
                if (samples != 4)
                    expected.bgra[i + 3] = 255;
            }
            Image shown = expected;
            if (orientation == ORIENTATION_BOTLEFT)
                for (int y = 0; y < h; ++y)
                    std::memcpy(shown.bgra.data() + std::size_t{4} * w * y, expected.at(0, h - 1 - y), std::size_t{4} * w);
            EXPECT_EQ(maxDifference(d.image, shown), 0);
            EXPECT_GE(log.calls, h / 16) << "at least every few rows";
            ProgressLog stop;
            stop.stopAtCall = 5;
            EXPECT_EQ(plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&stop)).rc, SPI_ABORT);
            EXPECT_EQ(stop.calls, 5);
            // A file cut short is an error, not a picture with a blank end.
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
            EXPECT_NE(plugin().decode(cut).rc, SPI_SUCCESS);
        }
    }
}

}  // namespace

namespace samples {

harness::Bytes tiff(int width, int height, bool alpha)
{
    TiffSpec spec;
    spec.samples = alpha ? 4 : 3;
    return encode(width, height, spec, samplesOf(photoRgba(width, height, alpha), spec.samples));
}

harness::Image tiffReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> tiffVariants()
{
    const int w = 37, h = 29;
    const auto rgba = photoRgba(w, h, true, 22);
    std::vector<Variant> out;
    for (const int samples : {1, 2}) {
        TiffSpec spec;
        spec.samples = samples;
        out.push_back({samples == 1 ? "grey" : "grey-alpha", encode(w, h, spec, samplesOf(rgba, samples))});
    }
    TiffSpec tiled;
    tiled.tiled = true;
    tiled.samples = 3;
    tiled.compression = COMPRESSION_ADOBE_DEFLATE;
    out.push_back({"tiled-rgb", encode(w, h, tiled, samplesOf(rgba, 3))});

    TiffSpec deep;
    deep.samples = 3;
    deep.bits = 16;
    std::vector<std::uint8_t> samples;
    for (const std::uint8_t v : samplesOf(rgba, 3)) {
        const int s = v * 257;
        samples.insert(samples.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
    }
    out.push_back({"rgb-16bit", encode(w, h, deep, samples)});
    return out;
}

}  // namespace samples
