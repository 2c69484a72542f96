#include "gfx/NxBlit.h"
#include "gfx/NxNode.h"
#include "gfx/NxRecordingBinding.h"
#include "gfx/NxSurface.h"
#include "gfx/NxWindow.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace gfx {
namespace {

using test::makeSurface;
using test::pixel;
using test::setPixel;

// A node that fills its visible part with one colour and counts its calls.
class ColourNode : public NxNode {
public:
    ColourNode(NxNode* parent, std::uint32_t colour) : NxNode(parent), m_colour(colour) {}
    int draw(NxSurface& surface, const NxRect& rect) override
    {
        ++draws;
        fillRect(surface, &rect, m_colour);
        return 1;
    }
    void onPrepare() override { ++prepares; }
    void onInvalidated() override { ++invalidations; }
    int draws = 0;
    int prepares = 0;
    int invalidations = 0;

private:
    std::uint32_t m_colour;
};

struct Attached {
    std::unique_ptr<NxWindow> window = std::make_unique<NxWindow>();
    NxRecordingBinding* binding = nullptr;

    Attached(std::int32_t w, std::int32_t h)
    {
        auto b = std::make_unique<NxRecordingBinding>(w, h);
        binding = b.get();
        EXPECT_TRUE(window->attach(std::move(b)));
    }
    std::vector<NxRect> bandRects() const
    {
        std::vector<NxRect> out;
        for (const NxRecordedBand& b : binding->context().bands())
            out.push_back(b.rect);
        return out;
    }
    // A clean state: everything presented once, the record emptied.
    void settle()
    {
        ASSERT_TRUE(window->update(nullptr, true));
        binding->context().clearBands();
    }
};

// ---- cells, strip and bands ----

TEST(WindowBandTest, SmallWindowPresentsOneBandPerCellRow)
{
    Attached a(100, 20);
    ASSERT_NE(a.window->grid(), nullptr);
    EXPECT_EQ(a.window->grid()->columns(), 4);
    EXPECT_EQ(a.window->grid()->rows(), 3);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{0, 0, 100, 8}, {0, 8, 100, 16}, {0, 16, 100, 20}}));
    EXPECT_EQ(a.binding->contextsOut(), 0);
}

TEST(WindowBandTest, WideWindowSplitsEachRowIntoStripWideBands)
{
    Attached a(1300, 16);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{0, 0, 640, 8},
                                                  {640, 0, 1280, 8},
                                                  {1280, 0, 1300, 8},
                                                  {0, 8, 640, 16},
                                                  {640, 8, 1280, 16},
                                                  {1280, 8, 1300, 16}}));
}

TEST(WindowBandTest, SingleCleanCellsBetweenDirtyOnesAreBridged)
{
    // One node per cell, so each invalidation dirties exactly its cell.
    Attached a(192, 8);
    std::vector<ColourNode*> cells;
    for (int i = 0; i < 6; ++i) {
        cells.push_back(new ColourNode(a.window.get(), 0xFF112233u));
        cells.back()->setSize(32, 8);
        cells.back()->setPosition(32 * i, 0);
    }
    a.settle();
    for (int cell : {0, 2, 4})
        cells[static_cast<std::size_t>(cell)]->invalidate(nullptr);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{0, 0, 160, 8}}));

    a.binding->context().clearBands();
    for (int cell : {0, 1, 4, 5})
        cells[static_cast<std::size_t>(cell)]->invalidate(nullptr);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{0, 0, 64, 8}, {128, 0, 192, 8}}));

    // A single dirty cell with a clean neighbour on each side stays alone.
    a.binding->context().clearBands();
    cells[3]->invalidate(nullptr);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{96, 0, 128, 8}}));
}

