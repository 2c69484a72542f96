#pragma once

#include "GridModel.h"

#include <QTableView>
#include <QWidget>

#include <vector>

namespace tools {

// The table widget of the file list: list-mode selection, headings that never take the focus
// cell, and the grid's notifications passed to the script listener.
class GridTable : public QTableView {
    Q_OBJECT
public:
    GridTable(int viewId, GridModel* model, QWidget* parent);
    GridModel* gridModel() const noexcept { return m_model; }

    void keyboardSearch(const QString&) override {}

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    int m_viewId;
    GridModel* m_model;
    QPersistentModelIndex m_pressed;  // the cell a left press began on
};

// The view of the file list window: one grid filling it. Every view has a process-wide ID
// (0, 1, ... in order of construction) by which scripts reach it.
class CGridView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultRowHeight = 16;

    explicit CGridView(QWidget* parent = nullptr);
    ~CGridView() override;

    int id() const noexcept { return m_id; }
    GridModel& model() noexcept { return m_model; }
    GridTable* table() const noexcept { return m_table; }

    // The live view with this ID, or null.
    static CGridView* find(int id) noexcept;
    // The ID the next view will get.
    static int nextId() noexcept;

    // Sizes in pixels; -1 for an index out of range. Setting ignores an index out of range and a
    // negative size; a size of 0 hides the row or column.
    int rowHeight(int row) const;
    void setRowHeight(int row, int height);
    int columnWidth(int col) const;
    void setColumnWidth(int col, int width);
    // Rows first .. first + count - 1 (those that exist) get `height`; then the grid redraws.
    void setRowsHeight(long long first, long long count, int height);

    void redraw();
    void redrawRow(int row);
    void ensureVisible(int row, int col);
    // The focus cell's row, or -1.
    int focusRow() const;
    // Focus cell (row, 0) with the whole row selected; a row outside the table clears both.
    void setFocusRow(int row);

private:
    int m_id;
    GridModel m_model;
    GridTable* m_table;  // owned by this widget
};

}  // namespace tools
