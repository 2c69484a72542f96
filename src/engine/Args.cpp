#include "Args.h"

#include "Format.h"
#include "Messages.h"
#include "ScriptCall.h"

#include <algorithm>
#include <climits>
#include <cmath>
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

bool toText(lua_State* L, int narg, std::string& out)
{
    if (narg < 0 && narg > LUA_REGISTRYINDEX)
        narg = lua_gettop(L) + narg + 1;
    // A missing argument is nil, not whatever the lookup below leaves at its index.
    const bool missing = narg > 0 && narg > lua_gettop(L);
    lua_pushliteral(L, "tostring");
    fetchGlobal(L);
    if (missing)
        lua_pushnil(L);
    else
        lua_pushvalue(L, narg);
    const int status = protectedCall(L, 1, 1, true);
    if (status != 0) {
        reportScriptError(L, status);
        return false;
    }
    const int type = lua_type(L, -1);
    const bool ok = type == LUA_TSTRING || type == LUA_TNUMBER;
    if (ok) {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        out.assign(s, len);
    }
    lua_pop(L, 1);
    return ok;
}

std::string checkText(lua_State* L, int narg)
{
    std::string text;
    if (!toText(L, narg, text))
        raiseToTextError(L);
    return text;
}

void raiseToTextError(lua_State* L) { raise(L, msg::text(msg::Id::ToStringNotText)); }

std::optional<lua_Number> testNumber(lua_State* L, int narg)
{
    if (!lua_isnumber(L, narg))
        return std::nullopt;
    return lua_tonumber(L, narg);
}

std::optional<std::uint32_t> testByteCount(lua_State* L, int narg)
{
    const std::optional<lua_Number> number = testNumber(L, narg);
    return number ? toByteCount(*number) : std::nullopt;
}

std::optional<std::uint32_t> testWord(lua_State* L, int narg)
{
    const std::optional<lua_Number> number = testNumber(L, narg);
    return number ? std::optional<std::uint32_t>(toWord(*number)) : std::nullopt;
}

std::optional<std::int32_t> testInt32(lua_State* L, int narg)
{
    const std::optional<lua_Number> number = testNumber(L, narg);
    return number ? toInt32(*number) : std::nullopt;
}

std::optional<std::uint32_t> toByteCount(lua_Number value)
{
    if (!(value >= 0) || value >= 4294967296.0)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::uint32_t toWord(lua_Number value)
{
    if (!std::isfinite(value))
        return 0;
    double t = std::trunc(std::fmod(value, 4294967296.0));
    if (t < 0)
        t += 4294967296.0;
    return static_cast<std::uint32_t>(t);
}

std::optional<std::int32_t> toInt32(lua_Number value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
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

long long clampInteger(lua_Number value) noexcept
{
    // 2^63 is exact as a double; every double below it converts.
    constexpr lua_Number kLimit = 9223372036854775808.0;
    if (std::isnan(value))
        return 0;
    if (value >= kLimit)
        return LLONG_MAX;
    if (value <= -kLimit)
        return LLONG_MIN;
    return static_cast<long long>(value);
}

std::int32_t clampInt32(lua_Number value) noexcept
{
    return clampInt32(clampInteger(value));
}

std::int32_t clampInt32(long long value) noexcept
{
    return static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

std::size_t clampSize(lua_Number value) noexcept
{
    const long long n = clampInteger(value);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

long long checkInteger(lua_State* L, int narg)
{
    return clampInteger(checkNumber(L, narg));
}

long long optInteger(lua_State* L, int narg, long long fallback)
{
    return lua_isnoneornil(L, narg) ? fallback : checkInteger(L, narg);
}

int checkInt(lua_State* L, int narg)
{
    return clampInt32(checkNumber(L, narg));
}

int optInt(lua_State* L, int narg, int fallback)
{
    return lua_isnoneornil(L, narg) ? fallback : checkInt(L, narg);
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
