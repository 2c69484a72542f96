#include "ScriptCall.h"

#include "Format.h"
#include "Messages.h"
#include "profile/Profile.h"

#include <cstdio>

#include "ErrorReporter.h"
#include "Host.h"
#include "ScriptEngine.h"

namespace engine {

int profileStatus(int luaStatus) noexcept
{
    switch (luaStatus) {
    case 0: return StatusOk;
    case LUA_ERRRUN: return StatusRuntimeError;
    case LUA_ERRSYNTAX: return StatusSyntaxError;
    case LUA_ERRMEM: return StatusMemoryError;
    case LUA_ERRERR: return StatusHandlerError;
    default: return StatusFileError;
    }
}

int protectedCall(lua_State* L, int nargs, int nresults, bool useTraceback)
{
    if (!L)
        return -1;
    int handler = 0;
    if (useTraceback) {
        lua_pushliteral(L, "_TRACEBACK");
        if (fetchGlobal(L) && lua_isfunction(L, -1)) {
            profile::wrapMessageHandler(L);
            handler = lua_gettop(L) - nargs - 1;
            lua_insert(L, handler);
        } else {
            lua_pop(L, 1);
        }
    }
    const int status = protectedCallAt(L, nargs, nresults, handler);
    if (handler)
        lua_remove(L, handler);
    return status;
}

int protectedCallAt(lua_State* L, int nargs, int nresults, int handler)
{
    const int status = lua_pcall(L, nargs, nresults, handler);
    if (status != 0) {
        profile::recoverMemory(L, status);
        profile::translateErrorProtected(L, -1);
    }
    return profileStatus(status);
}

namespace {

struct EntryFrame {
    int (*run)(lua_State*, void*);
    void* body;
    int status;
};

int runEntry(lua_State* L)
{
    auto* frame = static_cast<EntryFrame*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    const int status = frame->run(L, frame->body);
    if (status != 0) {
        if (lua_gettop(L) == 0)
            lua_pushnil(L);
        frame->status = status;
        lua_error(L);
    }
    return 0;
}

}  // namespace

int detail::enterScript(lua_State* L, int (*run)(lua_State*, void*), void* body)
{
    if (!L)
        return -1;
    EntryFrame frame{run, body, 0};
    // Counted for the stall check, which asks about a script stuck inside one entry.
    struct Entry {
        ScriptEngine* engine;
        explicit Entry(ScriptEngine* e) noexcept : engine(e) { if (engine) engine->enterFromHost(); }
        ~Entry() { if (engine) engine->leaveToHost(); }
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
    } entry(ScriptEngine::fromAllocator(L));
    // The wrapper turns a host exception thrown by the body (out of memory) into a script error.
    const int status = lua_cpcall(L, hostFunction<runEntry>, &frame);
    if (status == 0)
        return 0;
    if (frame.status != 0)
        return frame.status;
    // Raised by the entry itself: a memory error or a finaliser's error.
    profile::recoverMemory(L, status);
    profile::translateErrorProtected(L, -1);
    return profileStatus(status);
}

std::string scriptErrorText(int status, const std::string* errorText)
{
    const std::string& detail = errorText ? *errorText : msg::text(msg::Id::ErrorWithNoMessage);
    msg::Id id = msg::Id::RuntimeErrorReport;
    if (status == StatusSyntaxError)
        id = msg::Id::SyntaxErrorReport;
    else if (status == StatusMemoryError)
        id = msg::Id::MemoryErrorReport;
    return format(msg::text(id), {status, detail});
}

void reportScriptError(lua_State* L, int status)
{
    if (status == 0)
        return;
    // Whatever path the error took, the box shows the runtime's messages in Japanese.
    profile::translateErrorProtected(L, -1);
    std::string text;
    const int type = lua_type(L, -1);
    const bool hasText = type == LUA_TSTRING || type == LUA_TNUMBER;
    if (type == LUA_TSTRING) {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        text.assign(s, len);
    } else if (hasText) {
        // Formatted here: converting on the stack would allocate outside any protected call.
        char number[LUAI_MAXNUMBER2STR];
        std::snprintf(number, sizeof number, LUA_NUMBER_FMT, lua_tonumber(L, -1));
        text = number;
    }
    const std::string message = scriptErrorText(status, hasText ? &text : nullptr);
    // Pop before the box: its event loop may run other events on this state.
    lua_pop(L, 1);
    reportError({ErrorSource::Script, msg::text(msg::Id::ScriptErrorCaption), message});
}

namespace {

int lookupGlobal(lua_State* L)
{
    lua_gettable(L, LUA_GLOBALSINDEX);
    return 1;
}

}  // namespace

bool fetchGlobal(lua_State* L)
{
    // Without a metatable on the globals the lookup cannot raise, so it needs no protection.
    if (!lua_getmetatable(L, LUA_GLOBALSINDEX)) {
        lua_rawget(L, LUA_GLOBALSINDEX);
        return true;
    }
    lua_pop(L, 1);
    lua_pushcfunction(L, lookupGlobal);
    lua_insert(L, -2);
    if (lua_pcall(L, 1, 1, 0) != 0) {
        lua_pop(L, 1);
        lua_pushnil(L);
        return false;
    }
    return true;
}

int pushTrue(lua_State* L) { return pushBool(L, true); }
int pushFalse(lua_State* L) { return pushBool(L, false); }

int pushBool(lua_State* L, bool value)
{
    lua_pushboolean(L, value ? 1 : 0);
    return 1;
}

int pushNumber(lua_State* L, lua_Number value)
{
    lua_pushnumber(L, value);
    return 1;
}

void replaceWithRegistry(lua_State* L, const char* name)
{
    lua_pushstring(L, name);
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_remove(L, -2);
}

}  // namespace engine
