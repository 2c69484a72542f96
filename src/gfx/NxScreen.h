#pragma once

#include "gfx/NxNode.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace gfx {

class NxScreen;

// One byte per cell of a power-of-two size (1 = dirty). A new grid is all dirty.
class NxDirtyGrid {
public:
    // Null when the cells cannot be allocated.
    static std::unique_ptr<NxDirtyGrid> make(std::int32_t width, std::int32_t height, int shiftX, int shiftY,
                                             NxScreen* owner);

    std::int32_t columns() const { return m_columns; }
    std::int32_t rows() const { return m_rows; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::size_t cellCount() const { return m_cells.size(); }
    int shiftX() const { return m_shiftX; }
    int shiftY() const { return m_shiftY; }
    std::int32_t maskX() const { return (1 << m_shiftX) - 1; }
    std::int32_t maskY() const { return (1 << m_shiftY) - 1; }
    NxScreen* owner() const { return m_owner; }

    void markAll();
    // Cells touched by rect (pixels, cut to the grid) become dirty.
    void mark(const NxRect& rect);
    bool anyDirty() const;
    std::uint8_t* row(std::int32_t r) { return m_cells.data() + static_cast<std::size_t>(r) * m_columns; }
    bool isDirty(std::int32_t column, std::int32_t row) const
    {
        return m_cells[static_cast<std::size_t>(row) * m_columns + column] != 0;
    }

private:
    NxDirtyGrid() = default;

    std::int32_t m_columns = 0;
    std::int32_t m_rows = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_shiftX = 0;
    int m_shiftY = 0;
    NxScreen* m_owner = nullptr;
    std::vector<std::uint8_t> m_cells;
};

// The root of a drawing tree: a node with a dirty grid over its rectangle and a frame counter.
class NxScreen : public NxNode {
public:
    NxScreen();
    ~NxScreen() override;

    // Also rebuilds the grid.
    void setRect(const NxRect* rect) override;
    // Previous value; enabling builds the grid, disabling drops it.
    bool setGridEnabled(bool enabled);
    bool gridEnabled() const { return m_gridEnabled; }
    const NxDirtyGrid* grid() const { return m_grid.get(); }
    std::int32_t cellWidth() const { return std::int32_t{1} << m_cellShiftX; }
    std::int32_t cellHeight() const { return std::int32_t{1} << m_cellShiftY; }

    // Presentation rate over the last whole second, in frames per thousand seconds.
    std::uint32_t framesPerThousandSeconds() const { return m_framesPerThousandSeconds; }
    // A millisecond clock that wraps at 2^32; tests replace it.
    void setClock(std::function<std::uint32_t()> clock);

    // Cell size for n pixels: the shift of the next power of two (5 -> 3, 32 -> 5, 1 -> 0), at
    // most 10 so that cells and the strip stay bounded.
    static int cellShiftFor(std::int32_t n);

protected:
    void setCellShifts(int shiftX, int shiftY);
    void rebuildGrid();
    NxDirtyGrid* mutableGrid() { return m_grid.get(); }
    // The update pass: layout changes, invalid and uncovered areas marked in the grid, pending
    // invalidations delivered, child lists sorted. True when any cell is dirty afterwards.
    bool runUpdatePass(bool forceAll);
    void countFrame();

private:
    void passNode(NxNode& node, NxPoint placement, const NxRect& clip, bool shown);
    void prepareTree(NxNode& node);
    void markWindowRect(const NxRect& rect);

    bool m_gridEnabled = false;
    int m_cellShiftX = 5;
    int m_cellShiftY = 3;
    std::unique_ptr<NxDirtyGrid> m_grid;
    std::uint32_t m_frameCount = 0;
    std::uint32_t m_lastTick = 0;
    std::uint32_t m_framesPerThousandSeconds = 0;
    std::function<std::uint32_t()> m_clock;
};

} // namespace gfx
