#include "Extract.h"

#include "Crc32.h"
#include "Format.h"
#include "Reader.h"
#include "Records.h"
#include "ZipDirectory.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace archive_spi {
namespace {

// The extracted member: a local block of exactly the size its entry declared. Writing more is
// refused, so a member that expands beyond its declaration (a bomb) costs no more than that.
class Output {
public:
    Output(std::uint64_t size, SpiProgressCallback progress, intptr_t user) : m_size(size), m_progress(progress), m_user(user)
    {
        // The callback counts in int: large sizes are reported in coarser units.
        while ((m_size >> m_shift) > INT_MAX)
            ++m_shift;
    }
    ~Output()
    {
        if (m_handle) {
            if (m_data)
                LocalUnlock(m_handle);
            LocalFree(m_handle);
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    int begin()
    {
        if (m_size > 0xFFFFFFFFu)
            return SPI_NO_MEMORY;
        m_handle = LocalAlloc(LMEM_MOVEABLE, static_cast<std::size_t>(m_size));
        if (!m_handle)
            return SPI_NO_MEMORY;
        m_data = static_cast<unsigned char*>(LocalLock(m_handle));
        if (!m_data)
            return SPI_MEMORY_ERROR;
        m_nextReport = step();
        return call(0) ? SPI_ABORT : SPI_SUCCESS;
    }

    unsigned char* tail() { return m_data + m_filled; }
    std::size_t room() const { return static_cast<std::size_t>(m_size - m_filled); }
    const unsigned char* data() const { return m_data; }

    // Counts n more bytes written at tail(); SPI_ABORT when the callback asks to stop.
    int advance(std::size_t n)
    {
        m_filled += n;
        if (m_filled >= m_nextReport && m_filled < m_size) {
            m_nextReport = m_filled + step();
            if (call(m_filled))
                return SPI_ABORT;
        }
        return SPI_SUCCESS;
    }

    int finish(HLOCAL* out)
    {
        if (m_filled != m_size)
            return SPI_OUT_OF_ORDER;
        if (call(m_size))
            return SPI_ABORT;
        LocalUnlock(m_handle);
        m_data = nullptr;
        *out = m_handle;
        m_handle = 0;
        return SPI_SUCCESS;
    }

private:
    // About a hundred reports per member, none more often than every 256 KiB.
    std::uint64_t step() const { return std::max<std::uint64_t>(m_size / 100, 256 * 1024); }
    bool call(std::uint64_t done) const
    {
        return m_progress && m_progress(static_cast<int>(done >> m_shift), static_cast<int>(m_size >> m_shift), m_user) != 0;
    }

    std::uint64_t m_size;
    SpiProgressCallback m_progress;
    intptr_t m_user;
    int m_shift = 0;
    HLOCAL m_handle = 0;
    unsigned char* m_data = nullptr;
    std::uint64_t m_filled = 0;
    std::uint64_t m_nextReport = 0;
};

// The current entry's data into `out`, and the check that nothing follows its declared size.
int readEntryData(archive* a, Output& out)
{
    for (;;) {
        if (out.room() == 0) {
            unsigned char extra;
            const la_ssize_t more = archive_read_data(a, &extra, 1);
            return more == 0 ? SPI_SUCCESS : SPI_OUT_OF_ORDER;
        }
        const la_ssize_t got = archive_read_data(a, out.tail(), std::min<std::size_t>(out.room(), 1 << 20));
        if (got < 0)
            return SPI_OUT_OF_ORDER;  // broken data, a bad CRC, or a method libarchive lacks
        if (got == 0)
            return SPI_SUCCESS;  // short: finish() reports it
        if (const int r = out.advance(static_cast<std::size_t>(got)); r != SPI_SUCCESS)
            return r;
    }
}

// The entry libarchive just read, as a regular file the viewer can have.
int checkEntry(archive_entry* entry)
{
    if (archive_entry_filetype(entry) != AE_IFREG)
        return SPI_NOT_SUPPORT;
    if (archive_entry_is_encrypted(entry))
        return SPI_NOT_SUPPORT;
    if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0)
        return SPI_OUT_OF_ORDER;
    return SPI_SUCCESS;
}

int extractEntry(archive* a, archive_entry* entry, HLOCAL* out, SpiProgressCallback progress, intptr_t user)
{
    if (const int r = checkEntry(entry); r != SPI_SUCCESS)
        return r;
    Output output(static_cast<std::uint64_t>(archive_entry_size(entry)), progress, user);
    if (const int r = output.begin(); r != SPI_SUCCESS)
        return r;
    if (const int r = readEntryData(a, output); r != SPI_SUCCESS)
        return r;
    return output.finish(out);
}

bool unsupportedZipMethod(std::uint16_t method)
{
    // Methods libarchive does not decompress; the others it does or reports itself.
    return method == 1 || (method >= 2 && method <= 6) || method == 9 || method == 10 || method == 96 || method == 97 || method == 99;
}

// A zip's central directory with its entries found by local-header offset. The directory of
// the last file read is kept, so that reading page after page does not parse it each time.
struct IndexedDirectory {
    ZipDirectory directory;
    std::unordered_map<std::uint64_t, std::size_t> byOffset;

