#include "PluginHarness.h"
#include "Samples.h"

#include <avif/avif.h>
#include <gtest/gtest.h>

using namespace harness;

namespace {

struct EncodeOptions {
    avifPixelFormat yuv = AVIF_PIXEL_FORMAT_YUV444;
    std::uint32_t depth = 8;
    int quantizer = 8;  // AVIF_QUANTIZER_LOSSLESS with the identity matrix keeps every value
    bool alpha = true;
};

Bytes encode(int width, int height, const std::vector<std::uint8_t>& rgba, const EncodeOptions& o)
{
    avifImage* image = avifImageCreate(width, height, o.depth, o.yuv);
    const bool lossless = o.quantizer == AVIF_QUANTIZER_LOSSLESS;
    if (lossless)
        image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = o.alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    std::vector<std::uint8_t> packed;
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        packed.insert(packed.end(), rgba.begin() + static_cast<std::ptrdiff_t>(i),
                      rgba.begin() + static_cast<std::ptrdiff_t>(i + (o.alpha ? 4 : 3)));
    rgb.pixels = packed.data();
    rgb.rowBytes = static_cast<std::uint32_t>(width * (o.alpha ? 4 : 3));
    EXPECT_EQ(avifImageRGBToYUV(image, &rgb), AVIF_RESULT_OK);
    avifEncoder* enc = avifEncoderCreate();
    enc->speed = AVIF_SPEED_FASTEST;
    enc->minQuantizer = enc->maxQuantizer = o.quantizer;
    enc->minQuantizerAlpha = enc->maxQuantizerAlpha = lossless ? AVIF_QUANTIZER_LOSSLESS : 4;
    avifRWData out = AVIF_DATA_EMPTY;
    EXPECT_EQ(avifEncoderWrite(enc, image, &out), AVIF_RESULT_OK);
    Bytes file(out.data, out.data + out.size);
    avifRWDataFree(&out);
    avifEncoderDestroy(enc);
    avifImageDestroy(image);
    return file;
}

// libavif's own decode to B, G, R, A.
Image referenceDecode(const Bytes& data)
{
    Image img;
    avifDecoder* dec = avifDecoderCreate();
    avifImage* image = avifImageCreateEmpty();
    if (avifDecoderReadMemory(dec, image, data.data(), data.size()) == AVIF_RESULT_OK) {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.format = AVIF_RGB_FORMAT_BGRA;
        rgb.depth = 8;
        img.width = static_cast<int>(image->width);
        img.height = static_cast<int>(image->height);
        img.bgra.resize(static_cast<std::size_t>(img.width) * img.height * 4);
        rgb.pixels = img.bgra.data();
        rgb.rowBytes = static_cast<std::uint32_t>(img.width * 4);
        EXPECT_EQ(avifImageYUVToRGB(image, &rgb), AVIF_RESULT_OK);
    } else {
        ADD_FAILURE() << "libavif cannot read the test picture";
    }
    avifImageDestroy(image);
    avifDecoderDestroy(dec);
    return img;
}

const Plugin& plugin()
{
    static Plugin p("avif");
    return p;
}

std::string infoText(const Bytes& file, SpiPictureInfo& info)
{
    std::string text;
    EXPECT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    return text;
}

TEST(AvifPlugin, LosslessKeepsEveryValueIncludingAlpha)
{
    const int w = 37, h = 29;
    const auto rgba = photoRgba(w, h, true, 3);
    EncodeOptions o;
    o.quantizer = AVIF_QUANTIZER_LOSSLESS;
    const Bytes file = encode(w, h, rgba, o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, fromRgba(w, h, rgba)), 0);
    SpiPictureInfo info;
    const std::string text = infoText(file, info);
    EXPECT_NE(text.find("4:4:4"), std::string::npos) << text;
    EXPECT_NE(text.find("alpha"), std::string::npos) << text;
    EXPECT_EQ(info.colorDepth, 32);
}

TEST(AvifPlugin, SubsampledAndDeepPicturesMatchLibavif)
{
    const int w = 50, h = 33;  // odd chroma edge
    const auto rgba = photoRgba(w, h, false, 4);
    for (const auto yuv : {AVIF_PIXEL_FORMAT_YUV420, AVIF_PIXEL_FORMAT_YUV422}) {
        for (const std::uint32_t depth : {8u, 10u, 12u}) {
            SCOPED_TRACE(std::to_string(yuv) + " " + std::to_string(depth));
            EncodeOptions o;
            o.yuv = yuv;
            o.depth = depth;
            o.alpha = false;
            const Bytes file = encode(w, h, rgba, o);
            const Decoded d = plugin().decode(file);
            ASSERT_EQ(d.rc, SPI_SUCCESS);
            EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
            EXPECT_LE(maxDifference(d.image, fromRgba(w, h, rgba)), 60);
            SpiPictureInfo info;
            const std::string text = infoText(file, info);
            EXPECT_NE(text.find(std::to_string(depth) + "-bit"), std::string::npos) << text;
            EXPECT_EQ(text.find("alpha"), std::string::npos) << text;
            EXPECT_EQ(info.colorDepth, 24);
        }
    }
}

TEST(AvifPlugin, MonochromeIsGrey)
{
    const int w = 24, h = 18;
    EncodeOptions o;
    o.yuv = AVIF_PIXEL_FORMAT_YUV400;
    o.alpha = false;
    const Bytes file = encode(w, h, photoRgba(w, h, false, 6), o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    for (std::size_t i = 0; i < d.image.bgra.size(); i += 4) {
        ASSERT_EQ(d.image.bgra[i], d.image.bgra[i + 1]);
        ASSERT_EQ(d.image.bgra[i], d.image.bgra[i + 2]);
        ASSERT_EQ(d.image.bgra[i + 3], 255);
    }
    SpiPictureInfo info;
    EXPECT_NE(infoText(file, info).find("monochrome"), std::string::npos);
}

// The stored size is patched to one beyond the viewer's cap: refused from the header alone.
TEST(AvifPlugin, SizeAboveTheCapIsRefusedBeforeDecoding)
{
    Bytes file = encode(16, 16, photoRgba(16, 16, false), EncodeOptions{});
    ASSERT_GT(patchIspe(file, 60000, 60000), 0);
    EXPECT_NE(plugin().decode(file).rc, SPI_SUCCESS);
    SpiPictureInfo info;
    std::string text;
    EXPECT_NE(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
}

}  // namespace

namespace samples {

harness::Bytes avif(int width, int height, bool alpha)
{
    EncodeOptions o;
    o.alpha = alpha;
    return encode(width, height, photoRgba(width, height, alpha), o);
}
harness::Image avifReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> avifVariants()
{
    const int w = 37, h = 29;
    std::vector<Variant> out;
    EncodeOptions deep;
    deep.yuv = AVIF_PIXEL_FORMAT_YUV420;
    deep.depth = 10;
    out.push_back({"yuv420-10bit-alpha", encode(w, h, photoRgba(w, h, true, 25), deep)});
    EncodeOptions grey;
    grey.yuv = AVIF_PIXEL_FORMAT_YUV400;
    grey.alpha = false;
    out.push_back({"grey", encode(w, h, photoRgba(w, h, false, 26), grey)});
    EncodeOptions lossless;
    lossless.quantizer = AVIF_QUANTIZER_LOSSLESS;
    out.push_back({"lossless-alpha", encode(w, h, photoRgba(w, h, true, 27), lossless)});
    return out;
}

}  // namespace samples
