#include "ArchiveFixtures.h"
#include "PluginLoader.h"

#include "Names.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace fixtures;

namespace {

const std::string kComic = "\xE6\xBC\xAB\xE7\x94\xBB";                // 漫画
const std::string kEpisode = "\xE7\xAC\xAC\x31\xE8\xA9\xB1.jpg";      // 第1話.jpg
const std::string kSoft = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";    // ソフト: its first byte pair in code page 932 ends in 0x5C
const std::string kCover = "\xE8\xA1\xA8\xE7\xB4\x99.jpg";           // 表紙.jpg, the same

class ArchiveNamesTest : public ::testing::Test {
protected:
    ArchivePlugin plugin;

    // Every listed name of `archive` is valid UTF-8 and the member named `name` comes back whole.
    void expectMember(const Bytes& archive, const std::string& name, const Bytes& data)
    {
        const TempFile file(archive);
        const Listing l = listFile(plugin, file.path());
        ASSERT_EQ(l.result, SPI_SUCCESS);
        for (const SpiFileInfo& r : l.records)
            EXPECT_TRUE(archive_spi::isUtf8(fullName(r))) << fullName(r);
        const SpiFileInfo* r = find(l, name);
        ASSERT_TRUE(r) << name << " among " << (l.records.empty() ? "" : fullName(l.records[0]));
        const Extracted e = extractFile(plugin, file.path(), r->position);
        EXPECT_TRUE(e.data && *e.data == data) << name;
    }
};

TEST_F(ArchiveNamesTest, ZipNamesInEitherEncoding)
{
    const Bytes data = noise(1000, 7);
    const std::string name = kComic + "/" + kEpisode;
    // libarchive marks UTF-8 names with the zip flag; with a code page option it writes none.
    expectMember(writeArchive("zip", "", {{name, data}}), name, data);
    expectMember(writeArchive("zip", "", {{name, data}}, "hdrcharset=CP932"), name, data);
    // Hand-written, without the flag: raw UTF-8, and code page 932 whose second bytes are "\".
    expectMember(writeZip({{name, data}}), name, data);
    expectMember(writeZip({{toCp932(kSoft + "/" + kCover), data}}), kSoft + "/" + kCover, data);
    // Separators written the Windows way.
    expectMember(writeZip({{toCp932(kComic + "\\" + kEpisode), data}}), name, data);
}

TEST_F(ArchiveNamesTest, TarRarAnd7zNames)
{
    const Bytes data = noise(700, 8);
    const std::string name = kComic + "/" + kEpisode;
    expectMember(writeArchive("pax", "", {{name, data}}), name, data);
    expectMember(writeArchive("ustar", "", {{name, data}}, "hdrcharset=CP932"), name, data);
    expectMember(writeArchive("ustar", "gzip", {{name, data}}), name, data);
    expectMember(writeArchive("7zip", "", {{name, data}}), name, data);
    // An old RAR keeps code page 932 names with "\" separators and no Unicode flag.
    expectMember(writeRar4({{toCp932(kSoft + "/" + kCover), data}}), kSoft + "/" + kCover, data);
}

TEST_F(ArchiveNamesTest, LongNamesAreCutAtCharactersKeepingTheExtension)
{
    std::string longName;
    while (longName.size() < 300)
        longName += kComic;
    const std::string file = longName + ".jpeg";
    const std::string folder = longName + "/" + longName;
    const Bytes data = noise(300, 9);
    for (const Bytes& archive : {writeArchive("zip", "", {{folder + "/" + file, data}}), writeArchive("7zip", "", {{folder + "/" + file, data}})}) {
        const TempFile f(archive);
        const Listing l = listFile(plugin, f.path());
        ASSERT_EQ(l.records.size(), 1u);
        const SpiFileInfo& r = l.records[0];
        const std::string path(r.path, strnlen(r.path, sizeof r.path));
        const std::string name(r.filename, strnlen(r.filename, sizeof r.filename));
        EXPECT_LE(path.size(), 199u);
        EXPECT_LE(name.size(), 199u);
        EXPECT_GE(name.size(), 190u);
        EXPECT_TRUE(archive_spi::isUtf8(path) && archive_spi::isUtf8(name));
        EXPECT_EQ(name.substr(name.size() - 5), ".jpeg");
        EXPECT_EQ(folder.compare(0, path.size(), path), 0);
        const Extracted e = extractFile(plugin, f.path(), r.position);
        EXPECT_TRUE(e.data && *e.data == data);
    }
}

TEST(ArchiveNames, SplittingAndFitting)
{
    using archive_spi::fitName;
    using archive_spi::splitEntryName;
    EXPECT_EQ(splitEntryName("a/b/c.jpg", false).folder, "a/b");
    EXPECT_EQ(splitEntryName("a/b/c.jpg", false).name, "c.jpg");
    EXPECT_EQ(splitEntryName("./a//b/", false).folder, "a/b");
    EXPECT_EQ(splitEntryName("./a//b/", false).name, "");
    EXPECT_EQ(splitEntryName("a\\b.jpg", false).name, "a\\b.jpg");
    EXPECT_EQ(splitEntryName("a\\b.jpg", true).folder, "a");
    EXPECT_EQ(fitName("abcdef.jpg", 8), "abcd.jpg");
    EXPECT_EQ(fitName("abc", 8), "abc");
    // No room for the extension: the name is cut like any text, never in a character.
    EXPECT_EQ(fitName("a." + std::string(20, 'x'), 8), "a.xxxxxx");
    EXPECT_EQ(fitName(kComic + kComic + ".png", 10), kComic.substr(0, 6) + ".png");
    EXPECT_EQ(archive_spi::utf8Prefix(kComic, 5), kComic.substr(0, 3));
    // Bytes that are not UTF-8 count one by one.
    EXPECT_EQ(archive_spi::utf8Prefix("\xFF\xFE\xFD", 2), "\xFF\xFE");
}

}  // namespace