// Rows of many cells are scanned several cells at a time; runs crossing those groups, a run longer
// than the strip, a bridged cell and a row ending in part of a group keep their bands.
TEST(WindowBandTest, WideRowsKeepTheirRunsAcrossCellGroups)
{
    Attached a(2000, 16);  // 63 x 2 cells, the last column 16 pixels wide
    ASSERT_EQ(a.window->grid()->columns(), 63);
    std::vector<ColourNode*> cells;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 63; ++c) {
            cells.push_back(new ColourNode(a.window.get(), 0xFF112233u));
            cells.back()->setSize(32, 8);
            cells.back()->setPosition(32 * c, 8 * r);
        }
    a.settle();
    std::vector<int> dirty{7, 8, 15, 46, 62};
    for (int c = 17; c <= 44; ++c)
        dirty.push_back(c);
    for (int c : dirty)
        cells[static_cast<std::size_t>(c)]->invalidate(nullptr);
    cells[63 + 56]->invalidate(nullptr);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(a.bandRects(), (std::vector<NxRect>{{224, 0, 288, 8},
                                                  {480, 0, 512, 8},
                                                  {544, 0, 1184, 8},
                                                  {1184, 0, 1504, 8},
                                                  {1984, 0, 2000, 8},
                                                  {1792, 8, 1824, 16}}));
    // Everything presented is clean again.
    a.binding->context().clearBands();
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_TRUE(a.bandRects().empty());
}

TEST(WindowBandTest, CellSizesRoundUpToPowersOfTwo)
{
    EXPECT_EQ(NxScreen::cellShiftFor(1), 0);
    EXPECT_EQ(NxScreen::cellShiftFor(5), 3);
    EXPECT_EQ(NxScreen::cellShiftFor(32), 5);
    EXPECT_EQ(NxScreen::cellShiftFor(33), 6);
    EXPECT_EQ(NxScreen::cellShiftFor(-4), 0);
    EXPECT_EQ(NxScreen::cellShiftFor(INT32_MAX), 10);

    Attached a(300, 40);
    a.window->setCellSize(20, 5);
    EXPECT_EQ(a.window->cellWidth(), 32);
    EXPECT_EQ(a.window->cellHeight(), 8);
    ASSERT_NE(a.window->strip(), nullptr);
    EXPECT_EQ(a.window->strip()->width(), 640);
    EXPECT_EQ(a.window->strip()->height(), 8);

    // 16-pixel-high cells: a new strip; the rows of a band no longer exceed the strip.
    a.window->setCellSize(64, 16);
    EXPECT_EQ(a.window->strip()->width(), 640);
    EXPECT_EQ(a.window->strip()->height(), 16);
    EXPECT_EQ(a.window->grid()->columns(), 5);
    // Cells wider than the usual strip still get a strip one cell wide.
    a.window->setCellSize(1000, 8);
    EXPECT_EQ(a.window->strip()->width(), 1024);
    a.binding->context().clearBands();
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(a.bandRects().front(), (NxRect{0, 0, 300, 8}));
}

// ---- binding ----

TEST(WindowBindingTest, AttachingTwiceKeepsTheFirstBinding)
{
    Attached a(50, 10);
    auto second = std::make_unique<NxRecordingBinding>(10, 10);
    EXPECT_FALSE(a.window->attach(std::move(second)));
    EXPECT_EQ(a.window->binding(), a.binding);
    EXPECT_EQ(a.window->rect(), (NxRect{0, 0, 50, 10}));

    NxWindow other;
    auto refusing = std::make_unique<NxRecordingBinding>(10, 10);
    refusing->setRefuseBind(true);
    EXPECT_FALSE(other.attach(std::move(refusing)));
    EXPECT_FALSE(other.isAttached());
}

TEST(WindowBindingTest, ResizeAndDestructionOfThePlatformWindow)
{
    Attached a(50, 10);
    a.binding->resize(70, 30);
    EXPECT_EQ(a.window->rect(), (NxRect{0, 0, 70, 30}));
    EXPECT_EQ(a.window->grid()->rows(), 4);
    EXPECT_TRUE(a.window->setCursorPos(3, 4));
    EXPECT_EQ(a.binding->cursorX(), 3);

    a.binding->destroyWindow();  // the binding is gone now
    EXPECT_FALSE(a.window->isAttached());
    EXPECT_EQ(a.window->strip(), nullptr);
    EXPECT_FALSE(a.window->update(nullptr, true));
    EXPECT_FALSE(a.window->setCursorPos(1, 1));
    // Attachable again.
    EXPECT_TRUE(a.window->attach(std::make_unique<NxRecordingBinding>(8, 8)));
}

