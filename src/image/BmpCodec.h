#pragma once

#include "Dib.h"

#include <array>
#include <optional>

// Windows bitmap data: files with the 14-byte "BM" header and packed DIBs without it.
namespace image {

// How many leading bytes of a file the signature test needs.
inline constexpr std::size_t kBmpProbeBytes = 54;

// Cheap signature test: header size, planes and bit count of the info header.
bool isSupportedBmp(Bytes data);
// Width, height (signed, as stored) and bit count; nothing when the header is rejected.
std::optional<PictureInfo> pictureInfoBmp(Bytes data);
// Uncompressed, bit-field and run-length (8 and 4 bit) data to a DIB pair; nothing on any failure.
std::optional<DibPair> loadBmp(Bytes data, const DecodeLimits& limits = {});
// The file header that precedes `header` and its bits in a BMP file; nothing for a header block
// too short to carry the image-size field.
std::optional<std::array<std::uint8_t, 14>> createBmpFileHeader(Bytes header);

// The run-length decoders on their own: `rowStep` bytes between rows, writes only inside `out`
// (at most out.size() bytes; pixels the data do not reach are left alone). True when the data
// reach their end-of-bitmap mark without any refused step.
bool decodeRle8(Bytes data, std::span<std::uint8_t> out, std::size_t rowStep);
bool decodeRle4(Bytes data, std::span<std::uint8_t> out, std::size_t rowStep);

}  // namespace image
