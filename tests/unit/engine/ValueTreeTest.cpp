#include "EngineTestSupport.h"

#include "engine/Host.h"
#include "engine/Messages.h"
#include "engine/ValueTree.h"

#include <cmath>
#include <cstring>

using enginetest::EngineFixture;

namespace {

using engine::LuaValueList;
using engine::LuaValuePtr;

class ValueTreeTest : public EngineFixture {
protected:
    // The tree of the global `name`.
    LuaValuePtr treeOf(const char* name)
    {
        lua_getglobal(L(), name);
        LuaValuePtr tree = engine::toTree(L(), -1);
        lua_pop(L(), 1);
        return tree;
    }

    // Pushes `tree` into the global `name`.
    void assign(const char* name, const LuaValuePtr& tree)
    {
        engine::pushTree(L(), tree);
        lua_setglobal(L(), name);
    }

    bool truthy(const char* name)
    {
        lua_getglobal(L(), name);
        const bool yes = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return yes;
    }

    // The text of a script error raised by `code`, run through a protected call.
    std::string errorOf(const std::string& code)
    {
        if (luaL_dostring(L(), code.c_str()) == 0)
            return "<no error>";
        std::string text = lua_tostring(L(), -1);
        lua_pop(L(), 1);
        return text;
    }

    // A host function `copy(v)` returning a copy of v made through the tree.
    void installCopy()
    {
        lua_pushcfunction(L(), &engine::hostFunction<copyThroughTree>);
        lua_setglobal(L(), "copy");
    }

