#include "ArchiveFixtures.h"
#include "PluginLoader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

using namespace fixtures;

namespace {

class ArchiveCursorTest : public ::testing::Test {
protected:
    ArchivePlugin plugin;
};

std::vector<Member> comic(int pages, std::size_t pageSize) { return comicPages(pages, pageSize); }

// Pages by name, in the listing's order or reversed, every one byte-exact.
void readAllPages(const ArchivePlugin& plugin, const TempFile& file, const std::vector<Member>& pages, bool reverse)
{
    const Listing l = listFile(plugin, file.path());
    ASSERT_EQ(l.records.size(), pages.size());
    std::vector<const Member*> order;
    for (const Member& m : pages)
        order.push_back(&m);
    if (reverse)
        std::reverse(order.begin(), order.end());
    for (const Member* m : order) {
        const SpiFileInfo* r = find(l, m->name);
        ASSERT_TRUE(r) << m->name;
        const Extracted e = extractFile(plugin, file.path(), r->position);
        ASSERT_TRUE(e.data && *e.data == m->data) << m->name;
    }
}

TEST_F(ArchiveCursorTest, AComicOfThreeHundredPagesInOrderAndBack)
{
    const std::vector<Member> pages = comic(300, 1000);
    for (const Bytes& archive : {writeArchive("zip", "", pages), writeArchive("7zip", "", pages), writeArchive("pax", "xz", pages)}) {
        const TempFile file(archive);
        readAllPages(plugin, file, pages, false);
    }
    const TempFile zip(writeArchive("zip", "", pages));
    readAllPages(plugin, zip, pages, true);
    // Backwards through a solid archive every page starts a new pass: fewer pages.
    const std::vector<Member> few = comic(30, 1000);
    const TempFile seven(writeArchive("7zip", "", few));
    readAllPages(plugin, seven, few, true);
}

TEST_F(ArchiveCursorTest, LargeSolidMembersOutOfOrder)
{
    const std::vector<Member> pages = comic(3, 1 << 20);
    const TempFile file(writeArchive("7zip", "", pages, "7zip:compression=deflate"));
    for (const std::uint32_t ordinal : {2u, 1u, 0u, 2u}) {
        const Extracted e = extractFile(plugin, file.path(), ordinal);
        EXPECT_TRUE(e.data && *e.data == pages[ordinal].data) << ordinal;
    }
}

TEST_F(ArchiveCursorTest, AnArchiveChangedOnDiskIsReadAfresh)
{
    const TempFile file(writeArchive("7zip", "", {{"a.txt", bytesOf("first")}, {"b.txt", bytesOf("second")}}));
    EXPECT_TRUE(extractFile(plugin, file.path(), 0).data == bytesOf("first"));
    file.rewrite(writeArchive("7zip", "", {{"a.txt", bytesOf("other one")}, {"b.txt", bytesOf("other two!")}}));
    EXPECT_TRUE(extractFile(plugin, file.path(), 1).data == bytesOf("other two!"));
    EXPECT_TRUE(extractFile(plugin, file.path(), 0).data == bytesOf("other one"));
    EXPECT_FALSE(extractFile(plugin, file.path(), 2).data);
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// An archive rewritten in place at the same size, its modification time then set back (restored
// from a copy with its time stamp), is read afresh: the zip directory and the reader kept open
// for a solid archive both belong to the old bytes.
TEST_F(ArchiveCursorTest, AnArchiveRestoredWithItsOldTimeStampIsReadAfresh)
{
    for (const std::string format : {"zip", "7zip"}) {
        SCOPED_TRACE(format);
        const auto version = [&format](const char* a, const char* b) {
            return writeArchive(format, "", {{"a.txt", bytesOf(a)}, {"b.txt", bytesOf(b)}}, format + ":compression=store");
        };
        const Bytes before = version("first", "second"), after = version("FIRST", "SECOND");
        ASSERT_EQ(before.size(), after.size());
        const TempFile file(before);
        struct stat old{};
        ASSERT_EQ(::stat(file.path().c_str(), &old), 0);
        const Listing l = listFile(plugin, file.path());
        ASSERT_EQ(l.records.size(), 2u);
        const std::uint32_t a = find(l, "a.txt")->position, b = find(l, "b.txt")->position;
        EXPECT_TRUE(extractFile(plugin, file.path(), a).data == bytesOf("first"));

        file.rewrite(after);
        const timespec times[2] = {old.st_atim, old.st_mtim};
        struct stat now{};
        // Setting the time stamp changes the change time, once the clock has moved on.
        for (int tries = 0; tries < 1000; ++tries) {
            ASSERT_EQ(::utimensat(AT_FDCWD, file.path().c_str(), times, 0), 0);
            ASSERT_EQ(::stat(file.path().c_str(), &now), 0);
            if (!sameTime(now.st_ctim, old.st_ctim))
                break;
            ::usleep(1000);
        }
        ASSERT_TRUE(sameTime(now.st_mtim, old.st_mtim));
        ASSERT_EQ(now.st_size, old.st_size);
        ASSERT_EQ(now.st_ino, old.st_ino) << "rewritten in place";

        const Listing fresh = listFile(plugin, file.path());
        ASSERT_EQ(fresh.records.size(), 2u);
        EXPECT_TRUE(extractFile(plugin, file.path(), b).data == bytesOf("SECOND"));
        EXPECT_TRUE(extractFile(plugin, file.path(), a).data == bytesOf("FIRST"));
    }
}

struct ProgressLog {
    std::vector<std::pair<int, int>> calls;
    int abortAt = -1;
    const ArchivePlugin* nested = nullptr;
    std::string nestedPath;
    std::uint32_t nestedPosition = 0;
    std::optional<Bytes> nestedResult;
};

int logProgress(int done, int total, intptr_t user)
{
    auto* log = reinterpret_cast<ProgressLog*>(user);
    log->calls.emplace_back(done, total);
    if (log->nested && !log->nestedResult) {
        // A script that reads another page from inside its progress function.
        log->nestedResult = extractFile(*log->nested, log->nestedPath, log->nestedPosition).data;
    }
    return static_cast<int>(log->calls.size()) - 1 == log->abortAt ? 1 : 0;
}

TEST_F(ArchiveCursorTest, ProgressReportsStartAndEndAndCanStop)
{
    const std::vector<Member> pages = comic(3, 3 << 20);
    // LZMA takes long to write megabytes of noise; the reading side is the same for any method.
    for (const Bytes& archive : {writeArchive("zip", "", pages), writeArchive("7zip", "", pages, "7zip:compression=deflate")}) {
        const TempFile file(archive);
        const Listing l = listFile(plugin, file.path());
        ASSERT_EQ(l.records.size(), 3u);
        const SpiFileInfo* first = find(l, pages[0].name);
        ProgressLog log;
        const Extracted whole = extractFile(plugin, file.path(), first->position, logProgress, reinterpret_cast<intptr_t>(&log));
        ASSERT_TRUE(whole.data && *whole.data == pages[0].data);
        ASSERT_GE(log.calls.size(), 3u);
        EXPECT_EQ(log.calls.front(), std::make_pair(0, 3 << 20));
        EXPECT_EQ(log.calls.back(), std::make_pair(3 << 20, 3 << 20));
        for (std::size_t i = 1; i < log.calls.size(); ++i)
            EXPECT_LT(log.calls[i - 1].first, log.calls[i].first);

        ProgressLog stop;
        stop.abortAt = 1;
        const Extracted stopped = extractFile(plugin, file.path(), first->position, logProgress, reinterpret_cast<intptr_t>(&stop));
        EXPECT_EQ(stopped.result, SPI_ABORT);
        SCOPED_TRACE(archive[0] == 'P' ? "zip" : "7z");
        EXPECT_FALSE(stopped.data);
        // The next read is not disturbed by the one that stopped.
        EXPECT_TRUE(extractFile(plugin, file.path(), find(l, pages[1].name)->position).data == pages[1].data);

        ProgressLog nested;
        nested.nested = &plugin;
        nested.nestedPath = file.path();
        nested.nestedPosition = find(l, pages[2].name)->position;
        const Extracted outer = extractFile(plugin, file.path(), first->position, logProgress, reinterpret_cast<intptr_t>(&nested));
        EXPECT_TRUE(outer.data && *outer.data == pages[0].data);
        EXPECT_TRUE(nested.nestedResult == pages[2].data);
    }
}

TEST_F(ArchiveCursorTest, ArchiveInsideAnArchive)
{
    const std::vector<Member> inner = {{"in/a.jpg", noise(4000, 20)}, {"in/b.jpg", noise(5000, 21)}};
    const Bytes innerZip = writeArchive("zip", "", inner);
    const Bytes inner7z = writeArchive("7zip", "", inner);
    const Bytes outer = writeArchive("zip", "", {{"inner.zip", innerZip}, {"inner.7z", inner7z}, {"x.txt", bytesOf("x")}});
    const TempFile file(outer);
    const Listing l = listFile(plugin, file.path());
    const Extracted zip = extractFile(plugin, file.path(), find(l, "inner.zip")->position);
    const Extracted seven = extractFile(plugin, file.path(), find(l, "inner.7z")->position);
    ASSERT_TRUE(zip.data && seven.data);
    // The extracted archive is a Buffer: listed and read from memory.
    const Listing zl = listMemory(plugin, *zip.data);
    ASSERT_EQ(zl.records.size(), 2u);
    for (const Member& m : inner) {
        const Extracted e = extractMemory(plugin, *zip.data, find(zl, m.name)->position);
        EXPECT_TRUE(e.data && *e.data == m.data) << m.name;
    }
    // A 7z member is found by number, which a block from the member on cannot give: refused.
    const Listing sl = listMemory(plugin, *seven.data);
    ASSERT_EQ(sl.records.size(), 2u);
    EXPECT_FALSE(extractMemory(plugin, *seven.data, sl.records[0].position).data);
}

}  // namespace
