#include "Args.h"

#include "Format.h"
#include "Messages.h"

#include <cstring>

namespace engine::args {

void raise(lua_State* L, std::string_view text)
{
    luaL_where(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    lua_concat(L, 2);
    lua_error(L);
    __builtin_unreachable();
}

void argError(lua_State* L, int narg, std::string_view detail)
{
    lua_Debug ar;
    std::memset(&ar, 0, sizeof ar);
    const bool known = lua_getstack(L, 0, &ar) != 0;
    if (known)
        lua_getinfo(L, "n", &ar);
    if (known && ar.namewhat && std::strcmp(ar.namewhat, "method") == 0) {
        --narg;
        if (narg == 0)
            raise(L, format(msg::text(msg::Id::ArgBadSelf), {ar.name ? ar.name : "?", detail}));
    }
    const char* name = known && ar.name ? ar.name : "?";
    raise(L, format(msg::text(msg::Id::ArgBad), {name, narg, detail}));
}

void typeError(lua_State* L, int narg, const char* expected)
{
    argError(L, narg, format(msg::text(msg::Id::ArgTypeMismatch), {luaL_typename(L, narg), expected}));
}

std::string_view checkString(lua_State* L, int narg)
{
    std::size_t len = 0;
    const char* s = lua_tolstring(L, narg, &len);
    if (!s)
        typeError(L, narg, lua_typename(L, LUA_TSTRING));
    return {s, len};
}

std::optional<std::string_view> optString(lua_State* L, int narg)
{
    if (lua_isnoneornil(L, narg))
        return std::nullopt;
    return checkString(L, narg);
}

std::string_view optString(lua_State* L, int narg, std::string_view fallback)
{
    return optString(L, narg).value_or(fallback);
}

lua_Number checkNumber(lua_State* L, int narg)
{
    const lua_Number d = lua_tonumber(L, narg);
    if (d == 0 && !lua_isnumber(L, narg))
        typeError(L, narg, lua_typename(L, LUA_TNUMBER));
    return d;
}

lua_Number optNumber(lua_State* L, int narg, lua_Number fallback)
{
    return lua_isnoneornil(L, narg) ? fallback : checkNumber(L, narg);
}

long long checkInteger(lua_State* L, int narg)
{
    return static_cast<long long>(checkNumber(L, narg));
}

long long optInteger(lua_State* L, int narg, long long fallback)
{
    return lua_isnoneornil(L, narg) ? fallback : checkInteger(L, narg);
}

void checkType(lua_State* L, int narg, int type)
{
    if (lua_type(L, narg) != type)
        typeError(L, narg, lua_typename(L, type));
}

void checkAny(lua_State* L, int narg)
{
    if (lua_type(L, narg) == LUA_TNONE)
        argError(L, narg, msg::text(msg::Id::ArgValueExpected));
}

void* testClass(lua_State* L, int narg, const char* className)
{
    void* p = lua_touserdata(L, narg);
    if (!p || lua_islightuserdata(L, narg) || !lua_getmetatable(L, narg))
        return nullptr;
    lua_getfield(L, LUA_REGISTRYINDEX, className);
    const bool same = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return same ? p : nullptr;
}

void checkStack(lua_State* L, int extra, std::string_view what)
{
    if (!lua_checkstack(L, extra))
        raise(L, format(msg::text(msg::Id::StackOverflow), {what}));
}

}  // namespace engine::args
