#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>

using namespace harness;

namespace {

bool importPicture(WebPPicture& pic, int width, int height, const std::vector<std::uint8_t>& rgba)
{
    WebPPictureInit(&pic);
    pic.use_argb = 1;
    pic.width = width;
    pic.height = height;
    return WebPPictureImportRGBA(&pic, rgba.data(), width * 4) != 0;
}

// Lossless keeps even the colour under fully transparent pixels, so every pixel can be compared.
Bytes encode(int width, int height, const std::vector<std::uint8_t>& rgba, bool lossless, float quality = 90)
{
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = lossless;
    config.exact = 1;
    config.quality = quality;
    WebPPicture pic;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    EXPECT_TRUE(importPicture(pic, width, height, rgba));
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &writer;
    EXPECT_TRUE(WebPEncode(&config, &pic)) << pic.error_code;
    WebPPictureFree(&pic);
    Bytes out(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    return out;
}

Bytes encodeAnimation(int width, int height, const std::vector<std::vector<std::uint8_t>>& frames)
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* enc = WebPAnimEncoderNew(width, height, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    config.exact = 1;
    int timestamp = 0;
    for (const auto& rgba : frames) {
        WebPPicture pic;
        importPicture(pic, width, height, rgba);
        EXPECT_TRUE(WebPAnimEncoderAdd(enc, &pic, timestamp, &config));
        WebPPictureFree(&pic);
        timestamp += 100;
    }
    WebPAnimEncoderAdd(enc, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    EXPECT_TRUE(WebPAnimEncoderAssemble(enc, &data));
    WebPAnimEncoderDelete(enc);
    Bytes out(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return out;
}

// libwebp's own decode to B, G, R, A; the first composed frame of an animation.
Image referenceDecode(const Bytes& data)
{
    Image img;
    WebPBitstreamFeatures f;
    if (WebPGetFeatures(data.data(), data.size(), &f) != VP8_STATUS_OK) {
        ADD_FAILURE() << "libwebp cannot read the test picture";
        return img;
    }
    img.width = f.width;
    img.height = f.height;
    if (!f.has_animation) {
        std::uint8_t* p = WebPDecodeBGRA(data.data(), data.size(), &img.width, &img.height);
        if (p)
            img.bgra.assign(p, p + static_cast<std::size_t>(img.width) * img.height * 4);
        WebPFree(p);
        return img;
    }
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA;
    const WebPData whole{data.data(), data.size()};
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&whole, &options);
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (dec && WebPAnimDecoderGetNext(dec, &canvas, &timestamp))
        img.bgra.assign(canvas, canvas + static_cast<std::size_t>(img.width) * img.height * 4);
    WebPAnimDecoderDelete(dec);
    return img;
}

const Plugin& plugin()
{
    static Plugin p("webp");
    return p;
}

TEST(WebpPlugin, LossyMatchesLibwebpAndStaysCloseToTheSource)
{
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        const int w = 70, h = 45;
        const auto rgba = photoRgba(w, h, alpha);
        const Bytes file = encode(w, h, rgba, false);
        const Decoded d = plugin().decode(file);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
        EXPECT_LT(countDifferent(d.image, fromRgba(w, h, rgba), 48), d.image.bgra.size() / 100);
        SpiPictureInfo info;
        std::string text;
        ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
        EXPECT_NE(text.find("lossy"), std::string::npos) << text;
        EXPECT_EQ(info.colorDepth, alpha ? 32 : 24);
    }
}

TEST(WebpPlugin, LosslessLargerThanOnePieceIsExact)
{
    const int w = 300, h = 700;  // several pieces of input, many rows
    const auto rgba = photoRgba(w, h, true, 5);
    const Bytes file = encode(w, h, rgba, true);
    ProgressLog log;
    const Decoded d = plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&log));
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, fromRgba(w, h, rgba)), 0);
    EXPECT_GE(log.calls, 10);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_NE(text.find("lossless"), std::string::npos) << text;
}

TEST(WebpPlugin, AnimationShowsItsFirstComposedFrame)
{
    const int w = 20, h = 14;
    const auto first = photoRgba(w, h, true, 1);
    const auto second = photoRgba(w, h, false, 2);
    const Bytes file = encodeAnimation(w, h, {first, second});
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    EXPECT_EQ(maxDifference(d.image, fromRgba(w, h, first)), 0);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_NE(text.find("animated"), std::string::npos) << text;
    ProgressLog log;
    log.stopAtCall = 2;
    EXPECT_EQ(plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&log)).rc, SPI_ABORT);
}

}  // namespace

namespace samples {

harness::Bytes webp(int width, int height, bool alpha) { return encode(width, height, photoRgba(width, height, alpha), true); }
harness::Image webpReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> webpVariants()
{
    const int w = 37, h = 29;
    return {{"lossy-alpha", encode(w, h, photoRgba(w, h, true, 23), false)},
            {"lossy", encode(w, h, photoRgba(w, h, false, 24), false)}};
}

}  // namespace samples
