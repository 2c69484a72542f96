#pragma once

#include "Lua.h"

#include <cassert>
#include <exception>
#include <span>
#include <stdexcept>
#include <string>

namespace engine {

// A failure inside a host function that should reach the script as an error with this text
// (code page 932). Thrown only inside `hostFunction`, which turns it into a script error.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises the pending host failure after every catch block has closed, so that the
// interpreter's own unwinding never passes through a handler.
[[noreturn]] void raiseHostFailure(lua_State* L, const std::string& text);
const std::string& outOfMemoryText();
std::string internalErrorText(const std::exception& e);

// Every host function enters through this wrapper: host exceptions become script errors;
// the interpreter's own errors (not std::exception) pass through untouched (never catch (...) here).
template <lua_CFunction F>
int hostFunction(lua_State* L)
{
    std::string failure;
    try {
        return F(L);
    } catch (const std::bad_alloc&) {
        failure = outOfMemoryText();
    } catch (const HostError& e) {
        failure = e.what();
    } catch (const std::exception& e) {
        // Any other exception of the standard library (a length or range error): the call
        // fails as a script error instead of ending the program.
        failure = internalErrorText(e);
    }
    raiseHostFailure(L, failure);
}

// One script-visible function: its name is written once, here, beside the C++ symbol.
struct HostFunction {
    const char* name;
    lua_CFunction function;
};

#define SELVARIN_HOST(name, fn) ::engine::HostFunction{name, &::engine::hostFunction<fn>}

// One entry of the registration order: a class metatable, a global table or a global function.
struct HostLibrary {
    const char* name;
    void (*install)(lua_State* L);
};

// Creates (or fetches) the registry metatable `className`, makes it its own "__index" and
// stores `methods` in it.
void registerClass(lua_State* L, const char* className, std::span<const HostFunction> methods);
// Fills the global table `name` (created unless it already is a table) with `functions`.
void registerTable(lua_State* L, const char* name, std::span<const HostFunction> functions);

// Checks in debug builds that a scope leaves the stack as it found it (plus `delta`), except
// while an error unwinds through it. Costs nothing in release builds.
class StackGuard {
public:
#ifdef NDEBUG
    explicit StackGuard(lua_State*, int = 0) noexcept {}
#else
    explicit StackGuard(lua_State* L, int delta = 0) noexcept
        : m_state(L), m_expected(lua_gettop(L) + delta), m_exceptions(std::uncaught_exceptions())
    {
    }
    ~StackGuard()
    {
        if (std::uncaught_exceptions() == m_exceptions)
            assert(lua_gettop(m_state) == m_expected && "unbalanced interpreter stack");
    }
#endif
    StackGuard(const StackGuard&) = delete;
    StackGuard& operator=(const StackGuard&) = delete;

#ifndef NDEBUG
private:
    lua_State* m_state;
    int m_expected;
    int m_exceptions;
#endif
};

}  // namespace engine
