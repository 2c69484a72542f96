#include "WebpDecoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>

namespace webpplugin {

namespace {

// Both codings can describe flat areas in very few bits; beyond this many pixels per byte a
// header is taken for a lie rather than a picture.
constexpr std::uint64_t kMaxPixelsPerByte = std::uint64_t{1} << 16;
// The data is given to the decoder in pieces so that progress can be reported between them. A
// lossless decoder that runs out of data goes back to its last saved row, so it gets fewer and
// larger pieces; a lossy one resumes where it stopped.
constexpr int kLosslessPieces = 16;
constexpr int kLossyRowsPerPiece = 64;

struct IDecoder {
    WebPIDecoder* idec = nullptr;
    ~IDecoder()
    {
        if (idec)
            WebPIDelete(idec);
    }
};

struct AnimDecoder {
    WebPAnimDecoder* dec = nullptr;
    ~AnimDecoder()
    {
        if (dec)
            WebPAnimDecoderDelete(dec);
    }
};

int checkSize(const WebpHeader& h, std::size_t size)
{
    if (!plugin::fitsSurface(static_cast<std::uint64_t>(h.width), static_cast<std::uint64_t>(h.height)))
        return SPI_NO_MEMORY;
    if (!plugin::justified(static_cast<std::uint64_t>(h.width), static_cast<std::uint64_t>(h.height), size, kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    return SPI_SUCCESS;
}

int decodeStill(const std::uint8_t* data, std::size_t size, bool lossless, plugin::DibPicture& dib,
                plugin::Progress& progress)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return SPI_OTHER_ERROR;
    // Straight alpha, written bottom-up straight into the picture's block.
    config.options.flip = 1;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = dib.bits();
    config.output.u.RGBA.stride = static_cast<int>(dib.stride());
    config.output.u.RGBA.size = dib.stride() * static_cast<std::size_t>(dib.height());
    IDecoder d;
    d.idec = WebPIDecode(nullptr, 0, &config);
    if (!d.idec)
        return SPI_NO_MEMORY;
    const int h = dib.height();
    if (!progress.report(0, h))
        return SPI_ABORT;
    const int pieces = lossless ? kLosslessPieces : std::max(kLosslessPieces, h / kLossyRowsPerPiece);
    const std::size_t piece = std::max<std::size_t>(1, size / static_cast<std::size_t>(pieces));
    for (std::size_t pos = 0; pos < size;) {
        pos += std::min(piece, size - pos);
        // The decoder reads the caller's bytes in place; each call offers more of them.
        const VP8StatusCode status = WebPIUpdate(d.idec, data, pos);
        if (status == VP8_STATUS_OK)
            break;
        if (status != VP8_STATUS_SUSPENDED)
            return status == VP8_STATUS_OUT_OF_MEMORY ? SPI_NO_MEMORY : SPI_OUT_OF_ORDER;
        if (pos == size)
            return SPI_OUT_OF_ORDER;  // the data ended before the picture did
        int lastY = 0;
        WebPIDecGetRGB(d.idec, &lastY, nullptr, nullptr, nullptr);
        if (!progress.report(std::clamp(lastY, 0, h), h))
            return SPI_ABORT;
    }
    return progress.report(h, h) ? SPI_SUCCESS : SPI_ABORT;
}

int decodeFirstFrame(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return SPI_OTHER_ERROR;
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData whole{data, size};
    if (!progress.report(0, dib.height()))
        return SPI_ABORT;
    AnimDecoder a;
    a.dec = WebPAnimDecoderNew(&whole, &options);
    if (!a.dec)
        return SPI_OUT_OF_ORDER;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(a.dec, &info) || static_cast<int>(info.canvas_width) != dib.width() ||
        static_cast<int>(info.canvas_height) != dib.height())
        return SPI_OUT_OF_ORDER;
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(a.dec, &canvas, &timestamp) || !canvas)
        return SPI_OUT_OF_ORDER;
    for (int y = 0; y < dib.height(); ++y) {
        std::memcpy(dib.row(y), canvas + dib.stride() * static_cast<std::size_t>(y), dib.stride());
        if (!progress.rows(y + 1, dib.height()))
            return SPI_ABORT;
    }
    return SPI_SUCCESS;
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

int readHeader(const std::uint8_t* data, std::size_t size, WebpHeader& h)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    WebPBitstreamFeatures f;
    if (WebPGetFeatures(data, size, &f) != VP8_STATUS_OK || f.width <= 0 || f.height <= 0)
        return SPI_OUT_OF_ORDER;
    h.width = f.width;
    h.height = f.height;
    h.alpha = f.has_alpha;
    h.animated = f.has_animation;
    h.format = f.format;
    return SPI_SUCCESS;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    WebpHeader h;
    int rc = readHeader(data, size, h);
    if (rc == SPI_SUCCESS)
        rc = checkSize(h, size);
    if (rc == SPI_SUCCESS)
        rc = dib.create(h.width, h.height);
    if (rc != SPI_SUCCESS)
        return rc;
    return h.animated ? decodeFirstFrame(data, size, dib, progress) : decodeStill(data, size, h.format == 2, dib, progress);
}

std::string describe(const WebpHeader& h)
{
    std::string text = "WebP";
    text += h.format == 1 ? " lossy" : h.format == 2 ? " lossless" : "";
    if (h.alpha)
        text += ", alpha";
    if (h.animated)
        text += ", animated (first frame)";
    return text;
}

}  // namespace webpplugin
