#include "gfx/NxSurface.h"
#include "gfx/kernels/Kernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// 24-bit pictures enter the program through createFromDib: every width, both row orders, at
// every instruction-set level.
class DibConversion : public ::testing::TestWithParam<gfx::kernels::Level> {
protected:
    void SetUp() override { gfx::kernels::forceLevel(GetParam()); }
    void TearDown() override { gfx::kernels::forceLevel(gfx::kernels::Level::Avx512); }
};

INSTANTIATE_TEST_SUITE_P(Levels, DibConversion,
                         ::testing::Values(gfx::kernels::Level::Scalar, gfx::kernels::Level::Sse2, gfx::kernels::Level::Avx2, gfx::kernels::Level::Avx512));

TEST_P(DibConversion, TwentyFourBitPicturesConvertPixelForPixel)
{
    std::mt19937 rng(24);
    for (int width = 1; width <= 70; ++width) {
        for (int height : {3, -3}) {
            const int stride = (width * 3 + 3) & ~3;
            std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * 3);
            for (auto& b : bits)
                b = static_cast<std::uint8_t>(rng());
            gfx::NxBitmapInfoHeader header{};
            header.biSize = 40;
            header.biWidth = width;
            header.biHeight = height;
            header.biPlanes = 1;
            header.biBitCount = 24;

            gfx::NxSurface surface(32);
            ASSERT_TRUE(surface.createFromDib(&header, bits.data())) << width;
            gfx::NxDrawContext* dc = surface.acquireDC();
            ASSERT_NE(dc, nullptr);
            for (int y = 0; y < 3; ++y) {
                // Row y from the top: stored last-first when the height is positive.
                const std::uint8_t* srcRow = bits.data() + stride * (height > 0 ? 2 - y : y);
                for (int x = 0; x < width; ++x) {
                    std::uint32_t got;
                    std::memcpy(&got, dc->firstRow + static_cast<std::ptrdiff_t>(dc->pitch) * y + 4 * x, 4);
                    const std::uint8_t* p = srcRow + 3 * x;
                    const std::uint32_t want = 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                    ASSERT_EQ(got, want) << "width " << width << " height " << height << " at " << x << "," << y;
                }
            }
            surface.releaseDC();
        }
    }
}

}  // namespace
