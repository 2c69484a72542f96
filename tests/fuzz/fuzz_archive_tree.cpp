// Builds the archive tree from a plug-in's list block, pushes it into a state and walks the
// result: every node appears once, files carry their sizes, nothing is read outside the block.
// An input whose first byte is odd is a compact form (records as lines "path\tname") that
// reaches deep and shared folders more often than raw records do.
#include "image/ArchiveTree.h"

#include <selvarin/spi.h>

#include <lua.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

std::vector<std::byte> compactList(std::string_view text)
{
    std::vector<std::byte> block;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t tab = line.find('\t');
        const std::string_view path = line.substr(0, tab);
        const std::string_view name = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        SpiFileInfo r{};
        std::memcpy(r.method, "m", 1);
        r.position = static_cast<std::uint32_t>(block.size());
        std::memcpy(r.path, path.data(), std::min(path.size(), sizeof r.path));
        std::memcpy(r.filename, name.data(), std::min(name.size(), sizeof r.filename));
        const std::size_t at = block.size();
        block.resize(at + sizeof r);
        std::memcpy(block.data() + at, &r, sizeof r);
    }
    block.push_back(std::byte{0});
    return block;
}

// Stack: ... array -> ... array. Counts the tables below, checking each one's form.
std::size_t walk(lua_State* L, std::size_t depth)
{
    if (depth > 200 || !lua_checkstack(L, 4))
        std::abort();
    std::size_t count = 0;
    const std::size_t n = lua_objlen(L, -1);
    for (std::size_t i = 1; i <= n; ++i) {
        lua_rawgeti(L, -1, static_cast<int>(i));
        if (!lua_istable(L, -1))
            std::abort();
        lua_getfield(L, -1, "isFile");
        const bool isFile = lua_toboolean(L, -1);
        lua_getfield(L, -2, "filesize");
        if (isFile != (lua_type(L, -1) == LUA_TNUMBER))
            std::abort();
        lua_getfield(L, -3, "filepath");
        if (lua_type(L, -1) != LUA_TSTRING)
            std::abort();
        lua_pop(L, 3);
        lua_getfield(L, -1, "children");
        if (lua_istable(L, -1)) {
            if (isFile)
                std::abort();
            count += walk(L, depth + 1);
        }
        lua_pop(L, 2);
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::vector<std::byte> block;
    if (data[0] & 1) {
        block = compactList(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        // An exact-size copy, so that the sanitizer sees any read past the block.
        block.resize(size - 1);
        std::memcpy(block.data(), data + 1, size - 1);
    }
    const std::optional<image::ArchiveTree> tree = image::buildArchiveTree(block);
    if (!tree)
        return 0;
    std::unique_ptr<lua_State, StateCloser> L(luaL_newstate());
    image::pushArchiveTree(L.get(), *tree);
    if (lua_gettop(L.get()) != 1 || walk(L.get(), 0) != tree->nodeCount() - 1)
        std::abort();
    return 0;
}
