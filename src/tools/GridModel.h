#pragma once

#include <QAbstractTableModel>
#include <QPixmap>

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// One cell as scripts read and write it. Texts are code page 932; colours 0xRRGGBB.
struct GridCell {
    static constexpr std::uint32_t kDefaultColour = 0xFFFFFFFFu;  // not set: the widget's own colour
    std::string text;
    std::uint32_t bgColour = kDefaultColour;
    std::uint32_t fgColour = kDefaultColour;
    int imageIndex = -1;
    int leftMargin = 0;
};

// The fields of a cell write, with the mask of those to change.
struct GridCellItem {
    enum Mask : unsigned { Text = 1, Background = 2, Foreground = 4, Image = 8, Margin = 16 };
    unsigned mask = 0;
    GridCell cell;
};

// The table of the file list: rows and columns counted with their fixed (header) rows and
// columns first. Cells are stored only for rows that were written, so a long list costs a
// pointer-sized entry per row until its cells get content.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Sizes past these are refused: they keep a script's mistake from exhausting memory.
    static constexpr int kMaxRows = 1'000'000;
    static constexpr int kMaxColumns = 1024;
    static constexpr std::size_t kMaxStoredCells = std::size_t{1} << 24;

    // `cellBudget`: the most cells stored at once.
    explicit GridModel(QObject* parent = nullptr, std::size_t cellBudget = kMaxStoredCells);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int rows() const noexcept { return static_cast<int>(m_rows.size()); }
    int columns() const noexcept { return static_cast<int>(m_columns.size()); }
    int fixedRows() const noexcept { return m_fixedRows; }
    int fixedColumns() const noexcept { return m_fixedColumns; }
    bool isFixed(int row, int col) const noexcept { return row < m_fixedRows || col < m_fixedColumns; }
    bool contains(int row, int col) const noexcept { return row >= 0 && row < rows() && col >= 0 && col < columns(); }

    // False (nothing changes) for a negative count or one past the limits. Fewer rows than fixed
    // rows lowers the fixed count; more fixed rows than rows adds rows.
    bool setRows(int n);
    bool setColumns(int n);
    bool setFixedRows(int n);
    bool setFixedColumns(int n);

    // A new empty row before `before`, or at the end when `before` is not a row; its index, or -1
    // at the limit.
    int insertRowBefore(int before);
    // The same for a column, whose cells draw with `alignment`.
    int insertColumnBefore(int before, Qt::Alignment alignment);
    bool deleteRow(int row);
    bool deleteColumn(int col);

    // The cell as stored (defaults for one never written); (row, col) must be inside.
    const GridCell& cell(int row, int col) const;
    // Changes the masked fields; nothing is redrawn. Outside the table: ignored. Throws
    // std::bad_alloc past the stored-cell budget.
    void setCell(int row, int col, const GridCellItem& item);
    // The colours drawn for a cell whose colour was never set.
    std::uint32_t defaultBackground(int row, int col) const;
    std::uint32_t defaultForeground(int row, int col) const;

    void setImages(std::vector<QPixmap> images) { m_images = std::move(images); }

private:
    // Which cells are headings changed: every cell draws again.
    void flagsChanged();

    struct Column {
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };
    using Row = std::vector<GridCell>;  // empty until a cell of the row is written

    std::vector<Row> m_rows;
    std::vector<Column> m_columns;
    int m_fixedRows = 0;
    int m_fixedColumns = 0;
    std::size_t m_storedCells = 0;
    std::size_t m_cellBudget;
    std::vector<QPixmap> m_images;
};

}  // namespace tools
