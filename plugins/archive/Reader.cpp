#include "Reader.h"

#include <archive.h>

#include <algorithm>
#include <cstdio>

namespace archive_spi {

Reader::Reader(const Source& source, std::uint64_t start, std::uint64_t end)
    : m_source(source), m_start(start), m_end(std::min(end, source.size())), m_position(start)
{
    if (m_start > m_end)
        m_start = m_position = m_end;
}

Reader::~Reader()
{
    if (m_archive)
        archive_read_free(m_archive);
}

std::unique_ptr<Reader> Reader::open(const Source& source, std::uint64_t start, std::uint64_t end, ReaderKind kind)
{
    std::unique_ptr<Reader> reader(new Reader(source, start, end));
    archive* a = archive_read_new();
    if (!a)
        return nullptr;
    reader->m_archive = a;
    switch (kind) {
    case ReaderKind::ZipMember:
        archive_read_support_format_zip_streamable(a);
        break;
    case ReaderKind::Tar:
        archive_read_support_format_tar(a);
        break;
    case ReaderKind::Listed:
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        archive_read_support_format_7zip(a);
        archive_read_support_format_tar(a);
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
        archive_read_support_filter_lzma(a);
        break;
    }
    if (!source.bytes())
        reader->m_buffer.resize(256 * 1024);
    archive_read_set_read_callback(a, readCallback);
    archive_read_set_skip_callback(a, skipCallback);
    archive_read_set_seek_callback(a, seekCallback);
    archive_read_set_callback_data(a, reader.get());
    if (archive_read_open1(a) != ARCHIVE_OK)
        return nullptr;
    return reader;
}

la_ssize_t Reader::readCallback(archive*, void* self, const void** buffer)
{
    auto* r = static_cast<Reader*>(self);
    if (r->m_position >= r->m_end)
        return 0;
    const std::uint64_t left = r->m_end - r->m_position;
    if (const unsigned char* bytes = r->m_source.bytes()) {
        *buffer = bytes + r->m_position;
        r->m_position = r->m_end;
        return static_cast<la_ssize_t>(left);
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, r->m_buffer.size()));
    const std::ptrdiff_t got = r->m_source.read(r->m_position, r->m_buffer.data(), want);
    if (got < 0)
        return -1;
    r->m_position += static_cast<std::uint64_t>(got);
    *buffer = r->m_buffer.data();
    return got;
}

la_int64_t Reader::skipCallback(archive*, void* self, la_int64_t request)
{
    auto* r = static_cast<Reader*>(self);
    if (request <= 0)
        return 0;
    const std::uint64_t step = std::min<std::uint64_t>(static_cast<std::uint64_t>(request), r->m_end - r->m_position);
    r->m_position += step;
    return static_cast<la_int64_t>(step);
}

la_int64_t Reader::seekCallback(archive*, void* self, la_int64_t offset, int whence)
{
    auto* r = static_cast<Reader*>(self);
    // Positions are within the window, so they fit in 63 bits on both sides.
    la_int64_t base;
    switch (whence) {
    case SEEK_SET: base = static_cast<la_int64_t>(r->m_start); break;
    case SEEK_CUR: base = static_cast<la_int64_t>(r->m_position); break;
    case SEEK_END: base = static_cast<la_int64_t>(r->m_end); break;
    default: return ARCHIVE_FATAL;
    }
    const auto end = static_cast<la_int64_t>(r->m_end);
    const auto start = static_cast<la_int64_t>(r->m_start);
    if (offset > end - base || offset < start - base)
        return ARCHIVE_FATAL;
    r->m_position = static_cast<std::uint64_t>(base + offset);
    return static_cast<la_int64_t>(r->m_position - r->m_start);
}

}  // namespace archive_spi