    static constexpr std::size_t kAmbiguous = SIZE_MAX;

    // Nothing for an offset no entry has; kAmbiguous entries are refused by the caller.
    std::optional<std::size_t> at(std::uint64_t offset) const
    {
        const auto found = byOffset.find(offset);
        return found == byOffset.end() ? std::nullopt : std::optional<std::size_t>(found->second);
    }
};

std::shared_ptr<const IndexedDirectory> indexDirectory(const Source& source)
{
    std::optional<ZipDirectory> directory = readZipDirectory(source, false);
    if (!directory)
        return nullptr;
    auto indexed = std::make_shared<IndexedDirectory>();
    indexed->directory = std::move(*directory);
    // Two entries that claim one local header with different sizes cannot both be right.
    const auto& entries = indexed->directory.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto [it, added] = indexed->byOffset.emplace(entries[i].localHeader, i);
        if (!added && it->second != IndexedDirectory::kAmbiguous) {
            const ZipEntry& other = entries[it->second];
            if (other.size != entries[i].size || other.compressedSize != entries[i].compressedSize || other.crc != entries[i].crc)
                it->second = IndexedDirectory::kAmbiguous;
        }
    }
    return indexed;
}

std::shared_ptr<const IndexedDirectory> directoryOf(const Source& source)
{
    if (!source.isFile())
        return indexDirectory(source);
    static std::mutex mutex;
    static FileIdentity cachedFile;
    static std::shared_ptr<const IndexedDirectory> cached;
    const std::lock_guard lock(mutex);
    if (!cached || !(cachedFile == source.identity())) {
        cached = indexDirectory(source);
        cachedFile = source.identity();
    }
    return cached;
}

int extractZipMember(const Source& source, std::uint64_t at, HLOCAL* out, SpiProgressCallback progress, intptr_t user)
{
    const std::optional<ZipLocalHeader> local = readZipLocalHeader(source, at);
    if (!local)
        return SPI_OUT_OF_ORDER;
    std::uint64_t size = local->size;
    std::uint64_t compressed = local->compressedSize;
    std::uint32_t crc = local->crc;
    std::uint16_t flags = local->flags;
    // The central directory is what the listing showed: its sizes bound the output, and a local
    // header that says otherwise marks a broken archive.
    const std::shared_ptr<const IndexedDirectory> directory = directoryOf(source);
    const std::optional<std::size_t> index = directory ? directory->at(at) : std::nullopt;
    if (index == IndexedDirectory::kAmbiguous)
        return SPI_OUT_OF_ORDER;
    if (index) {
        const ZipEntry* entry = &directory->directory.entries[*index];
        if (local->sizesKnown && (local->size != entry->size || local->compressedSize != entry->compressedSize || local->crc != entry->crc))
            return SPI_OUT_OF_ORDER;
        size = entry->size;
        compressed = entry->compressedSize;
        crc = entry->crc;
        flags |= entry->flags & kZipEncrypted;
    } else if (!local->sizesKnown) {
        return SPI_OUT_OF_ORDER;  // the sizes follow the data, and nothing else has them
    }
    if ((flags & kZipEncrypted) || unsupportedZipMethod(local->method))
        return SPI_NOT_SUPPORT;
    if (compressed > source.size() - local->dataStart)
        return SPI_OUT_OF_ORDER;  // cut short
    if (local->method == 0 ? compressed != size : size > expansionBudget(compressed))
        return SPI_OUT_OF_ORDER;  // sizes that no real member has

    Output output(size, progress, user);
    if (const int r = output.begin(); r != SPI_SUCCESS)
        return r;
    if (local->method == 0) {
        std::uint64_t from = local->dataStart;
        std::uint32_t sum = 0;
        while (output.room() > 0) {
            const std::size_t n = std::min<std::size_t>(output.room(), 1 << 20);
            if (!source.readExact(from, output.tail(), n))
                return SPI_FILE_READ_ERROR;
            sum = crc32(sum, output.tail(), n);
            from += n;
            if (const int r = output.advance(n); r != SPI_SUCCESS)
                return r;
        }
        if (sum != crc)
            return SPI_OUT_OF_ORDER;
        return output.finish(out);
    }
    // libarchive decompresses from the local header on, and checks the CRC; the window ends
    // after the data and a data descriptor, so it cannot run on into the next member.
    const std::uint64_t end = local->dataStart + compressed + 24;
    const std::unique_ptr<Reader> reader = Reader::open(source, at, end, ReaderKind::ZipMember);
    if (!reader)
        return SPI_OUT_OF_ORDER;
    archive_entry* entry = nullptr;
    if (archive_read_next_header(reader->get(), &entry) < ARCHIVE_WARN)
        return SPI_OUT_OF_ORDER;
    if (archive_entry_is_encrypted(entry))
        return SPI_NOT_SUPPORT;
    if (const int r = readEntryData(reader->get(), output); r != SPI_SUCCESS)
        return r;
    return output.finish(out);
}

int extractTarMember(const Source& source, std::uint64_t at, HLOCAL* out, SpiProgressCallback progress, intptr_t user)
{
    const std::unique_ptr<Reader> reader = Reader::open(source, at, source.size(), ReaderKind::Tar);
    if (!reader)
        return SPI_OUT_OF_ORDER;
    archive_entry* entry = nullptr;
    if (archive_read_next_header(reader->get(), &entry) < ARCHIVE_WARN)
        return SPI_OUT_OF_ORDER;
    return extractEntry(reader->get(), entry, out, progress, user);
}

// An open reader kept between calls: members read in archive order cost one pass over a solid
// or compressed archive, not one pass each.
struct Cursor {
    FileIdentity identity;
    std::unique_ptr<Source> source;
    std::unique_ptr<Reader> reader;
    std::uint64_t next = 0;  // the ordinal the next header has
};

std::mutex& cursorMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<Cursor>& sharedCursor()
{
    static std::unique_ptr<Cursor> cursor;
    return cursor;
}

bool drainEntry(archive* a)
{
    static thread_local unsigned char scratch[64 * 1024];
    for (;;) {
        const la_ssize_t got = archive_read_data(a, scratch, sizeof scratch);
        if (got == 0)
            return true;
        if (got < 0)
            return false;
    }
}

int extractByOrdinal(std::unique_ptr<Cursor>& cursor, Source&& source, Format format, std::uint64_t ordinal, HLOCAL* out,
                     SpiProgressCallback progress, intptr_t user)
{
    if (!cursor || cursor->identity != source.identity() || ordinal < cursor->next) {
        cursor.reset();
        auto fresh = std::make_unique<Cursor>();
        fresh->identity = source.identity();
        fresh->source = std::make_unique<Source>(std::move(source));
        fresh->reader = Reader::open(*fresh->source, 0, fresh->source->size(), ReaderKind::Listed);
        if (!fresh->reader)
            return SPI_NOT_SUPPORT;
        cursor = std::move(fresh);
    }
    archive* a = cursor->reader->get();
    const std::uint64_t budget = expansionBudget(cursor->source->size());
    // libarchive's 7z reader loses its place in a solid stream when it skips a member larger
    // than its buffer; reading the member through costs the same decompression.
    const bool drain = format == Format::SevenZip;
    std::uint64_t skipped = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a, &entry);
        if (r < ARCHIVE_WARN || r == ARCHIVE_EOF) {
            cursor.reset();
            return SPI_OUT_OF_ORDER;
        }
        if (cursor->next++ == ordinal) {
            const int result = extractEntry(a, entry, out, progress, user);
            if (result != SPI_SUCCESS)
                cursor.reset();  // the reader may stand anywhere in the data
            return result;
        }
        // Passing a member decompresses it: the same bound as listing.
        const std::int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (size < 0 || static_cast<std::uint64_t>(size) > budget - skipped || (drain && !drainEntry(a))) {
            cursor.reset();
            return SPI_OUT_OF_ORDER;
        }
        skipped += static_cast<std::uint64_t>(size);
    }
}

}  // namespace

