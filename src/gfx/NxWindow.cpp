#include "gfx/NxWindow.h"

#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace gfx {

namespace {

constexpr std::int32_t kStripWidth = 640;

std::int32_t ceilDiv(std::int32_t a, std::int32_t b) { return (a + b - 1) / b; }

// The first cell in [from, to) that is dirty (non-zero), or clean, when `dirty` is false; to when
// there is none. Eight cells at a time: a full repaint scans every row of the grid, and most rows
// are wholly dirty or wholly clean.
std::int32_t findCell(const std::uint8_t* cells, std::int32_t from, std::int32_t to, bool dirty)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    for (; from + 8 <= to; from += 8) {
        std::uint64_t w;
        std::memcpy(&w, cells + from, 8);
        // A set high bit marks a cell of the kind looked for; the lowest one is exact.
        const std::uint64_t found = dirty ? w : (w - kOnes) & ~w & kHighs;
        if (found != 0)
            return from + std::countr_zero(found) / 8;
    }
    while (from < to && (cells[from] != 0) != dirty)
        ++from;
    return from;
}

} // namespace

NxWindow::NxWindow() { setGridEnabled(true); }

NxWindow::~NxWindow() { detach(); }

NxNode* NxWindow::setParent(NxNode*) { return nullptr; }

int NxWindow::draw(NxSurface& surface, const NxRect& rect)
{
    if (!isVisible())
        fillRect(surface, &rect, m_hiddenColour);
    else if ((m_backgroundColour >> 24) != 0)
        fillRect(surface, &rect, m_backgroundColour);
    return 1;
}

void NxWindow::drawAfterChildren(NxSurface& surface, const NxRect& rect)
{
    if (m_fadeLevel == 255)
        return;
    NxBlitParams p;
    p.flags = blitflag::kColour;
    // A negative level counts as 0: the full hidden colour.
    const std::int32_t level = std::max(m_fadeLevel, 0);
    if (level < 256)
        p.colour = (m_hiddenColour & 0x00FFFFFFu) | static_cast<std::uint32_t>(255 - level) << 24;
    else
        p.colour = (m_fadeColour & 0x00FFFFFFu) | (static_cast<std::uint32_t>(level) & 0xFFu) << 24;
    blit(surface, &rect, nullptr, nullptr, &p);
}

void NxWindow::setCellSize(std::int32_t width, std::int32_t height)
{
    setCellShifts(cellShiftFor(width), cellShiftFor(height));
    ensureStrip();
}

void NxWindow::ensureStrip()
{
    const std::int32_t cw = cellWidth();
    const std::int32_t ch = cellHeight();
    if (m_strip && m_strip->height() == ch && m_strip->width() % cw == 0)
        return;
    // At least one cell wide, so cells wider than the usual strip still fit.
    const std::int32_t width = std::max(cw, kStripWidth - kStripWidth % cw);
    auto strip = std::unique_ptr<NxSurface>(new (std::nothrow) NxSurface(32));
    // Top-down rows: a band is one block in memory, ready to hand to the platform.
    if (!strip || !strip->create(width, -ch))
        strip.reset();
    m_strip = std::move(strip);
}

bool NxWindow::attach(std::unique_ptr<NxWindowBinding> binding)
{
    if (m_binding || !binding)
        return false;
    if (!binding->bind(*this))
        return false;
    ensureStrip();
    m_binding = std::move(binding);
    const NxRect client{0, 0, std::max(0, m_binding->clientWidth()), std::max(0, m_binding->clientHeight())};
    setRect(&client);
    return true;
}

std::unique_ptr<NxWindowBinding> NxWindow::detach()
{
    if (!m_binding)
        return nullptr;
    std::unique_ptr<NxWindowBinding> binding = std::move(m_binding);
    binding->unbind();
    m_strip.reset();
    return binding;
}

bool NxWindow::setCursorPos(std::int32_t x, std::int32_t y) { return m_binding && m_binding->setCursorPos(x, y); }

