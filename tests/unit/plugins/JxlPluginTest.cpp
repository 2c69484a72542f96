#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>
#include <jxl/decode.h>
#include <jxl/encode.h>

#include <cstring>

using namespace harness;

namespace {

struct EncodeOptions {
    bool alpha = true;
    bool grey = false;
    int bits = 8;
    bool lossless = true;
    int orientation = JXL_ORIENT_IDENTITY;
    bool container = false;
};

// Samples in the encoder's layout from photoRgba pixels: grey takes the green channel; 16-bit
// samples get low bits of their own so that rounding to 8 bits is seen.
Bytes samplesOf(int width, int height, const std::vector<std::uint8_t>& rgba, const EncodeOptions& o)
{
    Bytes out;
    for (int i = 0; i < width * height; ++i) {
        const std::uint8_t* p = rgba.data() + static_cast<std::size_t>(i) * 4;
        std::vector<std::uint8_t> values;
        if (o.grey)
            values = {p[1]};
        else
            values = {p[0], p[1], p[2]};
        if (o.alpha)
            values.push_back(p[3]);
        for (const std::uint8_t v : values) {
            if (o.bits == 16) {
                const std::uint16_t s = static_cast<std::uint16_t>(v * 257 + (v < 255 ? (i % 5) * 40 : 0));
                out.insert(out.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});  // little-endian
            } else {
                out.push_back(v);
            }
        }
    }
    return out;
}

Bytes encodeFrames(int width, int height, const std::vector<std::vector<std::uint8_t>>& frames, const EncodeOptions& o)
{
    JxlEncoder* enc = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<std::uint32_t>(width);
    info.ysize = static_cast<std::uint32_t>(height);
    info.bits_per_sample = static_cast<std::uint32_t>(o.bits);
    info.num_color_channels = o.grey ? 1 : 3;
    info.alpha_bits = o.alpha ? static_cast<std::uint32_t>(o.bits) : 0;
    info.num_extra_channels = o.alpha ? 1 : 0;
    info.uses_original_profile = o.lossless;
    info.orientation = static_cast<JxlOrientation>(o.orientation);
    if (frames.size() > 1) {
        info.have_animation = JXL_TRUE;
        info.animation.tps_numerator = 10;
        info.animation.tps_denominator = 1;
    }
    EXPECT_EQ(JxlEncoderUseContainer(enc, o.container), JXL_ENC_SUCCESS);
    EXPECT_EQ(JxlEncoderSetBasicInfo(enc, &info), JXL_ENC_SUCCESS);
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, o.grey);
    EXPECT_EQ(JxlEncoderSetColorEncoding(enc, &colour), JXL_ENC_SUCCESS);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (o.lossless)
        EXPECT_EQ(JxlEncoderSetFrameLossless(settings, JXL_TRUE), JXL_ENC_SUCCESS);
    else
        EXPECT_EQ(JxlEncoderSetFrameDistance(settings, 1.0f), JXL_ENC_SUCCESS);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 3);
    const JxlPixelFormat format{static_cast<std::uint32_t>((o.grey ? 1 : 3) + (o.alpha ? 1 : 0)),
                                o.bits == 16 ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_LITTLE_ENDIAN, 0};
    for (const auto& rgba : frames) {
        if (frames.size() > 1) {
            JxlFrameHeader header;
            JxlEncoderInitFrameHeader(&header);
            header.duration = 1;
            EXPECT_EQ(JxlEncoderSetFrameHeader(settings, &header), JXL_ENC_SUCCESS);
        }
        const Bytes samples = samplesOf(width, height, rgba, o);
        EXPECT_EQ(JxlEncoderAddImageFrame(settings, &format, samples.data(), samples.size()), JXL_ENC_SUCCESS);
    }
    JxlEncoderCloseInput(enc);
    Bytes out(4096);
    std::size_t used = 0;
    for (;;) {
        std::uint8_t* next = out.data() + used;
        std::size_t avail = out.size() - used;
        const JxlEncoderStatus s = JxlEncoderProcessOutput(enc, &next, &avail);
        used = static_cast<std::size_t>(next - out.data());
        if (s != JXL_ENC_NEED_MORE_OUTPUT) {
            EXPECT_EQ(s, JXL_ENC_SUCCESS);
            break;
        }
        out.resize(out.size() * 2);
    }
    out.resize(used);
    JxlEncoderDestroy(enc);
    return out;
}

Bytes encode(int width, int height, const std::vector<std::uint8_t>& rgba, const EncodeOptions& o)
{
    return encodeFrames(width, height, {rgba}, o);
}

// libjxl's own decode of the first frame to B, G, R, A, orientation applied.
Image referenceDecode(const Bytes& data)
{
    Image img;
    JxlDecoder* dec = JxlDecoderCreate(nullptr);
    JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE);
    JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE);
    JxlDecoderSetInput(dec, data.data(), data.size());
    JxlDecoderCloseInput(dec);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (bool done = false; !done;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo info;
            JxlDecoderGetBasicInfo(dec, &info);
            const bool transposed = info.orientation >= JXL_ORIENT_TRANSPOSE;
            img.width = static_cast<int>(transposed ? info.ysize : info.xsize);
            img.height = static_cast<int>(transposed ? info.xsize : info.ysize);
            img.bgra.resize(static_cast<std::size_t>(img.width) * img.height * 4);
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            JxlDecoderSetImageOutBuffer(dec, &format, img.bgra.data(), img.bgra.size());
            break;
        case JXL_DEC_FULL_IMAGE: done = true; break;
        default:
            ADD_FAILURE() << "libjxl cannot read the test picture";
            img = Image{};
            done = true;
            break;
        }
    }
    JxlDecoderDestroy(dec);
    for (std::size_t i = 0; i < img.bgra.size(); i += 4)
        std::swap(img.bgra[i], img.bgra[i + 2]);
    return img;
}

