#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct lua_State;

// The tree of an archive's listing: the flat entry records of an archive plug-in turned into
// directories and files, each directory's children sorted for display (directories first, then
// by the Japanese collation of their names). Texts are kept in script form (code page 932,
// names the code page cannot spell escaped losslessly).
namespace image {

struct ArchiveTree {
    struct Node {
        bool isDirectory = false;
        bool hasEntry = false;  // false: a directory known only from other entries' paths
        std::string method;     // the entry's fields, meaningful when hasEntry
        std::uint32_t position = 0;
        std::uint32_t compsize = 0;
        std::uint32_t filesize = 0;
        std::int32_t timestamp = 0;
        std::uint32_t crc = 0;
        std::string name;
        std::uint32_t parent = 0;
        std::int32_t pathHash = 0;  // directories: running hash of their path, for the index
        std::vector<std::uint32_t> children;
    };

    static constexpr std::uint32_t kRoot = 0;

    std::size_t recordCount() const { return m_records; }
    const Node& node(std::uint32_t index) const { return m_nodes[index]; }
    std::size_t nodeCount() const { return m_nodes.size(); }
    // Levels below the root: the depth of the deepest node.
    std::size_t depth() const { return m_depth; }
    // Seconds since 1970 when the tree was finished; the time of every node without entry.
    std::time_t finishedAt() const { return m_finishedAt; }

private:
    friend class ArchiveTreeBuilder;
    // A deque: the directory index holds views of directory names, which must not move.
    std::deque<Node> m_nodes;
    std::size_t m_records = 0;
    std::size_t m_depth = 0;
    std::time_t m_finishedAt = 0;
};

// list: the locked block; reads entry records 428 bytes apart until one whose first byte is 0;
// nullopt if no end record lies inside the block.
std::optional<ArchiveTree> buildArchiveTree(std::span<const std::byte> list);

// Pushes the result array: one table per top-level node, children nested, in sorted order.
void pushArchiveTree(lua_State* L, const ArchiveTree& tree);

}  // namespace image
