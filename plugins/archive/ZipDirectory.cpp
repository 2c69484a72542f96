#include "ZipDirectory.h"

#include "Crc32.h"
#include "Names.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace archive_spi {
namespace {

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t u32(const unsigned char* p) { return static_cast<std::uint32_t>(u16(p)) | static_cast<std::uint32_t>(u16(p + 2)) << 16; }
std::uint64_t u64(const unsigned char* p) { return static_cast<std::uint64_t>(u32(p)) | static_cast<std::uint64_t>(u32(p + 4)) << 32; }

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEnd64Size = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;

// DOS date and time are the writer's local time.
std::int64_t dosTime(std::uint16_t time, std::uint16_t date)
{
    std::tm tm{};
    tm.tm_year = 80 + (date >> 9);
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = time >> 11;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mday == 0)
        return 0;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(t);
}

// Calls f(id, data, size) for each well-formed field of an extra block.
template <typename F>
void forEachExtra(const unsigned char* p, std::size_t n, F&& f)
{
    while (n >= 4) {
        const std::uint16_t id = u16(p);
        const std::size_t size = u16(p + 2);
        if (size > n - 4)
            return;
        f(id, p + 4, size);
        p += 4 + size;
        n -= 4 + size;
    }
}

struct EndRecord {
    std::uint64_t entries = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0;  // as the archive declares it
    std::uint64_t directoryStart = 0;   // where it really lies in the source
};

std::optional<EndRecord> findEnd(const Source& source)
{
    const std::uint64_t size = source.size();
    if (size < kEndSize)
        return std::nullopt;
    const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + 0xFFFF + 20 + kEnd64Size));
    std::vector<unsigned char> buffer(tail);
    const std::uint64_t tailStart = size - tail;
    if (!source.readExact(tailStart, buffer.data(), tail))
        return std::nullopt;
    // The last end record whose comment reaches exactly to the end; failing that, the last one.
    std::optional<std::size_t> found;
    for (std::size_t i = tail - kEndSize + 1; i-- > 0;) {
        if (u32(&buffer[i]) != kEndSignature)
            continue;
        if (!found)
            found = i;
        if (i + kEndSize + u16(&buffer[i + 20]) == tail) {
            found = i;
            break;
        }
    }
    if (!found)
        return std::nullopt;
    const unsigned char* e = &buffer[*found];
    EndRecord end;
    end.entries = u16(e + 10);
    end.directorySize = u32(e + 12);
    end.directoryOffset = u32(e + 16);
    std::uint64_t directoryEnd = tailStart + *found;
    // The 64-bit end record, found through its locator just before the end record.
    if (*found >= 20 && u32(e - 20) == kEnd64LocatorSignature) {
        const std::uint64_t locatorAt = tailStart + *found - 20;
        unsigned char record[kEnd64Size];
        std::optional<std::uint64_t> at;
        if (locatorAt >= kEnd64Size && source.readExact(locatorAt - kEnd64Size, record, kEnd64Size) && u32(record) == kEnd64Signature)
            at = locatorAt - kEnd64Size;
        else if (const std::uint64_t declared = u64(e - 20 + 8);
                 declared + kEnd64Size <= locatorAt && source.readExact(declared, record, kEnd64Size) && u32(record) == kEnd64Signature)
            at = declared;
        if (at) {
            end.entries = u64(record + 32);
            end.directorySize = u64(record + 40);
            end.directoryOffset = u64(record + 48);
            directoryEnd = *at;
        }
    }
    if (end.directorySize > directoryEnd)
        return std::nullopt;
    end.directoryStart = directoryEnd - end.directorySize;
    return end;
}

}  // namespace

