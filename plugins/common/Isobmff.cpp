#include "Isobmff.h"

#include <cstring>

namespace plugin {

namespace {

// The brands of the leading type box: data + 8 is the major brand, data + 16 on the compatible
// ones; 0 when there is no such box.
std::size_t typeBoxSize(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0)
        return 0;
    const std::uint32_t box = std::uint32_t{data[0]} << 24 | data[1] << 16 | data[2] << 8 | data[3];
    if (box < 16)
        return 0;
    return box < size ? box : size;
}

}  // namespace

bool hasBrand(const std::uint8_t* data, std::size_t size, std::initializer_list<const char*> brands)
{
    const std::size_t box = typeBoxSize(data, size);
    if (box == 0)
        return false;
    auto named = [&](const std::uint8_t* p) {
        for (const char* b : brands) {
            if (std::memcmp(p, b, 4) == 0)
                return true;
        }
        return false;
    };
    if (named(data + 8))
        return true;
    for (std::size_t at = 16; at + 4 <= box; at += 4) {
        if (named(data + at))
            return true;
    }
    return false;
}

bool majorBrand(const std::uint8_t* data, std::size_t size, char out[5])
{
    if (typeBoxSize(data, size) == 0)
        return false;
    std::memcpy(out, data + 8, 4);
    out[4] = '\0';
    return true;
}

}  // namespace plugin
