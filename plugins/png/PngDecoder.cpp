#include "PngDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace pngplugin {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate codes at most about 1032 bytes in one, and a byte of 1-bit pixels holds eight.
constexpr std::uint64_t kMaxPixelsPerByte = 8 * 1032;
// Text, profile and other ancillary chunks are not needed; a bomb in one of them stops here.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

void readBytes(png_structp png, png_bytep out, size_t n)
{
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (n > r->size - r->pos)
        png_error(png, "truncated");
    std::memcpy(out, r->data + r->pos, n);
    r->pos += n;
}

// Errors become an error code for the caller, without printing anything.
void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

class PngRead {
public:
    PngRead(const std::uint8_t* data, std::size_t size) : m_reader{data, size, 0} {}
    PngRead(const PngRead&) = delete;
    PngRead& operator=(const PngRead&) = delete;
    ~PngRead() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }

    bool create()
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (!png)
            return false;
        info = png_create_info_struct(png);
        if (!info)
            return false;
        png_set_read_fn(png, &m_reader, readBytes);
        png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        png_set_chunk_malloc_max(png, kMaxChunkBytes);
        return true;
    }

    png_structp png = nullptr;
    png_infop info = nullptr;

private:
    Reader m_reader;
};

bool scanAnimation(const std::uint8_t* data, std::size_t size)
{
    std::size_t pos = sizeof kSignature;
    while (size - pos >= 12) {
        const std::uint32_t length = std::uint32_t{data[pos]} << 24 | std::uint32_t{data[pos + 1]} << 16 |
                                     std::uint32_t{data[pos + 2]} << 8 | data[pos + 3];
        const std::uint8_t* type = data + pos + 4;
        if (std::memcmp(type, "acTL", 4) == 0)
            return true;
        if (std::memcmp(type, "IDAT", 4) == 0 || length > size - pos - 12)
            return false;
        pos += 12 + std::size_t{length};
    }
    return false;
}

// The setjmp regions: small functions whose locals have trivial destructors.
int readInfo(PngRead& r, PngHeader& h)
{
    if (setjmp(png_jmpbuf(r.png)))
        return SPI_OUT_OF_ORDER;
    png_read_info(r.png, r.info);
    h.width = png_get_image_width(r.png, r.info);
    h.height = png_get_image_height(r.png, r.info);
    h.bitDepth = png_get_bit_depth(r.png, r.info);
    h.colourType = png_get_color_type(r.png, r.info);
    h.channels = png_get_channels(r.png, r.info);
    h.interlaced = png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE;
    h.hasTransparency = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;
    png_uint_32 xRes = 0;
    png_uint_32 yRes = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER) {
        h.xPerMetre = xRes;
        h.yPerMetre = yRes;
    }
    return SPI_SUCCESS;
}

// Sets the conversions to 8-bit B, G, R, A and returns the number of interlace passes (0 on error).
int setTransforms(PngRead& r, const PngHeader& h)
{
    if (setjmp(png_jmpbuf(r.png)))
        return 0;
    if (h.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(r.png);
    if (h.colourType == PNG_COLOR_TYPE_GRAY && h.bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(r.png);
    if (h.hasTransparency)
        png_set_tRNS_to_alpha(r.png);
    if (h.bitDepth == 16)
        png_set_scale_16(r.png);
    if (!(h.colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != std::size_t{h.width} * 4)
        return 0;
    return passes;
}

int readRows(PngRead& r, plugin::DibPicture& dib, int passes, plugin::Progress& progress)
{
    if (setjmp(png_jmpbuf(r.png)))
        return SPI_OUT_OF_ORDER;
    const std::int64_t total = std::int64_t{passes} * dib.height();
    if (!progress.report(0, total))
        return SPI_ABORT;
    // Every pass writes into the picture's own rows, so interlaced pictures need no copy.
    for (int pass = 0; pass < passes; ++pass) {
        for (std::int32_t y = 0; y < dib.height(); ++y) {
            png_read_row(r.png, dib.row(y), nullptr);
            if (!progress.rows(std::int64_t{pass} * dib.height() + y + 1, total))
                return SPI_ABORT;
        }
    }
    return SPI_SUCCESS;
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

int readHeader(const std::uint8_t* data, std::size_t size, PngHeader& header)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    PngRead r(data, size);
    if (!r.create())
        return SPI_NO_MEMORY;
    const int rc = readInfo(r, header);
    header.animated = rc == SPI_SUCCESS && scanAnimation(data, size);
    return rc;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    PngRead r(data, size);
    if (!r.create())
        return SPI_NO_MEMORY;
    PngHeader h;
    int rc = readInfo(r, h);
    if (rc != SPI_SUCCESS)
        return rc;
    if (!plugin::fitsSurface(h.width, h.height))
        return SPI_NO_MEMORY;
    if (!plugin::justified(h.width, h.height, size, kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    const int passes = setTransforms(r, h);
    if (passes <= 0)
        return SPI_OUT_OF_ORDER;
    rc = dib.create(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(h.height));
    if (rc != SPI_SUCCESS)
        return rc;
    dib.setDensity(static_cast<std::int32_t>(h.xPerMetre), static_cast<std::int32_t>(h.yPerMetre));
    return readRows(r, dib, passes, progress);
}

std::string describe(const PngHeader& h)
{
    std::string text = "PNG ";
    switch (h.colourType) {
    case PNG_COLOR_TYPE_GRAY: text += "grey"; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: text += "grey+alpha"; break;
    case PNG_COLOR_TYPE_PALETTE: text += "palette"; break;
    case PNG_COLOR_TYPE_RGB: text += "RGB"; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: text += "RGBA"; break;
    default: text += "colour type " + std::to_string(h.colourType); break;
    }
    text += ", " + std::to_string(h.bitDepth) + " bits per sample";
    if (h.hasTransparency)
        text += ", transparency";
    if (h.interlaced)
        text += ", interlaced";
    if (h.animated)
        text += ", animated (default image)";
    return text;
}

}  // namespace pngplugin
