#pragma once

#include "engine/Lua.h"

#include <cstdio>
#include <string_view>

// The script language as scripts of this system know it: "Lua 5.0.2 for Shift JIS", given
// by the 5.1 runtime plus this layer (library surface, error texts, scanner, I/O library).
namespace engine::profile {

inline constexpr const char kVersion[] = "Lua 5.0.2 for Shift JIS";

// Opens the standard libraries in this order (base, table, io with os, string, math, debug,
// loadlib) with the 5.0 surface laid over them. The standard streams of `io` are `in`, `out`
// and `err`; none of them is ever closed by scripts.
void openLibraries(lua_State* L, FILE* in, FILE* out, FILE* err);

// Loads a chunk through the scanner (precompiled chunks as they are). Returns the runtime's
// status; on failure the Japanese message is on the stack.
int loadBuffer(lua_State* L, std::string_view bytes, const char* chunkName);

// [-0, +0] Replaces the error value at `index` by its Japanese form when it is a message of
// the runtime; a script's own error values (raised with `error` or `assert`) are left alone.
// Must run inside a call from the interpreter (it may raise a memory error).
void translateError(lua_State* L, int index);

// [-0, +0] Lets host code translate messages of this state; a bare state gets only this, so
// that what goes wrong in it still reaches the user in Japanese. May raise a memory error.
void installTranslator(lua_State* L);

// The same from host code outside any call: the translation runs under protection.
void translateErrorProtected(lua_State* L, int index);

// After a call that ended with `status`: a memory error collects the garbage it left, so that
// the program can go on.
void recoverMemory(lua_State* L, int status);

// [-1, +1] Makes the message handler on top receive translated messages. The profile's own
// traceback translates by itself and stays as it is.
void wrapMessageHandler(lua_State* L);

}  // namespace engine::profile
