#include "platform/FileIo.h"
#include "platform/Environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <csignal>
#include <fcntl.h>
#include <future>
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

// A blocked open is released by opening the other end, so a regression fails instead of hanging.
template <typename F>
bool returnsPromptly(const std::string& fifo, F call)
{
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        return true;
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    done.wait();
    ::close(fd);
    return false;
}

TEST_F(FileIoTest, FifosAndDevicesFailCleanlyWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_TRUE(returnsPromptly(path("fifo"), [&] {
        auto r = platform::readFileToBlock(path("fifo"), 0, memory::Heap::Global);
        EXPECT_FALSE(r);
        if (!r)
            EXPECT_EQ(r.error().code, ENXIO);
    }));
    for (const char* mode : {"r", "w", "a+"}) {
        EXPECT_TRUE(returnsPromptly(path("fifo"), [&] {
            FILE* f = platform::openPlainStream(path("fifo"), mode);
            EXPECT_EQ(f, nullptr) << mode;
            if (f)
                std::fclose(f);
        }));
    }
    EXPECT_FALSE(platform::readFileToBlock("/dev/zero", 0, memory::Heap::Global)) << "a device is not a file";
    EXPECT_EQ(platform::openPlainStream("/dev/zero", "r"), nullptr);
}

TEST_F(FileIoTest, PlainStreamsKeepTheModesOfFopen)
{
    write(path("s.txt"), "abc");
    FILE* f = platform::openPlainStream(path("s.txt"), "a");
    ASSERT_NE(f, nullptr);
    std::fputs("def", f);
    std::fclose(f);
    EXPECT_EQ(read(path("s.txt")), "abcdef");
    f = platform::openPlainStream(path("s.txt"), "r+b");
    ASSERT_NE(f, nullptr);
    std::fputs("X", f);
    std::fclose(f);
    EXPECT_EQ(read(path("s.txt")), "Xbcdef");
    f = platform::openPlainStream(path("s.txt"), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(read(path("s.txt")), "") << "w truncates";
    EXPECT_EQ(platform::openPlainStream(path("missing"), "r"), nullptr);
    EXPECT_EQ(platform::openPlainStream(path("s.txt"), "x"), nullptr);
    f = platform::openPlainStream(m_folder, "r");
    EXPECT_NE(f, nullptr) << "a folder opens for reading, as with fopen";
    if (f)
        std::fclose(f);
}

TEST_F(FileIoTest, FilesOfFourGigabytesAreNotCutToTheirLowWord)
{
    // A sparse file of 4 GiB + 3 bytes: its low word says 3.
    const std::string big = path("big");
    write(big, "");
    ASSERT_EQ(::truncate(big.c_str(), (off_t{1} << 32) + 3), 0);
    auto whole = platform::readFileToBlock(big, 0, memory::Heap::Global);
    EXPECT_FALSE(whole);
    if (!whole)
        EXPECT_EQ(whole.error().code, EFBIG);
    auto head = platform::readFileToBlock(big, 10, memory::Heap::Global);
    ASSERT_TRUE(head) << "a maximum below the size reads that many bytes";
    EXPECT_EQ(head.value().size(), 10u);
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

TEST_F(FileIoTest, NewFilesTakeTheUmaskWithoutTouchingIt)
{
    const mode_t saved = ::umask(027);
    // Files made by another thread meanwhile must never see a cleared umask.
    std::atomic<bool> stop{false};
    std::atomic<int> loose{0};
    std::thread other([&] {
        for (int i = 0; !stop; ++i) {
            const std::string p = path("other") + std::to_string(i % 4);
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            struct stat st;
            if (fd >= 0 && ::fstat(fd, &st) == 0 && (st.st_mode & 027) != 0)
                ++loose;
            ::close(fd);
            ::unlink(p.c_str());
        }
    });
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(platform::writeFileReplacing(path("n.txt"), "x", 1));
        ::unlink(path("n.txt").c_str());
    }
    stop = true;
    other.join();
    ASSERT_TRUE(platform::writeFileReplacing(path("n.txt"), "x", 1));
    ::umask(saved);
    struct stat st;
    ASSERT_EQ(::stat(path("n.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(loose, 0) << "files of another thread were made while the umask was 0";
}

TEST_F(FileIoTest, APlantedLinkIsNoPrivateFolder)
{
    ASSERT_EQ(::mkdir(path("mine").c_str(), 0700), 0);
    EXPECT_TRUE(platform::usePrivateFolder(path("mine")));
    EXPECT_TRUE(platform::usePrivateFolder(path("new")));
    struct stat st;
    ASSERT_EQ(::stat(path("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::symlink(path("mine").c_str(), path("planted").c_str()), 0);
    EXPECT_FALSE(platform::usePrivateFolder(path("planted"))) << "a link to a private folder is still a link";
    ASSERT_EQ(::mkdir(path("open").c_str(), 0755), 0);
    ::chmod(path("open").c_str(), 0755);
    EXPECT_FALSE(platform::usePrivateFolder(path("open")));
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
