#include "AvifDecoder.h"

#include "Isobmff.h"

#include <avif/avif.h>

namespace avifplugin {

namespace {

// AV1 codes a flat area in a fraction of a bit per block; beyond this many pixels per byte a
// header is taken for a lie rather than a picture.
constexpr std::uint64_t kMaxPixelsPerByte = std::uint64_t{1} << 20;

struct Decoder {
    avifDecoder* d = avifDecoderCreate();
    ~Decoder()
    {
        if (d)
            avifDecoderDestroy(d);
    }
};

int codeFor(avifResult r)
{
    switch (r) {
    case AVIF_RESULT_OK: return SPI_SUCCESS;
    case AVIF_RESULT_OUT_OF_MEMORY: return SPI_NO_MEMORY;
    default: return SPI_OUT_OF_ORDER;
    }
}

// Opens the data and reads its boxes; the library refuses pictures above the Surface cap itself,
// before it allocates planes for them.
int parse(Decoder& dec, const std::uint8_t* data, std::size_t size)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    if (!dec.d)
        return SPI_NO_MEMORY;
    dec.d->maxThreads = 1;
    dec.d->ignoreExif = AVIF_TRUE;
    dec.d->ignoreXMP = AVIF_TRUE;
    const std::uint32_t capPixels = static_cast<std::uint32_t>(SPI_MAX_PICTURE_BYTES / 4);
    if (dec.d->imageSizeLimit == 0 || dec.d->imageSizeLimit > capPixels)
        dec.d->imageSizeLimit = capPixels;
    avifResult r = avifDecoderSetIOMemory(dec.d, data, size);
    if (r == AVIF_RESULT_OK)
        r = avifDecoderParse(dec.d);
    return codeFor(r);
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    return plugin::hasBrand(data, size, {"avif", "avis"});
}

int readHeader(const std::uint8_t* data, std::size_t size, AvifHeader& h)
{
    Decoder dec;
    const int rc = parse(dec, data, size);
    if (rc != SPI_SUCCESS)
        return rc;
    const avifImage* img = dec.d->image;
    if (img->width == 0 || img->height == 0)
        return SPI_OUT_OF_ORDER;
    h.width = img->width;
    h.height = img->height;
    h.depth = img->depth;
    h.yuvFormat = img->yuvFormat;
    h.alpha = dec.d->alphaPresent != 0;
    h.frames = dec.d->imageCount;
    return SPI_SUCCESS;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    Decoder dec;
    int rc = parse(dec, data, size);
    if (rc != SPI_SUCCESS)
        return rc;
    const std::uint32_t w = dec.d->image->width;
    const std::uint32_t h = dec.d->image->height;
    if (!plugin::fitsSurface(w, h))
        return SPI_NO_MEMORY;
    if (!plugin::justified(w, h, size, kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    if (!progress.report(0, h))
        return SPI_ABORT;
    // The library decodes a whole frame in one call; progress is reported around it.
    rc = codeFor(avifDecoderNextImage(dec.d));
    if (rc != SPI_SUCCESS)
        return rc;
    const avifImage* img = dec.d->image;
    if (img->width != w || img->height != h)
        return SPI_OUT_OF_ORDER;
    rc = dib.create(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
    if (rc != SPI_SUCCESS)
        return rc;
    if (!progress.report(0, h))
        return SPI_ABORT;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, img);
    rgb.format = AVIF_RGB_FORMAT_BGRA;
    rgb.depth = 8;
    rgb.alphaPremultiplied = AVIF_FALSE;  // the library undoes a premultiplied file's alpha
    rgb.pixels = dib.bits();
    rgb.rowBytes = static_cast<std::uint32_t>(dib.stride());
    rc = codeFor(avifImageYUVToRGB(img, &rgb));
    if (rc != SPI_SUCCESS)
        return rc;
    return dib.flipRows(progress) ? SPI_SUCCESS : SPI_ABORT;
}

std::string describe(const AvifHeader& h)
{
    std::string text = "AVIF, " + std::to_string(h.depth) + "-bit";
    switch (h.yuvFormat) {
    case AVIF_PIXEL_FORMAT_YUV444: text += ", YUV 4:4:4"; break;
    case AVIF_PIXEL_FORMAT_YUV422: text += ", YUV 4:2:2"; break;
    case AVIF_PIXEL_FORMAT_YUV420: text += ", YUV 4:2:0"; break;
    case AVIF_PIXEL_FORMAT_YUV400: text += ", monochrome"; break;
    default: break;
    }
    if (h.alpha)
        text += ", alpha";
    if (h.frames > 1)
        text += ", " + std::to_string(h.frames) + " frames (first shown)";
    return text;
}

}  // namespace avifplugin