std::optional<ZipDirectory> readZipDirectory(const Source& source, bool decodeNames)
{
    const std::optional<EndRecord> end = findEnd(source);
    if (!end)
        return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(end->directorySize));
    if (!source.readExact(end->directoryStart, bytes.data(), bytes.size()))
        return std::nullopt;
    // Entries' offsets are counted from the archive's start, which lies this far into the source
    // (negative for a memory block that starts at a member).
    const std::int64_t shift = static_cast<std::int64_t>(end->directoryStart) - static_cast<std::int64_t>(std::min<std::uint64_t>(end->directoryOffset, INT64_MAX));

    ZipDirectory directory;
    // Every entry takes at least 46 bytes, whatever count the end record claims.
    directory.entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(end->entries, bytes.size() / kCentralSize)));
    std::optional<LegacyNameDecoder> decoder;
    if (decodeNames)
        decoder.emplace();
    std::size_t at = 0;
    while (at + kCentralSize <= bytes.size() && u32(&bytes[at]) == kCentralSignature) {
        const unsigned char* c = &bytes[at];
        const std::size_t nameLength = u16(c + 28);
        const std::size_t extraLength = u16(c + 30);
        const std::size_t commentLength = u16(c + 32);
        if (nameLength + extraLength + commentLength > bytes.size() - at - kCentralSize)
            break;
        const unsigned char* name = c + kCentralSize;
        const unsigned char* extra = name + nameLength;
        ZipEntry entry;
        entry.flags = u16(c + 8);
        entry.method = u16(c + 10);
        entry.mtime = dosTime(u16(c + 12), u16(c + 14));
        entry.crc = u32(c + 16);
        entry.compressedSize = u32(c + 20);
        entry.size = u32(c + 24);
        std::uint64_t local = u32(c + 42);
        const std::string_view rawName(reinterpret_cast<const char*>(name), nameLength);
        std::optional<std::string> unicodeName;
        forEachExtra(extra, extraLength, [&](std::uint16_t id, const unsigned char* d, std::size_t n) {
            if (id == 0x0001) {
                // Only the fields whose 32-bit value is saturated are present, in this order.
                std::size_t k = 0;
                if (entry.size == 0xFFFFFFFF && k + 8 <= n)
                    entry.size = u64(d + k), k += 8;
                if (entry.compressedSize == 0xFFFFFFFF && k + 8 <= n)
                    entry.compressedSize = u64(d + k), k += 8;
                if (local == 0xFFFFFFFF && k + 8 <= n)
                    local = u64(d + k);
            } else if (id == 0x5455 && n >= 5 && (d[0] & 1)) {
                entry.mtime = static_cast<std::int32_t>(u32(d + 1));  // UTC seconds
            } else if (id == 0x7075 && n >= 5 && d[0] == 1 && u32(d + 1) == crc32(0, name, nameLength)) {
                unicodeName.emplace(reinterpret_cast<const char*>(d + 5), n - 5);
            }
        });
        if (!decodeNames || (entry.flags & kZipUtf8)) {
            entry.name.assign(rawName);
        } else if (unicodeName && isUtf8(*unicodeName)) {
            entry.name = std::move(*unicodeName);
        } else {
            entry.name = decoder->decode(rawName);
        }
        std::int64_t shifted = 0;
        if (local > static_cast<std::uint64_t>(INT64_MAX) || __builtin_add_overflow(static_cast<std::int64_t>(local), shift, &shifted) ||
            shifted < 0 || static_cast<std::uint64_t>(shifted) >= source.size())
            entry.localHeader = kNoLocalHeader;  // outside the source: listed, never found
        else
            entry.localHeader = static_cast<std::uint64_t>(shifted);
        directory.entries.push_back(std::move(entry));
        at += kCentralSize + nameLength + extraLength + commentLength;
    }
    directory.complete = at == bytes.size();
    return directory;
}

std::optional<ZipLocalHeader> readZipLocalHeader(const Source& source, std::uint64_t at)
{
    unsigned char h[kLocalSize];
    if (!source.readExact(at, h, kLocalSize) || u32(h) != kLocalSignature)
        return std::nullopt;
    ZipLocalHeader header;
    header.flags = u16(h + 6);
    header.method = u16(h + 8);
    header.crc = u32(h + 14);
    header.compressedSize = u32(h + 18);
    header.size = u32(h + 22);
    const std::size_t nameLength = u16(h + 26);
    const std::size_t extraLength = u16(h + 28);
    header.dataStart = at + kLocalSize + nameLength + extraLength;
    if (header.dataStart > source.size())
        return std::nullopt;
    if (header.compressedSize == 0xFFFFFFFF || header.size == 0xFFFFFFFF) {
        std::vector<unsigned char> extra(extraLength);
        if (!source.readExact(at + kLocalSize + nameLength, extra.data(), extraLength))
            return std::nullopt;
        bool found = false;
        forEachExtra(extra.data(), extra.size(), [&](std::uint16_t id, const unsigned char* d, std::size_t n) {
            if (id == 0x0001 && n >= 16) {
                header.size = u64(d);
                header.compressedSize = u64(d + 8);
                found = true;
            }
        });
        if (!found)
            return std::nullopt;
    }
    header.sizesKnown = !(header.flags & kZipDataDescriptor);
    return header;
}

const char* zipMethodName(std::uint16_t method)
{
    switch (method) {
    case 0: return "store";
    case 1: return "shrink";
    case 6: return "implode";
    case 8: return "deflate";
    case 9: return "deflat64";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 93: return "zstd";
    case 95: return "xz";
    case 96: return "jpeg";
    case 97: return "wavpack";
    case 98: return "ppmd";
    case 99: return "aes";
    default: return "unknown";
    }
}

}  // namespace archive_spi
