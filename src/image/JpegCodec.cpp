#include "JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <type_traits>

#include <jpeglib.h>
#include <jerror.h>

namespace image {

namespace memory = platform::memory;

namespace {

constexpr std::size_t kInfoHeaderBytes = 40;
// Progressive files can repeat scans without end, each one a pass over every coefficient.
constexpr int kMaxScans = 500;
// libjpeg's own working memory (the coefficients of a progressive picture) never exceeds what a
// Surface may hold; there is no backing store, so beyond it the decode fails cleanly.
constexpr long kMaxWorkingMemory = static_cast<long>(gfx::kMaxSurfaceBytes);

// libjpeg's errors end in a longjmp back to the guarded function that made the failing call.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
};

// A source over bytes held elsewhere, allocated from the decompressor's permanent pool.
struct MemorySource {
    jpeg_source_mgr pub;
    const JOCTET* data;
    std::size_t size;
    bool handedOver;
};

// Everything the guarded functions touch. It lives in the caller's frame and has a trivial
// destructor, so a jump out of libjpeg never skips a destructor that matters.
struct Session {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    jpeg_progress_mgr progress;
    const std::uint8_t* data;
    std::size_t size;
    int bitCount;
    bool cmyk;
};
static_assert(std::is_trivially_destructible_v<Session>);

void discardMessage(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX < 200 ? 200 : JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->recovery, 1);
}

// Called between the input steps of a multi-scan decode, as each scan header is read.
void limitScans(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        ERREXIT(cinfo, JERR_NOTIMPL);
}

void initSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<MemorySource*>(cinfo->src)->handedOver = false;
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (!src->handedOver && src->size > 0) {
        src->handedOver = true;
        src->pub.next_input_byte = src->data;
        src->pub.bytes_in_buffer = src->size;
        return TRUE;
    }
    if (src->size == 0)
        ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // Truncated data: an end-of-image marker lets libjpeg finish with what arrived.
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kEndOfImage;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (static_cast<std::size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        (*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void termSource(j_decompress_ptr) {}

// Owns the session's decompressor: destroying it also frees the source manager.
class Decompressor {
public:
    Decompressor(const std::uint8_t* data, std::size_t size) : m_session{}
    {
        m_session.data = data;
        m_session.size = size;
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    // Safe also when creation failed half-way: the zeroed struct has no memory manager.
    ~Decompressor() { jpeg_destroy_decompress(&m_session.cinfo); }
    Session& session() { return m_session; }

private:
    Session m_session;
};

// Creates the decompressor, reads the header and chooses the output. False on any libjpeg
// error and for colour spaces without a decoder here.
bool readHeaderGuarded(Session& s)
{
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = errorExit;
    s.error.pub.output_message = discardMessage;
    if (setjmp(s.error.recovery))
        return false;
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kMaxWorkingMemory;
    s.progress.progress_monitor = limitScans;
    s.cinfo.progress = &s.progress;
    auto* src = static_cast<MemorySource*>(
        (*s.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
    src->pub.init_source = initSource;
    src->pub.fill_input_buffer = fillInputBuffer;
    src->pub.skip_input_data = skipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termSource;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    src->data = s.data;
    src->size = s.size;
    src->handedOver = false;
    s.cinfo.src = &src->pub;

    jpeg_read_header(&s.cinfo, TRUE);
    s.cinfo.dct_method = JDCT_FLOAT;
    switch (s.cinfo.out_color_space) {
    case JCS_RGB:
        s.cinfo.out_color_space = JCS_EXT_BGR;
        s.bitCount = 24;
        break;
    case JCS_GRAYSCALE:
        s.bitCount = 8;
        break;
    case JCS_CMYK:  // also YCCK, which libjpeg turns into CMYK
        s.bitCount = 24;
        s.cmyk = true;
        break;
    default:
        return false;
    }
    jpeg_calc_output_dimensions(&s.cinfo);
    return true;
}

// One CMYK row to blue, green, red. Adobe's files store the inks inverted.
void cmykToBgr(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

// Decodes every row into `bits`, the first scanline into the last row.
bool decodeGuarded(Session& s, std::uint8_t* bits, std::size_t stride, JDIMENSION width, JDIMENSION height,
                   const std::atomic<bool>* cancel)
{
    if (setjmp(s.error.recovery))
        return false;
    jpeg_start_decompress(&s.cinfo);
    const int components = s.cmyk ? 4 : s.bitCount / 8;
    if (s.cinfo.output_width != width || s.cinfo.output_height != height || s.cinfo.output_components != components)
        return false;
    JSAMPARRAY inks = nullptr;
    if (s.cmyk)
        inks = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE, width * 4, 1);
    while (s.cinfo.output_scanline < height) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const JDIMENSION n = s.cinfo.output_scanline;
        std::uint8_t* row = bits + stride * (height - 1 - n);
        if (inks) {
            if (jpeg_read_scanlines(&s.cinfo, inks, 1) != 1)
                return false;
            cmykToBgr(inks[0], row, width, s.cinfo.saw_Adobe_marker);
            continue;
        }
        // Several rows per call spare libjpeg its own row copies; the pointers walk upwards.
        constexpr JDIMENSION kBatch = 16;
        JSAMPROW rows[kBatch];
        const JDIMENSION count = std::min(kBatch, height - n);
        for (JDIMENSION k = 0; k < count; ++k)
            rows[k] = row - stride * k;
        if (jpeg_read_scanlines(&s.cinfo, rows, count) == 0)
            return false;
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

// The least data a complete picture of this size can be coded in: every block of every
// component carries at least one bit (its DC code) in some scan. Arithmetic coding has no such
// floor, so its pictures answer to the size limits alone.
bool dataCanFill(const Session& s, const DecodeLimits& limits)
{
    if (s.cinfo.arith_code ||
        std::uint64_t{s.cinfo.output_width} * s.cinfo.output_height <= limits.unjustifiedPixels)
        return true;
    std::uint64_t blocks = 0;
    for (int c = 0; c < s.cinfo.num_components; ++c)
        blocks += std::uint64_t{s.cinfo.comp_info[c].width_in_blocks} * s.cinfo.comp_info[c].height_in_blocks;
    return s.size >= blocks / 8;
}

}  // namespace

bool isSupportedJpeg(Bytes data) { return data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8; }

std::optional<PictureInfo> pictureInfoJpeg(Bytes data)
{
    Decompressor decompressor(data.data(), data.size());
    Session& s = decompressor.session();
    if (!readHeaderGuarded(s))
        return std::nullopt;
    return PictureInfo{static_cast<std::int32_t>(s.cinfo.image_width), static_cast<std::int32_t>(s.cinfo.image_height),
                       s.bitCount};
}

std::optional<DibPair> loadJpeg(Bytes data, const DecodeLimits& limits)
{
    Decompressor decompressor(data.data(), data.size());
    Session& s = decompressor.session();
    if (!readHeaderGuarded(s))
        return std::nullopt;
    const JDIMENSION width = s.cinfo.output_width;
    const JDIMENSION height = s.cinfo.output_height;
    const std::uint64_t stride = ((std::uint64_t{width} * s.bitCount + 31) >> 3) & ~std::uint64_t{3};
    const std::uint64_t imageSize = stride * height;
    if (width == 0 || height == 0 || imageSize > limits.maxBitsBytes || imageSize > memory::kMaxSize ||
        !fitsSurface(width, height, limits) || !dataCanFill(s, limits))
        return std::nullopt;

    const std::uint32_t colours = s.bitCount == 8 ? 256 : 0;
    std::uint8_t header[kInfoHeaderBytes + 4 * 256] = {};
    writeU32(header, kInfoHeaderBytes);
    writeU32(header + 4, width);
    writeU32(header + 8, height);
    writeU16(header + 12, 1);
    writeU16(header + 14, static_cast<std::uint16_t>(s.bitCount));
    writeU32(header + 20, static_cast<std::uint32_t>(imageSize));
    writeU32(header + 32, colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        std::uint8_t* entry = header + kInfoHeaderBytes + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<std::uint8_t>(i);
    }

    DibPair pair;
    pair.bits = memory::OwnedHandle::allocate(memory::Heap::Global, imageSize);
    if (!pair.bits)
        return std::nullopt;
    {
        const memory::Lock out(pair.bits.get());
        // Row padding is never written by the decoder.
        if (stride * 8 != std::uint64_t{width} * s.bitCount) {
            for (JDIMENSION y = 0; y < height; ++y)
                std::fill_n(out.data() + stride * y + stride - 4, 4, 0);
        }
        if (!decodeGuarded(s, out.data(), stride, width, height, limits.cancel))
            return std::nullopt;
    }
    const std::size_t headerBytes = kInfoHeaderBytes + 4 * colours;
    pair.header = memory::OwnedHandle::allocate(memory::Heap::Global, headerBytes);
    if (!pair.header)
        return std::nullopt;
    const memory::Lock out(pair.header.get());
    std::copy_n(header, headerBytes, out.data());
    return pair;
}

}  // namespace image
