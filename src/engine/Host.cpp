#include "Host.h"

#include "Format.h"
#include "Messages.h"

namespace engine {

void raiseHostFailure(lua_State* L, const std::string& text)
{
    luaL_where(L, 1);
    lua_pushlstring(L, text.data(), text.size());
    lua_concat(L, 2);
    lua_error(L);
    __builtin_unreachable();
}

const std::string& outOfMemoryText() { return msg::text(msg::Id::NotEnoughMemory); }

std::string internalErrorText(const std::exception& e)
{
    // The exception's own text is ASCII from the library; the sentence around it is ours.
    return format(msg::text(msg::Id::HostInternalError), {e.what()});
}

void registerClass(lua_State* L, const char* className, std::span<const HostFunction> methods)
{
    if (luaL_newmetatable(L, className)) {  // [+1] registry[name] = mt
        lua_pushvalue(L, -1);
        lua_pushstring(L, className);
        lua_rawset(L, LUA_REGISTRYINDEX);  // registry[mt] = name, which class checks rely on
    }
    lua_pushliteral(L, "__index");
    lua_pushvalue(L, -2);
    lua_rawset(L, -3);
    for (const HostFunction& m : methods) {
        lua_pushstring(L, m.name);
        lua_pushcfunction(L, m.function);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}

void registerTable(lua_State* L, const char* name, std::span<const HostFunction> functions)
{
    lua_getfield(L, LUA_GLOBALSINDEX, name);  // [+1]
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setfield(L, LUA_GLOBALSINDEX, name);
    }
    for (const HostFunction& f : functions) {
        lua_pushstring(L, f.name);
        lua_pushcfunction(L, f.function);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}

}  // namespace engine
