#include "Listing.h"

#include "Format.h"
#include "Names.h"
#include "Reader.h"
#include "ZipDirectory.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>

namespace archive_spi {
namespace {

int listZip(const Source& source, RecordList& records)
{
    const std::optional<ZipDirectory> directory = readZipDirectory(source);
    if (!directory)
        return SPI_OUT_OF_ORDER;
    // Offsets of an archive this large do not fit the record: entries go by their number.
    const bool ordinals = source.size() > 0xFFFFFFFFu;
    bool complete = directory->complete;
    for (std::size_t i = 0; i < directory->entries.size(); ++i) {
        const ZipEntry& e = directory->entries[i];
        if (i > 0xFFFFFFFFu) {
            complete = false;
            break;
        }
        const std::uint32_t position = ordinals ? static_cast<std::uint32_t>(i)
                                                : (e.localHeader == kNoLocalHeader ? 0xFFFFFFFFu : static_cast<std::uint32_t>(e.localHeader));
        const SplitName split = splitEntryName(e.name, true);
        if (split.name.empty() && split.folder.empty())
            continue;
        const bool added = split.name.empty()
            ? records.add(zipMethodName(e.method), position, 0, 0, e.mtime, split.folder, {}, 0)
            : records.add(zipMethodName(e.method), position, e.compressedSize, e.size, e.mtime, split.folder, split.name, e.crc);
        if (!added) {
            complete = false;
            break;
        }
    }
    return complete ? SPI_SUCCESS : SPI_NOT_SUPPORT;
}

const char* methodOf(Format format)
{
    switch (format) {
    case Format::Rar: return "rar";
    case Format::SevenZip: return "7z";
    case Format::GzipTar: return "gzip";
    case Format::Bzip2Tar: return "bzip2";
    case Format::XzTar: return "xz";
    default: return "store";
    }
}

int listWithLibarchive(const Source& source, Format format, RecordList& records)
{
    const std::unique_ptr<Reader> reader = Reader::open(source, 0, source.size(), ReaderKind::Listed);
    if (!reader)
        return SPI_NOT_SUPPORT;
    archive* a = reader->get();
    // Plain tar members are reached by their header's offset; the others by their number.
    const bool offsets = format == Format::Tar && source.size() <= 0xFFFFFFFFu;
    const bool windowsNames = format == Format::Rar || format == Format::SevenZip;
    const char* method = methodOf(format);
    // Skipping a member of a compressed or solid archive decompresses it.
    const std::uint64_t budget = format == Format::Tar ? UINT64_MAX : expansionBudget(source.size());
    std::uint64_t declared = 0;
    LegacyNameDecoder decoder;
    std::uint64_t ordinal = 0;
    for (;; ++ordinal) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            return SPI_SUCCESS;
        if (r < ARCHIVE_WARN || ordinal > 0xFFFFFFFFu)
            return SPI_NOT_SUPPORT;
        const std::int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (size < 0 || static_cast<std::uint64_t>(size) > budget - declared)
            return SPI_NOT_SUPPORT;
        declared += static_cast<std::uint64_t>(size);
        const char* raw = archive_entry_pathname(entry);
        if (!raw)
            raw = archive_entry_pathname_utf8(entry);
        const mode_t type = archive_entry_filetype(entry);
        if (!raw || (type != AE_IFREG && type != AE_IFDIR))
            continue;
        // Names without a charset come through as stored: see LegacyNameDecoder.
        std::string full = format == Format::Rar ? decoder.decodeRar(raw) : decoder.decode(raw);
        if (type == AE_IFDIR && !full.empty() && full.back() != '/')
            full += '/';
        const SplitName split = splitEntryName(full, windowsNames);
        if (split.name.empty() && split.folder.empty())
            continue;  // the archive's own top folder ("./")
        const la_int64_t at = archive_read_header_position(a);
        const std::uint32_t position = static_cast<std::uint32_t>(offsets ? static_cast<std::uint64_t>(at) : ordinal);
        const std::int64_t mtime = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : 0;
        const std::uint64_t compressed = format == Format::Tar ? static_cast<std::uint64_t>(size) : 0;
        const bool added = split.name.empty() ? records.add(method, position, 0, 0, mtime, split.folder, {}, 0)
                                              : records.add(method, position, compressed, static_cast<std::uint64_t>(size), mtime,
                                                            split.folder, split.name, 0);
        if (!added)
            return SPI_NOT_SUPPORT;
    }
}

}  // namespace

int listArchive(const Source& source, RecordList& records)
{
    const Format format = detectSourceFormat(source);
    switch (format) {
    case Format::Unknown: return SPI_NOT_SUPPORT;
    case Format::Zip: return listZip(source, records);
    default: return listWithLibarchive(source, format, records);
    }
}

}  // namespace archive_spi