    static int copyThroughTree(lua_State* L)
    {
        LuaValueList list;
        engine::collectResults(L, list);
        lua_settop(L, 0);
        engine::pushAll(L, list);
        return static_cast<int>(list.size());
    }
};

TEST(ValueTreeTypes, CodesSpellTheirNamesInMemoryOrder)
{
    auto spelled = [](std::uint32_t code) {
        char bytes[4];
        std::memcpy(bytes, &code, 4);
        return std::string(bytes, 4);
    };
    EXPECT_EQ(spelled(engine::LuaBoolean(true).type()), "BOOL");
    EXPECT_EQ(spelled(engine::LuaNumber(1).type()), "NUM ");
    EXPECT_EQ(spelled(engine::LuaString("").type()), "STR ");
    EXPECT_EQ(spelled(engine::LuaTable().type()), "TBL ");
    EXPECT_EQ(engine::LuaBoolean::kType, 0x4C4F4F42u);
    EXPECT_EQ(engine::LuaNumber::kType, 0x204D554Eu);
    EXPECT_EQ(engine::LuaString::kType, 0x20525453u);
    EXPECT_EQ(engine::LuaTable::kType, 0x204C4254u);
}

TEST_F(ValueTreeTest, ScalarsAndValuesTheTreeCannotCarry)
{
    run("b = true n = 2.5 s = 'a\\0b' f = print");
    const int top = lua_gettop(L());
    const LuaValuePtr b = treeOf("b");
    ASSERT_EQ(b->type(), engine::LuaBoolean::kType);
    EXPECT_TRUE(static_cast<const engine::LuaBoolean&>(*b).value());
    const LuaValuePtr n = treeOf("n");
    ASSERT_EQ(n->type(), engine::LuaNumber::kType);
    EXPECT_EQ(static_cast<const engine::LuaNumber&>(*n).value(), 2.5);
    const LuaValuePtr s = treeOf("s");
    ASSERT_EQ(s->type(), engine::LuaString::kType);
    EXPECT_EQ(static_cast<const engine::LuaString&>(*s).value(), "a") << "a string ends at its first zero byte";
    EXPECT_FALSE(treeOf("f"));
    EXPECT_FALSE(treeOf("undefined"));
    EXPECT_EQ(lua_gettop(L()), top);

    engine::pushTree(L(), nullptr);
    EXPECT_TRUE(lua_isnil(L(), -1));
    lua_pop(L(), 1);
}

TEST_F(ValueTreeTest, TablesAreCopiedDeeplyWithoutWhatTheTreeCannotCarry)
{
    run("t = {x = 2, 3, f = print, inner = {y = 'z', [true] = false}, [print] = 1}");
    assign("c", treeOf("t"));
    run("ok = c ~= t and c.x == 2 and c[1] == 3 and c.f == nil and c.inner ~= t.inner"
        " and c.inner.y == 'z' and c.inner[true] == false");
    EXPECT_TRUE(truthy("ok"));
    run("n = 0 for k in pairs(c) do n = n + 1 end");
    EXPECT_EQ(global("n"), "3") << "x, 1, inner; the function value and the function key are left out";
}

TEST_F(ValueTreeTest, SharedSubtablesAreCopiedTwice)
{
    installCopy();
    run("s = {v = 1} a, b = copy({p = s, q = s}) c = a.p ~= a.q and a.p.v == 1 and a.q.v == 1 and b == nil");
    EXPECT_TRUE(truthy("c"));
}

TEST_F(ValueTreeTest, ResultsKeepTheirOrderAndCount)
{
    installCopy();
    run("a, b, c, d, e = copy(1, 'a', true, {x = 2, 3}, nil)"
        " ok = a == 1 and b == 'a' and c == true and d.x == 2 and d[1] == 3 and e == nil"
        " n = select('#', copy(1, nil, 2))");
    EXPECT_TRUE(truthy("ok"));
    EXPECT_EQ(global("n"), "3") << "a nil in the middle is pushed as nil";
}

TEST_F(ValueTreeTest, SelfContainingTablesRaiseAScriptError)
{
    installCopy();
    const std::string cycle = engine::msg::text(engine::msg::Id::TableContainsItself);
    EXPECT_NE(errorOf("t = {} t.me = t copy(t)").find(cycle), std::string::npos);
    EXPECT_NE(errorOf("a = {} b = {a} a[1] = {b} copy(a)").find(cycle), std::string::npos) << "a cycle through others";
    EXPECT_NE(errorOf("k = {} k[k] = 1 copy(k)").find(cycle), std::string::npos) << "a table as its own key";
    EXPECT_EQ(errorOf("copy({})").find(cycle), std::string::npos);
    EXPECT_EQ(lua_gettop(L()), 0);
}

TEST_F(ValueTreeTest, DeepNestingPassesUpToTheLimit)
{
    installCopy();
    run("function nest(n) local t = {} local top = t for i = 1, n do t.next = {} t = t.next end t.leaf = 'bottom' return top end"
        " c = copy(nest(1000)) for i = 1, 1000 do c = c.next end leaf = c.leaf");
    EXPECT_EQ(global("leaf"), "bottom");
    const std::string deep = engine::msg::text(engine::msg::Id::TableTooDeep);
    EXPECT_NE(errorOf("copy(nest(" + std::to_string(engine::kMaxTreeDepth + 5) + "))").find(deep), std::string::npos);
}

TEST_F(ValueTreeTest, TraversalIsRaw)
{
    installCopy();
    run("t = setmetatable({own = 1}, {__index = {inherited = 2}}) c = copy(t)"
        " ok = c.own == 1 and c.inherited == nil and getmetatable(c) == nil");
    EXPECT_TRUE(truthy("ok"));
}

TEST_F(ValueTreeTest, HandMadeTreesWithUnusableKeysLeaveThosePairsOut)
{
    auto table = std::make_shared<engine::LuaTable>();
    table->append(nullptr, std::make_shared<engine::LuaNumber>(1));
    table->append(std::make_shared<engine::LuaNumber>(std::nan("")), std::make_shared<engine::LuaNumber>(2));
    table->append(std::make_shared<engine::LuaString>("k"), std::make_shared<engine::LuaNumber>(3));
    assign("t", table);
    run("n = 0 for k, v in pairs(t) do n = n + 1 end v = t.k");
    EXPECT_EQ(global("n"), "1");
    EXPECT_EQ(global("v"), "3");
}

}  // namespace
