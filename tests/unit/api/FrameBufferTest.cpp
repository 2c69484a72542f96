#include "api/SurfaceClass.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(FrameBuffer, ViewGoesFirst)
{
    image::ScriptSurface surface;
    EXPECT_EQ(api::frameBuffer(surface), nullptr) << "no view without pixels";
    ASSERT_TRUE(surface.create(2, 2, 32));
    std::unique_ptr<api::MemoryBlock> view(api::frameBuffer(surface));
    EXPECT_EQ(api::frameBuffer(surface), view.get()) << "one view at a time";
    EXPECT_STREQ(view->kindName(), "FrameBuffer");
    EXPECT_EQ(view->size(), 16u);
    EXPECT_EQ(view->lock(), surface.lockBits());
    EXPECT_FALSE(view->allocate(4));
    EXPECT_FALSE(view->resize(4));
    EXPECT_FALSE(view->loadFromFile("/dev/null", 0));
    view->free();
    EXPECT_EQ(api::cachedFrameBuffer(surface), nullptr) << "free cuts the link";
    EXPECT_FALSE(view->isValid());
    view.reset();
    EXPECT_TRUE(surface.isValid());
    std::unique_ptr<api::MemoryBlock> again(api::frameBuffer(surface));
    EXPECT_NE(again, nullptr);
}

TEST(FrameBuffer, SurfaceGoesFirst)
{
    auto surface = std::make_unique<image::ScriptSurface>();
    ASSERT_TRUE(surface->create(2, 2, 32));
    std::unique_ptr<api::MemoryBlock> view(api::frameBuffer(*surface));
    surface.reset();
    EXPECT_FALSE(view->isValid());
    EXPECT_EQ(view->size(), 0u);
    EXPECT_EQ(view->lock(), nullptr);
    view->unlock();
    view->free();
}

}  // namespace
