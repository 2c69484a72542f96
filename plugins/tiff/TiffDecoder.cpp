#include "TiffDecoder.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tiffplugin {

namespace {

// Fax and other bilevel codings describe a blank row in a few bits.
constexpr std::uint64_t kMaxPixelsPerByte = std::uint64_t{1} << 16;
// No single block the library allocates (a strip, a tile, a table) may exceed this.
constexpr tmsize_t kMaxLibraryBlock = tmsize_t{512} << 20;
constexpr std::uint32_t kMinRowsPerStep = 16;

struct Memory {
    const std::uint8_t* data;
    std::size_t size;
    std::uint64_t pos;
};

tmsize_t readProc(thandle_t h, void* out, tmsize_t n)
{
    auto* m = static_cast<Memory*>(h);
    if (n <= 0 || m->pos >= m->size)
        return 0;
    const std::size_t take = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m->size - m->pos);
    std::memcpy(out, m->data + m->pos, take);
    m->pos += take;
    return static_cast<tmsize_t>(take);
}
tmsize_t writeProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t seekProc(thandle_t h, toff_t off, int whence)
{
    auto* m = static_cast<Memory*>(h);
    std::uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    if (__builtin_add_overflow(base, off, &base))
        return static_cast<toff_t>(-1);
    m->pos = base;
    return base;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<Memory*>(h)->size; }
// The data is already in memory: the library reads strips in place instead of copying them.
int mapProc(thandle_t h, void** base, toff_t* size)
{
    auto* m = static_cast<Memory*>(h);
    *base = const_cast<std::uint8_t*>(m->data);
    *size = m->size;
    return 1;
}
void unmapProc(thandle_t, void*, toff_t) {}

// Errors and warnings go nowhere: the caller gets an error code.
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

class TiffRead {
public:
    TiffRead(const std::uint8_t* data, std::size_t size) : m_memory{data, size, 0} {}
    TiffRead(const TiffRead&) = delete;
    TiffRead& operator=(const TiffRead&) = delete;
    ~TiffRead()
    {
        if (imageBegun)
            TIFFRGBAImageEnd(&image);
        if (tif)
            TIFFClose(tif);
        if (m_options)
            TIFFOpenOptionsFree(m_options);
    }
    bool open()
    {
        m_options = TIFFOpenOptionsAlloc();
        if (!m_options)
            return false;
        TIFFOpenOptionsSetMaxSingleMemAlloc(m_options, kMaxLibraryBlock);
        TIFFOpenOptionsSetErrorHandlerExtR(m_options, quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(m_options, quiet, nullptr);
        tif = TIFFClientOpenExt("picture", "r", &m_memory, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                                unmapProc, m_options);
        return tif != nullptr;
    }

    TIFF* tif = nullptr;
    TIFFRGBAImage image{};
    bool imageBegun = false;

private:
    Memory m_memory;
    TIFFOpenOptions* m_options = nullptr;
};

std::uint32_t perMetre(TIFF* tif, ttag_t tag, std::uint16_t unit)
{
    float value = 0;
    if (!TIFFGetField(tif, tag, &value) || !(value > 0) || value > 1e7f)
        return 0;
    return unit == RESUNIT_INCH ? static_cast<std::uint32_t>(value / 0.0254f + 0.5f)
           : unit == RESUNIT_CENTIMETER ? static_cast<std::uint32_t>(value * 100 + 0.5f)
                                        : 0;
}

std::uint8_t unpremultiply(std::uint8_t c, std::uint8_t a)
{
    return a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (c * 255u + a / 2u) / a));
}

// The library's own routine for 8-bit RGB with straight alpha premultiplies it; this one keeps
// the samples as they are and writes blue, green, red, alpha directly.
void putStraightRgba8(TIFFRGBAImage* img, std::uint32_t* cp, std::uint32_t, std::uint32_t, std::uint32_t w,
                      std::uint32_t h, std::int32_t fromskew, std::int32_t toskew, unsigned char* pp)
{
    const int spp = img->samplesperpixel;
    fromskew *= spp;
    for (; h > 0; --h) {
        auto* out = reinterpret_cast<std::uint8_t*>(cp);
        for (std::uint32_t x = 0; x < w; ++x, pp += spp, out += 4) {
            out[0] = pp[2];
            out[1] = pp[1];
            out[2] = pp[0];
            out[3] = pp[3];
        }
        cp += static_cast<std::ptrdiff_t>(w) + toskew;
        pp += fromskew;
    }
}

