#include "Format.h"

#include "ZipDirectory.h"

#include <cstring>

namespace archive_spi {

bool isZipLocalHeader(const unsigned char* head, std::size_t size) noexcept
{
    return size >= 4 && std::memcmp(head, "PK\x03\x04", 4) == 0;
}

bool isTarHeader(const unsigned char* header, std::size_t size) noexcept
{
    if (size < 512)
        return false;
    // The stored checksum: octal digits, optionally led by spaces and ended by NUL or space.
    std::size_t i = 148;
    while (i < 156 && header[i] == ' ')
        ++i;
    unsigned stored = 0;
    std::size_t digits = 0;
    for (; i < 156 && header[i] >= '0' && header[i] <= '7'; ++i, ++digits)
        stored = stored * 8 + (header[i] - '0');
    if (digits == 0 || (i < 156 && header[i] != ' ' && header[i] != '\0'))
        return false;
    unsigned sum = 0;
    for (std::size_t k = 0; k < 512; ++k)
        sum += (k >= 148 && k < 156) ? ' ' : header[k];
    // An all-zero block (the end of an archive) sums to the spaces alone.
    return sum == stored && sum != 8 * ' ';
}

Format detectFormat(const unsigned char* head, std::size_t size) noexcept
{
    const auto startsWith = [&](const char* magic, std::size_t n) { return size >= n && std::memcmp(head, magic, n) == 0; };
    if (isZipLocalHeader(head, size) || startsWith("PK\x05\x06", 4))
        return Format::Zip;
    if (startsWith("Rar!\x1A\x07", 6))
        return Format::Rar;
    if (startsWith("7z\xBC\xAF\x27\x1C", 6))
        return Format::SevenZip;
    if (isTarHeader(head, size))
        return Format::Tar;
    if (startsWith("\x1F\x8B", 2))
        return Format::GzipTar;
    if (startsWith("BZh", 3) && size > 3 && head[3] >= '1' && head[3] <= '9')
        return Format::Bzip2Tar;
    if (startsWith("\xFD" "7zXZ\0", 6))
        return Format::XzTar;
    return Format::Unknown;
}

Format detectSourceFormat(const Source& source)
{
    unsigned char head[512];
    const std::ptrdiff_t got = source.read(0, head, sizeof head);
    if (got <= 0)
        return Format::Unknown;
    const Format format = detectFormat(head, static_cast<std::size_t>(got));
    if (format != Format::Unknown)
        return format;
    return readZipDirectory(source) ? Format::Zip : Format::Unknown;
}

bool isCompressedTar(Format format) noexcept
{
    return format == Format::GzipTar || format == Format::Bzip2Tar || format == Format::XzTar;
}

}  // namespace archive_spi
