#pragma once

#include "Source.h"

#include <cstddef>

namespace archive_spi {

enum class Format { Unknown, Zip, Rar, SevenZip, Tar, GzipTar, Bzip2Tar, XzTar };

// The format that the first bytes of a file show (at least 512 of them for tar).
Format detectFormat(const unsigned char* head, std::size_t size) noexcept;

// The format of the archive that `source` holds; a zip with something in front of it (a
// self-extracting program) is found by its end record.
Format detectSourceFormat(const Source& source);

// Whether the 512 bytes at `header` are a tar header (their checksum holds).
bool isTarHeader(const unsigned char* header, std::size_t size) noexcept;

// Whether a zip member's local header starts here.
bool isZipLocalHeader(const unsigned char* head, std::size_t size) noexcept;

bool isCompressedTar(Format format) noexcept;

}  // namespace archive_spi
