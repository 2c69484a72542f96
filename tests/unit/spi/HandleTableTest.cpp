#include <selvarin/spi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(HandleTable, LockCountsNestAndShowInFlags)
{
    const HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 16);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(LocalFlags(h), 0u);
    void* a = LocalLock(h);
    void* b = LocalLock(h);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(LocalFlags(h) & LMEM_LOCKCOUNT, 2u);
    EXPECT_NE(LocalUnlock(h), 0) << "one lock remains";
    EXPECT_EQ(LocalUnlock(h), 0);
    EXPECT_EQ(LocalUnlock(h), 0) << "unlocking an unlocked block is harmless";
    EXPECT_EQ(LocalFlags(h), 0u);
    EXPECT_EQ(LocalFree(h), 0u);
}

TEST(HandleTable, StaleForgedAndForeignHandlesAreInvalid)
{
    const HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 8);
    const HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(h, 0u);
    ASSERT_NE(g, 0u);
    EXPECT_NE(h, g);
    EXPECT_EQ(LocalFlags(g), LMEM_INVALID_HANDLE) << "a global handle is not a local one";
    EXPECT_EQ(GlobalFlags(h), GMEM_INVALID_HANDLE);
    EXPECT_EQ(LocalFree(g), g) << "the other heap's free refuses it";
    EXPECT_EQ(LocalLock(g), nullptr);

    EXPECT_EQ(LocalFree(h), 0u);
    EXPECT_EQ(LocalFree(h), h) << "double free is refused";
    for (const HLOCAL bad : {HLOCAL{0}, HLOCAL{1}, HLOCAL{8}, h, ~HLOCAL{0}}) {
        EXPECT_EQ(LocalFlags(bad), LMEM_INVALID_HANDLE) << bad;
        EXPECT_EQ(LocalLock(bad), nullptr) << bad;
        EXPECT_EQ(LocalSize(bad), 0u) << bad;
        EXPECT_EQ(LocalReAlloc(bad, 4, LMEM_MOVEABLE), 0u) << bad;
        EXPECT_EQ(LocalUnlock(bad), 0) << bad;
    }
    EXPECT_EQ(GlobalFree(g), 0u);
}

TEST(HandleTable, FreedValuesAreNotHandedOutAgainSoon)
{
    std::set<HLOCAL> seen;
    for (int i = 0; i < 20000; ++i) {
        const HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 4);
        ASSERT_NE(h, 0u);
        EXPECT_TRUE(seen.insert(h).second) << "value " << h << " came back after " << i << " allocations";
        LocalFree(h);
    }
}

TEST(HandleTable, ZeroInitAndZeroSize)
{
    const HLOCAL z = LocalAlloc(LHND, 64);
    auto* p = static_cast<unsigned char*>(LocalLock(z));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p[i], 0) << i;
    LocalUnlock(z);
    LocalFree(z);

    const HLOCAL empty = LocalAlloc(LMEM_MOVEABLE, 0);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(LocalSize(empty), 0u);
    EXPECT_NE(LocalLock(empty), nullptr) << "an empty block still has an address";
    LocalUnlock(empty);
    LocalFree(empty);

    EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, size_t{0xFFFFFFFFu} + 1), 0u) << "sizes are 32-bit";
}

TEST(HandleTable, ReAllocKeepsHandleAndContentAndIsRefusedWhileLocked)
{
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(h), "abcd", 4);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE), 0u) << "locked";
    EXPECT_EQ(GlobalSize(h), 4u);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    EXPECT_EQ(GlobalSize(h), 1u << 20);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_EQ(p[4], 0);
    EXPECT_EQ(p[(1 << 20) - 1], 0);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalReAlloc(h, 2, GMEM_MODIFY), h) << "a flags change keeps the size";
    EXPECT_EQ(GlobalSize(h), 1u << 20);
    GlobalFree(h);
}

TEST(HandleTable, ThreadsShareOneTable)
{
    // Plug-ins may decode on their own threads; handles made anywhere must stay distinct and whole.
    constexpr int kThreads = 4;
    constexpr int kRounds = 3000;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    std::vector<std::vector<HLOCAL>> kept(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures, &kept] {
            for (int i = 0; i < kRounds; ++i) {
                const HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 8);
                auto* p = static_cast<unsigned char*>(LocalLock(h));
                if (!p) {
                    ++failures;
                    continue;
                }
                std::memset(p, t, 8);
                LocalUnlock(h);
                if (i % 3 == 0)
                    kept[t].push_back(h);
                else if (LocalFree(h) != 0)
                    ++failures;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    std::set<HLOCAL> all;
    for (int t = 0; t < kThreads; ++t) {
        for (const HLOCAL h : kept[t]) {
            EXPECT_TRUE(all.insert(h).second);
            const auto* p = static_cast<const unsigned char*>(LocalLock(h));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[7], t);
            LocalUnlock(h);
            LocalFree(h);
        }
    }
}

}  // namespace
