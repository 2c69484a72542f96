#include "image/ScriptSurface.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The smallest view: it only holds the link.
class TestView final : public image::SurfaceView {
public:
    explicit TestView(image::ScriptSurface& surface) : SurfaceView(surface) {}
    using SurfaceView::detach;
};

TEST(ScriptSurface, GeometryAndLowestAddress)
{
    image::ScriptSurface bottomUp;
    EXPECT_FALSE(bottomUp.isValid());
    EXPECT_EQ(bottomUp.lockBits(), nullptr);
    EXPECT_EQ(bottomUp.sizeInBytes(), 0u);
    ASSERT_TRUE(bottomUp.create(5, 3, 32));
    EXPECT_EQ(bottomUp.typeTag(), 0x44494253u);
    EXPECT_EQ(bottomUp.pitch(), -20);
    EXPECT_EQ(bottomUp.height(), 3);
    EXPECT_EQ(bottomUp.sizeInBytes(), 60u);
    // The lowest address is the start of the last row in display order.
    EXPECT_EQ(bottomUp.lockBits(), bottomUp.pixelView()->row(2));

    image::ScriptSurface topDown;
    ASSERT_TRUE(topDown.create(5, -3, 32));
    EXPECT_EQ(topDown.pitch(), 20);
    EXPECT_EQ(topDown.lockBits(), topDown.pixelView()->row(0));
    EXPECT_FALSE(topDown.create(0, 3, 32)) << "a failed create leaves no pixels";
    EXPECT_FALSE(topDown.isValid());
}

// Reading the layout is no write: a surface converted from a picture without alpha stays known
// to be opaque (drawn as a plain copy) until its pixels are handed out for writing.
TEST(ScriptSurface, ReadingTheLayoutKeepsItOpaque)
{
    gfx::NxBitmapInfoHeader header;
    header.biSize = 40;
    header.biWidth = 2;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const std::vector<std::uint8_t> bits(16, 0x40);
    image::ScriptSurface surface;
    ASSERT_TRUE(surface.createFromDib(&header, bits.data(), 32));
    EXPECT_EQ(surface.pitch(), -8);
    EXPECT_EQ(surface.sizeInBytes(), 16u);
    EXPECT_EQ(surface.pixelView()->width(), 2);
    EXPECT_TRUE(surface.surface()->isKnownOpaque());
    EXPECT_NE(surface.lockBits(), nullptr);
    EXPECT_FALSE(surface.surface()->isKnownOpaque());

    // A surface made elsewhere is taken as it is.
    auto made = image::convertedDib(reinterpret_cast<const std::uint8_t*>(&header), bits.data());
    ASSERT_TRUE(made);
    const gfx::NxSurface* raw = made.get();
    ASSERT_TRUE(surface.adopt(std::move(made)));
    EXPECT_EQ(surface.surface(), raw);
    EXPECT_TRUE(surface.surface()->isKnownOpaque());
    EXPECT_FALSE(surface.adopt(nullptr));
    EXPECT_FALSE(surface.isValid());
}

TEST(ScriptSurface, WhicheverOfSurfaceAndViewGoesFirstCutsBothLinks)
{
    image::ScriptSurface surface;
    ASSERT_TRUE(surface.create(2, 2, 32));
    {
        TestView view(surface);
        EXPECT_EQ(surface.view(), &view);
        EXPECT_EQ(view.surface(), &surface);
    }
    EXPECT_EQ(surface.view(), nullptr) << "the view went first";

    TestView detached(surface);
    detached.detach();
    EXPECT_EQ(surface.view(), nullptr);
    EXPECT_EQ(detached.surface(), nullptr);
    detached.detach();

    auto owner = std::make_unique<image::ScriptSurface>();
    TestView survivor(*owner);
    owner->releasePixels();
    EXPECT_EQ(survivor.surface(), owner.get()) << "releasing the pixels keeps the link";
    owner.reset();
    EXPECT_EQ(survivor.surface(), nullptr) << "the surface went first";
}

TEST(ScriptSurface, ReleaseHookHearsBeforePixelsGo)
{
    std::vector<const gfx::NxSurface*> told;
    std::vector<bool> stillCreated;
    image::setSurfaceReleaseHook([&](const gfx::NxSurface& s) {
        told.push_back(&s);
        stillCreated.push_back(s.isCreated());
    });
    {
        image::ScriptSurface surface;
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
    image::setSurfaceReleaseHook({});
}

}  // namespace
