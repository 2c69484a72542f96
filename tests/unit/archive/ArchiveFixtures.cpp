#include "ArchiveFixtures.h"

#include <archive.h>
#include <archive_entry.h>
#include <iconv.h>
#include <zlib.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <stdexcept>

namespace fixtures {
namespace {

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

la_ssize_t collect(archive*, void* out, const void* data, size_t n)
{
    auto* bytes = static_cast<Bytes*>(out);
    bytes->insert(bytes->end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + n);
    return static_cast<la_ssize_t>(n);
}

Bytes deflateRaw(const Bytes& data)
{
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes noise(std::size_t size, std::uint32_t seed)
{
    Bytes b(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<unsigned char>(x);
    }
    return b;
}

std::vector<Member> comicPages(int pages, std::size_t pageSize, const std::string& folder)
{
    std::vector<Member> members;
    for (int i = 0; i < pages; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "/%03d.jpg", i + 1);
        members.push_back({folder + name, noise(pageSize, static_cast<std::uint32_t>(i))});
    }
    return members;
}

std::uint32_t crcOf(const Bytes& data) { return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))); }

Bytes writeArchive(const std::string& format, const std::string& filter, const std::vector<Member>& members, const std::string& options)
{
    // The writer reads names through the locale: UTF-8, as the names in the tests are.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    const locale_t previous = uselocale(utf8);
    Bytes out;
    archive* a = archive_write_new();
    archive_write_set_format_by_name(a, format.c_str());
    if (!filter.empty())
        archive_write_add_filter_by_name(a, filter.c_str());
    if (!options.empty() && archive_write_set_options(a, options.c_str()) < ARCHIVE_WARN)
        throw std::runtime_error(archive_error_string(a));
    archive_write_set_bytes_in_last_block(a, 1);
    archive_write_open(a, &out, nullptr, collect, nullptr);
    for (const Member& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        const bool dir = !m.name.empty() && m.name.back() == '/';
        archive_entry_set_filetype(e, dir ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(e, dir ? 0755 : 0644);
        archive_entry_set_size(e, dir ? 0 : static_cast<la_int64_t>(m.data.size()));
        archive_entry_set_mtime(e, m.mtime, 0);
        if (archive_write_header(a, e) < ARCHIVE_WARN)
            throw std::runtime_error(archive_error_string(a));
        if (!dir && !m.data.empty())
            archive_write_data(a, m.data.data(), m.data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    uselocale(previous);
    freelocale(utf8);
    return out;
}

Bytes writeZip(const std::vector<ZipMember>& members, const Bytes& prefix)
{
    Bytes out = prefix;
    Bytes central;
    for (const ZipMember& m : members) {
        const Bytes body = m.deflate ? deflateRaw(m.data) : m.data;
        const std::uint32_t crc = crcOf(m.data);
        const auto size = static_cast<std::uint32_t>(m.declaredSize >= 0 ? m.declaredSize : static_cast<std::int64_t>(m.data.size()));
        const auto compressed = static_cast<std::uint32_t>(m.declaredCompressed >= 0 ? m.declaredCompressed : static_cast<std::int64_t>(body.size()));
        const auto offset = static_cast<std::uint32_t>(m.declaredOffset >= 0 ? m.declaredOffset : static_cast<std::int64_t>(out.size() - prefix.size()));
        const std::uint16_t flags = m.flags | (m.descriptor ? 0x0008 : 0);
        const std::uint16_t method = m.deflate ? 8 : 0;
        // 2023-11-14 22:13:20 as DOS local time fields.
        const std::uint16_t dosTime = (22 << 11) | (13 << 5) | (20 / 2);
        const std::uint16_t dosDate = ((2023 - 1980) << 9) | (11 << 5) | 14;
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, flags);
        put16(out, method);
        put16(out, dosTime);
        put16(out, dosDate);
        put32(out, m.descriptor ? 0 : crc);
        put32(out, m.descriptor ? 0 : compressed);
        put32(out, m.descriptor ? 0 : size);
        put16(out, static_cast<unsigned>(m.name.size()));
        put16(out, 0);
        putText(out, m.name);
        out.insert(out.end(), body.begin(), body.end());
        if (m.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, compressed);
            put32(out, size);
        }
        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        put16(central, flags);
        put16(central, method);
        put16(central, dosTime);
        put16(central, dosDate);
        // A declared size beyond 32 bits goes into a zip64 extra field.
        const bool zip64 = m.declaredSize > 0xFFFFFFFFLL;
        put32(central, crc);
        put32(central, compressed);
        put32(central, zip64 ? 0xFFFFFFFFu : size);
        put16(central, static_cast<unsigned>(m.name.size()));
        put16(central, zip64 ? 12 : 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        putText(central, m.name);
        if (zip64) {
            put16(central, 0x0001);
            put16(central, 8);
            put32(central, static_cast<std::uint32_t>(m.declaredSize));
            put32(central, static_cast<std::uint32_t>(m.declaredSize >> 32));
        }
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size() - prefix.size());
    out.insert(out.end(), central.begin(), central.end());
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(members.size()));
    put16(out, static_cast<unsigned>(members.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

Bytes writeRar4(const std::vector<Member>& members)
{
    const auto headerCrc = [](const Bytes& b, std::size_t from) {
        return static_cast<std::uint16_t>(crc32(0, b.data() + from, static_cast<uInt>(b.size() - from)) & 0xFFFF);
    };
    Bytes out = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    Bytes main = {0x73, 0x00, 0x00, 13, 0, 0, 0, 0, 0, 0, 0};
    put16(out, static_cast<std::uint16_t>(crc32(0, main.data(), static_cast<uInt>(main.size())) & 0xFFFF));
    out.insert(out.end(), main.begin(), main.end());
    for (const Member& m : members) {
        const bool dir = !m.name.empty() && m.name.back() == '/';
        std::string name = dir ? m.name.substr(0, m.name.size() - 1) : m.name;
        for (char& c : name) {
            if (c == '/')
                c = '\\';
        }
        Bytes h;
        h.push_back(0x74);
        put16(h, 0x8000 | (dir ? 0x00E0 : 0));
        put16(h, static_cast<unsigned>(32 + name.size()));
        put32(h, dir ? 0 : static_cast<std::uint32_t>(m.data.size()));
        put32(h, dir ? 0 : static_cast<std::uint32_t>(m.data.size()));
        h.push_back(2);  // Win32
        put32(h, dir ? 0 : crcOf(m.data));
        const std::time_t t = static_cast<std::time_t>(m.mtime);
        std::tm tm{};
        localtime_r(&t, &tm);
        put32(h, static_cast<std::uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                            (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2)));
        h.push_back(20);
        h.push_back(0x30);  // stored
        put16(h, static_cast<unsigned>(name.size()));
        put32(h, dir ? 0x10 : 0x20);
        putText(h, name);
        put16(out, headerCrc(h, 0));
        out.insert(out.end(), h.begin(), h.end());
        if (!dir)
            out.insert(out.end(), m.data.begin(), m.data.end());
    }
    Bytes end = {0x7B, 0x00, 0x40, 7, 0};
    put16(out, headerCrc(end, 0));
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

std::string toCp932(const std::string& utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in = utf8;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

}  // namespace fixtures
