#include "gfx/NxScreen.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <new>

namespace gfx {

namespace {

std::uint32_t steadyMilliseconds()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

constexpr int kMaxCellShift = 10;

} // namespace

// ---- dirty grid ----

std::unique_ptr<NxDirtyGrid> NxDirtyGrid::make(std::int32_t width, std::int32_t height, int shiftX, int shiftY,
                                               NxScreen* owner)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    std::unique_ptr<NxDirtyGrid> grid(new (std::nothrow) NxDirtyGrid);
    if (!grid)
        return nullptr;
    grid->m_width = width;
    grid->m_height = height;
    grid->m_shiftX = shiftX;
    grid->m_shiftY = shiftY;
    grid->m_columns = static_cast<std::int32_t>((std::int64_t{width} + grid->maskX()) >> shiftX);
    grid->m_rows = static_cast<std::int32_t>((std::int64_t{height} + grid->maskY()) >> shiftY);
    grid->m_owner = owner;
    try {
        grid->m_cells.assign(static_cast<std::size_t>(grid->m_columns) * static_cast<std::size_t>(grid->m_rows), 1);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return grid;
}

void NxDirtyGrid::markAll() { std::fill(m_cells.begin(), m_cells.end(), std::uint8_t{1}); }

void NxDirtyGrid::mark(const NxRect& rect)
{
    const NxRect r = intersect(rect, {0, 0, m_width, m_height});
    if (r.isEmpty())
        return;
    const std::int32_t c0 = r.left >> m_shiftX;
    const std::int32_t c1 = static_cast<std::int32_t>((std::int64_t{r.right} + maskX()) >> m_shiftX);
    const std::int32_t r0 = r.top >> m_shiftY;
    const std::int32_t r1 = static_cast<std::int32_t>((std::int64_t{r.bottom} + maskY()) >> m_shiftY);
    for (std::int32_t y = r0; y < r1; ++y)
        std::fill(row(y) + c0, row(y) + c1, std::uint8_t{1});
}

bool NxDirtyGrid::anyDirty() const
{
    return std::any_of(m_cells.begin(), m_cells.end(), [](std::uint8_t c) { return c != 0; });
}

// ---- screen ----

NxScreen::NxScreen() : m_clock(steadyMilliseconds) { m_lastTick = m_clock(); }

NxScreen::~NxScreen() = default;

int NxScreen::cellShiftFor(std::int32_t n)
{
    if (n <= 1)
        return 0;
    return std::min(kMaxCellShift, static_cast<int>(std::bit_width(static_cast<std::uint32_t>(n - 1))));
}

void NxScreen::setRect(const NxRect* rect)
{
    NxNode::setRect(rect);
    rebuildGrid();
}

bool NxScreen::setGridEnabled(bool enabled)
{
    const bool previous = m_gridEnabled;
    m_gridEnabled = enabled;
    if (enabled)
        rebuildGrid();
    else
        m_grid.reset();
    return previous;
}

void NxScreen::setCellShifts(int shiftX, int shiftY)
{
    m_cellShiftX = shiftX;
    m_cellShiftY = shiftY;
    m_grid.reset();
    rebuildGrid();
}

void NxScreen::rebuildGrid()
{
    if (!m_gridEnabled)
        return;
    const std::int32_t w = rect().width();
    const std::int32_t h = rect().height();
    if (m_grid && m_grid->width() == w && m_grid->height() == h) {
        m_grid->markAll();
        return;
    }
    m_grid = NxDirtyGrid::make(w, h, m_cellShiftX, m_cellShiftY, this);
}

void NxScreen::setClock(std::function<std::uint32_t()> clock)
{
    m_clock = std::move(clock);
    m_lastTick = m_clock();
    m_frameCount = 0;
}

void NxScreen::countFrame()
{
    ++m_frameCount;
    const std::uint32_t now = m_clock();
    const std::uint32_t elapsed = now - m_lastTick;
    if (elapsed >= 1000) {
        m_framesPerThousandSeconds = static_cast<std::uint32_t>(std::uint64_t{m_frameCount} * 1000000u / elapsed);
        m_lastTick += 1000;
        m_frameCount = 0;
    }
}

void NxScreen::markWindowRect(const NxRect& r)
{
    if (m_grid)
        m_grid->mark(r);
}

void NxScreen::prepareTree(NxNode& node)
{
    node.onPrepare();
    for (std::size_t i = 0; i < node.childCount(); ++i)
        prepareTree(*node.child(i));
}

bool NxScreen::runUpdatePass(bool forceAll)
{
    if (!forceAll)
        prepareTree(*this);
    const NxRect bounds{0, 0, rect().width(), rect().height()};
    // The screen itself shows at (0, 0); what it uncovered or was asked to redraw is marked first.
    if (changeFlags() != 0)
        markWindowRect(bounds);
    if (!invalidRect().isEmpty())
        markWindowRect({invalidRect().left - rect().left, invalidRect().top - rect().top,
                        invalidRect().right - rect().left, invalidRect().bottom - rect().top});
    markWindowRect(dirtyRect());
    m_invalidRect = {};
    m_dirtyRect = {};
    m_changeFlags = 0;
    if (m_childrenUnsorted)
        sortChildren();
    const NxPoint childPlacement{positionX() + offsetX(), positionY() + offsetY()};
    for (std::size_t i = 0; i < childCount(); ++i) {
        NxNode& c = *child(i);
        passNode(c, {childPlacement.x + c.positionX() + c.offsetX(), childPlacement.y + c.positionY() + c.offsetY()},
                 bounds, isVisible());
    }
    m_visibleRect = bounds;
    m_coverage = bounds;
    if (m_invalidatedPending) {
        m_invalidatedPending = false;
        onInvalidated();
    }
    return m_grid && m_grid->anyDirty();
}

void NxScreen::passNode(NxNode& node, NxPoint placement, const NxRect& clip, bool shown)
{
    const NxRect& r = node.rect();
    const NxRect placed{placement.x, placement.y, static_cast<std::int32_t>(std::int64_t{placement.x} + r.width()),
                        static_cast<std::int32_t>(std::int64_t{placement.y} + r.height())};
    const bool visible = shown && node.isVisible();
    const NxRect visibleRect = visible ? intersect(placed, clip) : NxRect{};
    const NxRect childClip = node.clipChildren() ? intersect(clip, placed) : clip;
    if (node.m_childrenUnsorted)
        node.sortChildren();
    NxRect coverage = visibleRect;
    for (std::size_t i = 0; i < node.childCount(); ++i) {
        NxNode& c = *node.child(i);
        passNode(c, {placement.x + c.positionX() + c.offsetX(), placement.y + c.positionY() + c.offsetY()}, childClip,
                 visible);
        coverage = unite(coverage, c.m_coverage);
    }
    // Any scheme that marks the old and the new area of a changed node will do: the subtree's
    // whole coverage before and after.
    if (node.m_changeFlags != 0) {
        markWindowRect(node.m_coverage);
        markWindowRect(coverage);
        node.m_changeFlags = 0;
    }
    if (!node.m_invalidRect.isEmpty()) {
        const NxRect inWindow{placement.x + node.m_invalidRect.left - r.left, placement.y + node.m_invalidRect.top - r.top,
                              placement.x + node.m_invalidRect.right - r.left,
                              placement.y + node.m_invalidRect.bottom - r.top};
        markWindowRect(intersect(inWindow, visibleRect));
        node.m_invalidRect = {};
    }
    markWindowRect(node.m_dirtyRect);
    node.m_dirtyRect = {};
    node.m_visibleRect = visibleRect;
    node.m_coverage = coverage;
    if (node.m_invalidatedPending) {
        node.m_invalidatedPending = false;
        node.onInvalidated();
    }
}

} // namespace gfx
