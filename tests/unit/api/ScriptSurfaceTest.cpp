#include "api/ScriptSurface.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(ScriptSurface, GeometryAndLowestAddress)
{
    api::ScriptSurface bottomUp;
    EXPECT_FALSE(bottomUp.isValid());
    EXPECT_EQ(bottomUp.frameBuffer(), nullptr) << "no view without pixels";
    EXPECT_EQ(bottomUp.lockBits(), nullptr);
    ASSERT_TRUE(bottomUp.create(5, 3, 32));
    EXPECT_EQ(bottomUp.typeTag(), 0x44494253u);
    EXPECT_EQ(bottomUp.pitch(), -20);
    EXPECT_EQ(bottomUp.height(), 3);
    EXPECT_EQ(bottomUp.sizeInBytes(), 60u);
    // The lowest address is the start of the last row in display order.
    EXPECT_EQ(bottomUp.lockBits(), bottomUp.pixelView()->row(2));

    api::ScriptSurface topDown;
    ASSERT_TRUE(topDown.create(5, -3, 32));
    EXPECT_EQ(topDown.pitch(), 20);
    EXPECT_EQ(topDown.lockBits(), topDown.pixelView()->row(0));
    EXPECT_FALSE(topDown.create(0, 3, 32)) << "a failed create leaves no pixels";
    EXPECT_FALSE(topDown.isValid());
}

TEST(ScriptSurface, ViewGoesFirst)
{
    api::ScriptSurface surface;
    ASSERT_TRUE(surface.create(2, 2, 32));
    std::unique_ptr<api::MemoryBlock> view(surface.frameBuffer());
    EXPECT_EQ(surface.frameBuffer(), view.get()) << "one view at a time";
    EXPECT_STREQ(view->kindName(), "FrameBuffer");
    EXPECT_EQ(view->size(), 16u);
    EXPECT_FALSE(view->allocate(4));
    EXPECT_FALSE(view->resize(4));
    EXPECT_FALSE(view->loadFromFile("/dev/null", 0));
    view->free();
    view.reset();
    EXPECT_EQ(surface.cachedView(), nullptr);
    EXPECT_TRUE(surface.isValid());
    std::unique_ptr<api::MemoryBlock> again(surface.frameBuffer());
    EXPECT_NE(again, nullptr);
}

TEST(ScriptSurface, SurfaceGoesFirst)
{
    auto surface = std::make_unique<api::ScriptSurface>();
    ASSERT_TRUE(surface->create(2, 2, 32));
    std::unique_ptr<api::MemoryBlock> view(surface->frameBuffer());
    surface.reset();
    EXPECT_FALSE(view->isValid());
    EXPECT_EQ(view->size(), 0u);
    EXPECT_EQ(view->lock(), nullptr);
    view->unlock();
    view->free();
}

TEST(ScriptSurface, ReleaseHookHearsBeforePixelsGo)
{
    std::vector<const gfx::NxSurface*> told;
    std::vector<bool> stillCreated;
    api::setSurfaceReleaseHook([&](const gfx::NxSurface& s) {
        told.push_back(&s);
        stillCreated.push_back(s.isCreated());
    });
    {
        api::ScriptSurface surface;
        ASSERT_TRUE(surface.create(3, 3, 32));
        const gfx::NxSurface* first = surface.surface();
        ASSERT_TRUE(surface.create(4, 4, 32));
        ASSERT_EQ(told.size(), 1u) << "replacing the pixels releases the old ones";
        EXPECT_EQ(told[0], first);
        const gfx::NxSurface* second = surface.surface();
        surface.releasePixels();
        ASSERT_EQ(told.size(), 2u);
        EXPECT_EQ(told[1], second);
        surface.releasePixels();
        EXPECT_EQ(told.size(), 2u) << "nothing to release twice";
        ASSERT_TRUE(surface.create(1, 1, 32));
    }
    EXPECT_EQ(told.size(), 3u) << "destroying the surface releases its pixels";
    for (bool created : stillCreated)
        EXPECT_TRUE(created) << "the hook sees the pixels still alive";
    api::setSurfaceReleaseHook({});
}

}  // namespace