TEST(WindowBindingTest, DetachHandsTheBindingBack)
{
    Attached a(40, 8);
    std::unique_ptr<NxWindowBinding> b = a.window->detach();
    EXPECT_EQ(b.get(), a.binding);
    EXPECT_EQ(a.binding->window(), nullptr);
    EXPECT_EQ(a.window->detach(), nullptr);
    // A context alone cannot present without a strip.
    NxRecordingContext context(40, 8);
    EXPECT_FALSE(a.window->update(&context, true));
}

TEST(WindowBindingTest, NoContextLeavesTheCellsDirtyForLater)
{
    Attached a(64, 8);
    a.settle();
    a.window->setBackgroundColour(0xFF00FF00u);
    a.binding->setRefuseContext(true);
    EXPECT_FALSE(a.window->update(nullptr, false));
    EXPECT_TRUE(a.binding->context().bands().empty());
    // A context given by the caller is used instead of the binding's.
    NxRecordingContext given(64, 8);
    ASSERT_TRUE(a.window->update(&given, false));
    EXPECT_EQ(given.bands().size(), 1u);
    EXPECT_EQ(given.pixel(63, 7), 0xFF00FF00u);
    EXPECT_EQ(a.window->strip()->dcRefCount(), 0);
}

// ---- tree ----

TEST(NodeTest, LowerZOrderIsDrawnFirstWhateverTheCreationOrder)
{
    Attached a(32, 8);
    auto* front = new ColourNode(a.window.get(), 0xFFFF0000u);
    auto* back = new ColourNode(a.window.get(), 0xFF0000FFu);
    front->setSize(32, 8);
    back->setSize(32, 8);
    EXPECT_EQ(back->setZOrder(-1000), 0);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(a.window->child(0), back);
    EXPECT_EQ(a.binding->context().pixel(5, 5), 0xFFFF0000u);
    front->setZOrder(-2000);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(a.binding->context().pixel(5, 5), 0xFF0000FFu);

    NxNode lonely;
    EXPECT_EQ(lonely.setZOrder(5), 0);
    EXPECT_EQ(lonely.zOrder(), 0);
}

TEST(NodeTest, PlacementMappingAndClippingOfChildren)
{
    Attached a(40, 16);
    a.window->setBackgroundColour(0xFF000000u);
    auto* root = new NxNode(a.window.get());
    root->setSize(40, 16);
    root->setPosition(2, 1);
    auto* panel = new ColourNode(root, 0xFF0000FFu);
    // A rectangle not starting at (0, 0): node column 10 shows at the placement.
    const NxRect r{10, 0, 20, 8};
    panel->setRect(&r);
    panel->setPosition(5, 3);
    panel->setOffset(1, 1);
    auto* child = new ColourNode(panel, 0xFFFF0000u);
    child->setSize(30, 30);  // larger than the panel, which confines it
    child->setPosition(4, 0);
    ASSERT_TRUE(a.window->update(nullptr, true));
    const auto& f = a.binding->context();
    // Panel at window (2 + 5 + 1, 1 + 3 + 1) = (8, 5), 10 x 8.
    EXPECT_EQ(f.pixel(7, 5), 0xFF000000u);
    EXPECT_EQ(f.pixel(8, 5), 0xFF0000FFu);
    EXPECT_EQ(f.pixel(11, 12), 0xFF0000FFu);
    EXPECT_EQ(f.pixel(12, 5), 0xFFFF0000u);
    EXPECT_EQ(f.pixel(17, 12), 0xFFFF0000u);
    EXPECT_EQ(f.pixel(18, 12), 0xFF000000u);
    EXPECT_EQ(f.pixel(17, 13), 0xFF000000u);
    EXPECT_EQ(panel->visibleRect(), (NxRect{8, 5, 18, 13}));

    // Without clipping the child reaches beyond the panel.
    panel->setClipChildren(false);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(f.pixel(30, 14), 0xFFFF0000u);
}