void NxWindow::onClientResized(std::int32_t width, std::int32_t height) { setSize(std::max(0, width), std::max(0, height)); }

void NxWindow::onWindowDestroyed() { detach(); }

std::uint32_t NxWindow::setBackgroundColour(std::uint32_t colour)
{
    const std::uint32_t previous = m_backgroundColour;
    m_backgroundColour = colour;
    invalidate(nullptr);
    return previous;
}

bool NxWindow::update(NxPresentContext* context, bool forceAll)
{
    if (context == nullptr && !m_binding)
        return false;
    if (forceAll && mutableGrid())
        mutableGrid()->markAll();
    const bool dirty = runUpdatePass(forceAll);
    if (dirty || forceAll) {
        PresentSession session;
        if (!beginPresent(context, session))
            return false;
        presentDirty(session);
        endPresent(session);
    }
    countFrame();
    return true;
}

bool NxWindow::beginPresent(NxPresentContext* given, PresentSession& session)
{
    if (!m_strip || m_strip->acquireDC() == nullptr)
        return false;
    if (given != nullptr) {
        session = {given, false};
        return true;
    }
    NxPresentContext* own = m_binding ? m_binding->acquireContext() : nullptr;
    if (own == nullptr) {
        m_strip->releaseDC();
        return false;
    }
    session = {own, true};
    return true;
}

void NxWindow::endPresent(PresentSession& session)
{
    if (session.ownsWindow && m_binding)
        m_binding->releaseContext(session.window);
    session = {};
    m_strip->releaseDC();
}

void NxWindow::presentDirty(PresentSession& session)
{
    NxDirtyGrid* grid = mutableGrid();
    if (grid == nullptr)
        return;
    const std::int32_t cw = cellWidth();
    const std::int32_t ch = cellHeight();
    const std::int32_t maxColumns = std::max(1, ceilDiv(m_strip->width(), cw));
    const std::int32_t maxRows = std::max(1, ceilDiv(m_strip->height(), ch));
    const std::int32_t columns = grid->columns();
    const std::int32_t rows = grid->rows();
    // The dirty run starting at column o of a row, at most maxColumns long.
    const auto runLength = [&](const std::uint8_t* cells, std::int32_t o) {
        return findCell(cells, o, std::min(columns, o + maxColumns), false) - o;
    };
    for (std::int32_t r = 0; r < rows; ++r) {
        std::uint8_t* cells = grid->row(r);
        const std::int32_t firstDirty = findCell(cells, 0, columns, true);
        if (firstDirty == columns)
            continue;
        // Bridging single clean cells between dirty ones saves a band for a few pixels.
        if (findCell(cells, firstDirty, columns, false) < columns)
            for (std::int32_t i = 1; i < columns - 1; i += 2)
                if (cells[i - 1] && cells[i + 1])
                    cells[i] = 1;
        for (std::int32_t o = firstDirty; o < columns;) {
            o = findCell(cells, o, columns, true);
            if (o == columns)
                break;
            const std::int32_t length = runLength(cells, o);
            std::fill(cells + o, cells + o + length, std::uint8_t{0});
            std::int32_t end = r + 1;
            while (end - r < maxRows && end < rows) {
                std::uint8_t* next = grid->row(end);
                if ((o > 0 && next[o - 1]) || runLength(next, o) != length)
                    break;
                std::fill(next + o, next + o + length, std::uint8_t{0});
                ++end;
            }
            const NxRect band{o * cw, r * ch, std::min((o + length) * cw, grid->width()),
                              std::min(end * ch, grid->height())};
            presentRect(band, session);
            // A node that resized the window while drawing replaced the grid; the new one is
            // wholly dirty and drawn by the next update.
            if (mutableGrid() != grid)
                return;
            o += length;
        }
    }
}

