#include "image/ArchiveTree.h"

#include "platform/Collator.h"
#include "platform/TextCodec.h"

#include <selvarin/spi.h>

#include <lua.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace {

struct Entry {
    std::string path;
    std::string filename;
    std::string method = "deflate";
    std::uint32_t position = 0;
    std::uint32_t compsize = 0;
    std::uint32_t filesize = 0;
    std::int32_t timestamp = 0;
    std::uint32_t crc = 0;
};

// The entries as a plug-in's list block, ended by a zero record unless told otherwise.
std::vector<std::byte> listOf(const std::vector<Entry>& entries, bool endRecord = true)
{
    std::vector<std::byte> block((entries.size() + (endRecord ? 1 : 0)) * sizeof(SpiFileInfo));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        SpiFileInfo r{};
        std::memcpy(r.method, e.method.data(), std::min(e.method.size(), sizeof r.method));
        r.position = e.position;
        r.compsize = e.compsize;
        r.filesize = e.filesize;
        r.timestamp = e.timestamp;
        std::memcpy(r.path, e.path.data(), std::min(e.path.size(), sizeof r.path));
        std::memcpy(r.filename, e.filename.data(), std::min(e.filename.size(), sizeof r.filename));
        r.crc = e.crc;
        std::memcpy(block.data() + i * sizeof r, &r, sizeof r);
    }
    return block;
}

// A script table read back: its plain fields, and its children in order.
struct Table {
    std::map<std::string, std::variant<std::string, double, bool>> fields;
    std::vector<Table> children;
    bool hasChildren = false;

    std::string text(const std::string& key) const { return std::get<std::string>(fields.at(key)); }
    double number(const std::string& key) const { return std::get<double>(fields.at(key)); }
    bool flag(const std::string& key) const { return std::get<bool>(fields.at(key)); }
    bool has(const std::string& key) const { return fields.count(key) != 0; }
};

std::vector<Table> readArray(lua_State* L, int index);

Table readTable(lua_State* L, int index)
{
    Table t;
    lua_pushnil(L);
    while (lua_next(L, index) != 0) {
        const std::string key = lua_tostring(L, -2);
        switch (lua_type(L, -1)) {
        case LUA_TSTRING: t.fields[key] = std::string(lua_tostring(L, -1), lua_objlen(L, -1)); break;
        case LUA_TNUMBER: t.fields[key] = lua_tonumber(L, -1); break;
        case LUA_TBOOLEAN: t.fields[key] = lua_toboolean(L, -1) != 0; break;
        case LUA_TTABLE:
            EXPECT_EQ(key, "children");
            t.hasChildren = true;
            t.children = readArray(L, lua_gettop(L));
            break;
        default: ADD_FAILURE() << "unexpected value type for " << key;
        }
        lua_pop(L, 1);
    }
    return t;
}

std::vector<Table> readArray(lua_State* L, int index)
{
    std::vector<Table> items;
    const std::size_t n = lua_objlen(L, index);
    for (std::size_t i = 1; i <= n; ++i) {
        lua_rawgeti(L, index, static_cast<int>(i));
        lua_checkstack(L, 4);
        items.push_back(readTable(L, lua_gettop(L)));
        lua_pop(L, 1);
    }
    return items;
}

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

struct Listing {
    std::vector<Table> top;
    std::size_t records = 0;
    std::time_t before = 0;
    std::time_t after = 0;
};

Listing list(const std::vector<Entry>& entries)
{
    const std::vector<std::byte> block = listOf(entries);
    Listing result;
    result.before = std::time(nullptr);
    const std::optional<image::ArchiveTree> tree = image::buildArchiveTree(block);
    result.after = std::time(nullptr);
    EXPECT_TRUE(tree);
    if (!tree)
        return result;
    result.records = tree->recordCount();
    std::unique_ptr<lua_State, StateCloser> L(luaL_newstate());
    lua_pushliteral(L.get(), "below");
    image::pushArchiveTree(L.get(), *tree);
    // Exactly one value more, and what lay below it untouched.
    EXPECT_EQ(lua_gettop(L.get()), 2);
    EXPECT_STREQ(lua_tostring(L.get(), 1), "below");
    result.top = readArray(L.get(), 2);
    return result;
}

std::vector<std::string> names(const std::vector<Table>& items)
{
    std::vector<std::string> out;
    for (const Table& t : items)
        out.push_back(t.text("filepath"));
    return out;
}

using Names = std::vector<std::string>;

