#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace plugin {

// Whether data starts with an ISO media file's type box naming one of `brands` (four characters
// each) as its major or a compatible brand. Only the bytes given are looked at.
bool hasBrand(const std::uint8_t* data, std::size_t size, std::initializer_list<const char*> brands);

// The major brand of such a file, or false when data does not start with a type box.
bool majorBrand(const std::uint8_t* data, std::size_t size, char out[5]);

}  // namespace plugin