void NxWindow::presentRect(const NxRect& rect, PresentSession& session)
{
    const NxLentPixels lent = session.window->lendPixels(rect);
    if (lent.firstRow != nullptr) {
        if (!m_lentBand)
            m_lentBand.reset(new (std::nothrow) NxSurface(32));
        if (m_lentBand && m_lentBand->viewRows(rect.width(), rect.height(), lent.firstRow, lent.pitch)) {
            render(*m_lentBand, rect);
            session.window->presentLent(rect);
            return;
        }
    }
    render(*m_strip, rect);
    session.window->presentBand(rect, *m_strip);
}

void NxWindow::render(NxSurface& surface, const NxRect& clip)
{
    const std::int32_t savedX = surface.originX();
    const std::int32_t savedY = surface.originY();
    const NxRect savedClip = surface.clipRect();
    // The background is mostly covered by a picture drawn next: held back, its fill is written
    // in the picture's own pass instead of once more before it. Whatever is held is written
    // before the band leaves here.
    struct HoldFills {
        NxSurface& surface;
        explicit HoldFills(NxSurface& s) : surface(s) { surface.setHoldFills(true); }
        ~HoldFills() { surface.setHoldFills(false); }
    } hold(surface);
    renderNode(*this, {0, 0}, clip, surface, {clip.left, clip.top}, true);
    surface.setOrigin(savedX, savedY);
    surface.setClipRect(&savedClip);
}

void NxWindow::renderNode(NxNode& node, NxPoint placement, const NxRect& clip, NxSurface& surface, NxPoint band,
                          bool root)
{
    const NxRect& r = node.rect();
    const NxRect placed{placement.x, placement.y, static_cast<std::int32_t>(std::int64_t{placement.x} + r.width()),
                        static_cast<std::int32_t>(std::int64_t{placement.y} + r.height())};
    const NxRect visible = intersect(placed, clip);
    // The window's children are placed by its own position and offset; any other node's
    // children start from the node's placement.
    const NxPoint childBase = root ? NxPoint{node.positionX() + node.offsetX(), node.positionY() + node.offsetY()}
                                   : placement;
    const bool confines = !root && node.clipChildren();
    const bool drawChildren = !root || node.isVisible();
    const auto visitChildren = [&](const NxRect& childClip) {
        if (!drawChildren)
            return;
        for (std::size_t i = 0; i < node.childCount(); ++i) {
            NxNode& c = *node.child(i);
            if (!c.isVisible())
                continue;
            renderNode(c, {childBase.x + c.positionX() + c.offsetX(), childBase.y + c.positionY() + c.offsetY()},
                       childClip, surface, band, false);
        }
    };
    if (visible.isEmpty()) {
        if (!confines)
            visitChildren(clip);
        return;
    }
    const std::int32_t savedX = surface.originX();
    const std::int32_t savedY = surface.originY();
    const NxRect savedClip = surface.clipRect();
    // Node coordinates (x, y) land at window (placement + (x, y) - rect's corner), on the
    // surface less the band's corner.
    const std::int32_t originX = placement.x - r.left - band.x;
    const std::int32_t originY = placement.y - r.top - band.y;
    const NxRect surfaceClip{visible.left - band.x, visible.top - band.y, visible.right - band.x,
                             visible.bottom - band.y};
    const NxRect local{visible.left - placement.x + r.left, visible.top - placement.y + r.top,
                       visible.right - placement.x + r.left, visible.bottom - placement.y + r.top};
    surface.setOrigin(originX, originY);
    surface.setClipRect(&surfaceClip);
    if (node.draw(surface, local) != 0)
        visitChildren(confines ? visible : clip);
    // Children moved origin and clip; what the node draws after them is again in its own
    // coordinates.
    surface.setOrigin(originX, originY);
    surface.setClipRect(&surfaceClip);
    node.drawAfterChildren(surface, local);
    surface.setOrigin(savedX, savedY);
    surface.setClipRect(&savedClip);
}

} // namespace gfx
