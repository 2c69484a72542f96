#pragma once

#include "Lua.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The one family of argument checks for host functions. Their errors carry the system's own
// texts, numbered as the caller sees the arguments (a method's self is not counted).
namespace engine::args {

// Raises `text` as a script error with the "chunk:line: " prefix of the calling script.
[[noreturn]] void raise(lua_State* L, std::string_view text);

// "bad argument" with a detail text; argument 1 of a method becomes the bad-self error.
[[noreturn]] void argError(lua_State* L, int narg, std::string_view detail);
// Wrong type: the detail names the given type and `expected`.
[[noreturn]] void typeError(lua_State* L, int narg, const char* expected);

std::string_view checkString(lua_State* L, int narg);
std::optional<std::string_view> optString(lua_State* L, int narg);
std::string_view optString(lua_State* L, int narg, std::string_view fallback);

// The text of the value at `narg` through the script's `tostring`, zero bytes included.
// A failing `tostring` is reported; the caller's values are left untouched and the result is false.
bool toText(lua_State* L, int narg, std::string& out);
// The text of argument `narg` through `tostring`; raises the "no text" error when there is none.
std::string checkText(lua_State* L, int narg);
// Raises the error for a `tostring` that gave no text.
[[noreturn]] void raiseToTextError(lua_State* L);

// The number at `narg` when the script's number test accepts it (a numeric text included);
// none otherwise, without an error.
std::optional<lua_Number> testNumber(lua_State* L, int narg);
// Argument `narg` as a byte count; none when it is no number or out of range (see toByteCount).
std::optional<std::uint32_t> testByteCount(lua_State* L, int narg);
// Argument `narg` as a 32-bit word (see toWord); none when it is no number.
std::optional<std::uint32_t> testWord(lua_State* L, int narg);
// Argument `narg` as a signed 32-bit value; none when it is no number or does not fit.
std::optional<std::int32_t> testInt32(lua_State* L, int narg);

// Conversions of script numbers to the sizes and positions of the host, truncating toward zero.
// A byte count: none for NaN, negative values and values beyond 32 bits.
std::optional<std::uint32_t> toByteCount(lua_Number value);
// The low 32 bits of the truncated value, as a 32-bit word passed on unchecked would carry them;
// 0 for values that are not finite.
std::uint32_t toWord(lua_Number value);
// A signed 32-bit value; none when the truncated value does not fit.
std::optional<std::int32_t> toInt32(lua_Number value);

// Conversions for values whose out-of-range results are not otherwise defined: truncated toward
// zero and held within the target's range (the nearest value it has); 0 for NaN.
long long clampInteger(lua_Number value) noexcept;
std::int32_t clampInt32(lua_Number value) noexcept;
std::int32_t clampInt32(long long value) noexcept;
std::size_t clampSize(lua_Number value) noexcept;  // negative values give 0

lua_Number checkNumber(lua_State* L, int narg);
lua_Number optNumber(lua_State* L, int narg, lua_Number fallback);
// Integer arguments, through clampInteger / clampInt32.
long long checkInteger(lua_State* L, int narg);
long long optInteger(lua_State* L, int narg, long long fallback);
int checkInt(lua_State* L, int narg);
int optInt(lua_State* L, int narg, int fallback);

void checkType(lua_State* L, int narg, int type);
void checkAny(lua_State* L, int narg);

// A full userdata whose metatable is the registry's `className`; null when it is not one.
void* testClass(lua_State* L, int narg, const char* className);

// Grows the stack by `extra` slots or raises the stack-overflow error naming `what`.
void checkStack(lua_State* L, int extra, std::string_view what);

}  // namespace engine::args
