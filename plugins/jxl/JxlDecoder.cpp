#include "JxlDecoder.h"

#include <jxl/decode.h>

#include <algorithm>

namespace jxlplugin {

namespace {

// A flat picture is coded in very few bytes, but every group of 256 x 256 pixels costs some;
// beyond this many pixels per byte a header is taken for a lie rather than a picture.
constexpr std::uint64_t kMaxPixelsPerByte = std::uint64_t{1} << 20;
// The data is given to the decoder in pieces so that a request to stop is seen between them.
constexpr std::size_t kPieces = 16;
constexpr std::size_t kMinPiece = 64 * 1024;

struct Decoder {
    JxlDecoder* d = JxlDecoderCreate(nullptr);
    ~Decoder()
    {
        if (d)
            JxlDecoderDestroy(d);
    }
};

void readBasicInfo(const JxlBasicInfo& info, JxlHeader& h)
{
    const bool transposed = info.orientation >= JXL_ORIENT_TRANSPOSE;
    h.width = transposed ? info.ysize : info.xsize;
    h.height = transposed ? info.xsize : info.ysize;
    h.bits = info.bits_per_sample;
    h.colourChannels = info.num_color_channels;
    h.alpha = info.alpha_bits > 0;
    h.animated = info.have_animation != 0;
}

// Where the decoder's rows go: straight into the picture, as blue, green, red, alpha.
struct Output {
    plugin::DibPicture* dib;
    plugin::Progress* progress;
    std::uint64_t pixelsDone = 0;
    bool outside = false;

    std::int64_t rowsDone() const { return static_cast<std::int64_t>(pixelsDone / static_cast<std::uint64_t>(dib->width())); }
};

void takePixels(void* opaque, size_t x, size_t y, size_t count, const void* pixels)
{
    auto* out = static_cast<Output*>(opaque);
    const auto w = static_cast<std::size_t>(out->dib->width());
    if (y >= static_cast<std::size_t>(out->dib->height()) || x >= w || count > w - x) {
        out->outside = true;
        return;
    }
    const auto* in = static_cast<const std::uint8_t*>(pixels);
    std::uint8_t* p = out->dib->row(static_cast<std::int32_t>(y)) + x * 4;
    for (std::size_t i = 0; i < count; ++i, in += 4, p += 4) {
        p[0] = in[2];
        p[1] = in[1];
        p[2] = in[0];
        p[3] = in[3];
    }
    out->pixelsDone += count;
    // A request to stop is remembered and acted on between pieces of input.
    (void)out->progress->rows(out->rowsDone(), out->dib->height());
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    const JxlSignature s = JxlSignatureCheck(data, size);
    return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

int readHeader(const std::uint8_t* data, std::size_t size, JxlHeader& h)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    Decoder dec;
    if (!dec.d)
        return SPI_NO_MEMORY;
    if (JxlDecoderSubscribeEvents(dec.d, JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec.d, data, size) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    JxlDecoderCloseInput(dec.d);
    if (JxlDecoderProcessInput(dec.d) != JXL_DEC_BASIC_INFO)
        return SPI_OUT_OF_ORDER;
    JxlBasicInfo info;
    if (JxlDecoderGetBasicInfo(dec.d, &info) != JXL_DEC_SUCCESS || info.xsize == 0 || info.ysize == 0)
        return SPI_OUT_OF_ORDER;
    readBasicInfo(info, h);
    h.container = JxlSignatureCheck(data, size) == JXL_SIG_CONTAINER;
    return SPI_SUCCESS;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    Decoder dec;
    if (!dec.d)
        return SPI_NO_MEMORY;
    if (JxlDecoderSubscribeEvents(dec.d, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec.d, JXL_TRUE) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    const std::size_t piece = std::max(kMinPiece, size / kPieces);
    std::size_t offered = std::min(piece, size);
    if (JxlDecoderSetInput(dec.d, data, offered) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    if (offered == size)
        JxlDecoderCloseInput(dec.d);
    Output out{&dib, &progress};
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (;;) {
        switch (JxlDecoderProcessInput(dec.d)) {
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(dec.d, &info) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
            JxlHeader h;
            readBasicInfo(info, h);
            if (!plugin::fitsSurface(h.width, h.height))
                return SPI_NO_MEMORY;
            if (!plugin::justified(h.width, h.height, size, kMaxPixelsPerByte))
                return SPI_OUT_OF_ORDER;
            const int rc = dib.create(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(h.height));
            if (rc != SPI_SUCCESS)
                return rc;
            if (!progress.report(0, dib.height()))
                return SPI_ABORT;
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (dib.width() == 0 || JxlDecoderSetImageOutCallback(dec.d, &format, takePixels, &out) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
            break;
        case JXL_DEC_FULL_IMAGE:
            // The first frame is the picture; a later one of an animation is not wanted.
            if (out.outside)
                return SPI_OUT_OF_ORDER;
            return progress.report(dib.height(), dib.height()) ? SPI_SUCCESS : SPI_ABORT;
        case JXL_DEC_NEED_MORE_INPUT: {
            if (offered == size)
                return SPI_OUT_OF_ORDER;  // the data ended before the picture did
            if (dib.width() > 0 && !progress.report(out.rowsDone(), dib.height()))
                return SPI_ABORT;
            const std::size_t unread = JxlDecoderReleaseInput(dec.d);
            const std::size_t from = offered - std::min(unread, offered);
            offered = std::min(size, offered + piece);
            if (JxlDecoderSetInput(dec.d, data + from, offered - from) != JXL_DEC_SUCCESS)
                return SPI_OTHER_ERROR;
            if (offered == size)
                JxlDecoderCloseInput(dec.d);
            break;
        }
        case JXL_DEC_ERROR:
        case JXL_DEC_SUCCESS:  // no more events, yet no picture
            return SPI_OUT_OF_ORDER;
        default:
            break;
        }
    }
}

std::string describe(const JxlHeader& h)
{
    std::string text = h.container ? "JPEG XL (container)" : "JPEG XL";
    text += ", " + std::to_string(h.bits) + "-bit";
    text += h.colourChannels == 1 ? " grey" : " colour";
    if (h.alpha)
        text += ", alpha";
    if (h.animated)
        text += ", animated (first frame)";
    return text;
}

}  // namespace jxlplugin