const Plugin& plugin()
{
    static Plugin p("jxl");
    return p;
}

std::string infoText(const Bytes& file)
{
    SpiPictureInfo info;
    std::string text;
    EXPECT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    return text;
}

Image grey(const Image& img, bool alpha)
{
    Image out = img;
    for (std::size_t i = 0; i < out.bgra.size(); i += 4) {
        out.bgra[i] = out.bgra[i + 2] = out.bgra[i + 1];
        if (!alpha)
            out.bgra[i + 3] = 255;
    }
    return out;
}

TEST(JxlPlugin, LosslessGreyWithAndWithoutAlphaIsExact)
{
    const int w = 45, h = 31;
    const auto rgba = photoRgba(w, h, true, 11);
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        EncodeOptions o;
        o.grey = true;
        o.alpha = alpha;
        const Bytes file = encode(w, h, rgba, o);
        const Decoded d = plugin().decode(file);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(d.image, grey(fromRgba(w, h, rgba), alpha)), 0);
        EXPECT_NE(infoText(file).find("grey"), std::string::npos);
    }
}

TEST(JxlPlugin, SixteenBitSamplesRoundAsLibjxlDoes)
{
    const int w = 33, h = 21;
    const auto rgba = photoRgba(w, h, true, 12);
    EncodeOptions o;
    o.bits = 16;
    const Bytes file = encode(w, h, rgba, o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    EXPECT_LE(maxDifference(d.image, fromRgba(w, h, rgba)), 1);
    EXPECT_NE(infoText(file).find("16-bit"), std::string::npos);
}

TEST(JxlPlugin, LossyOverSeveralGroupsMatchesLibjxl)
{
    const int w = 600, h = 520;  // more than one group of 256 x 256 each way
    const auto rgba = photoRgba(w, h, false, 13);
    EncodeOptions o;
    o.lossless = false;
    o.alpha = false;
    const Bytes file = encode(w, h, rgba, o);
    ProgressLog log;
    const Decoded d = plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&log));
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    EXPECT_LT(countDifferent(d.image, fromRgba(w, h, rgba), 40), d.image.bgra.size() / 100);
    EXPECT_GE(log.calls, h / 16);
    for (const int stopAt : {2, 5, 20}) {
        ProgressLog stop;
        stop.stopAtCall = stopAt;
        EXPECT_EQ(plugin().decode(file, logProgress, reinterpret_cast<intptr_t>(&stop)).rc, SPI_ABORT);
        EXPECT_EQ(stop.calls, stopAt);
    }
}

TEST(JxlPlugin, OrientationIsApplied)
{
    const int w = 30, h = 18;
    const auto rgba = photoRgba(w, h, true, 14);
    EncodeOptions o;
    o.orientation = JXL_ORIENT_ROTATE_90_CW;
    const Bytes file = encode(w, h, rgba, o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    ASSERT_EQ(d.image.width, h);
    ASSERT_EQ(d.image.height, w);
    // Turned a quarter clockwise: the stored bottom-left corner is now the top-left one.
    const Image source = fromRgba(w, h, rgba);
    Image turned{h, w, std::vector<std::uint8_t>(rgba.size())};
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < h; ++x)
            std::memcpy(turned.bgra.data() + (static_cast<std::size_t>(y) * h + x) * 4, source.at(y, h - 1 - x), 4);
    EXPECT_EQ(maxDifference(d.image, turned), 0);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_EQ(info.width, h);
    EXPECT_EQ(info.height, w);
}

TEST(JxlPlugin, AnimationShowsItsFirstFrameAndContainersAreRead)
{
    const int w = 16, h = 12;
    const auto first = photoRgba(w, h, true, 1);
    const auto second = photoRgba(w, h, true, 2);
    for (const bool container : {false, true}) {
        SCOPED_TRACE(container);
        EncodeOptions o;
        o.container = container;
        const Bytes file = encodeFrames(w, h, {first, second}, o);
        EXPECT_TRUE(plugin().isSupported(file));
        const Decoded d = plugin().decode(file);
        ASSERT_EQ(d.rc, SPI_SUCCESS);
        EXPECT_EQ(maxDifference(d.image, fromRgba(w, h, first)), 0);
        const std::string text = infoText(file);
        EXPECT_NE(text.find("animated"), std::string::npos) << text;
        EXPECT_EQ(text.find("container") != std::string::npos, container) << text;
    }
}

}  // namespace

namespace samples {

harness::Bytes jxl(int width, int height, bool alpha)
{
    EncodeOptions o;
    o.alpha = alpha;
    return encode(width, height, photoRgba(width, height, alpha), o);
}
harness::Image jxlReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> jxlVariants()
{
    const int w = 37, h = 29;
    const auto rgba = photoRgba(w, h, true, 30);
    std::vector<Variant> out;
    EncodeOptions deep;
    deep.bits = 16;
    out.push_back({"rgba-16bit", encode(w, h, rgba, deep)});
    EncodeOptions grey;
    grey.grey = true;
    out.push_back({"grey-alpha", encode(w, h, rgba, grey)});
    EncodeOptions lossy;
    lossy.lossless = false;
    lossy.alpha = false;
    out.push_back({"lossy", encode(w, h, rgba, lossy)});
    return out;
}

}  // namespace samples
