#include "HeifDecoder.h"

#include "Isobmff.h"

#include <libheif/heif.h>

#include <algorithm>

namespace heifplugin {

namespace {

// HEVC codes a flat area in a fraction of a bit per block; beyond this many pixels per byte a
// header is taken for a lie rather than a picture.
constexpr std::uint64_t kMaxPixelsPerByte = std::uint64_t{1} << 20;
// Neither side of an image (or of a tile of a grid) may exceed this; the library refuses larger
// ones before allocating for them.
constexpr int kMaxSide = 32768;

// The library initialises itself on first use without a lock, so two threads decoding at once
// could both do it: done once here, where the first caller waits for it.
heif_context* newContext()
{
    static const bool initialised = (heif_init(nullptr), true);
    (void)initialised;
    return heif_context_alloc();
}

struct Context {
    heif_context* ctx = newContext();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    heif_decoding_options* options = nullptr;
    ~Context()
    {
        if (options)
            heif_decoding_options_free(options);
        if (image)
            heif_image_release(image);
        if (handle)
            heif_image_handle_release(handle);
        if (ctx)
            heif_context_free(ctx);
    }
};

int codeFor(const heif_error& e)
{
    switch (e.code) {
    case heif_error_Ok: return SPI_SUCCESS;
    case heif_error_Memory_allocation_error: return SPI_NO_MEMORY;
    default: return e.subcode == heif_suberror_Security_limit_exceeded ? SPI_NO_MEMORY : SPI_OUT_OF_ORDER;
    }
}

int open(Context& c, const std::uint8_t* data, std::size_t size)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    if (!c.ctx)
        return SPI_NO_MEMORY;
    heif_context_set_maximum_image_size_limit(c.ctx, kMaxSide);
    int rc = codeFor(heif_context_read_from_memory_without_copy(c.ctx, data, size, nullptr));
    if (rc == SPI_SUCCESS)
        rc = codeFor(heif_context_get_primary_image_handle(c.ctx, &c.handle));
    if (rc == SPI_SUCCESS && (heif_image_handle_get_width(c.handle) <= 0 || heif_image_handle_get_height(c.handle) <= 0))
        rc = SPI_OUT_OF_ORDER;
    return rc;
}

std::uint8_t unpremultiply(std::uint8_t c, std::uint8_t a)
{
    return a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (c * 255u + a / 2u) / a));
}

// One loop per layout, so that the common opaque case has no test per pixel.
void rgbRow(const std::uint8_t* in, std::uint8_t* out, int w)
{
    for (int x = 0; x < w; ++x, in += 3, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 255;
    }
}

void rgbaRow(const std::uint8_t* in, std::uint8_t* out, int w)
{
    for (int x = 0; x < w; ++x, in += 4, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = in[3];
    }
}

void premultipliedRow(const std::uint8_t* in, std::uint8_t* out, int w)
{
    for (int x = 0; x < w; ++x, in += 4, out += 4) {
        const std::uint8_t a = in[3];
        out[3] = a;
        for (int k = 0; k < 3; ++k)
            out[k] = a == 255 ? in[2 - k] : unpremultiply(in[2 - k], a);
    }
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    // Still images coded with HEVC; an AV1 file also names the general brands and is left to the
    // AVIF plug-in.
    if (plugin::hasBrand(data, size, {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"}))
        return true;
    return plugin::hasBrand(data, size, {"mif1", "msf1"}) && !plugin::hasBrand(data, size, {"avif", "avis"});
}

int readHeader(const std::uint8_t* data, std::size_t size, HeifHeader& h)
{
    Context c;
    const int rc = open(c, data, size);
    if (rc != SPI_SUCCESS)
        return rc;
    h.width = heif_image_handle_get_width(c.handle);
    h.height = heif_image_handle_get_height(c.handle);
    h.bits = heif_image_handle_get_luma_bits_per_pixel(c.handle);
    h.alpha = heif_image_handle_has_alpha_channel(c.handle) != 0;
    h.images = heif_context_get_number_of_top_level_images(c.ctx);
    plugin::majorBrand(data, size, h.brand);
    return SPI_SUCCESS;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    Context c;
    int rc = open(c, data, size);
    if (rc != SPI_SUCCESS)
        return rc;
    const auto w0 = static_cast<std::uint64_t>(heif_image_handle_get_width(c.handle));
    const auto h0 = static_cast<std::uint64_t>(heif_image_handle_get_height(c.handle));
    if (!plugin::fitsSurface(w0, h0))
        return SPI_NO_MEMORY;
    if (!plugin::justified(w0, h0, size, kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    if (!progress.report(0, static_cast<std::int64_t>(h0)))
        return SPI_ABORT;
    const bool alpha = heif_image_handle_has_alpha_channel(c.handle) != 0;
    c.options = heif_decoding_options_alloc();
    if (!c.options)
        return SPI_NO_MEMORY;
    c.options->ignore_transformations = 0;
    c.options->convert_hdr_to_8bit = 1;
    // The library decodes the whole picture in one call; progress is reported around it.
    rc = codeFor(heif_decode_image(c.handle, &c.image, heif_colorspace_RGB,
                                   alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, c.options));
    if (rc != SPI_SUCCESS)
        return rc;
    int stride = 0;
    const std::uint8_t* pixels = heif_image_get_plane_readonly(c.image, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(c.image, heif_channel_interleaved);
    const int h = heif_image_get_height(c.image, heif_channel_interleaved);
    const int channels = alpha ? 4 : 3;
    // A picture of another size than its header gives is damaged: the information and the
    // picture must agree.
    if (!pixels || static_cast<std::uint64_t>(w) != w0 || static_cast<std::uint64_t>(h) != h0 ||
        heif_image_get_bits_per_pixel_range(c.image, heif_channel_interleaved) != 8 || stride < w * channels)
        return SPI_OUT_OF_ORDER;
    rc = dib.create(w, h);
    if (rc != SPI_SUCCESS)
        return rc;
    const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(c.image) != 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = pixels + static_cast<std::size_t>(stride) * static_cast<std::size_t>(y);
        std::uint8_t* out = dib.row(y);
        if (!alpha)
            rgbRow(in, out, w);
        else if (!premultiplied)
            rgbaRow(in, out, w);
        else
            premultipliedRow(in, out, w);
        if (!progress.rows(y + 1, h))
            return SPI_ABORT;
    }
    return SPI_SUCCESS;
}

std::string describe(const HeifHeader& h)
{
    std::string text = "HEIF";
    if (h.brand[0])
        text += std::string(" (") + h.brand + ")";
    text += ", " + std::to_string(h.bits) + "-bit";
    if (h.alpha)
        text += ", alpha";
    if (h.images > 1)
        text += ", " + std::to_string(h.images) + " images (primary shown)";
    return text;
}

}  // namespace heifplugin
