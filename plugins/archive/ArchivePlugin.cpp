// The bundled archive plug-in: zip (cbz), rar (cbr), 7z (cb7) and tar, plain or compressed with
// gzip, bzip2 or xz, listed and extracted in memory.
#include "Extract.h"
#include "Format.h"
#include "Listing.h"
#include "PluginInfo.h"

#include <selvarin/spi.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <new>
#include <string_view>

namespace {

using namespace archive_spi;

// libarchive converts names through the thread's locale: each call runs under a UTF-8 locale of
// its own, whatever locale the viewer or another library set. The locale object is made once
// (making one reads the locale files, which would cost more than listing a small archive).
class Utf8Locale {
public:
    Utf8Locale()
    {
        if (const locale_t utf8 = shared().get())
            m_previous = uselocale(utf8);
    }
    ~Utf8Locale()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    struct Owned {
        locale_t locale = static_cast<locale_t>(0);
        Owned()
        {
            for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
                locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
                if (locale)
                    break;
            }
        }
        ~Owned()
        {
            if (locale)
                freelocale(locale);
        }
        locale_t get() const { return locale; }
    };
    static const Owned& shared()
    {
        static const Owned owned;
        return owned;
    }

    locale_t m_previous = static_cast<locale_t>(0);
};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// A compressed stream is a tar when its name says so, or, for gzip, the original name it keeps.
bool compressedTar(const char* filename, const unsigned char* head, std::size_t size)
{
    const auto tarName = [](std::string_view name) {
        for (const char* suffix : {".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tbz", ".tbz2", ".tar.xz", ".txz"}) {
            if (endsWithIgnoringCase(name, suffix))
                return true;
        }
        return false;
    };
    if (filename && tarName(filename))
        return true;
    // gzip header: magic, method, flags (0x08: a zero-ended original name follows, after the
    // 0x04 extra field when there is one), four bytes of time, two more.
    if (size < 10 || head[0] != 0x1F || head[1] != 0x8B || !(head[3] & 0x08))
        return false;
    std::size_t at = 10;
    if (head[3] & 0x04) {
        if (at + 2 > size)
            return false;
        at += 2 + (head[at] | head[at + 1] << 8);
    }
    const std::size_t end = at < size ? std::string_view(reinterpret_cast<const char*>(head + at), size - at).find('\0') : std::string_view::npos;
    return end != std::string_view::npos && tarName(std::string_view(reinterpret_cast<const char*>(head + at), end));
}

}  // namespace

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00AM", "archive.spi: zip, rar, 7z and tar archives", "*.zip;*.cbz", "ZIP archive",
                               "*.rar;*.cbr", "RAR archive", "*.7z;*.cb7", "7z archive",
                               "*.tar;*.tar.gz;*.tgz;*.tar.bz2;*.tbz;*.tbz2;*.tar.xz;*.txz", "tar archive"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char* filename, const void* dw)
{
    if (!dw)
        return 0;
    return plugin::guarded([&] {
        const Utf8Locale locale;
        const auto* head = static_cast<const unsigned char*>(dw);
        constexpr std::size_t kHead = 2048;
        const Format format = detectFormat(head, kHead);
        if (isCompressedTar(format))
            return compressedTar(filename, head, kHead) ? 1 : 0;
        return format == Format::Unknown ? 0 : 1;
    });
}

SPI_EXPORT int SPI_CALL GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf)
{
    if (!lphInf)
        return SPI_OTHER_ERROR;
    *lphInf = 0;
    return plugin::guarded([&] {
        const Utf8Locale locale;
        const bool memory = (flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY;
        if (!buf || len < 0)
            return memory ? SPI_OUT_OF_ORDER : SPI_FILE_READ_ERROR;
        const std::optional<Source> source = memory ? std::optional<Source>(Source::memory(buf, static_cast<std::size_t>(len)))
                                                    : Source::openFile(buf, static_cast<std::uint64_t>(len));
        if (!source)
            return SPI_FILE_READ_ERROR;
        RecordList records;
        const int result = listArchive(*source, records);
        if (result != SPI_SUCCESS && (result != SPI_NOT_SUPPORT || records.size() == 0))
            return result;
        *lphInf = records.toHandle();
        return *lphInf ? result : SPI_NO_MEMORY;
    });
}

SPI_EXPORT int SPI_CALL GetFile(const char* src, intptr_t len, char* dest, unsigned int flag, SpiProgressCallback progress,
                                intptr_t lData)
{
    if ((flag & SPI_OUTPUT_MASK) != SPI_OUTPUT_MEMORY)
        return SPI_NOT_IMPLEMENTED;  // the viewer never asks for files on disk
    auto* out = reinterpret_cast<HLOCAL*>(dest);
    if (!out)
        return SPI_OTHER_ERROR;
    *out = 0;
    return plugin::guarded([&] {
        const Utf8Locale locale;
        if ((flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY)
            return extractFromMemory(src, len, out, progress, lData);
        if (!src)
            return SPI_FILE_READ_ERROR;
        return extractFromFile(src, len, out, progress, lData);
    });
}

}  // extern "C"
