#include "GridView.h"

#include "ImageList.h"
#include "ToolEvents.h"
#include "VirtualKey.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace tools {
namespace {

int g_nextId = 0;

std::vector<CGridView*>& views()
{
    static std::vector<CGridView*> list;
    return list;
}

void notify(int viewId, GridEvent event, int row, int col, int key = 0)
{
    if (ScriptListener* listener = scriptListener())
        listener->gridNotify(viewId, event, row, col, key);
}

// Draws a cell's content after its left margin, the background across the whole cell.
class MarginDelegate : public QStyledItemDelegate {
public:
    MarginDelegate(GridModel* model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int margin = m_model->contains(index.row(), index.column())
                               ? m_model->cell(index.row(), index.column()).leftMargin
                               : 0;
        if (margin <= 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QRect strip(option.rect.left(), option.rect.top(), std::min(margin, option.rect.width()),
                          option.rect.height());
        if (opt.state & QStyle::State_Selected)
            painter->fillRect(strip, opt.palette.highlight());
        else if (opt.backgroundBrush.style() != Qt::NoBrush)
            painter->fillRect(strip, opt.backgroundBrush);
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + margin);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

private:
    GridModel* m_model;
};

}  // namespace

GridTable::GridTable(int viewId, GridModel* model, QWidget* parent)
    : QTableView(parent), m_viewId(viewId), m_model(model)
{
    setModel(model);
    setItemDelegate(new MarginDelegate(model, this));
}

bool GridTable::event(QEvent* event)
{
    // Keys typed in the grid are the grid's (and the script's): the main window's accelerators
    // (Tab, Escape, Ctrl+C, ...) do not reach over from a tool window. Alt stays for the menu.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & Qt::AltModifier)) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void GridTable::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_pressed = index;
    // A heading takes neither the focus cell nor a selection.
    if (index.isValid() && m_model->isFixed(index.row(), index.column())) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void GridTable::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    // Nothing of this object is touched after a notification: the script may do anything.
    if (event->button() == Qt::LeftButton) {
        const QModelIndex pressed = m_pressed;
        m_pressed = QPersistentModelIndex();
        if (pressed.isValid())
            notify(m_viewId, GridEvent::Click, pressed.row(), pressed.column());
    } else if (event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            notify(m_viewId, GridEvent::RightClick, index.row(), index.column());
        else
            notify(m_viewId, GridEvent::RightClick, -1, -1);
    }
}

void GridTable::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    // The release that ends a double click is not a click of its own.
    m_pressed = QPersistentModelIndex();
    if (!(index.isValid() && m_model->isFixed(index.row(), index.column())))
        QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid())
        notify(m_viewId, GridEvent::DoubleClick, index.row(), index.column());
}

void GridTable::keyPressEvent(QKeyEvent* event)
{
    // The script decides what copying means; the widget's own copy of the cell text stays out.
    if (event->matches(QKeySequence::Copy))
        event->accept();
    else
        QTableView::keyPressEvent(event);
    const int code = virtualKeyCode(*event);
    const QModelIndex focus = currentIndex();
    if (code != 0 && focus.isValid())
        notify(m_viewId, GridEvent::Key, focus.row(), focus.column(), code);
}

QModelIndex GridTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!next.isValid())
        return next;
    // The focus cell stays among the data cells.
    int row = std::max(next.row(), m_model->fixedRows());
    int col = std::max(next.column(), m_model->fixedColumns());
    if (!m_model->contains(row, col))
        return currentIndex();
    return m_model->index(row, col);
}

CGridView::CGridView(QWidget* parent) : QWidget(parent), m_id(g_nextId++)
{
    views().push_back(this);
    m_table = new GridTable(m_id, &m_model, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    setFocusProxy(m_table);

    QHeaderView* vertical = m_table->verticalHeader();
    QHeaderView* horizontal = m_table->horizontalHeader();
    // The fixed rows and columns are the headings; Qt's own headers stay hidden.
    vertical->hide();
    horizontal->hide();
    vertical->setMinimumSectionSize(0);
    horizontal->setMinimumSectionSize(0);
    vertical->setDefaultSectionSize(kDefaultRowHeight);
    vertical->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model.setRows(10);
    m_model.setColumns(1);
    m_model.setFixedRows(1);
    m_model.setFixedColumns(0);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_model.setImages(cutImageList(fileListImageStrip(), 10, qRgb(0, 255, 0)));
    m_table->setIconSize(QSize(10, 9));
    m_table->setWordWrap(false);

    QFont font = m_table->font();
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    m_table->setFont(font);
    m_table->viewport()->update();
}

CGridView::~CGridView()
{
    // The table goes before the model it shows.
    delete m_table;
    auto& list = views();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

CGridView* CGridView::find(int id) noexcept
{
    for (CGridView* view : views()) {
        if (view->m_id == id)
            return view;
    }
    return nullptr;
}

int CGridView::nextId() noexcept { return g_nextId; }

int CGridView::rowHeight(int row) const
{
    if (row < 0 || row >= m_model.rows())
        return -1;
    return m_table->isRowHidden(row) ? 0 : m_table->rowHeight(row);
}

void CGridView::setRowHeight(int row, int height)
{
    if (row < 0 || row >= m_model.rows() || height < 0)
        return;
    if (height == 0) {
        m_table->setRowHidden(row, true);
        return;
    }
    m_table->setRowHidden(row, false);
    m_table->setRowHeight(row, height);
}

int CGridView::columnWidth(int col) const
{
    if (col < 0 || col >= m_model.columns())
        return -1;
    return m_table->isColumnHidden(col) ? 0 : m_table->columnWidth(col);
}

void CGridView::setColumnWidth(int col, int width)
{
    if (col < 0 || col >= m_model.columns() || width < 0)
        return;
    if (width == 0) {
        m_table->setColumnHidden(col, true);
        return;
    }
    m_table->setColumnHidden(col, false);
    m_table->setColumnWidth(col, width);
}

void CGridView::setRowsHeight(long long first, long long count, int height)
{
    const long long begin = std::max(first, 0LL);
    const long long end = std::min(first + std::max(count, 0LL), static_cast<long long>(m_model.rows()));
    for (long long row = begin; row < end; ++row)
        setRowHeight(static_cast<int>(row), height);
    redraw();
}

void CGridView::redraw() { m_table->viewport()->update(); }

void CGridView::redrawRow(int row)
{
    if (row < 0 || row >= m_model.rows())
        return;
    const QRect r(0, m_table->rowViewportPosition(row), m_table->viewport()->width(), m_table->rowHeight(row));
    m_table->viewport()->update(r);
}

void CGridView::ensureVisible(int row, int col)
{
    if (!m_model.contains(row, col))
        return;
    m_table->scrollTo(m_model.index(row, col));
    redraw();
}

int CGridView::focusRow() const
{
    const QModelIndex focus = m_table->currentIndex();
    return focus.isValid() ? focus.row() : -1;
}

void CGridView::setFocusRow(int row)
{
    QItemSelectionModel* selection = m_table->selectionModel();
    if (!m_model.contains(row, 0)) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
        return;
    }
    const QModelIndex focus = m_model.index(row, 0);
    selection->setCurrentIndex(focus, QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(focus, m_model.index(row, m_model.columns() - 1)),
                      QItemSelectionModel::ClearAndSelect);
}

}  // namespace tools
