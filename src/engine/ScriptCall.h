#pragma once

#include "Lua.h"

#include <string>
#include <type_traits>

// Helpers that every host call into script and every host function uses.
namespace engine {

// Status codes as scripts of this system know them (the interpreter's own numbering differs).
enum Status : int {
    StatusOk = 0,
    StatusRuntimeError = 1,
    StatusFileError = 2,
    StatusSyntaxError = 3,
    StatusMemoryError = 4,
    StatusHandlerError = 5,
};

// The interpreter's status translated to the numbering above.
int profileStatus(int luaStatus) noexcept;

// Calls the function below the top `nargs` values. With `useTraceback`, a global _TRACEBACK
// that is a function becomes the message handler. Returns the status above; -1 without a state.
int protectedCall(lua_State* L, int nargs, int nresults, bool useTraceback);

// The interpreter's protected call with the message handler (or 0) already on the stack;
// every host call into script ends here. Returns the status above.
int protectedCallAt(lua_State* L, int nargs, int nresults, int handler);

namespace detail {
int enterScript(lua_State* L, int (*run)(lua_State*, void*), void* body);
}

// The one way from host code (start-up, Qt handlers, callbacks) into the interpreter. `body`
// is called as `int body(lua_State*)` inside a protected call, on an empty frame of its own:
// everything it does that may raise (making strings, tables and references, collecting, the
// call itself) ends in a status instead of the interpreter's panic. Its values are dropped when
// it returns, so it reads its results itself. A body that returns a status other than 0 leaves
// that failure's error value on top; it is handed out as it is, so the caller can report it
// outside. Returns 0, or the status with the error value pushed; -1 without a state.
template <typename Body>
int enterScript(lua_State* L, Body&& body)
{
    using B = std::remove_reference_t<Body>;
    return detail::enterScript(L, [](lua_State* S, void* b) -> int { return (*static_cast<B*>(b))(S); }, &body);
}

// Shows the error value on top in the script error box and pops it; nothing when status is 0.
void reportScriptError(lua_State* L, int status);

// The text the script error box shows for `status` and the error value's text.
std::string scriptErrorText(int status, const std::string* errorText);

// [-1, +1] Replaces the name on top by the global of that name. False when the lookup raised
// (the top is then nil).
bool fetchGlobal(lua_State* L);

// Small stack helpers; each returns the number of pushed results.
int pushTrue(lua_State* L);
int pushFalse(lua_State* L);
int pushBool(lua_State* L, bool value);
int pushNumber(lua_State* L, lua_Number value);
// [-1, +1] Replaces the top value by the registry entry `name`.
void replaceWithRegistry(lua_State* L, const char* name);

}  // namespace engine