TEST(ArchiveTree, FileBesideFolderCreatedFromPath)
{
    const Listing l = list({{"", "a.jpg", "store", 10, 5, 6, 1000, 0xDEADBEEF}, {"sub\\", "b.jpg", "deflate", 20, 7, 8, 2000, 1}});
    EXPECT_EQ(l.records, 2u);
    ASSERT_EQ(names(l.top), (Names{"\\sub", "\\a.jpg"}));

    const Table& sub = l.top[0];
    EXPECT_EQ(sub.text("method"), "none");
    EXPECT_EQ(sub.number("position"), 0);
    EXPECT_TRUE(sub.flag("isDirectory"));
    EXPECT_FALSE(sub.flag("isFile"));
    EXPECT_GE(sub.number("lastUpdateTime"), l.before);
    EXPECT_LE(sub.number("lastUpdateTime"), l.after);
    EXPECT_FALSE(sub.has("filesize") || sub.has("compsize") || sub.has("crc"));
    EXPECT_EQ(sub.fields.size(), 6u);
    ASSERT_EQ(names(sub.children), (Names{"sub\\b.jpg"}));
    EXPECT_EQ(sub.children[0].number("position"), 20);
    EXPECT_FALSE(sub.children[0].hasChildren);

    const Table& a = l.top[1];
    EXPECT_EQ(a.text("method"), "store");
    EXPECT_EQ(a.number("position"), 10);
    EXPECT_EQ(a.number("compsize"), 5);
    EXPECT_EQ(a.number("filesize"), 6);
    EXPECT_EQ(a.number("lastUpdateTime"), 1000);
    EXPECT_EQ(a.number("crc"), 0xDEADBEEF);
    EXPECT_TRUE(a.flag("isFile"));
    EXPECT_FALSE(a.flag("isDirectory"));
    EXPECT_EQ(a.fields.size(), 9u);
}

TEST(ArchiveTree, DirectoryRecordJoinsTheNodeItsPathMade)
{
    // Before or after its files, and spelled with "/" or "\": one node that carries its data.
    for (const std::string dirPath : {"sub\\", "sub/", "sub"}) {
        const Entry file{"sub/", "b.jpg"};
        const Entry dir{dirPath, "", "dir", 77, 0, 0, 123456};
        for (const bool dirFirst : {false, true}) {
            const Listing l = list(dirFirst ? std::vector<Entry>{dir, file} : std::vector<Entry>{file, dir});
            EXPECT_EQ(l.records, 2u);
            ASSERT_EQ(l.top.size(), 1u) << dirPath;
            const Table& sub = l.top[0];
            EXPECT_EQ(sub.text("method"), "dir");
            EXPECT_EQ(sub.number("position"), 77);
            EXPECT_EQ(sub.number("lastUpdateTime"), 123456);
            EXPECT_FALSE(sub.has("filesize"));
            EXPECT_EQ(names(sub.children), (Names{"sub\\b.jpg"}));
        }
    }
    const Listing three = list({{"", "a.jpg"}, {"sub\\", "b.jpg"}, {"sub\\", ""}});
    EXPECT_EQ(three.records, 3u);
    EXPECT_EQ(names(three.top), (Names{"\\sub", "\\a.jpg"}));
}

TEST(ArchiveTree, MissingFoldersAreCreatedAtEveryLevel)
{
    const Listing l = list({{"x\\y", "z.png"}, {"x/y/w", "q.png"}, {"/x//v/", "r.png"}});
    ASSERT_EQ(names(l.top), (Names{"\\x"}));
    const Table& x = l.top[0];
    EXPECT_EQ(x.text("method"), "none");
    ASSERT_EQ(names(x.children), (Names{"x\\v", "x\\y"}));
    EXPECT_EQ(names(x.children[0].children), (Names{"x\\v\\r.png"}));
    ASSERT_EQ(names(x.children[1].children), (Names{"x\\y\\w", "x\\y\\z.png"}));
    EXPECT_EQ(names(x.children[1].children[0].children), (Names{"x\\y\\w\\q.png"}));
}

TEST(ArchiveTree, FoldersDifferingInCaseStayApart)
{
    const Listing l = list({{"Dir", "1.jpg"}, {"dir", "2.jpg"}, {"", "dir.jpg"}, {"Dir", ""}});
    EXPECT_EQ(l.records, 4u);
    ASSERT_EQ(l.top.size(), 3u);
    EXPECT_TRUE(l.top[0].flag("isDirectory"));
    EXPECT_TRUE(l.top[1].flag("isDirectory"));
    EXPECT_FALSE(l.top[2].flag("isDirectory"));
    std::map<std::string, std::string> childOf;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(l.top[i].children.size(), 1u);
        childOf[l.top[i].text("filepath")] = l.top[i].children[0].text("filepath");
    }
    EXPECT_EQ(childOf["\\Dir"], "Dir\\1.jpg");
    EXPECT_EQ(childOf["\\dir"], "dir\\2.jpg");
    EXPECT_EQ((l.top[0].text("filepath") == "\\Dir" ? l.top[0] : l.top[1]).text("method"), "deflate");
}

