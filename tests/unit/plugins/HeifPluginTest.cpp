#include "PluginHarness.h"
#include "Samples.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstring>

using namespace harness;

namespace {

struct EncodeOptions {
    bool alpha = true;
    bool grey = false;
    int quality = 92;
    heif_orientation orientation = heif_orientation_normal;
};

heif_error appendBytes(heif_context*, const void* data, size_t size, void* user)
{
    auto* out = static_cast<Bytes*>(user);
    const auto* p = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), p, p + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

Bytes encode(int width, int height, const std::vector<std::uint8_t>& rgba, const EncodeOptions& o)
{
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    EXPECT_EQ(heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &enc).code, heif_error_Ok);
    heif_encoder_set_lossy_quality(enc, o.quality);
    heif_encoder_set_parameter_string(enc, "chroma", "444");
    heif_image* img = nullptr;
    int stride = 0;
    if (o.grey) {
        heif_image_create(width, height, heif_colorspace_monochrome, heif_chroma_monochrome, &img);
        heif_image_add_plane(img, heif_channel_Y, width, height, 8);
        std::uint8_t* p = heif_image_get_plane(img, heif_channel_Y, &stride);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                p[y * stride + x] = rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 1];
    } else {
        const int channels = o.alpha ? 4 : 3;
        heif_image_create(width, height, heif_colorspace_RGB,
                          o.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &img);
        heif_image_add_plane(img, heif_channel_interleaved, width, height, 8);
        std::uint8_t* p = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                std::memcpy(p + y * stride + x * channels, rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4,
                            static_cast<std::size_t>(channels));
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = o.orientation;
    EXPECT_EQ(heif_context_encode_image(ctx, img, enc, options, nullptr).code, heif_error_Ok);
    heif_encoding_options_free(options);
    Bytes file;
    heif_writer writer{1, appendBytes};
    EXPECT_EQ(heif_context_write(ctx, &writer, &file).code, heif_error_Ok);
    heif_image_release(img);
    heif_encoder_release(enc);
    heif_context_free(ctx);
    return file;
}

// libheif's own decode of the primary image, transformations applied, to B, G, R, A.
Image referenceDecode(const Bytes& data)
{
    Image out;
    heif_context* ctx = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* img = nullptr;
    if (heif_context_read_from_memory_without_copy(ctx, data.data(), data.size(), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &img, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code == heif_error_Ok) {
        int stride = 0;
        const std::uint8_t* p = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
        out.width = heif_image_get_width(img, heif_channel_interleaved);
        out.height = heif_image_get_height(img, heif_channel_interleaved);
        for (int y = 0; y < out.height; ++y)
            out.bgra.insert(out.bgra.end(), p + y * stride, p + y * stride + out.width * 4);
        for (std::size_t i = 0; i < out.bgra.size(); i += 4)
            std::swap(out.bgra[i], out.bgra[i + 2]);
    } else {
        ADD_FAILURE() << "libheif cannot read the test picture";
    }
    heif_image_release(img);
    heif_image_handle_release(handle);
    heif_context_free(ctx);
    return out;
}

const Plugin& plugin()
{
    static Plugin p("heif");
    return p;
}

TEST(HeifPlugin, RotatedPictureIsShownUpright)
{
    const int w = 40, h = 24;
    const auto rgba = photoRgba(w, h, false, 8);
    EncodeOptions o;
    o.alpha = false;
    o.orientation = heif_orientation_rotate_90_cw;
    const Bytes file = encode(w, h, rgba, o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    ASSERT_EQ(d.image.width, h);
    ASSERT_EQ(d.image.height, w);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    // Turned a quarter clockwise: the stored bottom-left corner is now the top-left one.
    Image turned{h, w, std::vector<std::uint8_t>(rgba.size())};
    const Image source = fromRgba(w, h, rgba);
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < h; ++x)
            std::memcpy(turned.bgra.data() + (static_cast<std::size_t>(y) * h + x) * 4, source.at(y, h - 1 - x), 4);
    EXPECT_LE(maxDifference(d.image, turned), 40);
    SpiPictureInfo info;
    std::string text;
    ASSERT_EQ(plugin().pictureInfo(file, info, text), SPI_SUCCESS);
    EXPECT_EQ(info.width, h);
    EXPECT_EQ(info.height, w);
    EXPECT_NE(text.find("heic"), std::string::npos) << text;
}

TEST(HeifPlugin, MonochromeIsGrey)
{
    const int w = 32, h = 20;
    EncodeOptions o;
    o.alpha = false;
    o.grey = true;
    const Bytes file = encode(w, h, photoRgba(w, h, false, 9), o);
    const Decoded d = plugin().decode(file);
    ASSERT_EQ(d.rc, SPI_SUCCESS);
    EXPECT_EQ(maxDifference(d.image, referenceDecode(file)), 0);
    for (std::size_t i = 0; i < d.image.bgra.size(); i += 4) {
        ASSERT_EQ(d.image.bgra[i], d.image.bgra[i + 1]);
        ASSERT_EQ(d.image.bgra[i], d.image.bgra[i + 2]);
        ASSERT_EQ(d.image.bgra[i + 3], 255);
    }
}

// The stored size is patched to one beyond what the viewer shows: refused from the header.
TEST(HeifPlugin, SizeAboveTheCapIsRefusedBeforeDecoding)
{
    EncodeOptions o;
    o.alpha = false;
    Bytes file = encode(16, 16, photoRgba(16, 16, false), o);
    ASSERT_GT(patchIspe(file, 30000, 30000), 0);
    EXPECT_NE(plugin().decode(file).rc, SPI_SUCCESS);
}

}  // namespace

namespace samples {

harness::Bytes heif(int width, int height, bool alpha)
{
    EncodeOptions o;
    o.alpha = alpha;
    return encode(width, height, photoRgba(width, height, alpha), o);
}
harness::Image heifReference(const harness::Bytes& data) { return referenceDecode(data); }

std::vector<Variant> heifVariants()
{
    const int w = 37, h = 29;
    std::vector<Variant> out;
    EncodeOptions grey;
    grey.grey = true;
    grey.alpha = false;
    out.push_back({"grey", encode(w, h, photoRgba(w, h, false, 28), grey)});
    EncodeOptions turned;
    turned.orientation = heif_orientation_rotate_270_cw;
    out.push_back({"rotated-alpha", encode(w, h, photoRgba(w, h, true, 29), turned)});
    return out;
}

}  // namespace samples
