#pragma once

#include "engine/Lua.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace api {

// Creates the global table `gridview` (or extends an existing one) with its functions.
void installGridView(lua_State* L);

// Colour texts of cells: "RRGGBB" in upper-case hexadecimal; a text shorter than six
// characters reads as white, and each pair is read up to its first character that is no digit.
std::uint32_t parseColourText(std::string_view text) noexcept;
std::string colourText(std::uint32_t rgb);

}  // namespace api
