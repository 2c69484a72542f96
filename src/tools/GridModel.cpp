#include "GridModel.h"

#include "platform/TextCodec.h"

#include <QBrush>
#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <new>

namespace tools {
namespace {

const GridCell kEmptyCell;

QColor toColour(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::uint32_t fromColour(const QColor& c)
{
    return static_cast<std::uint32_t>(c.red()) << 16 | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue());
}

}  // namespace

GridModel::GridModel(QObject* parent, std::size_t cellBudget) : QAbstractTableModel(parent), m_cellBudget(cellBudget) {}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows(); }

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns(); }

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !contains(index.row(), index.column()))
        return {};
    const GridCell& c = cell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return c.text.empty() ? QString() : platform::cp932ToQString(c.text);
    case Qt::BackgroundRole:
        if (c.bgColour != GridCell::kDefaultColour)
            return QBrush(toColour(c.bgColour));
        if (isFixed(index.row(), index.column()))
            return QGuiApplication::palette().button();
        return {};
    case Qt::ForegroundRole:
        if (c.fgColour != GridCell::kDefaultColour)
            return QBrush(toColour(c.fgColour));
        return {};
    case Qt::DecorationRole:
        if (c.imageIndex >= 0 && static_cast<std::size_t>(c.imageIndex) < m_images.size())
            return m_images[c.imageIndex];
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[index.column()].alignment);
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Fixed cells are headings: never selected, never part of a row selection.
    if (isFixed(index.row(), index.column()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool GridModel::setRows(int n)
{
    if (n < 0 || n > kMaxRows)
        return false;
    const int old = rows();
    if (n > old) {
        beginInsertRows({}, old, n - 1);
        m_rows.resize(n);
        endInsertRows();
    } else if (n < old) {
        beginRemoveRows({}, n, old - 1);
        for (int r = n; r < old; ++r)
            m_storedCells -= m_rows[r].size();
        m_rows.resize(n);
        endRemoveRows();
    }
    if (m_fixedRows > n)
        m_fixedRows = n;
    return true;
}

bool GridModel::setColumns(int n)
{
    if (n < 0 || n > kMaxColumns)
        return false;
    const int old = columns();
    if (n == old)
        return true;
    if (n > old)
        beginInsertColumns({}, old, n - 1);
    else
        beginRemoveColumns({}, n, old - 1);
    for (Row& row : m_rows) {
        if (row.empty())
            continue;
        if (n < old) {
            m_storedCells -= old - n;
            row.resize(n);
        } else if (m_storedCells + (n - old) > m_cellBudget) {
            // Past the budget a widened row loses its content rather than the program its memory.
            m_storedCells -= row.size();
            Row().swap(row);
        } else {
            row.resize(n);
            m_storedCells += n - old;
        }
    }
    m_columns.resize(n);
    if (n > old)
        endInsertColumns();
    else
        endRemoveColumns();
    if (m_fixedColumns > n)
        m_fixedColumns = n;
    return true;
}

bool GridModel::setFixedRows(int n)
{
    if (n < 0 || n > kMaxRows)
        return false;
    if (n > rows())
        setRows(n);
    m_fixedRows = n;
    flagsChanged();
    return true;
}

bool GridModel::setFixedColumns(int n)
{
    if (n < 0 || n > kMaxColumns)
        return false;
    if (n > columns())
        setColumns(n);
    m_fixedColumns = n;
    flagsChanged();
    return true;
}

int GridModel::insertRowBefore(int before)
{
    if (rows() >= kMaxRows)
        return -1;
    const int at = before >= 0 && before < rows() ? before : rows();
    beginInsertRows({}, at, at);
    m_rows.insert(m_rows.begin() + at, Row());
    endInsertRows();
    return at;
}

int GridModel::insertColumnBefore(int before, Qt::Alignment alignment)
{
    if (columns() >= kMaxColumns)
        return -1;
    const int at = before >= 0 && before < columns() ? before : columns();
    beginInsertColumns({}, at, at);
    for (Row& row : m_rows) {
        if (row.empty())
            continue;
        if (m_storedCells + 1 > m_cellBudget) {
            m_storedCells -= row.size();
            Row().swap(row);
            continue;
        }
        row.insert(row.begin() + at, GridCell());
        ++m_storedCells;
    }
    m_columns.insert(m_columns.begin() + at, Column{alignment});
    endInsertColumns();
    return at;
}

bool GridModel::deleteRow(int row)
{
    if (row < 0 || row >= rows())
        return false;
    beginRemoveRows({}, row, row);
    m_storedCells -= m_rows[row].size();
    m_rows.erase(m_rows.begin() + row);
    if (row < m_fixedRows)
        --m_fixedRows;
    endRemoveRows();
    return true;
}

bool GridModel::deleteColumn(int col)
{
    if (col < 0 || col >= columns())
        return false;
    beginRemoveColumns({}, col, col);
    for (Row& row : m_rows) {
        if (!row.empty()) {
            row.erase(row.begin() + col);
            --m_storedCells;
        }
    }
    m_columns.erase(m_columns.begin() + col);
    if (col < m_fixedColumns)
        --m_fixedColumns;
    endRemoveColumns();
    return true;
}

void GridModel::flagsChanged()
{
    if (rows() > 0 && columns() > 0)
        emit dataChanged(index(0, 0), index(rows() - 1, columns() - 1));
}

const GridCell& GridModel::cell(int row, int col) const
{
    const Row& r = m_rows[row];
    return r.empty() ? kEmptyCell : r[col];
}

void GridModel::setCell(int row, int col, const GridCellItem& item)
{
    if (!contains(row, col) || item.mask == 0)
        return;
    Row& r = m_rows[row];
    if (r.empty()) {
        if (m_storedCells + columns() > m_cellBudget)
            throw std::bad_alloc();
        r.resize(columns());
        m_storedCells += r.size();
    }
    GridCell& c = r[col];
    if (item.mask & GridCellItem::Text)
        c.text = item.cell.text;
    if (item.mask & GridCellItem::Background)
        c.bgColour = item.cell.bgColour;
    if (item.mask & GridCellItem::Foreground)
        c.fgColour = item.cell.fgColour;
    if (item.mask & GridCellItem::Image)
        c.imageIndex = item.cell.imageIndex;
    if (item.mask & GridCellItem::Margin)
        c.leftMargin = item.cell.leftMargin;
}

std::uint32_t GridModel::defaultBackground(int row, int col) const
{
    const QPalette palette = QGuiApplication::palette();
    return fromColour(isFixed(row, col) ? palette.button().color() : palette.base().color());
}

std::uint32_t GridModel::defaultForeground(int row, int col) const
{
    const QPalette palette = QGuiApplication::palette();
    return fromColour(isFixed(row, col) ? palette.buttonText().color() : palette.text().color());
}

}  // namespace tools