TEST(NodeTest, ChangesRedrawTheOldAndTheNewArea)
{
    Attached a(128, 32);
    a.window->setBackgroundColour(0xFF000000u);
    auto* node = new ColourNode(a.window.get(), 0xFFFFFFFFu);
    node->setSize(10, 10);
    a.settle();
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_TRUE(a.binding->context().bands().empty());

    node->setPosition(100, 20);
    ASSERT_TRUE(a.window->update(nullptr, false));
    const auto& f = a.binding->context();
    EXPECT_EQ(f.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(f.pixel(105, 25), 0xFFFFFFFFu);
    EXPECT_FALSE(a.binding->context().bands().empty());
    for (const NxRecordedBand& b : f.bands())
        EXPECT_TRUE((b.rect.top < 16 && b.rect.left < 32) || (b.rect.top >= 16 && b.rect.right > 96)) << b.rect.left;

    a.binding->context().clearBands();
    node->setVisible(false);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(f.pixel(105, 25), 0xFF000000u);

    // A destroyed node uncovers its area.
    node->setVisible(true);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(f.pixel(105, 25), 0xFFFFFFFFu);
    delete node;
    EXPECT_EQ(a.window->childCount(), 0u);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(f.pixel(105, 25), 0xFF000000u);
}

TEST(NodeTest, PrepareAndInvalidationCallbacks)
{
    Attached a(32, 8);
    auto* node = new ColourNode(a.window.get(), 0xFF123456u);
    node->setSize(8, 8);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(node->prepares, 0);
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(node->prepares, 1);
    node->invalidate(nullptr);
    EXPECT_TRUE(node->invalidatedPending());
    EXPECT_EQ(node->invalidRect(), (NxRect{0, 0, 8, 8}));
    ASSERT_TRUE(a.window->update(nullptr, false));
    EXPECT_EQ(node->invalidations, 1);
    EXPECT_FALSE(node->invalidatedPending());
    const NxRect partial{2, 2, 100, 100};
    node->invalidate(&partial);
    EXPECT_EQ(node->invalidRect(), (NxRect{2, 2, 8, 8}));
}

TEST(NodeTest, ReparentingMovesOwnershipAndRefusesCycles)
{
    auto root = std::make_unique<NxNode>();
    auto* a = new NxNode(root.get());
    auto* b = new NxNode(a);
    EXPECT_EQ(a->setParent(b), root.get());  // under its own child: refused
    EXPECT_EQ(a->parent(), root.get());
    EXPECT_EQ(b->setParent(root.get()), a);
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(a->childCount(), 0u);
    // Handed back to the caller.
    EXPECT_EQ(b->setParent(nullptr), root.get());
    std::unique_ptr<NxNode> owned(b);
    EXPECT_EQ(root->childCount(), 1u);
    // And handed over again.
    EXPECT_EQ(owned.release()->setParent(a), nullptr);
    EXPECT_EQ(a->childCount(), 1u);
    NxWindow window;
    EXPECT_EQ(window.setParent(root.get()), nullptr);
    EXPECT_EQ(window.parent(), nullptr);
    root.reset();  // destroys a and b
}

TEST(NodeTest, EmptyOrInvertedRectanglesMakeTheNodeEmpty)
{
    NxNode n;
    const NxRect inverted{5, 5, 2, 9};
    n.setRect(&inverted);
    EXPECT_EQ(n.rect(), NxRect{});
    n.setSize(4, 3);
    EXPECT_EQ(n.rect(), (NxRect{0, 0, 4, 3}));
    n.setRect(nullptr);
    EXPECT_EQ(n.rect(), NxRect{});

    auto picture = makeSurface(32, 6, 5);
    NxImageNode image;
    EXPECT_EQ(image.setSource(picture.get(), nullptr), nullptr);
    EXPECT_EQ(image.rect(), (NxRect{0, 0, 6, 5}));
    NxBlitParams p;
    p.flags = 0x800;
    image.setParams(&p, true);
    EXPECT_TRUE(image.invalidatedPending());
    image.setParams(nullptr, false);
    EXPECT_EQ(image.params().flags, 0u);
}

// ---- window drawing ----

TEST(WindowDrawTest, BackgroundHiddenColourAndFade)
{
    Attached a(16, 8);
    auto* node = new ColourNode(a.window.get(), 0xFFFFFFFFu);
    node->setSize(4, 4);
    a.window->setBackgroundColour(0xFF102030u);
    ASSERT_TRUE(a.window->update(nullptr, true));
    const auto& f = a.binding->context();
    EXPECT_EQ(f.pixel(10, 6), 0xFF102030u);
    EXPECT_EQ(f.pixel(1, 1), 0xFFFFFFFFu);

    // Not visible: the hidden colour and no children.
    a.window->setVisible(false);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(f.pixel(1, 1), 0xFF000000u);
    a.window->setVisible(true);

    // A background of alpha 0 draws nothing: under the node the strip keeps what the previous
    // band left there (the node's own white).
    a.window->setBackgroundColour(0x00FFFFFFu);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(f.pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_NE(f.pixel(10, 6), 0x00FFFFFFu);

    // Fade level 128 over the white node: towards the hidden colour with alpha 127, w = 128.
    a.window->setBackgroundColour(0xFF102030u);
    a.window->setFadeLevel(128);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(f.pixel(1, 1), 0xFF7F7F7Fu);
    // In every band, not only the first.
    EXPECT_EQ(f.pixel(12, 7), 0xFF081018u);
    // From 256 on: the fade colour with alpha = low byte.
    a.window->setFadeColour(0xFF0000FFu);
    a.window->setFadeLevel(256 + 255);
    ASSERT_TRUE(a.window->update(nullptr, true));
    EXPECT_EQ(f.pixel(1, 1), 0xFF0000FFu);
}

TEST(WindowDrawTest, FrameCounterMeasuresWholeSeconds)
{
    Attached a(8, 8);
    std::uint32_t now = 5000;
    a.window->setClock([&now] { return now; });
    for (int i = 0; i < 30; ++i) {
        now += 40;
        ASSERT_TRUE(a.window->update(nullptr, false));
    }
    // 25 updates reached 1000 ms: 25 frames per second.
    EXPECT_EQ(a.window->framesPerThousandSeconds(), 25000u);
}

// A node that tiles a pattern, and one that draws a picture scaled with the filter.
class TileNode : public NxImageNode {
public:
    using NxImageNode::NxImageNode;
    NxSurface* pattern = nullptr;
    int draw(NxSurface& surface, const NxRect&) override
    {
        tile(surface, &rect(), pattern, nullptr, 0, 0, nullptr);
        return 1;
    }
};

class ScaledNode : public NxImageNode {
public:
    using NxImageNode::NxImageNode;
    int draw(NxSurface& surface, const NxRect&) override
    {
        const NxRect s{0, 0, source()->width(), source()->height()};
        blit(surface, &rect(), source(), &s, &params());
        return 1;
    }
};

// The whole scene drawn through the strip, band by band, equals the same drawing operations
// done on one full-size surface.
TEST(WindowDrawTest, SmallTreeThroughTheStripMatchesTheDirectDrawing)
{
    constexpr int kW = 150, kH = 45;
    auto pattern = makeSurface(32, 7, 5);
    auto picture = makeSurface(32, 13, 9);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            setPixel(*pattern, x, y, 0xFF000000u | static_cast<std::uint32_t>(x * 30 << 8 | y * 50));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            setPixel(*picture, x, y, static_cast<std::uint32_t>((x + y) % 4 == 0 ? 0 : (x * 19) << 24) | 0x00C08040u);

    Attached a(kW, kH);
    a.window->setBackgroundColour(0xFF204060u);
    auto* root = new NxNode(a.window.get());
    root->setClipChildren(false);
    root->setPosition(3, -2);
    auto* image = new ScaledNode(root);
    auto* background = new TileNode(root);
    image->setSource(picture.get(), nullptr);
    image->setSize(97, 31);
    image->setPosition(20, 9);
    NxBlitParams p;
    p.flags = blitflag::kSourceAlpha | blitflag::kLinearFilter;
    image->setParams(&p, true);
    background->pattern = pattern.get();
    background->setSize(120, 40);
    background->setZOrder(-1000);
    ASSERT_TRUE(a.window->update(nullptr, true));

    auto direct = makeSurface(32, kW, -kH);
    fillRect(*direct, nullptr, 0xFF204060u);
    direct->setOrigin(3, -2);
    const NxRect bg{0, 0, 120, 40};
    tile(*direct, &bg, pattern.get(), nullptr, 0, 0, nullptr);
    direct->setOrigin(23, 7);
    const NxRect im{0, 0, 97, 31};
    const NxRect whole{0, 0, 13, 9};
    blit(*direct, &im, picture.get(), &whole, &p);
    const auto& f = a.binding->context();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(f.pixel(x, y), pixel(*direct, x, y)) << x << "," << y;
    // A few pixels by hand: window background, pattern, and the picture over the pattern.
    EXPECT_EQ(f.pixel(140, 40), 0xFF204060u);
    EXPECT_EQ(f.pixel(3, 0), pixel(*pattern, 0, 2));
    EXPECT_NE(f.pixel(60, 25), pixel(*pattern, (60 - 3) % 7, (25 + 2) % 5));
}

// ---- bands drawn in the window's own pixels ----

// A scene with every kind of band edge: a pattern, a filtered transparent picture, a child cut by
// its parent, a fade, and a client size that is no multiple of the strip or the cells.
struct LentScene {
    std::unique_ptr<NxSurface> pattern = makeSurface(32, 7, 5);
    std::unique_ptr<NxSurface> picture = makeSurface(32, 13, 9);
    Attached a{700, 45};
    ScaledNode* image = nullptr;
    ColourNode* cut = nullptr;

    LentScene(bool lend, bool bottomUp)
    {
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                setPixel(*pattern, x, y, 0xFF000000u | static_cast<std::uint32_t>(x * 30 << 8 | y * 50));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x)
                setPixel(*picture, x, y,
                         static_cast<std::uint32_t>((x + y) % 4 == 0 ? 0 : (x * 19) << 24) | 0x00C08040u);
        a.binding->context().setLendPixels(lend);
        a.binding->context().setBottomUp(bottomUp);
        a.window->setBackgroundColour(0xFF204060u);
        a.window->setFadeColour(0xFFFFE0C0u);
        a.window->setFadeLevel(300);
        auto* root = new NxNode(a.window.get());
        root->setClipChildren(false);
        root->setPosition(3, -2);
        auto* background = new TileNode(root);
        background->pattern = pattern.get();
        background->setSize(660, 40);
        background->setZOrder(-1000);
        image = new ScaledNode(root);
        image->setSource(picture.get(), nullptr);
        image->setSize(597, 31);
        image->setPosition(20, 9);
        NxBlitParams p;
        p.flags = blitflag::kSourceAlpha | blitflag::kLinearFilter;
        image->setParams(&p, true);
        auto* frame = new NxNode(root);
        frame->setPosition(630, 30);
        frame->setSize(50, 12);
        cut = new ColourNode(frame, 0x80FF0000u);
        cut->setPosition(-9, 4);
        cut->setSize(30, 30);
    }
};

class LentBandTest : public ::testing::TestWithParam<bool> {};

TEST_P(LentBandTest, DrawingInPlaceGivesTheStripsPicture)
{
    const bool bottomUp = GetParam();
    LentScene lent(true, bottomUp), copied(false, bottomUp);
    const auto same = [&] {
        ASSERT_EQ(lent.a.bandRects(), copied.a.bandRects());
        ASSERT_EQ(lent.a.binding->context().frame(), copied.a.binding->context().frame());
        for (std::size_t i = 0; i < lent.a.binding->context().bands().size(); ++i)
            ASSERT_EQ(lent.a.binding->context().bands()[i].pixels, copied.a.binding->context().bands()[i].pixels);
    };
    for (LentScene* s : {&lent, &copied})
        ASSERT_TRUE(s->a.window->update(nullptr, true));
    same();
    EXPECT_EQ(lent.a.binding->context().lentBands(), static_cast<int>(lent.a.bandRects().size()));
    EXPECT_EQ(copied.a.binding->context().lentBands(), 0);
    // The fade reached the pixels: nothing is left at the plain background colour.
    EXPECT_NE(lent.a.binding->context().pixel(699, 44), 0xFF204060u);

    // A partial update redraws a few bands over the picture already there.
    for (LentScene* s : {&lent, &copied}) {
        s->a.binding->context().clearBands();
        s->image->setPosition(41, 17);
        s->cut->setPosition(-2, 1);
        ASSERT_TRUE(s->a.window->update(nullptr, false));
    }
    same();
    EXPECT_LT(lent.a.bandRects().size(), 20u);

    // A context smaller than the window lends what lies inside it and takes the rest as copies.
    NxRecordingContext small(660, 30), smallCopied(660, 30);
    small.setBottomUp(bottomUp);
    smallCopied.setLendPixels(false);
    ASSERT_TRUE(lent.a.window->update(&small, true));
    ASSERT_TRUE(copied.a.window->update(&smallCopied, true));
    EXPECT_EQ(small.frame(), smallCopied.frame());
    EXPECT_GT(small.lentBands(), 0);
    EXPECT_LT(small.lentBands(), static_cast<int>(small.bands().size()));
}

INSTANTIATE_TEST_SUITE_P(RowOrders, LentBandTest, ::testing::Bool());

// A node that resizes the platform window while it draws, once.
class ResizingNode : public ColourNode {
public:
    ResizingNode(NxNode* parent, NxRecordingBinding& binding) : ColourNode(parent, 0xFF3060A0u), m_binding(binding) {}
    int draw(NxSurface& surface, const NxRect& rect) override
    {
        if (draws == 0)
            m_binding.resize(90, 20);
        return ColourNode::draw(surface, rect);
    }

private:
    NxRecordingBinding& m_binding;
};

// The band being drawn outlives a resize of the window under it, the rest of the update stops at
// the old grid, and the next update draws the new size whole, lent or copied alike.
TEST(WindowBindingTest, ResizeWhileDrawingABand)
{
    std::vector<std::uint32_t> frames[2];
    for (const bool lend : {true, false}) {
        Attached a(700, 40);
        a.binding->context().setLendPixels(lend);
        a.window->setBackgroundColour(0xFF102030u);
        auto* node = new ResizingNode(a.window.get(), *a.binding);
        node->setPosition(5, 12);
        node->setSize(60, 20);
        ASSERT_TRUE(a.window->update(nullptr, true));
        EXPECT_EQ(a.window->rect(), (NxRect{0, 0, 90, 20}));
        EXPECT_TRUE(a.window->grid()->anyDirty());
        // The band that held the node reached the new picture; nothing after it was drawn.
        EXPECT_EQ(a.binding->context().pixel(10, 12), 0xFF3060A0u);
        EXPECT_EQ(a.binding->context().pixel(10, 19), 0u);
        ASSERT_TRUE(a.window->update(nullptr, false));
        EXPECT_EQ(a.binding->context().pixel(89, 19), 0xFF102030u);
        EXPECT_EQ(a.binding->context().pixel(10, 19), 0xFF3060A0u);
        frames[lend ? 0 : 1] = a.binding->context().frame();
    }
    EXPECT_EQ(frames[0], frames[1]);
}

} // namespace
} // namespace gfx
