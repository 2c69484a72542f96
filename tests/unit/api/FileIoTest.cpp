#include "platform/FileIo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace memory = platform::memory;

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/selvarin-fileio-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + m_folder).c_str()); }

    std::string path(const char* name) const { return m_folder + "/" + name; }

    static std::string read(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void write(const std::string& p, const std::string& data)
    {
        std::ofstream(p, std::ios::binary) << data;
    }
    int entries() const
    {
        int n = 0;
        DIR* d = ::opendir(m_folder.c_str());
        while (dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.');
        ::closedir(d);
        return n;
    }

    std::string m_folder;
};

TEST_F(FileIoTest, ReadsWholeFileOrItsFirstBytes)
{
    write(path("a.bin"), std::string("x\0yz", 4));
    auto whole = platform::readFileToBlock(path("a.bin"), 0, memory::Heap::Global);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole.value().size(), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(memory::Lock(whole.value().get()).data()), 4), std::string("x\0yz", 4));
    auto part = platform::readFileToBlock(path("a.bin"), 2, memory::Heap::Local);
    ASSERT_TRUE(part);
    EXPECT_EQ(part.value().size(), 2u);
    EXPECT_EQ(part.value().heap(), memory::Heap::Local);
    EXPECT_FALSE(platform::readFileToBlock(path("missing"), 0, memory::Heap::Global));
    EXPECT_FALSE(platform::readFileToBlock(m_folder, 0, memory::Heap::Global));
}

TEST_F(FileIoTest, ReplacesAndKeepsTheModeOfTheOldFile)
{
    write(path("t.txt"), "old content");
    ::chmod(path("t.txt").c_str(), 0640);
    ASSERT_TRUE(platform::writeFileReplacing(path("t.txt"), "new", 3));
    EXPECT_EQ(read(path("t.txt")), "new");
    struct stat st;
    ASSERT_EQ(::stat(path("t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), 1) << "no temporary file is left behind";
}

TEST_F(FileIoTest, WritesThroughSymbolicLinks)
{
    write(path("real"), "old");
    ASSERT_EQ(::symlink(path("real").c_str(), path("link").c_str()), 0);
    ASSERT_TRUE(platform::writeFileReplacing(path("link"), "new", 3));
    EXPECT_EQ(read(path("real")), "new");
    struct stat st;
    ASSERT_EQ(::lstat(path("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(FileIoTest, FailedWriteLeavesTheOldFileUntouched)
{
    write(path("keep"), "precious");
    // A file-size limit makes the write fail half-way, as a full disk would.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big(100, 'z');
    const bool ok = platform::writeFileReplacing(path("keep"), big.data(), big.size()).ok();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(read(path("keep")), "precious");
    EXPECT_EQ(entries(), 1) << "the temporary file is removed";
}

TEST_F(FileIoTest, RefusesFoldersAndMissingFolders)
{
    ::mkdir(path("sub").c_str(), 0755);
    write(path("sub/inner"), "x");
    EXPECT_FALSE(platform::writeFileReplacing(path("sub"), "x", 1));
    EXPECT_EQ(read(path("sub/inner")), "x");
    EXPECT_FALSE(platform::writeFileReplacing(path("none/x"), "x", 1));
    EXPECT_FALSE(platform::writeFileReplacing(path("trailing/"), "x", 1));
    EXPECT_EQ(entries(), 1);
}

TEST_F(FileIoTest, ScriptPathsUseBackslashes)
{
    std::string scriptPath = path("b.txt");
    for (char& c : scriptPath)
        if (c == '/')
            c = '\\';
    ASSERT_TRUE(platform::writeFileReplacing(scriptPath, "ok", 2));
    EXPECT_EQ(read(path("b.txt")), "ok");
}

}  // namespace
