#include "ArchiveTree.h"

#include "platform/Collator.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <selvarin/spi.h>

// The one place below the script faces that builds script values: the tree is pushed straight
// from the host nodes, without an intermediate value tree.
#include <lua.hpp>

#include <algorithm>
#include <array>
#include <compare>
#include <cstring>
#include <limits>
#include <map>
#include <string_view>

namespace image {
namespace {

constexpr std::size_t kRecordSize = sizeof(SpiFileInfo);
static_assert(kRecordSize == 428);
constexpr std::size_t kBuckets = 101;

// A fixed-size text field: up to its first zero byte, or the whole field.
template <typename Char, std::size_t N>
std::string_view fieldText(const Char (&field)[N])
{
    static_assert(sizeof(Char) == 1);
    const char* text = reinterpret_cast<const char*>(field);
    const void* end = std::memchr(text, '\0', N);
    return {text, end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : N};
}

// The index hash of a directory path, continued over more of its bytes: each byte taken as
// signed, h = b XOR (h * 2), wrapping at 32 bits.
std::int32_t continueHash(std::int32_t h, std::string_view bytes)
{
    std::uint32_t u = static_cast<std::uint32_t>(h);
    for (const char c : bytes)
        u = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c))) ^ (u << 1);
    return static_cast<std::int32_t>(u);
}

// |h| mod 101, with |INT32_MIN| taken in 64 bits: a plain abs() would stay negative there and
// index before the table.
std::size_t bucketOf(std::int32_t h)
{
    const std::int64_t wide = h;
    return static_cast<std::size_t>((wide < 0 ? -wide : wide) % static_cast<std::int64_t>(kBuckets));
}

// A directory is identified by its parent and its own name, which together spell its whole
// path: comparing them is comparing the paths byte for byte, without keeping every path.
struct DirKey {
    std::uint32_t parent;
    std::string_view name;
    auto operator<=>(const DirKey&) const = default;
};

}  // namespace

class ArchiveTreeBuilder {
public:
    explicit ArchiveTreeBuilder(ArchiveTree& tree) : m_tree(tree)
    {
        m_tree.m_nodes.emplace_back();
        m_tree.m_nodes.back().isDirectory = true;
        m_depths.push_back(0);
    }

    // False when the tree would have more nodes than its indices can count.
    bool add(const SpiFileInfo& record)
    {
        const std::optional<std::uint32_t> found = folderOf(fieldText(record.path));
        if (!found)
            return false;
        const std::uint32_t folder = *found;
        const std::string_view filename = fieldText(record.filename);
        if (filename.empty()) {
            // A directory's own record: its data joins the node, whether the node came from an
            // earlier entry's path or is new.
            if (folder != ArchiveTree::kRoot)
                setEntry(m_tree.m_nodes[folder], record);
            return true;
        }
        const std::optional<std::uint32_t> file = newNode(folder, platform::osNameToCp932(filename), false);
        if (!file)
            return false;
        setEntry(m_tree.m_nodes[*file], record);
        return true;
    }

    void countRecord() { ++m_tree.m_records; }

    void finish()
    {
        sortChildren();
        m_tree.m_depth = *std::max_element(m_depths.begin(), m_depths.end());
        m_tree.m_finishedAt = std::time(nullptr);
    }

private:
    static void setEntry(ArchiveTree::Node& node, const SpiFileInfo& record)
    {
        node.hasEntry = true;
        node.method = platform::utf8ToCp932(fieldText(record.method));
        node.position = record.position;
        node.compsize = record.compsize;
        node.filesize = record.filesize;
        node.timestamp = record.timestamp;
        node.crc = record.crc;
    }