int extractFromFile(const char* path, std::int64_t position, HLOCAL* out, SpiProgressCallback progress, intptr_t user)
{
    if (position < 0)
        return SPI_OUT_OF_ORDER;
    std::optional<Source> source = Source::openFile(path, 0);
    if (!source)
        return SPI_FILE_READ_ERROR;
    const auto at = static_cast<std::uint64_t>(position);
    const Format format = detectSourceFormat(*source);
    const bool large = source->size() > 0xFFFFFFFFu;
    switch (format) {
    case Format::Unknown: return SPI_NOT_SUPPORT;
    case Format::Zip:
        if (large) {
            const std::shared_ptr<const IndexedDirectory> directory = directoryOf(*source);
            if (!directory || at >= directory->directory.entries.size() || directory->directory.entries[at].localHeader == kNoLocalHeader)
                return SPI_OUT_OF_ORDER;
            return extractZipMember(*source, directory->directory.entries[at].localHeader, out, progress, user);
        }
        return extractZipMember(*source, at, out, progress, user);
    case Format::Tar:
        if (!large)
            return extractTarMember(*source, at, out, progress, user);
        [[fallthrough]];
    default: {
        // A call made while the cursor is busy (from inside a progress callback, or from another
        // thread) reads with a reader of its own instead of waiting for it.
        std::unique_lock lock(cursorMutex(), std::try_to_lock);
        if (lock.owns_lock())
            return extractByOrdinal(sharedCursor(), std::move(*source), format, at, out, progress, user);
        std::unique_ptr<Cursor> own;
        return extractByOrdinal(own, std::move(*source), format, at, out, progress, user);
    }
    }
}

int extractFromMemory(const void* data, std::int64_t size, HLOCAL* out, SpiProgressCallback progress, intptr_t user)
{
    if (!data || size < 0)
        return SPI_OUT_OF_ORDER;
    const Source source = Source::memory(data, static_cast<std::size_t>(size));
    unsigned char head[512];
    const std::ptrdiff_t got = source.read(0, head, sizeof head);
    if (got > 0 && isZipLocalHeader(head, static_cast<std::size_t>(got)))
        return extractZipMember(source, 0, out, progress, user);
    if (got > 0 && isTarHeader(head, static_cast<std::size_t>(got)))
        return extractTarMember(source, 0, out, progress, user);
    // Members of solid and compressed archives are found by number, which a block that starts
    // at the member cannot tell.
    return SPI_NOT_SUPPORT;
}

}  // namespace archive_spi
