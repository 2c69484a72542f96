#pragma once

#include <selvarin/spi.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plugin {

class Progress;

// Whether a picture of width x height can become a 32-bit Surface in the viewer.
bool fitsSurface(std::uint64_t width, std::uint64_t height);

// Whether `inputBytes` of data can code width x height pixels at all, for a format that codes at
// most `maxPixelsPerByte` pixels in a byte. Small pictures always pass, so that a short file still
// reports its real error; above that, a header that promises far more than the data hold is a lie
// and no block is allocated for it.
bool justified(std::uint64_t width, std::uint64_t height, std::size_t inputBytes, std::uint64_t maxPixelsPerByte);

// Owns one local block until it is handed over.
class LocalBlock {
public:
    LocalBlock() = default;
    LocalBlock(const LocalBlock&) = delete;
    LocalBlock& operator=(const LocalBlock&) = delete;
    ~LocalBlock();

    // A zeroed block, locked; false when it cannot be had.
    [[nodiscard]] bool allocate(std::size_t bytes);
    std::uint8_t* data() const { return m_data; }
    // Unlocks the block and gives its handle away.
    HLOCAL release();

private:
    HLOCAL m_handle = 0;
    std::uint8_t* m_data = nullptr;
};

// A NUL-terminated UTF-8 text in a new local block (for SpiPictureInfo::hInfo); 0 on failure.
HLOCAL textBlock(std::string_view text);

// The picture a plug-in hands back: 32 bits per pixel, BI_RGB, rows bottom-up, each pixel blue,
// green, red and straight alpha. Rows are addressed top-down, as decoders produce them.
class DibPicture {
public:
    // SPI_SUCCESS, or SPI_NO_MEMORY for a picture above the Surface cap or a refused block.
    [[nodiscard]] int create(std::int32_t width, std::int32_t height);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * 4; }
    // Row y counted from the top.
    std::uint8_t* row(std::int32_t y) const { return m_bits.data() + stride() * static_cast<std::size_t>(m_height - 1 - y); }
    // The block as stored: the bottom row first.
    std::uint8_t* bits() const { return m_bits.data(); }

    // Puts rows that a library wrote top-down into bits() in the block's bottom-up order,
    // reporting the rows done; false when the callback asked to stop.
    [[nodiscard]] bool flipRows(Progress& progress);

    // Resolution in pixels per metre, 0 when unknown.
    void setDensity(std::int32_t xPerMetre, std::int32_t yPerMetre);

    // Gives both blocks to the caller; SPI_SUCCESS.
    int handOver(HLOCAL* info, HLOCAL* bits);

private:
    LocalBlock m_header;
    LocalBlock m_bits;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

// Reports work done to the viewer's callback and remembers a request to stop.
class Progress {
public:
    Progress(SpiProgressCallback callback, std::intptr_t user) : m_callback(callback), m_user(user) {}

    // False once the callback has asked to stop; then the caller returns SPI_ABORT.
    [[nodiscard]] bool report(std::int64_t done, std::int64_t total);
    // report() for row `done` of `total`, but only every few rows and at the last one.
    [[nodiscard]] bool rows(std::int64_t done, std::int64_t total)
    {
        return (done % kRowStep != 0 && done != total) || report(done, total);
    }

    static constexpr int kRowStep = 16;

private:
    SpiProgressCallback m_callback;
    std::intptr_t m_user;
    bool m_stopped = false;
};

// Rearranges rows of R, G, B, A pixels into B, G, R, A, in place.
void swapRedBlue(std::uint8_t* pixels, std::size_t count);

}  // namespace plugin
