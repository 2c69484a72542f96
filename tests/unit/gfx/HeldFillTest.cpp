// Fills held back while a band renders: whatever is drawn over them, the pixels must come out as
// though every fill had been written at once.

#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxRecordingBinding.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"
#include "gfx/kernels/Kernels.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

namespace gfx {
namespace {

using test::makeSurface;
using test::pixel;
using test::snapshot;
namespace bf = blitflag;

TEST(HeldFillTest, HeldFillIsWrittenAtTheFirstLookAtThePixels)
{
    auto s = makeSurface(32, 6, 4);
    ASSERT_TRUE(s);
    s->setHoldFills(true);
    const NxRect r{1, 1, 5, 3};
    ASSERT_EQ(fillRect(*s, &r, 0xFF112233u), 1);
    EXPECT_TRUE(s->heldFill().active);
    // Through the constant pixels too: a presenter only reads.
    const NxSurface& reader = *s;
    EXPECT_EQ(pixel(reader, 1, 1), 0xFF112233u);
    EXPECT_FALSE(s->heldFill().active);
    EXPECT_EQ(pixel(*s, 0, 0), 0u);
    EXPECT_EQ(pixel(*s, 5, 3), 0u);

    // A drawing handle lends the pixels: the fill is in them before it is handed out.
    ASSERT_EQ(fillRect(*s, nullptr, 0x80445566u), 1);
    NxDrawContext* dc = s->acquireDC();
    ASSERT_NE(dc, nullptr);
    std::uint32_t v;
    std::memcpy(&v, dc->firstRow + dc->pitch * 3 + 4 * 5, 4);
    EXPECT_EQ(v, 0x80445566u);
    s->releaseDC();
}

TEST(HeldFillTest, LaterFillsAndTheEndOfHoldingKeepTheOrder)
{
    auto s = makeSurface(32, 8, 2);
    ASSERT_TRUE(s);
    s->setHoldFills(true);
    const NxRect left{0, 0, 5, 2};
    const NxRect right{3, 0, 8, 2};
    ASSERT_EQ(fillRect(*s, &left, 0xFF0000AAu), 1);
    // Not covering the first: the first is written, the second held over it.
    ASSERT_EQ(fillRect(*s, &right, 0xFF00BB00u), 1);
    EXPECT_TRUE(s->heldFill().active);
    s->setHoldFills(false);
    EXPECT_FALSE(s->heldFill().active);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(*s, x, 1), x < 3 ? 0xFF0000AAu : 0xFF00BB00u) << x;

    // Holding off, a fill is written at once; gray surfaces never hold.
    ASSERT_EQ(fillRect(*s, nullptr, 0xFFCC0000u), 1);
    EXPECT_FALSE(s->heldFill().active);
    auto gray = makeSurface(8, 4, 4);
    ASSERT_TRUE(gray);
    gray->setHoldFills(true);
    ASSERT_EQ(fillRect(*gray, nullptr, 0x7Fu), 1);
    EXPECT_FALSE(gray->heldFill().active);
}

// ---- drawing over a held fill ----

NxRect randomRect(std::mt19937& rng, int lo, int hi)
{
    const auto at = [&] { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo)); };
    NxRect r{at(), at(), at(), at()};
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

// One random drawing sequence: fills, pictures (scaled up and down to fractional positions,
// unscaled, partly outside, mirrored, opaque and not, filtered and not, at any opacity), now and
// then something that reads the pixels back.
struct Scene {
    std::unique_ptr<NxSurface> picture;
    std::unique_ptr<NxSurface> opaquePicture;
    std::vector<std::uint32_t> start;
    int width = 0, height = 0;
    unsigned seed = 0;

