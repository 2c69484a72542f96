#include "ValueTree.h"

#include "Format.h"
#include "Host.h"
#include "Messages.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

namespace engine {
namespace {

class TreeBuilder {
public:
    explicit TreeBuilder(lua_State* L) : m_state(L) {}

    LuaValuePtr convert(int index, int depth)
    {
        lua_State* L = m_state;
        switch (lua_type(L, index)) {
        case LUA_TBOOLEAN: return std::make_shared<LuaBoolean>(lua_toboolean(L, index) != 0);
        case LUA_TNUMBER: return std::make_shared<LuaNumber>(lua_tonumber(L, index));
        case LUA_TSTRING: {
            const char* s = lua_tostring(L, index);
            return std::make_shared<LuaString>(std::string(s, std::strlen(s)));
        }
        case LUA_TTABLE: return convertTable(index, depth);
        default: return {};
        }
    }

private:
    LuaValuePtr convertTable(int index, int depth)
    {
        lua_State* L = m_state;
        const void* identity = lua_topointer(L, index);
        if (m_open.contains(identity))
            throw HostError(msg::text(msg::Id::TableContainsItself));
        if (depth >= kMaxTreeDepth || !lua_checkstack(L, 3))
            throw HostError(format(msg::text(msg::Id::StackOverflow), {msg::text(msg::Id::TableTooDeep)}));
        m_open.insert(identity);

        auto table = std::make_shared<LuaTable>();
        lua_pushnil(L);  // [+1] traversal key
        while (lua_next(L, index) != 0) {  // [+1] key, value
            const int top = lua_gettop(L);
            LuaValuePtr key = convert(top - 1, depth + 1);
            LuaValuePtr value = convert(top, depth + 1);
            table->append(std::move(key), std::move(value));
            lua_pop(L, 1);  // keep the key for the next step
        }
        m_open.erase(identity);
        return table;
    }

    lua_State* m_state;
    // Tables on the path from the root to the table being converted. A shared table met again
    // on another path is copied again; one met on its own path would never end.
    std::unordered_set<const void*> m_open;
};

void pushNode(lua_State* L, const LuaValue* node, int depth)
{
    if (!node) {
        lua_pushnil(L);
        return;
    }
    switch (node->type()) {
    case LuaTable::kType: {
        if (depth >= kMaxTreeDepth || !lua_checkstack(L, 3))
            throw HostError(format(msg::text(msg::Id::StackOverflow), {msg::text(msg::Id::TableTooDeep)}));
        const auto& pairs = static_cast<const LuaTable*>(node)->pairs();
        lua_createtable(L, 0, 0);  // [+1]
        for (const LuaTable::Pair& pair : pairs) {
            pushNode(L, pair.first.get(), depth + 1);  // [+1]
            if (lua_isnil(L, -1) || (lua_type(L, -1) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -1)))) {
                // Assigning to a nil or NaN key would raise; the pair has no place in a table.
                lua_pop(L, 1);
                continue;
            }
            pushNode(L, pair.second.get(), depth + 1);  // [+1]
            lua_settable(L, -3);                        // [-2]
        }
        return;
    }
    case LuaNumber::kType: lua_pushnumber(L, static_cast<const LuaNumber*>(node)->value()); return;
    case LuaString::kType: lua_pushstring(L, static_cast<const LuaString*>(node)->value().c_str()); return;
    case LuaBoolean::kType: lua_pushboolean(L, static_cast<const LuaBoolean*>(node)->value() ? 1 : 0); return;
    default: lua_pushnil(L); return;
    }
}

}  // namespace

LuaValuePtr toTree(lua_State* L, int index)
{
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(L) + index + 1;
    return TreeBuilder(L).convert(index, 0);
}

void pushTree(lua_State* L, const LuaValuePtr& node)
{
    if (!lua_checkstack(L, 1))
        throw HostError(format(msg::text(msg::Id::StackOverflow), {msg::text(msg::Id::TableTooDeep)}));
    pushNode(L, node.get(), 0);
}

void collectResults(lua_State* L, LuaValueList& list)
{
    const int top = lua_gettop(L);
    list.reserve(list.size() + static_cast<std::size_t>(top));
    for (int i = 1; i <= top; ++i)
        list.push_back(toTree(L, i));
}

void pushAll(lua_State* L, const LuaValueList& list)
{
    if (list.size() > static_cast<std::size_t>(LUAI_MAXCSTACK) || !lua_checkstack(L, static_cast<int>(list.size())))
        throw HostError(format(msg::text(msg::Id::StackOverflow), {msg::text(msg::Id::TooManyResults)}));
    for (const LuaValuePtr& node : list)
        pushTree(L, node);
}

}  // namespace engine
