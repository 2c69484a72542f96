#include "platform/Directory.h"
#include "platform/FileInfo.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("selvarin-dir-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_root / "locked", fs::perms::owner_all, ec);
        fs::remove_all(m_root, ec);
    }

    void file(const std::string& utf8Name, std::size_t size = 0)
    {
        std::ofstream(m_root / utf8Name) << std::string(size, 'x');
    }
    void folder(const std::string& utf8Name) { fs::create_directory(m_root / utf8Name); }

    // The root in script form, with a trailing backslash.
    std::string script() const { return platform::fromOsPath(m_root.string()) + "\\"; }

    fs::path m_root;
};

TEST_F(DirectoryTest, FoldersFirstThenFilesInCollationOrder)
{
    file("b.txt");
    file("A.txt");
    file("a.txt");
    file("ソ.txt");
    folder("zdir");
    folder("_under");
    folder("Bdir");
    const std::vector<std::string> names = platform::findFiles(script() + "*");
    const std::vector<std::string> expected = {".", "..", "_under", "Bdir", "zdir", "a.txt", "A.txt", "b.txt", "\x83\x5c.txt"};
    EXPECT_EQ(names, expected);
}

TEST_F(DirectoryTest, PatternsSelectEntries)
{
    file("one.JPG");
    file("two.jpg");
    file("three.png");
    file("README");
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::findFiles(script() + "*.jpg"), (V{"one.JPG", "two.jpg"}));
    EXPECT_EQ(platform::findFiles(script() + "t??.*"), (V{"two.jpg"}));
    EXPECT_EQ(platform::findFiles(script() + "*.*").size(), 6u) << "README and the two dot entries too";
    EXPECT_EQ(platform::findFiles(script() + "README"), (V{"README"})) << "a name without wildcards is looked up";
    EXPECT_TRUE(platform::findFiles(script() + "*.gif").empty());
    EXPECT_TRUE(platform::findFiles(script() + "missing\\*").empty());
    EXPECT_TRUE(platform::findFiles(script()).empty()) << "an empty last piece matches nothing";
    EXPECT_TRUE(platform::findFiles("").empty());
}

TEST_F(DirectoryTest, SeparatorsAndDoubleByteNames)
{
    folder("表");
    file("表/ソ.txt");
    using V = std::vector<std::string>;
    const std::string hyo = "\x95\x5c";
    EXPECT_EQ(platform::findFiles(script() + hyo + "\\*.txt"), (V{"\x83\x5c.txt"}));
    EXPECT_EQ(platform::findFiles(script() + hyo + "/*.txt"), (V{"\x83\x5c.txt"}));
    EXPECT_EQ(platform::findFiles(script() + "\x95*"), (V{}) ) << "a lone lead byte is not half of 表";
}

TEST_F(DirectoryTest, EveryNameIsListedAndLeadsBackToItsFile)
{
    // Names code page 932 cannot spell, bytes that are not UTF-8, and the characters a script
    // path gives a meaning of its own.
    const std::vector<std::string> names = {"caf\u00e9.txt", "\uc0ac\uc9c4.txt", "\U0001F600.txt", "\xe9t\xe9.txt",
                                            "what?.txt", "star*.txt", "back\\slash.txt", "\u9ad9.txt"};
    for (std::size_t i = 0; i < names.size(); ++i)
        file(names[i], i + 1);
    file("whatX.txt", 100);
    const std::vector<std::string> listed = platform::findFiles(script() + "*.txt");
    ASSERT_EQ(listed.size(), names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = platform::fromOsPath(names[i]);
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << names[i];
        EXPECT_FALSE(platform::hasWildcard(name)) << names[i];
        const auto info = platform::fileInfo(script() + name);
        ASSERT_TRUE(info.ok()) << names[i];
        EXPECT_EQ(info.value().size, i + 1) << names[i] << ": the very file, not one a wildcard found";
        const auto bytes = platform::readWholeFile(script() + name);
        ASSERT_TRUE(bytes.ok()) << names[i];
        EXPECT_EQ(bytes.value().size(), i + 1);
    }
    EXPECT_EQ(platform::findFiles(script() + "caf?.txt"), (std::vector<std::string>{platform::fromOsPath("caf\u00e9.txt")}));
    EXPECT_TRUE(platform::findFiles(script() + "\x95").empty()) << "a lone lead byte names nothing";
}

TEST_F(DirectoryTest, EscapedNamesSortByTheirCharacters)
{
    file("b.txt");
    file("\u00e4.txt");
    file("a.txt");
    const std::vector<std::string> names = platform::findFiles(script() + "*.txt");
    const std::vector<std::string> expected = {"a.txt", platform::fromOsPath("\u00e4.txt"), "b.txt"};
    EXPECT_EQ(names, expected) << "ä sorts with a, not after every code page 932 character";
}

TEST_F(DirectoryTest, UnreadableFoldersAndBrokenLinksFailSilently)
{
    folder("locked");
    file("locked/inside");
    fs::permissions(m_root / "locked", fs::perms::none);
    fs::create_symlink(m_root / "nowhere", m_root / "dangling");
    fs::create_symlink(m_root / "locked", m_root / "linkdir");
    if (geteuid() != 0)
        EXPECT_TRUE(platform::findFiles(script() + "locked\\*").empty());
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::findFiles(script() + "*"), (V{".", "..", "linkdir", "locked", "dangling"}))
        << "a link to a folder counts as a folder, a dangling link as a file";
    const auto info = platform::fileInfo(script() + "dangling");
    ASSERT_TRUE(info.ok());
    EXPECT_FALSE(info.value().isDirectory);
}

TEST_F(DirectoryTest, FileInformation)
{
    file("data.bin", 1234);
    file(".secret");
    folder("sub");
    const auto data = platform::fileInfo(script() + "data.bin");
    ASSERT_TRUE(data.ok());
    EXPECT_EQ(data.value().size, 1234u);
    EXPECT_FALSE(data.value().isDirectory);
    EXPECT_FALSE(data.value().isHidden);
    EXPECT_FALSE(data.value().isReadOnly);
    struct stat st;
    ASSERT_EQ(stat((m_root / "data.bin").c_str(), &st), 0);
    EXPECT_EQ(data.value().lastWriteTime, st.st_mtime);
    EXPECT_LE(data.value().createTime, data.value().lastWriteTime + 1);
    EXPECT_GT(data.value().createTime, 1600000000);

    const auto sub = platform::fileInfo(script() + "sub");
    ASSERT_TRUE(sub.ok());
    EXPECT_TRUE(sub.value().isDirectory);
    EXPECT_EQ(sub.value().size, 0u);

    ASSERT_TRUE(platform::fileInfo(script() + ".secret").ok());
    EXPECT_TRUE(platform::fileInfo(script() + ".secret").value().isHidden);
    EXPECT_FALSE(platform::fileInfo(script() + "missing").ok());
    EXPECT_TRUE(platform::fileInfo(script() + "*.bin").ok()) << "the first match of a pattern";

    fs::permissions(m_root / "data.bin", fs::perms::owner_read);
    if (geteuid() != 0)
        EXPECT_TRUE(platform::fileInfo(script() + "data.bin").value().isReadOnly);
}

TEST_F(DirectoryTest, VeryLongPathsFailSilently)
{
    const std::string longName(5000, 'x');
    EXPECT_TRUE(platform::findFiles(script() + longName).empty());
    EXPECT_TRUE(platform::findFiles(script() + longName + "\\*").empty());
    EXPECT_FALSE(platform::fileInfo(script() + longName).ok());
}

}  // namespace
