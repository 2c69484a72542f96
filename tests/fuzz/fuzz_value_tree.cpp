// Builds a value from the input with a small stack machine, copies it through the value tree
// into a second state and back, and requires the two trees to agree.
#include "engine/Lua.h"
#include "engine/ValueTree.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};
using State = std::unique_ptr<lua_State, StateCloser>;

bool same(const engine::LuaValuePtr& a, const engine::LuaValuePtr& b)
{
    if (!a || !b)
        return !a && !b;
    if (a->type() != b->type())
        return false;
    using namespace engine;
    switch (a->type()) {
    case LuaNumber::kType: {
        const double x = static_cast<const LuaNumber&>(*a).value(), y = static_cast<const LuaNumber&>(*b).value();
        return x == y || (x != x && y != y);
    }
    case LuaString::kType: return static_cast<const LuaString&>(*a).value() == static_cast<const LuaString&>(*b).value();
    case LuaBoolean::kType: return static_cast<const LuaBoolean&>(*a).value() == static_cast<const LuaBoolean&>(*b).value();
    default: return true;  // tables: their pair order depends on the new table's hashing
    }
}

// toTree raises for cycles and depth: inside a protected call, as a host function would run it.
int convert(lua_State* L)
{
    auto* out = static_cast<engine::LuaValuePtr*>(lua_touserdata(L, 1));
    *out = engine::toTree(L, 2);
    return 0;
}

bool protectedTree(lua_State* L, int index, engine::LuaValuePtr& out)
{
    lua_pushcfunction(L, convert);
    lua_pushlightuserdata(L, &out);
    lua_pushvalue(L, index);
    return lua_pcall(L, 2, 0, 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    State a(luaL_newstate());
    lua_newtable(a.get());
    for (std::size_t i = 0; i < size && lua_gettop(a.get()) < 200; ++i) {
        lua_State* L = a.get();
        if (!lua_checkstack(L, 4))
            break;
        const std::uint8_t op = data[i];
        switch (op % 8) {
        case 0: lua_pushnumber(L, static_cast<double>(static_cast<std::int8_t>(op)) / 3); break;
        case 1: lua_pushlstring(L, reinterpret_cast<const char*>(data + i), std::min<std::size_t>(op >> 3, size - i)); break;
        case 2: lua_pushboolean(L, op & 8); break;
        case 3: lua_newtable(L); break;
        case 4: lua_pushnil(L); break;
        case 5:  // t[k] = v for the three values on top, when they fit
            if (lua_gettop(L) >= 3 && lua_istable(L, -3) && !lua_isnil(L, -2) &&
                !(lua_type(L, -2) == LUA_TNUMBER && lua_tonumber(L, -2) != lua_tonumber(L, -2)))
                lua_rawset(L, -3);
            break;
        case 6:  // a reference to a lower value: shared tables and cycles
            lua_pushvalue(L, 1 + (op >> 3) % lua_gettop(L));
            break;
        default: lua_pushnumber(L, 0.0 / 0.0 * (op & 8)); break;
        }
    }
    engine::LuaValuePtr first;
    if (!lua_checkstack(a.get(), 4))
        return 0;
    if (!protectedTree(a.get(), 1, first))
        return 0;  // a cycle or too deep: refused, not crashed
    State b(luaL_newstate());
    engine::pushTree(b.get(), first);
    engine::LuaValuePtr second;
    if (!protectedTree(b.get(), lua_gettop(b.get()), second) || !same(first, second))
        std::abort();
    return 0;
}
