#pragma once

#include <string>
#include <string_view>

// The lexical face of the script language: scripts are written for a Shift JIS aware 5.0
// lexer, and the runtime's own lexer sees only what this scanner hands it.
namespace engine::profile {

// The short chunk name of positions in messages ("file", "name", [string "..."]), as the
// runtime writes it: `size` is 80 for the lexer's and parser's messages, 60 for run-time ones.
inline constexpr std::size_t kSyntaxIdSize = 80;
inline constexpr std::size_t kRuntimeIdSize = 60;
std::string chunkId(std::string_view chunkName, std::size_t size = kRuntimeIdSize);

// Reads `source` as the 5.0 lexer with Shift JIS strings does and writes into `out` an
// equivalent source for the runtime: strings re-escaped, long strings turned into quoted
// strings, comments blanked, numbers separated from what follows, every line end kept so
// that line numbers stay the same. Returns false with the lexer's message (code page 932,
// with its "chunk:line:" position) in `out` when the source has a lexical error.
// Precompiled chunks must not be given to it.
bool translateSource(std::string_view source, std::string_view chunkName, std::string& out);

// Script files are read as text files: unless the first byte is
// neither white space nor a printable ASCII character (then the file is read as binary data),
// each "\r\n" becomes "\n".
void readAsTextFile(std::string& bytes);

// A chunk that the runtime loads as it is (precompiled code).
constexpr bool isPrecompiled(std::string_view source) noexcept
{
    return !source.empty() && source.front() == '\x1b';
}

}  // namespace engine::profile
