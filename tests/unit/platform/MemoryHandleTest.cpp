#include "platform/MemoryHandle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace memory = platform::memory;
using memory::Heap;

TEST(MemoryHandle, LocksNestAndCount)
{
    memory::OwnedHandle h = memory::OwnedHandle::allocate(Heap::Global, 16);
    ASSERT_TRUE(h);
    EXPECT_EQ(h.size(), 16u);
    EXPECT_EQ(memory::lockCount(h.get()), 0u);
    std::uint8_t* a = memory::lock(h.get());
    std::uint8_t* b = memory::lock(h.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(memory::lockCount(h.get()), 2u);
    EXPECT_TRUE(memory::unlock(h.get()));
    EXPECT_FALSE(memory::unlock(h.get()));
    EXPECT_FALSE(memory::unlock(h.get())) << "an unlock without a lock changes nothing";
    EXPECT_EQ(memory::lockCount(h.get()), 0u);
}

TEST(MemoryHandle, ZeroSizeBlockStillLocks)
{
    memory::OwnedHandle h = memory::OwnedHandle::allocate(Heap::Global, 0);
    ASSERT_TRUE(h);
    EXPECT_EQ(h.size(), 0u);
    const memory::Lock lock(h.get());
    EXPECT_NE(lock.data(), nullptr);
}

TEST(MemoryHandle, ResizeKeepsContentAndHandle)
{
    memory::OwnedHandle h = memory::OwnedHandle::allocate(Heap::Local, 4);
    std::memcpy(memory::Lock(h.get()).data(), "abcd", 4);
    const memory::Handle before = h.get();
    ASSERT_TRUE(memory::resize(h.get(), 1 << 20));
    EXPECT_EQ(h.get(), before);
    EXPECT_EQ(h.size(), 1u << 20);
    EXPECT_EQ(std::memcmp(memory::Lock(h.get()).data(), "abcd", 4), 0);
    ASSERT_TRUE(memory::resize(h.get(), 2));
    EXPECT_EQ(h.size(), 2u);
    EXPECT_EQ(std::memcmp(memory::Lock(h.get()).data(), "ab", 2), 0);
    EXPECT_FALSE(memory::resize(h.get(), memory::kMaxSize + std::size_t{1}));
    EXPECT_EQ(h.size(), 2u) << "a refused resize changes nothing";
}

TEST(MemoryHandle, ALockedBlockIsNotResized)
{
    memory::OwnedHandle h = memory::OwnedHandle::allocate(Heap::Global, 4);
    {
        const memory::Lock held(h.get());
        std::memcpy(held.data(), "wxyz", 4);
        for (const std::size_t size : {std::size_t{2}, std::size_t{4}, std::size_t{1} << 24}) {
            EXPECT_FALSE(memory::resize(h.get(), size)) << size;
            EXPECT_EQ(h.size(), 4u);
            EXPECT_EQ(memory::lock(h.get()), held.data()) << "the holder's address stays good";
            memory::unlock(h.get());
        }
        EXPECT_EQ(std::memcmp(held.data(), "wxyz", 4), 0);
    }
    EXPECT_TRUE(memory::resize(h.get(), 1 << 20)) << "unlocked again, it resizes";
}

TEST(MemoryHandle, StaleAndForeignHandlesAreRefused)
{
    memory::Handle h = memory::allocate(Heap::Global, 8);
    ASSERT_TRUE(memory::isValid(Heap::Global, h));
    EXPECT_FALSE(memory::isValid(Heap::Local, h));
    EXPECT_FALSE(memory::free(Heap::Local, h)) << "the other family's free refuses it";
    EXPECT_TRUE(memory::free(Heap::Global, h));
    EXPECT_FALSE(memory::isValid(Heap::Global, h));
    EXPECT_FALSE(memory::free(Heap::Global, h)) << "double free is refused";
    EXPECT_EQ(memory::lock(h), nullptr);
    EXPECT_EQ(memory::size(h), 0u);
    EXPECT_FALSE(memory::resize(h, 4));

    for (const memory::Handle forged : {memory::Handle{1}, memory::Handle{0x1234}, h + 1, ~memory::Handle{0}}) {
        EXPECT_FALSE(memory::isValid(Heap::Global, forged));
        EXPECT_EQ(memory::lock(forged), nullptr);
    }
    EXPECT_EQ(memory::allocate(Heap::Global, memory::kMaxSize + std::size_t{1}), memory::kNull);
}

TEST(MemoryHandle, OwnedHandleReleaseHandsOver)
{
    memory::OwnedHandle h = memory::OwnedHandle::allocate(Heap::Global, 3);
    const memory::Handle raw = h.release();
    EXPECT_FALSE(h);
    EXPECT_TRUE(memory::isValid(Heap::Global, raw));
    memory::OwnedHandle again(Heap::Global, raw);
    again.reset();
    EXPECT_FALSE(memory::isValid(Heap::Global, raw));
}
