#include "ArchiveFixtures.h"
#include "PluginLoader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace fixtures;

namespace {

class ArchiveBadInputTest : public ::testing::Test {
protected:
    ArchivePlugin plugin;

    // Extraction of the only member fails both ways, and no block comes back.
    void expectRefused(const Bytes& zip, int expected = -1)
    {
        const TempFile file(zip);
        const Listing l = listFile(plugin, file.path());
        ASSERT_EQ(l.records.size(), 1u);
        const Extracted viaFile = extractFile(plugin, file.path(), l.records[0].position);
        const Extracted viaMemory = extractMemory(plugin, zip, l.records[0].position);
        EXPECT_NE(viaFile.result, SPI_SUCCESS);
        EXPECT_NE(viaMemory.result, SPI_SUCCESS);
        EXPECT_FALSE(viaFile.data || viaMemory.data);
        if (expected >= 0) {
            EXPECT_EQ(viaFile.result, expected);
            EXPECT_EQ(viaMemory.result, expected);
        }
    }
};

TEST_F(ArchiveBadInputTest, MembersThatLieAboutTheirSizeAreRefused)
{
    const Bytes zeros(1 << 20, 0);
    // Expands a thousandfold beyond what it declares.
    expectRefused(writeZip({{"bomb.bin", zeros, true, 0, 1000}}));
    expectRefused(writeZip({{"bomb.bin", zeros, true, 0, 1000, -1, -1, true}}));
    // Declares more than it holds.
    expectRefused(writeZip({{"short.bin", Bytes(1000, 1), true, 0, 5000}}));
    expectRefused(writeZip({{"stored.bin", Bytes(1000, 1), false, 0, 999}}));
    // Declares a ratio no deflate stream reaches.
    expectRefused(writeZip({{"huge.bin", Bytes(10, 1), true, 0, 0xF0000000}}));
}

TEST_F(ArchiveBadInputTest, EncryptedAndDamagedMembersAreErrorResults)
{
    expectRefused(writeZip({{"locked.jpg", noise(2000, 1), true, 0x0001}}), SPI_NOT_SUPPORT);
    Bytes damaged = writeZip({{"damaged.jpg", noise(5000, 3), true}});
    damaged[30 + 11 + 100] ^= 0x55;  // inside the deflate stream
    expectRefused(damaged);
    Bytes flipped = writeZip({{"flipped.jpg", noise(3000, 2)}});
    flipped[100] ^= 1;  // a stored byte: the CRC no longer holds
    expectRefused(flipped);
}

TEST_F(ArchiveBadInputTest, DirectoryThatLiesAboutOffsets)
{
    for (const std::int64_t offset : {std::int64_t(7), std::int64_t(123456), std::int64_t(0xFFFFFFF0)}) {
        const Bytes zip = writeZip({{"a.jpg", noise(500, 3), false, 0, -1, -1, offset}});
        const TempFile file(zip);
        const Listing l = listFile(plugin, file.path());
        ASSERT_EQ(l.records.size(), 1u);
        const Extracted e = extractFile(plugin, file.path(), l.records[0].position);
        EXPECT_NE(e.result, SPI_SUCCESS);
        EXPECT_FALSE(e.data);
    }
    // Positions that point anywhere: an error, never a crash.
    const Bytes zip = writeArchive("zip", "", {{"a.jpg", noise(5000, 4)}, {"b.jpg", noise(5000, 5)}});
    const TempFile file(zip);
    for (std::uint32_t position : {1u, 29u, 30u, 4999u, static_cast<std::uint32_t>(zip.size() - 1), static_cast<std::uint32_t>(zip.size()),
                                   0xFFFFFFFFu}) {
        EXPECT_FALSE(extractFile(plugin, file.path(), position).data) << position;
        EXPECT_FALSE(extractMemory(plugin, zip, position).data) << position;
    }
}

TEST_F(ArchiveBadInputTest, SizesAfterTheDataAreTakenFromTheDirectory)
{
    const Bytes data = noise(4000, 6);
    const Bytes zip = writeZip({{"first.jpg", noise(100, 7), false, 0, -1, -1, -1, true}, {"second.jpg", data, false, 0, -1, -1, -1, true}},
                               bytesOf("#!/bin/sh\nexit 0\n"));
    const TempFile file(zip);
    const Listing l = listFile(plugin, file.path());
    ASSERT_EQ(l.records.size(), 2u);
    const SpiFileInfo* r = find(l, "second.jpg");
    ASSERT_TRUE(r);
    // Offsets count from the start of the file, in front of which something else stands.
    EXPECT_EQ(std::memcmp(zip.data() + r->position, "PK\x03\x04", 4), 0);
    const Extracted viaFile = extractFile(plugin, file.path(), r->position);
    const Extracted viaMemory = extractMemory(plugin, zip, r->position);
    EXPECT_TRUE(viaFile.data && *viaFile.data == data);
    EXPECT_TRUE(viaMemory.data && *viaMemory.data == data);
}

TEST_F(ArchiveBadInputTest, TruncatedAndForeignInput)
{
    const std::vector<Member> members = {{"a.jpg", noise(20000, 8)}, {"b.jpg", noise(20000, 9)}, {"c.jpg", noise(20000, 10)}};
    for (const Bytes& whole : {writeArchive("zip", "", members), writeArchive("7zip", "", members), writeArchive("pax", "gzip", members),
                               writeArchive("pax", "", members), writeRar4(members)}) {
        for (const std::size_t cut : {std::size_t(10), whole.size() / 3, whole.size() / 2, whole.size() - 30}) {
            const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            const TempFile file(part);
            const Listing l = listFile(plugin, file.path());
            EXPECT_NE(l.result, -200) << "a list without its end record";
            if (l.result != SPI_SUCCESS && l.result != SPI_NOT_SUPPORT) {
                EXPECT_TRUE(l.records.empty());
            }
            for (const SpiFileInfo& r : l.records) {
                const Extracted e = extractFile(plugin, file.path(), r.position);
                if (e.data) {
                    EXPECT_EQ(e.data->size(), r.filesize);
                }
            }
        }
    }
    const Listing foreign = listMemory(plugin, noise(10000, 11));
    EXPECT_NE(foreign.result, SPI_SUCCESS);
    EXPECT_TRUE(foreign.records.empty());
    EXPECT_FALSE(extractMemory(plugin, noise(10000, 11), 0).data);
    EXPECT_FALSE(listMemory(plugin, {}).records.size());
}

TEST_F(ArchiveBadInputTest, NamedPipeIsRefusedWithoutWaiting)
{
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/archive-spi-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(listFile(plugin, path).result, SPI_FILE_READ_ERROR);
    EXPECT_EQ(extractFile(plugin, path, 0).result, SPI_FILE_READ_ERROR);
    unlink(path.c_str());
    EXPECT_EQ(listFile(plugin, "/nonexistent/archive.zip").result, SPI_FILE_READ_ERROR);
}

TEST_F(ArchiveBadInputTest, AHundredThousandEntries)
{
    std::vector<Member> members;
    members.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        members.push_back({"d" + std::to_string(i / 1000) + "/" + std::to_string(i) + ".txt", bytesOf(std::to_string(i))});
    const Bytes zip = writeArchive("zip", "", members, "zip:compression=store");
    const TempFile file(zip);
    const Listing l = listFile(plugin, file.path());
    EXPECT_EQ(l.result, SPI_SUCCESS);
    ASSERT_EQ(l.records.size(), 100000u);
    const SpiFileInfo* r = find(l, "d77/77777.txt");
    ASSERT_TRUE(r);
    const Extracted e = extractFile(plugin, file.path(), r->position);
    EXPECT_TRUE(e.data && *e.data == bytesOf("77777"));
}

// Mutated archives of every format: listing and extracting each gives an error result or
// consistent output, never a crash (the sanitizer build checks what cannot be seen here).
TEST_F(ArchiveBadInputTest, MutatedArchives)
{
    const std::vector<Member> members = {{"a/", {}}, {"a/1.jpg", noise(3000, 12)}, {"2.txt", bytesOf(std::string(4000, 'q'))}};
    std::mt19937 rng(2024);
    for (const Bytes& original : {writeArchive("zip", "", members), writeArchive("7zip", "", members), writeArchive("pax", "bzip2", members),
                                  writeArchive("gnutar", "xz", members), writeArchive("ustar", "", members), writeRar4(members)}) {
        for (int round = 0; round < 60; ++round) {
            Bytes mutated = original;
            const int edits = 1 + static_cast<int>(rng() % 8);
            for (int k = 0; k < edits; ++k)
                mutated[rng() % mutated.size()] = static_cast<unsigned char>(rng());
            const TempFile file(mutated);
            const Listing l = listFile(plugin, file.path());
            const Listing m = listMemory(plugin, mutated);
            EXPECT_EQ(l.records.size(), m.records.size());
            for (const SpiFileInfo& r : l.records) {
                for (const Extracted& e : {extractFile(plugin, file.path(), r.position), extractMemory(plugin, mutated, r.position)}) {
                    if (e.data) {
                        EXPECT_EQ(e.data->size(), r.filesize);
                    }
                }
            }
        }
    }
}

}  // namespace

namespace {

// Kept fuzzing inputs (and the seeds they grew from), replayed on every test run.
TEST(ArchiveFuzzReplay, KeptInputs)
{
    namespace fs = std::filesystem;
    ArchivePlugin plugin;
    int files = 0;
    for (const char* folder : {"archive_plugin", "zip_directory"}) {
        const fs::path dir = fs::path(SELVARIN_TEST_DATA_DIR) / "fuzz" / folder;
        if (!fs::exists(dir))
            continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const Bytes data((std::istreambuf_iterator<char>(in)), {});
            const TempFile file(data);
            const Listing l = listMemory(plugin, data);
            EXPECT_EQ(listFile(plugin, file.path()).records.size(), l.records.size()) << entry.path();
            for (const SpiFileInfo& r : l.records) {
                for (const Extracted& e : {extractFile(plugin, file.path(), r.position), extractMemory(plugin, data, r.position)}) {
                    if (e.data) {
                        EXPECT_EQ(e.data->size(), r.filesize) << entry.path();
                    }
                }
            }
            ++files;
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
