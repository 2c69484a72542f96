#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Entry names as the interface carries them: UTF-8, "/" between folders, each field at most 199
// bytes plus its terminating zero.
namespace archive_spi {

bool isUtf8(std::string_view text) noexcept;

// Names without a charset of their own (zip without its UTF-8 flag, ustar): valid UTF-8 is taken
// as UTF-8, anything else as code page 932, the charset of the Japanese systems that wrote such
// archives. Bytes that neither reads pass through unchanged (the viewer escapes them).
class LegacyNameDecoder {
public:
    LegacyNameDecoder();
    ~LegacyNameDecoder();
    LegacyNameDecoder(const LegacyNameDecoder&) = delete;
    LegacyNameDecoder& operator=(const LegacyNameDecoder&) = delete;

    std::string decode(std::string_view raw);
    // The same for a name that libarchive's RAR reader passed through, which turns every "\"
    // byte into "/", the second bytes of double-byte characters (0x5C) included. A "/" right
    // after a lead byte can only have been such a byte, so it is put back before decoding.
    std::string decodeRar(std::string_view raw);

private:
    void* m_iconv;  // iconv_t, or (void*)-1 when the converter is missing
};

// A full entry name split into its folder and its own name. A trailing separator marks a
// directory (name empty). With `backslashSeparates` a "\" counts as a separator too (archives
// written on Windows); empty pieces are dropped.
struct SplitName {
    std::string folder;
    std::string name;
};
SplitName splitEntryName(std::string_view full, bool backslashSeparates);

// The longest start of `text` of at most `limit` bytes that cuts no UTF-8 character.
std::string_view utf8Prefix(std::string_view text, std::size_t limit) noexcept;

// `name` shortened to at most `limit` bytes at a character boundary, keeping its extension.
std::string fitName(std::string_view name, std::size_t limit);

}  // namespace archive_spi