    std::optional<std::uint32_t> newNode(std::uint32_t parent, std::string name, bool isDirectory)
    {
        if (m_tree.m_nodes.size() >= std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
        const auto index = static_cast<std::uint32_t>(m_tree.m_nodes.size());
        ArchiveTree::Node& node = m_tree.m_nodes.emplace_back();
        node.isDirectory = isDirectory;
        node.name = std::move(name);
        node.parent = parent;
        m_tree.m_nodes[parent].children.push_back(index);
        m_depths.push_back(m_depths[parent] + 1);
        return index;
    }

    // The folder a record's path names, created with its missing parents. Plug-ins give "/"
    // separators; a "\" counts as one too. Empty pieces (a leading, doubled or trailing
    // separator) name no directory, so "a/b", "a\b\" and "/a//b" are one folder.
    std::optional<std::uint32_t> folderOf(std::string_view rawPath)
    {
        // Listings come folder by folder: most records repeat the path before them.
        if (m_lastFolder && rawPath == m_lastPath)
            return m_lastFolder;
        const std::string path = platform::utf8ToCp932(rawPath);
        std::uint32_t folder = ArchiveTree::kRoot;
        for (const std::string_view piece : platform::pathPieces(path)) {
            if (piece.empty())
                continue;
            const std::optional<std::uint32_t> dir = directory(folder, piece);
            if (!dir)
                return std::nullopt;
            folder = *dir;
        }
        m_lastPath.assign(rawPath);
        m_lastFolder = folder;
        return folder;
    }

    // The directory `name` inside `parent`, created without entry when the index lacks it.
    std::optional<std::uint32_t> directory(std::uint32_t parent, std::string_view name)
    {
        const ArchiveTree::Node& up = m_tree.m_nodes[parent];
        std::int32_t hash = up.pathHash;
        if (parent != ArchiveTree::kRoot)
            hash = continueHash(hash, "\\");
        hash = continueHash(hash, name);
        auto& bucket = m_index[bucketOf(hash)];
        if (const auto found = bucket.find(DirKey{parent, name}); found != bucket.end())
            return found->second;
        const std::optional<std::uint32_t> dir = newNode(parent, std::string(name), true);
        if (!dir)
            return std::nullopt;
        ArchiveTree::Node& node = m_tree.m_nodes[*dir];
        node.pathHash = hash;
        bucket.emplace(DirKey{parent, node.name}, *dir);
        return dir;
    }

    // Directories before files, then by the Japanese collation; names that collate equal in
    // byte order, so that the result does not depend on the records' order.
    void sortChildren()
    {
        std::vector<std::string> keys(m_tree.m_nodes.size());
        for (std::size_t i = 1; i < keys.size(); ++i)
            keys[i] = platform::collationKey(m_tree.m_nodes[i].name);
        for (ArchiveTree::Node& node : m_tree.m_nodes) {
            std::sort(node.children.begin(), node.children.end(), [&](std::uint32_t a, std::uint32_t b) {
                const ArchiveTree::Node& na = m_tree.m_nodes[a];
                const ArchiveTree::Node& nb = m_tree.m_nodes[b];
                if (na.isDirectory != nb.isDirectory)
                    return na.isDirectory;
                if (const int order = keys[a].compare(keys[b]); order != 0)
                    return order < 0;
                return na.name < nb.name;
            });
        }
    }

    ArchiveTree& m_tree;
    std::array<std::map<DirKey, std::uint32_t>, kBuckets> m_index;
    std::vector<std::size_t> m_depths;  // per node, levels below the root
    std::string m_lastPath;
    std::optional<std::uint32_t> m_lastFolder;
};

namespace {

// The keys of node tables, pushed once below the result so that setting a field does not look
// its key up in the string table again.
enum Key { kMethod, kPosition, kFilepath, kIsDirectory, kIsFile, kLastUpdateTime, kFilesize, kCompsize, kCrc, kChildren, kNone, kKeyCount };
constexpr const char* kKeyNames[kKeyCount] = {"method", "position", "filepath", "isDirectory", "isFile", "lastUpdateTime",
                                              "filesize", "compsize", "crc", "children", "none"};

class NodePusher {
public:
    // Stack: ... -> ... keys
    explicit NodePusher(lua_State* L) : m_L(L), m_base(lua_gettop(L))
    {
        for (const char* name : kKeyNames)
            lua_pushstring(L, name);
    }

    // Stack: ... keys ... result -> ... result
    void dropKeys()
    {
        lua_replace(m_L, m_base + 1);
        lua_settop(m_L, m_base + 1);
    }