// The same for grey with straight alpha, whose routine in the library misplaces the pixels of
// tiles that overhang the picture's right edge.
void putStraightGreyAlpha8(TIFFRGBAImage* img, std::uint32_t* cp, std::uint32_t, std::uint32_t, std::uint32_t w,
                           std::uint32_t h, std::int32_t fromskew, std::int32_t toskew, unsigned char* pp)
{
    const int spp = img->samplesperpixel;
    fromskew *= spp;
    for (; h > 0; --h) {
        auto* out = reinterpret_cast<std::uint8_t*>(cp);
        for (std::uint32_t x = 0; x < w; ++x, pp += spp, out += 4) {
            out[0] = out[1] = out[2] = pp[0];
            out[3] = pp[1];
        }
        cp += static_cast<std::ptrdiff_t>(w) + toskew;
        pp += fromskew;
    }
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::uint8_t kLittle[4] = {'I', 'I', 42, 0};
    static constexpr std::uint8_t kBig[4] = {'M', 'M', 0, 42};
    static constexpr std::uint8_t kBigLittle[4] = {'I', 'I', 43, 0};  // BigTIFF
    static constexpr std::uint8_t kBigBig[4] = {'M', 'M', 0, 43};
    return size >= 8 && (std::memcmp(data, kLittle, 4) == 0 || std::memcmp(data, kBig, 4) == 0 ||
                         std::memcmp(data, kBigLittle, 4) == 0 || std::memcmp(data, kBigBig, 4) == 0);
}

