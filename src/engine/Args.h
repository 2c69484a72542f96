#pragma once

#include "Lua.h"

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

lua_Number checkNumber(lua_State* L, int narg);
lua_Number optNumber(lua_State* L, int narg, lua_Number fallback);
long long checkInteger(lua_State* L, int narg);
long long optInteger(lua_State* L, int narg, long long fallback);

void checkType(lua_State* L, int narg, int type);
void checkAny(lua_State* L, int narg);

// A full userdata whose metatable is the registry's `className`; null when it is not one.
void* testClass(lua_State* L, int narg, const char* className);

// Grows the stack by `extra` slots or raises the stack-overflow error naming `what`.
void checkStack(lua_State* L, int extra, std::string_view what);

}  // namespace engine::args
