#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The desktop's clipboard under the format names scripts know. The system's names stand for
// the desktop's MIME types:
//   CF_TEXT, CF_OEMTEXT  text/plain in code page 932 (lossless), up to its first zero byte
//   CF_UNICODETEXT       the same text as UTF-16LE, ending with one zero code unit
//   CF_LOCALE            offered with every text: 0x00000411, four bytes
//   CF_DIB               any image, read into 32-bit pixels
//   CF_HDROP             the local files of text/uri-list as a file-drop block: a 20-byte
//                        header (offset 20, point 0 0, not client, wide) and the paths in
//                        UTF-16LE with "\" separators, each ended by a zero unit, then one more
//   CF_TIFF              image/tiff
// Every other MIME type is a registered format under its own name. Qt's internal image type
// and the X11 plumbing (upper-case atom names) are left out. Order: the system's names in the
// order of their format numbers, then the MIME types in the owner's order. A MIME name longer
// than 255 bytes has no name (listed nowhere, reached by the empty name).
namespace platform::clipboard {

// Data of this size or more is refused rather than copied into a script.
inline constexpr std::size_t kMaxDataBytes = 100u * 1024 * 1024;

// The names of the formats on the clipboard; nothing when there is no clipboard.
std::optional<std::vector<std::string>> formatNames();

// Asked for a width x height picture of 32-bit B, G, R, A pixels: the address of row 0 and the
// distance in bytes from a row to the next, or null to refuse it.
using ImageTarget = std::function<std::uint8_t*(std::int32_t width, std::int32_t height, std::ptrdiff_t& pitch)>;

enum class Kind {
    None,   // no such format, no clipboard, too large, or refused by the target
    Text,   // bytes holds the text
    Bytes,  // bytes holds the block
    Image,  // the pixels went to the target
};
struct Data {
    Kind kind = Kind::None;
    std::string bytes;
};

// The data of the first format called `name` (compared byte for byte).
Data read(std::string_view name, const ImageTarget& target);

// Puts a picture on the clipboard as an image the desktop offers in its image types (PNG among
// them). Pixels are 32-bit B, G, R, A or 8-bit gray levels; row 0 at `firstRow`, rows `pitch`
// bytes apart. A 32-bit picture whose alpha is zero everywhere counts as opaque (pixels that
// were never given an alpha). False when there is no clipboard or the picture is unusable.
bool writeImage(const std::uint8_t* firstRow, std::int32_t width, std::int32_t height, std::ptrdiff_t pitch,
                int bitsPerPixel);

}  // namespace platform::clipboard