TEST(ArchiveTree, ChildrenSortDirectoriesFirstThenByJapaneseCollation)
{
    const std::vector<std::string> files = {"b.jpg", "B2.jpg", "a.jpg", "\xE3\x81\x82.jpg", "\xE3\x82\xA2.jpg", "10.jpg", "2.jpg", "_x.jpg"};
    std::vector<Entry> entries;
    for (const std::string& f : files)
        entries.push_back({"", f});
    entries.push_back({"zdir", "in.jpg"});
    entries.push_back({"Adir/", ""});
    const Listing l = list(entries);
    ASSERT_EQ(l.top.size(), files.size() + 2);
    EXPECT_EQ(l.top[0].text("filepath"), "\\Adir");
    EXPECT_EQ(l.top[1].text("filepath"), "\\zdir");
    // Case does not come first: "a" and "b" sort beside "B2", not after every capital.
    std::vector<std::string> got;
    for (std::size_t i = 2; i < l.top.size(); ++i)
        got.push_back(l.top[i].text("filepath").substr(1));
    for (std::size_t i = 1; i < got.size(); ++i)
        EXPECT_LE(platform::compareText(got[i - 1], got[i]), 0) << got[i - 1] << " / " << got[i];
    const auto at = [&](const std::string& n) { return std::find(got.begin(), got.end(), n) - got.begin(); };
    EXPECT_LT(at("a.jpg"), at("B2.jpg"));
    EXPECT_LT(at("b.jpg"), at(platform::utf8ToCp932("\xE3\x81\x82.jpg")));
}

TEST(ArchiveTree, EmptyListAndListsWithoutEnd)
{
    const Listing empty = list({});
    EXPECT_TRUE(empty.top.empty());
    EXPECT_EQ(empty.records, 0u);

    EXPECT_FALSE(image::buildArchiveTree({}));
    EXPECT_FALSE(image::buildArchiveTree(listOf({{"", "a.jpg"}}, false)));
    // A record cut short by the block's end is not read past it.
    std::vector<std::byte> cut = listOf({{"", "a.jpg"}, {"", "b.jpg"}});
    cut.resize(sizeof(SpiFileInfo) + 100);
    EXPECT_FALSE(image::buildArchiveTree(cut));
    // The end record needs only its first byte inside the block.
    std::vector<std::byte> tight = listOf({{"", "a.jpg"}});
    tight.resize(sizeof(SpiFileInfo) + 1);
    const auto tree = image::buildArchiveTree(tight);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->recordCount(), 1u);
}

TEST(ArchiveTree, FieldsUseTheirWholeWidthAndUnsignedRange)
{
    Entry e{std::string(200, 'p'), std::string(200, 'f'), "12345678", 0xFFFFFFFF, 0xFFFFFFFE, 0x80000000, -1, 0xFFFFFFFF};
    const Listing l = list({e});
    ASSERT_EQ(l.top.size(), 1u);
    const Table& dir = l.top[0];
    EXPECT_EQ(dir.text("filepath"), "\\" + std::string(200, 'p'));
    ASSERT_EQ(dir.children.size(), 1u);
    const Table& f = dir.children[0];
    EXPECT_EQ(f.text("method"), "12345678");
    EXPECT_EQ(f.text("filepath"), std::string(200, 'p') + "\\" + std::string(200, 'f'));
    EXPECT_EQ(f.number("position"), 4294967295.0);
    EXPECT_EQ(f.number("compsize"), 4294967294.0);
    EXPECT_EQ(f.number("filesize"), 2147483648.0);
    EXPECT_EQ(f.number("lastUpdateTime"), -1);
    EXPECT_EQ(f.number("crc"), 4294967295.0);
}

