#include "api/MemoryBlock.h"

#include <gtest/gtest.h>

#include <cstring>

namespace memory = platform::memory;

namespace {

TEST(MemoryBlock, GlobalAllocateResizeFree)
{
    api::GlobalHeapBlock block;
    EXPECT_STREQ(block.kindName(), "GlobalHeap");
    EXPECT_FALSE(block.isValid());
    EXPECT_EQ(block.lock(), nullptr);
    EXPECT_FALSE(block.resize(4)) << "nothing to resize";
    ASSERT_TRUE(block.allocate(5));
    EXPECT_TRUE(block.isValid());
    EXPECT_EQ(block.size(), 5u);
    std::memcpy(api::BlockLock(block).data(), "hello", 5);
    ASSERT_TRUE(block.resize(3));
    EXPECT_EQ(std::memcmp(api::BlockLock(block).data(), "hel", 3), 0);
    block.free();
    EXPECT_FALSE(block.isValid());
    EXPECT_EQ(block.size(), 0u);
    EXPECT_FALSE(block.writeToFile("/tmp/never-written")) << "an invalid block writes nothing";
}

TEST(MemoryBlock, DetachHandsTheMemoryAway)
{
    api::GlobalHeapBlock block;
    ASSERT_TRUE(block.allocate(2));
    const memory::Handle h = block.detach();
    EXPECT_FALSE(block.isValid());
    EXPECT_EQ(block.size(), 0u);
    EXPECT_TRUE(memory::isValid(memory::Heap::Global, h)) << "detach does not free";
    EXPECT_TRUE(memory::free(memory::Heap::Global, h));
}

TEST(MemoryBlock, AdoptTakesTheSmallerSize)
{
    const memory::Handle h = memory::allocate(memory::Heap::Local, 10);
    auto shorter = api::LocalHeapBlock::adopt(h, 4);
    EXPECT_STREQ(shorter->kindName(), "LocalHeap");
    EXPECT_EQ(shorter->size(), 4u);
    shorter.reset();
    EXPECT_FALSE(memory::isValid(memory::Heap::Local, h)) << "the adopted handle is owned";

    const memory::Handle g = memory::allocate(memory::Heap::Local, 6);
    EXPECT_EQ(api::LocalHeapBlock::adopt(g, 100)->size(), 6u);

    EXPECT_FALSE(api::LocalHeapBlock::adopt(platform::memory::kNull, 5)->isValid());
    const memory::Handle global = memory::allocate(memory::Heap::Global, 6);
    EXPECT_FALSE(api::LocalHeapBlock::adopt(global, 5)->isValid()) << "a global handle is not taken";
    EXPECT_TRUE(memory::free(memory::Heap::Global, global));
}

TEST(MemoryBlock, FailedLoadLeavesAnEmptyBlock)
{
    api::GlobalHeapBlock block;
    ASSERT_TRUE(block.allocate(3));
    EXPECT_FALSE(block.loadFromFile("/nonexistent/file", 0));
    EXPECT_FALSE(block.isValid());
}

}  // namespace