    void draw(NxSurface& s) const
    {
        std::mt19937 rng(seed);
        const NxRect clip = randomRect(rng, 0, std::max(width, height) + 1);
        if (rng() % 2)
            s.setClipRect(&clip);
        s.setOrigin(static_cast<int>(rng() % 7) - 3, static_cast<int>(rng() % 7) - 3);
        const int steps = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < steps; ++k) {
            const unsigned what = rng() % 8;
            if (what < 2) {
                const NxRect r = rng() % 3 ? randomRect(rng, -6, std::max(width, height) + 6) : NxRect{-9, -9, 99, 99};
                const std::uint32_t alpha = rng() % 3 ? 0xFFu : rng() % 256;
                fillRect(s, &r, alpha << 24 | (static_cast<std::uint32_t>(rng()) & 0x00FFFFFFu));
                continue;
            }
            if (what == 2) {
                // Reads what lies under it: a colour blended over, or the surface drawn onto itself.
                NxBlitParams p;
                const NxRect r = randomRect(rng, -2, width + 2);
                if (rng() % 2) {
                    p.flags = bf::kColour;
                    p.colour = 0x80FF8000u;
                    blit(s, &r, nullptr, nullptr, &p);
                } else {
                    const NxRect from{0, 0, 3 + static_cast<int>(rng() % 5), 2 + static_cast<int>(rng() % 5)};
                    p.flags = bf::kSourceAlpha | (rng() % 2 ? bf::kLinearFilter : 0);
                    blit(s, &r, &s, &from, &p);
                }
                continue;
            }
            NxSurface& src = rng() % 3 ? *picture : *opaquePicture;
            NxRect from{0, 0, src.width(), src.height()};
            if (rng() % 3 == 0)
                from = {1, 1, src.width() - 1, src.height() - 2};
            if (rng() % 5 == 0)
                std::swap(from.left, from.right);
            NxRect to = rng() % 4 ? randomRect(rng, -8, std::max(width, height) + 8)
                                  : NxRect{2, 1, 2 + from.width() * (from.left < from.right ? 1 : -1), 1 + from.height()};
            NxBlitParams p;
            static const std::uint32_t kFlags[] = {0,
                                                   bf::kLinearFilter,
                                                   bf::kSourceAlpha,
                                                   bf::kSourceAlpha | bf::kLinearFilter,
                                                   bf::kSourceAlpha | bf::kLinearFilter | bf::kPlainFilter,
                                                   bf::kSourceAlpha | bf::kConstantAlpha,
                                                   bf::kSourceAlpha | bf::kLinearFilter | bf::kConstantAlpha,
                                                   bf::kConstantAlpha,
                                                   bf::kSourceAlpha | static_cast<std::uint32_t>(NxBlendOp::Screen)};
            p.flags = kFlags[rng() % std::size(kFlags)];
            p.constantAlpha = rng() % 2 ? 255 : rng() % 256;
            blit(s, &to, &src, &from, &p);
        }
        s.setOrigin(0, 0);
        s.setClipRect(nullptr);
    }
};

TEST(HeldFillTest, DrawingOverAHeldFillMatchesDrawingOverTheWrittenFill)
{
    std::mt19937 rng(0x4E1Du);
    for (const kernels::Level level : {kernels::Level::Scalar, kernels::Level::Sse2, kernels::Level::Avx2, kernels::Level::Avx512}) {
        if (kernels::cpuLevel() < level)
            continue;
        kernels::forceLevel(level);
        for (int iteration = 0; iteration < 400; ++iteration) {
            Scene scene;
            scene.width = 4 + static_cast<int>(rng() % 45);
            scene.height = 2 + static_cast<int>(rng() % 12);
            scene.seed = static_cast<unsigned>(rng());
            scene.picture = makeSurface(32, 3 + static_cast<int>(rng() % 30), 3 + static_cast<int>(rng() % 20));
            ASSERT_TRUE(scene.picture);
            test::randomise(*scene.picture, rng);
            // Alpha in runs of 0 and 255 as well as in between, so vector fast paths occur.
            for (int y = 0; y < scene.picture->height(); ++y)
                for (int x = 0; x < scene.picture->width(); ++x) {
                    const std::uint32_t v = pixel(*scene.picture, x, y);
                    const int band = (x / 4 + y) % 3;
                    test::setPixel(*scene.picture, x, y, band == 0 ? v & 0x00FFFFFFu : band == 1 ? v | 0xFF000000u : v);
                }
            scene.opaquePicture = makeSurface(32, 2 + static_cast<int>(rng() % 40), 2 + static_cast<int>(rng() % 9));
            ASSERT_TRUE(scene.opaquePicture);
            for (int y = 0; y < scene.opaquePicture->height(); ++y)
                for (int x = 0; x < scene.opaquePicture->width(); ++x)
                    test::setPixel(*scene.opaquePicture, x, y, 0xFF000000u | static_cast<std::uint32_t>(rng()));
            auto plain = makeSurface(32, scene.width, rng() % 2 ? scene.height : -scene.height);
            ASSERT_TRUE(plain);
            test::randomise(*plain, rng);
            auto held = makeSurface(32, scene.width, plain->pixels().pitch() < 0 ? scene.height : -scene.height);
            ASSERT_TRUE(held);
            for (int y = 0; y < scene.height; ++y)
                for (int x = 0; x < scene.width; ++x)
                    test::setPixel(*held, x, y, pixel(*plain, x, y));
            scene.draw(*plain);
            held->setHoldFills(true);
            scene.draw(*held);
            held->setHoldFills(false);
            ASSERT_EQ(snapshot(*held), snapshot(*plain)) << "level " << static_cast<int>(level) << " iteration "
                                                        << iteration;
        }
    }
    kernels::forceLevel(kernels::Level::Avx512);
}

