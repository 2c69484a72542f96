#include "ArchiveFixtures.h"
#include "PluginLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

using namespace fixtures;

namespace {

class ArchivePluginTest : public ::testing::Test {
protected:
    ArchivePlugin plugin;

    void SetUp() override { ASSERT_TRUE(plugin.loaded() && plugin.getArchiveInfo && plugin.getFile && plugin.isSupported && plugin.getPluginInfo); }

    // Lists `archive` from a file and from memory, requires both to agree, and extracts every
    // file member both ways, comparing with what went in.
    Listing checkRoundTrip(const Bytes& archive, const std::vector<Member>& members, bool memoryExtraction)
    {
        const TempFile file(archive);
        Listing fromFile = listFile(plugin, file.path());
        const Listing fromMemory = listMemory(plugin, archive);
        EXPECT_EQ(fromFile.result, SPI_SUCCESS);
        EXPECT_EQ(fromMemory.result, SPI_SUCCESS);
        EXPECT_EQ(fromFile.records.size(), fromMemory.records.size());
        for (const Member& m : members) {
            if (m.name.back() == '/')
                continue;
            const SpiFileInfo* r = find(fromFile, m.name);
            if (!r) {
                ADD_FAILURE() << "not listed: " << m.name;
                continue;
            }
            EXPECT_EQ(r->filesize, m.data.size()) << m.name;
            const Extracted viaFile = extractFile(plugin, file.path(), r->position);
            EXPECT_EQ(viaFile.result, SPI_SUCCESS) << m.name;
            EXPECT_TRUE(viaFile.data && *viaFile.data == m.data) << m.name;
            const Extracted viaMemory = extractMemory(plugin, archive, r->position);
            if (memoryExtraction) {
                EXPECT_EQ(viaMemory.result, SPI_SUCCESS) << m.name;
                EXPECT_TRUE(viaMemory.data && *viaMemory.data == m.data) << m.name;
            } else {
                EXPECT_NE(viaMemory.result, SPI_SUCCESS) << m.name;
                EXPECT_FALSE(viaMemory.data) << m.name;
            }
        }
        return fromFile;
    }
};

std::vector<Member> sampleMembers()
{
    return {
        {"cover.jpg", noise(5000, 1)},
        {"pages/", {}},
        {"pages/001.jpg", noise(70000, 2)},
        {"pages/002.jpg", bytesOf(std::string(100000, 'a'))},
        {"pages/extra/notes.txt", bytesOf("hello")},
        {"empty.bin", {}},
    };
}

TEST_F(ArchivePluginTest, PluginInfoTextsAreCutToTheBuffer)
{
    char buf[64];
    EXPECT_EQ(plugin.getPluginInfo(0, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "00AM");
    EXPECT_GT(plugin.getPluginInfo(2, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "*.zip;*.cbz");
    EXPECT_EQ(plugin.getPluginInfo(0, buf, 3), 2);
    EXPECT_STREQ(buf, "00");
    EXPECT_EQ(plugin.getPluginInfo(10, buf, sizeof buf), 0);
    EXPECT_EQ(plugin.getPluginInfo(-1, buf, sizeof buf), 0);
}

TEST_F(ArchivePluginTest, IsSupportedKnowsEachFormatByItsFirstBytes)
{
    const auto head = [](Bytes b) {
        b.resize(2048, 0);
        return b;
    };
    const std::vector<Member> one = {{"a.jpg", noise(3000, 3)}};
    EXPECT_TRUE(plugin.isSupported("x.cbz", head(writeArchive("zip", "", one)).data()));
    EXPECT_TRUE(plugin.isSupported("x.cb7", head(writeArchive("7zip", "", one)).data()));
    EXPECT_TRUE(plugin.isSupported("x.tar", head(writeArchive("ustar", "", one)).data()));
    EXPECT_TRUE(plugin.isSupported("x.rar", head(writeRar4(one)).data()));
    // A compressed tar is known by its name, or by the original name a gzip header keeps.
    EXPECT_TRUE(plugin.isSupported("x.tar.bz2", head(writeArchive("ustar", "bzip2", one)).data()));
    EXPECT_TRUE(plugin.isSupported("/a/X.TGZ", head(writeArchive("ustar", "gzip", one)).data()));
    EXPECT_FALSE(plugin.isSupported("picture.jpg.gz", head(writeArchive("raw", "gzip", one)).data()));
    EXPECT_TRUE(plugin.isSupported("x.tar", head(writeArchive("ustar", "xz", one)).data()));
    EXPECT_FALSE(plugin.isSupported("x.xz", head(writeArchive("ustar", "xz", one)).data()));
    const Bytes named = {0x1F, 0x8B, 8, 0x0C, 0, 0, 0, 0, 0, 3, 2, 0, 'x', 'y', 'c', 'o', 'm', 'i', 'c', '.', 't', 'a', 'r', 0};
    EXPECT_TRUE(plugin.isSupported("noname", head(named).data()));
    EXPECT_FALSE(plugin.isSupported("a.jpg", head(bytesOf("\xFF\xD8\xFF\xE0 not an archive")).data()));
    EXPECT_FALSE(plugin.isSupported("a.zip", nullptr));
}

TEST_F(ArchivePluginTest, ZipListingCarriesSizesCrcTimeAndOffsets)
{
    const std::vector<Member> members = sampleMembers();
    for (const std::string options : {"zip:compression=deflate", "zip:compression=store"}) {
        const Bytes zip = writeArchive("zip", "", members, options);
        const Listing l = checkRoundTrip(zip, members, true);
        for (const Member& m : members) {
            if (m.name.back() == '/') {
                bool found = false;
                for (const SpiFileInfo& r : l.records)
                    found |= r.filename[0] == 0 && std::string(r.path) == "pages";
                EXPECT_TRUE(found) << "directory record for pages";
                continue;
            }
            const SpiFileInfo* r = find(l, m.name);
            ASSERT_TRUE(r) << m.name;
            EXPECT_EQ(r->crc, crcOf(m.data)) << m.name;
            EXPECT_EQ(r->timestamp, m.mtime) << m.name;
            EXPECT_EQ(std::memcmp(zip.data() + r->position, "PK\x03\x04", 4), 0) << "position is the local header";
            const std::string method(reinterpret_cast<const char*>(r->method), strnlen(reinterpret_cast<const char*>(r->method), 8));
            if (options.find("store") != std::string::npos) {
                EXPECT_EQ(method, "store") << m.name;
            } else if (!m.data.empty()) {
                EXPECT_EQ(method, "deflate") << m.name;
            }
            if (method == "store") {
                EXPECT_EQ(r->compsize, r->filesize);
            }
        }
        EXPECT_EQ(std::string(find(l, "pages/extra/notes.txt")->path), "pages/extra");
        EXPECT_EQ(std::string(find(l, "cover.jpg")->path), "");
    }
}

TEST_F(ArchivePluginTest, EveryFormatListsAndExtracts)
{
    const std::vector<Member> members = sampleMembers();
    checkRoundTrip(writeArchive("pax", "", members), members, true);
    checkRoundTrip(writeArchive("gnutar", "", members), members, true);
    checkRoundTrip(writeArchive("7zip", "", members), members, false);
    checkRoundTrip(writeArchive("pax", "gzip", members), members, false);
    checkRoundTrip(writeArchive("pax", "bzip2", members), members, false);
    checkRoundTrip(writeArchive("pax", "xz", members), members, false);
    std::vector<Member> flat;
    for (const Member& m : members)
        flat.push_back(m);
    checkRoundTrip(writeRar4(flat), flat, false);
}

TEST_F(ArchivePluginTest, TarPositionsAreHeaderOffsets)
{
    const std::vector<Member> members = {{"a.txt", bytesOf("one")}, {std::string(150, 'n') + ".txt", bytesOf("two")}, {"c.txt", bytesOf("three")}};
    const Bytes tar = writeArchive("pax", "", members);
    const Listing l = listMemory(plugin, tar);
    ASSERT_EQ(l.records.size(), 3u);
    EXPECT_EQ(l.records[0].position, 0u);
    EXPECT_EQ(l.records[1].position, 1024u);
    EXPECT_GT(l.records[2].position, 1024u);
    for (const SpiFileInfo& r : l.records)
        EXPECT_EQ(r.position % 512, 0u);
}

TEST_F(ArchivePluginTest, HugeMembersAreLeftOutAndTimesClamped)
{
    const Listing zip = listMemory(plugin, writeZip({{"small.jpg", bytesOf("abc")}, {"huge.bin", bytesOf("x"), false, 0, 5LL << 30}}));
    ASSERT_EQ(zip.records.size(), 1u);
    EXPECT_EQ(fullName(zip.records[0]), "small.jpg");
    const Listing tar = listMemory(plugin, writeArchive("pax", "", {{"future.jpg", bytesOf("a"), 100000000000LL}, {"past.jpg", bytesOf("b"), -100000000000LL}}));
    ASSERT_EQ(tar.records.size(), 2u);
    EXPECT_EQ(find(tar, "future.jpg")->timestamp, INT32_MAX);
    EXPECT_EQ(find(tar, "past.jpg")->timestamp, INT32_MIN);
}

TEST_F(ArchivePluginTest, OrdinalFormatsNumberTheirEntries)
{
    const std::vector<Member> members = sampleMembers();
    const Listing l = listMemory(plugin, writeArchive("7zip", "", members));
    ASSERT_EQ(l.records.size(), members.size());
    std::vector<std::uint32_t> positions;
    for (const SpiFileInfo& r : l.records)
        positions.push_back(r.position);
    std::sort(positions.begin(), positions.end());
    for (std::size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], i);
}

}  // namespace