    // Stack: ... -> ... node table, every key but "children", in the order scripts see them.
    void push(const ArchiveTree& tree, const ArchiveTree::Node& node, std::string_view folder)
    {
        lua_State* L = m_L;
        lua_createtable(L, 0, node.isDirectory ? 7 : 10);
        key(kMethod);
        if (node.hasEntry)
            lua_pushlstring(L, node.method.data(), node.method.size());
        else
            key(kNone);
        lua_rawset(L, -3);
        number(kPosition, node.hasEntry ? node.position : 0);
        key(kFilepath);
        const std::string filepath = platform::joinPath(folder, node.name);
        lua_pushlstring(L, filepath.data(), filepath.size());
        lua_rawset(L, -3);
        boolean(kIsDirectory, node.isDirectory);
        boolean(kIsFile, !node.isDirectory);
        number(kLastUpdateTime, node.hasEntry ? node.timestamp : static_cast<lua_Number>(tree.finishedAt()));
        if (!node.isDirectory) {
            number(kFilesize, node.filesize);
            number(kCompsize, node.compsize);
            number(kCrc, node.crc);
        }
    }

    // Stack: ... table array -> ... table (with table.children = array)
    void setChildren()
    {
        key(kChildren);
        lua_insert(m_L, -2);
        lua_rawset(m_L, -3);
    }

private:
    void key(Key k) { lua_pushvalue(m_L, m_base + 1 + k); }
    void number(Key k, lua_Number value)
    {
        key(k);
        lua_pushnumber(m_L, value);
        lua_rawset(m_L, -3);
    }
    void boolean(Key k, bool value)
    {
        key(k);
        lua_pushboolean(m_L, value);
        lua_rawset(m_L, -3);
    }

    lua_State* m_L;
    int m_base;
};

}  // namespace

std::optional<ArchiveTree> buildArchiveTree(std::span<const std::byte> list)
{
    ArchiveTree tree;
    ArchiveTreeBuilder builder(tree);
    std::size_t offset = 0;
    for (;;) {
        if (offset >= list.size())
            return std::nullopt;  // the end record lies outside the block
        if (list[offset] == std::byte{0})
            break;
        if (list.size() - offset < kRecordSize)
            return std::nullopt;
        SpiFileInfo record;
        std::memcpy(&record, list.data() + offset, kRecordSize);
        if (!builder.add(record))
            return std::nullopt;
        builder.countRecord();
        offset += kRecordSize;
    }
    builder.finish();
    return tree;
}

void pushArchiveTree(lua_State* L, const ArchiveTree& tree)
{
    // Each open level holds its node's table and its children array; the walk keeps its own
    // stack, so a deep tree costs heap, not C stack.
    luaL_checkstack(L, static_cast<int>(std::min<std::size_t>(2 * tree.depth() + kKeyCount + 4, 1 << 20)), "archive tree");
    struct Level {
        std::uint32_t node;
        std::size_t next;    // children pushed so far
        std::string folder;  // the directory path that holds this node's children
    };
    NodePusher pusher(L);
    std::vector<Level> levels;
    levels.push_back({ArchiveTree::kRoot, 0, {}});
    lua_createtable(L, static_cast<int>(std::min<std::size_t>(tree.node(ArchiveTree::kRoot).children.size(), 1 << 24)), 0);
    while (!levels.empty()) {
        Level& level = levels.back();
        const ArchiveTree::Node& node = tree.node(level.node);
        if (level.next < node.children.size()) {
            const std::uint32_t childIndex = node.children[level.next++];
            const ArchiveTree::Node& child = tree.node(childIndex);
            pusher.push(tree, child, level.folder);  // ... array child
            if (child.children.empty()) {
                lua_rawseti(L, -2, static_cast<int>(level.next));
                continue;
            }
            std::string folder = level.folder.empty() ? child.name : level.folder + '\\' + child.name;
            lua_createtable(L, static_cast<int>(std::min<std::size_t>(child.children.size(), 1 << 24)), 0);
            levels.push_back({childIndex, 0, std::move(folder)});  // `level` is stale from here
            continue;
        }
        levels.pop_back();
        if (levels.empty())
            break;  // the result array is on top
        // ... parentArray nodeTable childrenArray -> ... parentArray
        pusher.setChildren();
        lua_rawseti(L, -2, static_cast<int>(levels.back().next));
    }
    pusher.dropKeys();
}

}  // namespace image