int readHeader(const std::uint8_t* data, std::size_t size, TiffHeader& h)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    TiffRead r(data, size);
    if (!r.open())
        return SPI_OUT_OF_ORDER;
    std::uint16_t bits = 1, spp = 1, photometric = 0, compression = 1, unit = RESUNIT_INCH;
    if (!TIFFGetField(r.tif, TIFFTAG_IMAGEWIDTH, &h.width) || !TIFFGetField(r.tif, TIFFTAG_IMAGELENGTH, &h.height) ||
        h.width == 0 || h.height == 0)
        return SPI_OUT_OF_ORDER;
    TIFFGetFieldDefaulted(r.tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(r.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(r.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(r.tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(r.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    h.bitsPerSample = bits;
    h.samplesPerPixel = spp;
    h.photometric = photometric;
    h.compression = compression;
    h.tiled = TIFFIsTiled(r.tif) != 0;
    h.xPerMetre = perMetre(r.tif, TIFFTAG_XRESOLUTION, unit);
    h.yPerMetre = perMetre(r.tif, TIFFTAG_YRESOLUTION, unit);
    h.pages = TIFFNumberOfDirectories(r.tif);
    return SPI_SUCCESS;
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    TiffRead r(data, size);
    if (!r.open())
        return SPI_OUT_OF_ORDER;
    char message[1024] = {};
    if (!TIFFRGBAImageOK(r.tif, message) || !TIFFRGBAImageBegin(&r.image, r.tif, 1, message))
        return SPI_OUT_OF_ORDER;
    r.imageBegun = true;
    TIFFRGBAImage& img = r.image;
    const std::uint32_t w = img.width;
    const std::uint32_t h = img.height;
    if (!plugin::fitsSurface(w, h))
        return SPI_NO_MEMORY;
    if (!plugin::justified(w, h, size, kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    int rc = dib.create(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
    if (rc != SPI_SUCCESS)
        return rc;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(r.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    dib.setDensity(static_cast<std::int32_t>(perMetre(r.tif, TIFFTAG_XRESOLUTION, unit)),
                   static_cast<std::int32_t>(perMetre(r.tif, TIFFTAG_YRESOLUTION, unit)));

    const bool straight8 = img.isContig && img.bitspersample == 8 && img.alpha == EXTRASAMPLE_UNASSALPHA;
    const bool straightRgba = straight8 && img.photometric == PHOTOMETRIC_RGB && img.samplesperpixel >= 4;
    const bool straightGrey = straight8 && img.photometric == PHOTOMETRIC_MINISBLACK && img.samplesperpixel >= 2;
    if (straightRgba)
        img.put.contig = putStraightRgba8;
    else if (straightGrey)
        img.put.contig = putStraightGreyAlpha8;
    const bool ownRoutine = straightRgba || straightGrey;
    // Otherwise colours come as R, G, B, A; premultiplied where the file says so and where the
    // library premultiplies straight alpha itself (colour pictures).
    const bool premultiplied = !ownRoutine && (img.alpha == EXTRASAMPLE_ASSOCALPHA ||
                                                 (img.alpha == EXTRASAMPLE_UNASSALPHA && img.photometric != PHOTOMETRIC_MINISBLACK &&
                                                  img.photometric != PHOTOMETRIC_MINISWHITE));
    // Steps of whole strips or tiles, so that none is decoded twice.
    std::uint32_t unitRows = h;
    if (TIFFIsTiled(r.tif)) {
        TIFFGetField(r.tif, TIFFTAG_TILELENGTH, &unitRows);
    } else {
        TIFFGetFieldDefaulted(r.tif, TIFFTAG_ROWSPERSTRIP, &unitRows);
    }
    unitRows = std::clamp<std::uint32_t>(unitRows, 1, h);
    // The library writes each step bottom-up; a picture stored top-down fills the block from its
    // end, one stored bottom-up from its start.
    const bool storedTopDown = img.orientation == ORIENTATION_TOPLEFT || img.orientation == ORIENTATION_TOPRIGHT ||
                               img.orientation == ORIENTATION_LEFTTOP || img.orientation == ORIENTATION_RIGHTTOP;
    // Strips far taller than a step are read row by row in one pass and converted a step at a
    // time with the library's own routine: asking the library for part of a compressed strip
    // decodes it from its start each time.
    const bool byRows = !TIFFIsTiled(r.tif) && img.isContig && img.put.contig && unitRows > 4 * kMinRowsPerStep &&
                        img.photometric != PHOTOMETRIC_YCBCR &&
                        (img.orientation == ORIENTATION_TOPLEFT || img.orientation == ORIENTATION_BOTLEFT);
    std::vector<std::uint8_t> band;
    tmsize_t lineBytes = 0;
    if (byRows) {
        unitRows = 1;
        lineBytes = TIFFScanlineSize(r.tif);
        if (lineBytes <= 0 || static_cast<std::uint64_t>(lineBytes) > kMaxLibraryBlock / kMinRowsPerStep)
            return SPI_OUT_OF_ORDER;
        band.resize(static_cast<std::size_t>(lineBytes) * kMinRowsPerStep);
    }
    const std::uint32_t step = std::min(h, unitRows * ((kMinRowsPerStep + unitRows - 1) / unitRows));
    if (!progress.report(0, h))
        return SPI_ABORT;
    for (std::uint32_t row = 0; row < h; row += step) {
        const std::uint32_t rows = std::min(step, h - row);
        const std::uint32_t first = storedTopDown ? h - row - rows : row;
        std::uint8_t* out = dib.bits() + dib.stride() * first;
        if (byRows) {
            for (std::uint32_t i = 0; i < rows; ++i) {
                if (TIFFReadScanline(r.tif, band.data() + static_cast<std::size_t>(lineBytes) * i, row + i, 0) < 0)
                    return SPI_OUT_OF_ORDER;
            }
            // The routine writes rows upwards from the first one when asked to turn the picture.
            auto* raster = reinterpret_cast<std::uint32_t*>(out);
            const std::int32_t iw = static_cast<std::int32_t>(w);
            if (storedTopDown)
                img.put.contig(&img, raster + std::size_t{w} * (rows - 1), 0, row, w, rows, 0, -2 * iw, band.data());
            else
                img.put.contig(&img, raster, 0, row, w, rows, 0, 0, band.data());
        } else {
            img.row_offset = static_cast<int>(row);
            img.col_offset = 0;
            if (!TIFFRGBAImageGet(&img, reinterpret_cast<std::uint32_t*>(out), w, rows))
                return SPI_OUT_OF_ORDER;
        }
        if (!ownRoutine) {
            const std::size_t count = std::size_t{w} * rows;
            plugin::swapRedBlue(out, count);
            if (premultiplied) {
                for (std::size_t i = 0; i < count; ++i) {
                    std::uint8_t* p = out + i * 4;
                    if (p[3] != 255) {
                        p[0] = unpremultiply(p[0], p[3]);
                        p[1] = unpremultiply(p[1], p[3]);
                        p[2] = unpremultiply(p[2], p[3]);
                    }
                }
            }
        }
        if (!progress.report(row + rows, h))
            return SPI_ABORT;
    }
    return SPI_SUCCESS;
}

std::string describe(const TiffHeader& h)
{
    std::string text = "TIFF";
    switch (h.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: text += h.bitsPerSample == 1 ? " bilevel" : " grey"; break;
    case PHOTOMETRIC_RGB: text += " RGB"; break;
    case PHOTOMETRIC_PALETTE: text += " palette"; break;
    case PHOTOMETRIC_SEPARATED: text += " CMYK"; break;
    case PHOTOMETRIC_YCBCR: text += " YCbCr"; break;
    default: text += " photometric " + std::to_string(h.photometric); break;
    }
    text += ", " + std::to_string(h.bitsPerSample) + " bits x " + std::to_string(h.samplesPerPixel) + " samples";
    if (const TIFFCodec* codec = TIFFFindCODEC(static_cast<std::uint16_t>(h.compression)))
        text += std::string(", ") + codec->name;
    text += h.tiled ? ", tiled" : ", strips";
    if (h.pages > 1)
        text += ", " + std::to_string(h.pages) + " pages (first shown)";
    return text;
}

}  // namespace tiffplugin