// ---- the window's bands ----

using test::PictureNode;

class FillNode : public NxNode {
public:
    FillNode(NxNode* parent, std::uint32_t colour) : NxNode(parent), m_colour(colour) {}
    int draw(NxSurface& surface, const NxRect&) override
    {
        fillRect(surface, &rect(), m_colour);
        return 1;
    }

private:
    std::uint32_t m_colour;
};

// Pictures over the window's background and a background node, drawn band by band (into the
// strip and into lent window pixels), against the same drawing done once over a whole frame.
TEST(HeldFillTest, BandsMatchTheWholeFrameDrawnAtOnce)
{
    constexpr int kW = 700, kH = 30;  // two full strip bands and a narrow one per cell row
    std::mt19937 rng(0xBA4Du);
    auto translucent = makeSurface(32, 37, 23);
    auto opaque = makeSurface(32, 50, 9);
    ASSERT_TRUE(translucent && opaque);
    test::randomise(*translucent, rng);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 50; ++x)
            test::setPixel(*opaque, x, y, 0xFF000000u | static_cast<std::uint32_t>(rng()));
    struct Case {
        NxRect picture;             // in root coordinates
        std::uint32_t flags;
        bool opaqueSource;
        NxPoint scroll;             // the root's position: a scrolled view
        NxRect background;          // the background node, empty for none
    };
    const Case cases[] = {
        {{0, 0, kW, kH + 7}, bf::kSourceAlpha | bf::kLinearFilter, false, {0, 0}, {}},
        {{13, 3, 613, 29}, bf::kSourceAlpha, false, {0, 0}, {0, 0, kW, kH}},
        {{-41, -5, 1200, 51}, bf::kSourceAlpha | bf::kLinearFilter, false, {-17, 4}, {0, 0, 650, 25}},
        {{100, 2, 131, 21}, bf::kSourceAlpha, false, {3, -2}, {}},
        {{5, 1, 690, 30}, bf::kLinearFilter, true, {0, 0}, {0, 0, kW, kH}},
        {{-3, -3, 333, 17}, 0, true, {9, 9}, {}},
        {{7, 7, 44, 16}, 0, true, {0, 0}, {}},  // unscaled copy
        {{20, 0, 660, 30}, bf::kSourceAlpha | bf::kConstantAlpha, false, {0, 0}, {}},
    };
    for (const bool lend : {true, false}) {
        for (std::size_t c = 0; c < std::size(cases); ++c) {
            const Case& k = cases[c];
            NxSurface* source = k.opaqueSource ? opaque.get() : translucent.get();
            NxWindow window;
            auto binding = std::make_unique<NxRecordingBinding>(kW, kH);
            NxRecordingBinding* recorder = binding.get();
            recorder->context().setLendPixels(lend);
            ASSERT_TRUE(window.attach(std::move(binding)));
            window.setBackgroundColour(0xFF204060u);
            auto* root = new NxNode(&window);
            root->setClipChildren(false);
            root->setPosition(k.scroll.x, k.scroll.y);
            if (!k.background.isEmpty()) {
                auto* background = new FillNode(root, 0xFF808080u);
                background->setRect(&k.background);
                background->setZOrder(-1000);
            }
            auto* picture = new PictureNode(root);
            picture->setSource(source, nullptr);
            picture->setPosition(k.picture.left, k.picture.top);
            picture->setSize(k.picture.width(), k.picture.height());
            NxBlitParams p;
            p.flags = k.flags;
            p.constantAlpha = 140;
            picture->setParams(&p, true);
            ASSERT_TRUE(window.update(nullptr, true));

            auto frame = makeSurface(32, kW, kH);
            ASSERT_TRUE(frame);
            fillRect(*frame, nullptr, 0xFF204060u);
            frame->setOrigin(k.scroll.x, k.scroll.y);
            if (!k.background.isEmpty())
                fillRect(*frame, &k.background, 0xFF808080u);
            const NxRect whole{0, 0, source->width(), source->height()};
            blit(*frame, &k.picture, source, &whole, &p);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    ASSERT_EQ(recorder->context().pixel(x, y), pixel(*frame, x, y))
                        << "case " << c << (lend ? " lent" : " strip") << " at " << x << "," << y;
        }
    }
}

} // namespace
} // namespace gfx
