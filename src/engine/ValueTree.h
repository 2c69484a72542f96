#pragma once

#include "Lua.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Script values copied out of one interpreter state and into another (or read by the host):
// booleans, numbers, strings and tables, as shared immutable nodes.
namespace engine {

constexpr std::uint32_t fourCharCode(char a, char b, char c, char d) noexcept
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) | static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

class LuaValue {
public:
    virtual ~LuaValue() = default;
    // The node's kind as a four-character code (bytes in memory order).
    virtual std::uint32_t type() const noexcept = 0;
};

// A shared owner of a node. An empty owner stands for a value the tree cannot carry (nil, a
// function, userdata, a thread).
using LuaValuePtr = std::shared_ptr<const LuaValue>;
using LuaValueList = std::vector<LuaValuePtr>;

class LuaBoolean final : public LuaValue {
public:
    static constexpr std::uint32_t kType = fourCharCode('B', 'O', 'O', 'L');
    explicit LuaBoolean(bool value) noexcept : m_value(value) {}
    std::uint32_t type() const noexcept override { return kType; }
    bool value() const noexcept { return m_value; }

private:
    bool m_value;
};

class LuaNumber final : public LuaValue {
public:
    static constexpr std::uint32_t kType = fourCharCode('N', 'U', 'M', ' ');
    explicit LuaNumber(double value) noexcept : m_value(value) {}
    std::uint32_t type() const noexcept override { return kType; }
    double value() const noexcept { return m_value; }

private:
    double m_value;
};

class LuaString final : public LuaValue {
public:
    static constexpr std::uint32_t kType = fourCharCode('S', 'T', 'R', ' ');
    explicit LuaString(std::string value) : m_value(std::move(value)) {}
    std::uint32_t type() const noexcept override { return kType; }
    const std::string& value() const noexcept { return m_value; }

private:
    std::string m_value;
};

class LuaTable final : public LuaValue {
public:
    static constexpr std::uint32_t kType = fourCharCode('T', 'B', 'L', ' ');
    using Pair = std::pair<LuaValuePtr, LuaValuePtr>;
    std::uint32_t type() const noexcept override { return kType; }
    void append(LuaValuePtr key, LuaValuePtr value) { m_pairs.emplace_back(std::move(key), std::move(value)); }
    const std::vector<Pair>& pairs() const noexcept { return m_pairs; }

private:
    std::vector<Pair> m_pairs;
};

// Tables nested deeper than this are refused; deep enough for any data a script builds by hand.
inline constexpr int kMaxTreeDepth = 2000;

// The value at `index` as a tree. A string keeps its bytes up to the first zero byte; a table
// keeps its pairs in traversal order (raw, no metamethods). A table that contains itself, or
// nesting deeper than kMaxTreeDepth, throws HostError: call it only inside a host function
// (hostFunction turns the error into a script error), or on a state no script runs in.
LuaValuePtr toTree(lua_State* L, int index);

// [-0, +1] Pushes the value of `node` (nil for an empty owner or an unknown kind). Tables are
// new tables filled by ordinary assignment; a pair whose key or value pushes as nil is left out.
void pushTree(lua_State* L, const LuaValuePtr& node);

// Appends the trees of stack entries 1 .. top, in order.
void collectResults(lua_State* L, LuaValueList& list);
// [-0, +list.size()] Pushes every tree of the list, in order.
void pushAll(lua_State* L, const LuaValueList& list);

}  // namespace engine
