// A small tree rendered through the strip and the recording binding, compared pixel for pixel
// with a stored picture. SELVARIN_REGENERATE_GOLDEN=1 rewrites the picture instead; on a
// mismatch the actual picture and a difference picture are written beside the test binary.

#include "../common/GoldenCompare.h"
#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxRecordingBinding.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include "TestSupport.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace gfx {
namespace {

class PatternNode : public NxImageNode {
public:
    using NxImageNode::NxImageNode;
    int draw(NxSurface& surface, const NxRect&) override
    {
        tile(surface, &rect(), source(), nullptr, 0, 0, nullptr);
        return 1;
    }
};

using test::PictureNode;

void put(NxSurface& s, int x, int y, std::uint32_t v) { std::memcpy(s.pixels().row(y) + 4 * x, &v, 4); }

QImage renderScene()
{
    constexpr int kW = 96, kH = 64;
    NxSurface checker(32);
    NxSurface disc(32);
    if (!checker.create(8, 8) || !disc.create(12, 10))
        return {};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            put(checker, x, y, ((x / 4 + y / 4) % 2) ? 0xFFC0C0C0u : 0xFF808080u);
    // A red disc fading to fully transparent corners, with a blue rim.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const double r = std::hypot(x - 5.5, (y - 4.5) * 1.2);
            const std::uint32_t alpha = r < 4 ? 255u : r < 6 ? static_cast<std::uint32_t>((6 - r) * 127) : 0u;
            put(disc, x, y, alpha << 24 | (r < 3.5 ? 0xE02010u : 0x1030E0u));
        }

    NxWindow window;
    auto binding = std::make_unique<NxRecordingBinding>(kW, kH);
    NxRecordingBinding* recorder = binding.get();
    if (!window.attach(std::move(binding)))
        return {};
    window.setBackgroundColour(0xFF204060u);
    auto* root = new NxNode(&window);
    root->setClipChildren(false);
    auto* background = new PatternNode(root);
    background->setSource(&checker, nullptr);
    background->setSize(80, 56);
    background->setZOrder(-1000);
    auto* picture = new PictureNode(root);
    picture->setSource(&disc, nullptr);
    picture->setPosition(18, 7);
    picture->setSize(60, 50);
    NxBlitParams p;
    p.flags = blitflag::kSourceAlpha | blitflag::kLinearFilter;
    picture->setParams(&p, true);
    if (!window.update(nullptr, true))
        return {};
    QImage image(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            image.setPixel(x, y, 0xFF000000u | recorder->context().pixel(x, y));
    return image;
}

TEST(GoldenTreeTest, BackgroundPatternAndTransparentScaledPicture)
{
    const QImage actual = renderScene();
    ASSERT_FALSE(actual.isNull());
    const QString golden = QStringLiteral(SELVARIN_GFX_GOLDEN_DIR "/small_tree.png");
    testing_support::expectMatchesGolden(actual, golden, QImage::Format_RGB32,
                                         QStringLiteral(SELVARIN_GFX_OUTPUT_DIR), QStringLiteral("small_tree"));
}

} // namespace
} // namespace gfx
