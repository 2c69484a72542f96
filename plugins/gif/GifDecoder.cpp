#include "GifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace gifplugin {

namespace {

// LZW with 12-bit codes yields at most 4096 pixels for a code of a byte and a half.
constexpr std::uint64_t kMaxPixelsPerByte = 4096;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

int readBytes(GifFileType* gif, GifByteType* out, int n)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    const std::size_t take = std::min<std::size_t>(n < 0 ? 0 : static_cast<std::size_t>(n), r->size - r->pos);
    std::memcpy(out, r->data + r->pos, take);
    r->pos += take;
    return static_cast<int>(take);
}

class GifRead {
public:
    GifRead(const std::uint8_t* data, std::size_t size) : m_reader{data, size, 0} {}
    GifRead(const GifRead&) = delete;
    GifRead& operator=(const GifRead&) = delete;
    ~GifRead()
    {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
    bool open()
    {
        int error = 0;
        gif = DGifOpen(&m_reader, readBytes, &error);
        return gif != nullptr;
    }

    GifFileType* gif = nullptr;

private:
    Reader m_reader;
};

// Walks the records up to the first frame's descriptor; the reader then stands at its pixels.
int readToFirstFrame(GifRead& r, GifHeader& h)
{
    GifFileType* gif = r.gif;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return SPI_OUT_OF_ORDER;
        if (type == TERMINATE_RECORD_TYPE)
            return SPI_OUT_OF_ORDER;  // no picture in the file
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK)
                return SPI_OUT_OF_ORDER;
            bool first = true;
            while (block) {
                if (first && code == GRAPHICS_EXT_FUNC_CODE) {
                    GraphicsControlBlock gcb{};
                    if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                        h.transparentIndex = gcb.TransparentColor;
                }
                if (first && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11 &&
                    (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0))
                    h.animated = true;
                first = false;
                if (DGifGetExtensionNext(gif, &block) != GIF_OK)
                    return SPI_OUT_OF_ORDER;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return SPI_OUT_OF_ORDER;
        if (DGifGetImageDesc(gif) != GIF_OK)
            return SPI_OUT_OF_ORDER;
        const GifImageDesc& d = gif->Image;
        if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0)
            return SPI_OUT_OF_ORDER;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map || map->ColorCount <= 0)
            return SPI_OUT_OF_ORDER;
        h.left = d.Left;
        h.top = d.Top;
        h.frameWidth = d.Width;
        h.frameHeight = d.Height;
        h.interlaced = d.Interlace;
        h.bitsPerPixel = map->BitsPerPixel;
        h.canvasWidth = std::max(gif->SWidth, d.Left + d.Width);
        h.canvasHeight = std::max(gif->SHeight, d.Top + d.Height);
        h.gif89 = std::strncmp(DGifGetGifVersion(gif), "89", 2) == 0;
        return SPI_SUCCESS;
    }
}

// The order in which an interlaced frame delivers its rows.
int interlacedRow(int n, int height)
{
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows)
            return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return -1;
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size)
{
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

int readHeader(const std::uint8_t* data, std::size_t size, GifHeader& header)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    GifRead r(data, size);
    if (!r.open())
        return SPI_OUT_OF_ORDER;
    return readToFirstFrame(r, header);
}

int decode(const std::uint8_t* data, std::size_t size, plugin::DibPicture& dib, plugin::Progress& progress)
{
    if (!hasSignature(data, size))
        return SPI_NOT_SUPPORT;
    GifRead r(data, size);
    if (!r.open())
        return SPI_OUT_OF_ORDER;
    GifHeader h;
    int rc = readToFirstFrame(r, h);
    if (rc != SPI_SUCCESS)
        return rc;
    if (!plugin::fitsSurface(static_cast<std::uint64_t>(h.canvasWidth), static_cast<std::uint64_t>(h.canvasHeight)))
        return SPI_NO_MEMORY;
    if (!plugin::justified(static_cast<std::uint64_t>(h.canvasWidth), static_cast<std::uint64_t>(h.canvasHeight), size,
                           kMaxPixelsPerByte))
        return SPI_OUT_OF_ORDER;
    rc = dib.create(h.canvasWidth, h.canvasHeight);
    if (rc != SPI_SUCCESS)
        return rc;

    const ColorMapObject* map = r.gif->Image.ColorMap ? r.gif->Image.ColorMap : r.gif->SColorMap;
    std::uint8_t palette[256][4] = {};  // indexes beyond the map are opaque black
    for (int i = 0; i < 256; ++i) {
        palette[i][3] = 255;
        if (i < map->ColorCount) {
            palette[i][0] = map->Colors[i].Blue;
            palette[i][1] = map->Colors[i].Green;
            palette[i][2] = map->Colors[i].Red;
        }
    }
    if (h.transparentIndex >= 0 && h.transparentIndex < 256)
        std::memset(palette[h.transparentIndex], 0, 4);  // the screen stays transparent there

    std::vector<GifPixelType> line(static_cast<std::size_t>(h.frameWidth));
    if (!progress.report(0, h.frameHeight))
        return SPI_ABORT;
    for (int n = 0; n < h.frameHeight; ++n) {
        if (DGifGetLine(r.gif, line.data(), h.frameWidth) != GIF_OK)
            return SPI_OUT_OF_ORDER;
        const int y = h.top + (h.interlaced ? interlacedRow(n, h.frameHeight) : n);
        std::uint8_t* out = dib.row(y) + std::size_t{4} * static_cast<std::size_t>(h.left);
        for (int x = 0; x < h.frameWidth; ++x, out += 4)
            std::memcpy(out, palette[line[static_cast<std::size_t>(x)]], 4);
        if (!progress.rows(n + 1, h.frameHeight))
            return SPI_ABORT;
    }
    return SPI_SUCCESS;
}

std::string describe(const GifHeader& h)
{
    std::string text = h.gif89 ? "GIF89a" : "GIF87a";
    text += ", " + std::to_string(1 << h.bitsPerPixel) + " colours";
    if (h.transparentIndex >= 0)
        text += ", transparency";
    if (h.interlaced)
        text += ", interlaced";
    if (h.animated)
        text += ", animated (first frame)";
    return text;
}

}  // namespace gifplugin