TEST(ArchiveTree, NamesOutsideTheCodePageStayLossless)
{
    const std::string hangul = "\xEC\x82\xAC\xEC\xA7\x84";        // 사진
    const std::string emoji = "caf\xC3\xA9 \xF0\x9F\x98\x80.png";  // café 😀
    const std::string invalid = "bad\xFF\xFE.jpg";
    const std::string japanese = "\xE6\xBC\xAB\xE7\x94\xBB";      // 漫画
    const std::string withBackslash = "a\\b*?.jpg";
    const Listing l = list({{hangul + "/" + japanese, emoji}, {hangul, invalid}, {"", withBackslash}});
    ASSERT_EQ(l.top.size(), 2u);
    const Table& dir = l.top[0];
    EXPECT_EQ(platform::cp932ToUtf8(dir.text("filepath")), "\\" + hangul);
    ASSERT_EQ(dir.children.size(), 2u);
    const Table& inner = dir.children[0];
    EXPECT_EQ(inner.text("filepath"), platform::utf8ToCp932(hangul) + "\\" + platform::utf8ToCp932(japanese));
    ASSERT_EQ(inner.children.size(), 1u);
    EXPECT_EQ(platform::cp932ToUtf8(inner.children[0].text("filepath")), hangul + "\\" + japanese + "\\" + emoji);
    EXPECT_EQ(platform::cp932ToUtf8(dir.children[1].text("filepath")), hangul + "\\" + invalid);
    // A "\" inside a name is part of that name, not a separator.
    const std::string loose = l.top[1].text("filepath");
    EXPECT_EQ(std::count(loose.begin(), loose.end(), '\\'), 1);
    EXPECT_EQ(platform::cp932ToUtf8(loose), "\\" + withBackslash);
}

TEST(ArchiveTree, DeepPathsNest)
{
    std::string deep;
    for (int i = 0; i < 100; ++i)
        deep += i ? "/d" : "d";
    deep.resize(199);
    std::vector<Entry> entries = {{deep, "leaf.jpg"}, {deep.substr(0, 99), "mid.jpg"}};
    // Many parallel deep chains: the walk must not grow the C stack with the depth.
    for (char c = 'a'; c <= 'z'; ++c)
        entries.push_back({std::string(1, c) + deep.substr(1, 198), "x"});
    const auto tree = image::buildArchiveTree(listOf(entries));
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->depth(), 101u);

    const Listing l = list(entries);
    ASSERT_EQ(l.top.size(), 26u);  // "d" shared by the first two, then b..z
    const Table* node = &l.top[std::find_if(l.top.begin(), l.top.end(), [](const Table& t) { return t.text("filepath") == "\\d"; }) - l.top.begin()];
    int levels = 1;
    std::string expected = "d";
    while (node->hasChildren && node->children[0].flag("isDirectory")) {
        node = &node->children[0];
        expected += "\\d";
        EXPECT_EQ(node->text("filepath"), expected);
        ++levels;
    }
    EXPECT_EQ(levels, 100);
    // The "d" chain of the letter loop ends in the same folder.
    EXPECT_EQ(names(node->children), (Names{expected + "\\leaf.jpg", expected + "\\x"}));
}

TEST(ArchiveTree, TenThousandRecordsInFiveHundredFolders)
{
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < 10000; ++i) {
        const std::uint32_t folder = i % 500;
        entries.push_back({"vol" + std::to_string(folder / 50) + "/ch" + std::to_string(folder), "p" + std::to_string(i) + ".jpg",
                           "deflate", i * 1000, i, i + 1, static_cast<std::int32_t>(i), i});
    }
    const Listing l = list(entries);
    EXPECT_EQ(l.records, 10000u);
    ASSERT_EQ(l.top.size(), 10u);
    std::size_t files = 0;
    std::size_t folders = 0;
    for (const Table& vol : l.top) {
        ASSERT_EQ(vol.children.size(), 50u);
        for (const Table& ch : vol.children) {
            ++folders;
            ASSERT_EQ(ch.children.size(), 20u);
            for (const Table& p : ch.children) {
                const std::uint32_t i = static_cast<std::uint32_t>(p.number("crc"));
                EXPECT_EQ(p.number("position"), i * 1000.0);
                EXPECT_EQ(p.text("filepath"), ch.text("filepath") + "\\p" + std::to_string(i) + ".jpg");
                ++files;
            }
        }
    }
    EXPECT_EQ(folders, 500u);
    EXPECT_EQ(files, 10000u);
}

TEST(ArchiveTree, PathWhoseHashIsTheMostNegativeValueIsFoundAgain)
{
    // "@", then bytes that cancel out while shifting: the hash is exactly 0x80000000.
    std::string path = "@\x10" "0 ";
    for (int i = 0; i < 11; ++i)
        path += " @";
    const Listing l = list({{path, "1.jpg"}, {path, "2.jpg"}, {path, ""}});
    ASSERT_EQ(l.top.size(), 1u);
    EXPECT_EQ(l.top[0].children.size(), 2u);
    EXPECT_EQ(l.top[0].text("method"), "deflate");
}

TEST(ArchiveTree, RootDirectoryRecordIsCountedButNotShown)
{
    const Listing l = list({{"", "", "dir"}, {"/", ""}, {"", "a.jpg"}});
    EXPECT_EQ(l.records, 3u);
    EXPECT_EQ(names(l.top), (Names{"\\a.jpg"}));
}

}  // namespace
