#include "GridViewTable.h"

#include "ToolCallbacks.h"

#include "engine/Args.h"
#include "engine/Host.h"
#include "engine/ScriptCall.h"
#include "tools/FileListFrame.h"
#include "tools/GridView.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace api {

using tools::CGridView;
using tools::GridCell;
using tools::GridCellItem;

std::uint32_t parseColourText(std::string_view text) noexcept
{
    if (text.size() < 6)
        return 0xFFFFFF;
    std::uint32_t rgb = 0;
    for (int pair = 0; pair < 3; ++pair) {
        unsigned value = 0;
        for (int i = 0; i < 2; ++i) {
            const char c = text[pair * 2 + i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        rgb = rgb << 8 | value;
    }
    return rgb;
}

std::string colourText(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    return text;
}

namespace {

// Every number argument is truncated; one that is no number, or does not fit, gives none.
std::optional<int> intArg(lua_State* L, int narg) { return engine::args::testInt32(L, narg); }

// A count or position that may run past the table, kept wide so that first + count cannot overflow.
std::optional<long long> wideArg(lua_State* L, int narg)
{
    const auto n = engine::args::testNumber(L, narg);
    if (!n || std::isnan(*n))
        return std::nullopt;
    constexpr lua_Number kLimit = 1e15;
    return static_cast<long long>(std::fmax(-kLimit, std::fmin(kLimit, *n)));
}

// The view named by argument 1, or null for an unknown ID.
CGridView* viewArg(lua_State* L)
{
    const auto id = intArg(L, 1);
    return id ? CGridView::find(*id) : nullptr;
}

int pushInt(lua_State* L, int value) { return engine::pushNumber(L, value); }

int getFileListID(lua_State* L)
{
    tools::CFileListFrame* frame = tools::CFileListFrame::instance();
    if (!frame || !frame->view())
        return 0;
    return pushInt(L, frame->view()->id());
}

int setCallBack(lua_State* L)
{
    const int n = lua_gettop(L);
    if (n < 2 || !lua_istable(L, n))
        return engine::pushFalse(L);
    const auto id = intArg(L, n - 1);
    if (!id)
        return engine::pushFalse(L);
    char key[32];
    lua_pushvalue(L, n);
    lua_setfield(L, LUA_REGISTRYINDEX, gridCallbackKey(*id, key));
    return engine::pushTrue(L);
}

template <int (tools::GridModel::*Get)() const noexcept>
int getCount(lua_State* L)
{
    CGridView* view = viewArg(L);
    return view ? pushInt(L, (view->model().*Get)()) : 0;
}

template <bool (tools::GridModel::*Set)(int)>
int setCount(lua_State* L)
{
    const auto n = intArg(L, 2);
    CGridView* view = viewArg(L);
    if (view && n)
        (void)(view->model().*Set)(*n);
    return 0;
}

// Row heights and column widths: 0 for an unknown view, -1 for an index that is no number.
template <int (CGridView::*Get)(int) const>
int getSize(lua_State* L)
{
    const auto index = intArg(L, 2);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    return pushInt(L, index ? (view->*Get)(*index) : -1);
}

template <void (CGridView::*Set)(int, int)>
int setSize(lua_State* L)
{
    const auto index = intArg(L, 2);
    const auto size = intArg(L, 3);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    if (index && size)
        (view->*Set)(*index, *size);
    return 0;
}

template <int Height>
int setRowsHeight(lua_State* L)
{
    const auto first = wideArg(L, 2);
    const long long count = wideArg(L, 3).value_or(0);
    CGridView* view = viewArg(L);
    if (view && first)
        view->setRowsHeight(*first, count, Height);
    return 0;
}

int getCellData(lua_State* L)
{
    const auto row = intArg(L, 2);
    const auto col = intArg(L, 3);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    const tools::GridModel& model = view->model();
    if (!row || !col || !model.contains(*row, *col))
        return 0;
    const GridCell& cell = model.cell(*row, *col);
    const std::uint32_t bg = cell.bgColour != GridCell::kDefaultColour ? cell.bgColour : model.defaultBackground(*row, *col);
    const std::uint32_t fg = cell.fgColour != GridCell::kDefaultColour ? cell.fgColour : model.defaultForeground(*row, *col);
    lua_createtable(L, 0, 5);
    lua_pushlstring(L, cell.text.data(), cell.text.size());
    lua_setfield(L, -2, "text");
    const std::string bgText = colourText(bg), fgText = colourText(fg);
    lua_pushlstring(L, bgText.data(), bgText.size());
    lua_setfield(L, -2, "bgColor");
    lua_pushlstring(L, fgText.data(), fgText.size());
    lua_setfield(L, -2, "fgColor");
    lua_pushinteger(L, cell.imageIndex);
    lua_setfield(L, -2, "imageIndex");
    lua_pushinteger(L, cell.leftMargin);
    lua_setfield(L, -2, "leftMargin");
    return 1;
}

// A number field of a cell: truncated, kept within an int.
int cellNumber(lua_Number n) { return engine::args::clampInt32(n); }

// The cell item of a table: its known fields with values of the right type; everything else is
// ignored. Texts keep their bytes up to the first zero byte, as every table read into the host does.
GridCellItem readCellItem(lua_State* L, int table)
{
    GridCellItem item;
    lua_pushnil(L);
    while (lua_next(L, table) != 0) {  // [+2] key, value
        if (lua_type(L, -2) == LUA_TSTRING) {
            const char* key = lua_tostring(L, -2);
            const int type = lua_type(L, -1);
            if (type == LUA_TSTRING) {
                std::size_t len = 0;
                const char* s = lua_tolstring(L, -1, &len);
                const std::string_view value(s, std::strlen(s) < len ? std::strlen(s) : len);
                if (std::strcmp(key, "text") == 0) {
                    item.cell.text.assign(value);
                    item.mask |= GridCellItem::Text;
                } else if (std::strcmp(key, "bgColor") == 0) {
                    item.cell.bgColour = parseColourText(value);
                    item.mask |= GridCellItem::Background;
                } else if (std::strcmp(key, "fgColor") == 0) {
                    item.cell.fgColour = parseColourText(value);
                    item.mask |= GridCellItem::Foreground;
                }
            } else if (type == LUA_TNUMBER) {
                if (std::strcmp(key, "imageIndex") == 0) {
                    item.cell.imageIndex = cellNumber(lua_tonumber(L, -1));
                    item.mask |= GridCellItem::Image;
                } else if (std::strcmp(key, "leftMargin") == 0) {
                    item.cell.leftMargin = cellNumber(lua_tonumber(L, -1));
                    item.mask |= GridCellItem::Margin;
                }
            }
        }
        lua_pop(L, 1);
    }
    return item;
}

int setCellData(lua_State* L)
{
    const auto row = intArg(L, 2);
    const auto col = intArg(L, 3);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    if (!row || !col || !lua_istable(L, 4) || !view->model().contains(*row, *col))
        return 0;
    const GridCellItem item = readCellItem(L, 4);
    view->model().setCell(*row, *col, item);
    return 0;
}

// The insertion position of argument 2: -1 (append) when absent, nil, no number or past the end.
int insertPosition(lua_State* L, int count)
{
    if (lua_isnoneornil(L, 2))
        return -1;
    const int before = intArg(L, 2).value_or(-1);
    return before >= count ? -1 : before;
}

int insertRow(lua_State* L)
{
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    tools::GridModel& model = view->model();
    const int before = insertPosition(L, model.rows());
    const int rows = model.rows();
    if (rows == model.fixedRows())
        return pushInt(L, model.setRows(rows + 1) ? rows : -1);
    return pushInt(L, model.insertRowBefore(before));
}

int insertColumn(lua_State* L)
{
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    tools::GridModel& model = view->model();
    const int before = insertPosition(L, model.columns());
    const int columns = model.columns();
    if (columns == model.fixedColumns())
        return pushInt(L, model.setColumns(columns + 1) ? columns : -1);
    // Centred both ways on one line, as inserted columns are.
    return pushInt(L, model.insertColumnBefore(before, Qt::AlignHCenter | Qt::AlignVCenter));
}

int deleteRow(lua_State* L)
{
    const auto row = intArg(L, 2);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    return engine::pushBool(L, row && view->model().deleteRow(*row));
}

int deleteColumn(lua_State* L)
{
    const auto col = intArg(L, 2);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    return engine::pushBool(L, col && view->model().deleteColumn(*col));
}

int update(lua_State* L)
{
    const bool whole = lua_isnoneornil(L, 2);
    const auto row = intArg(L, 2);
    CGridView* view = viewArg(L);
    if (!view)
        return 0;
    if (whole)
        view->redraw();
    else if (row)
        view->redrawRow(*row);
    return 0;
}

int ensureVisible(lua_State* L)
{
    const auto row = intArg(L, 2);
    const auto col = lua_isnoneornil(L, 3) ? std::optional<int>(0) : intArg(L, 3);
    CGridView* view = viewArg(L);
    if (view && row && col)
        view->ensureVisible(*row, *col);
    return 0;
}

int getFocus(lua_State* L)
{
    CGridView* view = viewArg(L);
    return pushInt(L, view ? view->focusRow() : 0);
}

int setFocus(lua_State* L)
{
    const int row = intArg(L, 2).value_or(-1);
    CGridView* view = viewArg(L);
    if (!view)
        return pushInt(L, 0);
    view->setFocusRow(row);
    return 0;
}

using M = tools::GridModel;

constexpr engine::HostFunction kFunctions[] = {
    SELVARIN_HOST("getFileListID", getFileListID),
    SELVARIN_HOST("setCallBack", setCallBack),
    SELVARIN_HOST("getRowCount", getCount<&M::rows>),
    SELVARIN_HOST("getColumnCount", getCount<&M::columns>),
    SELVARIN_HOST("setRowCount", setCount<&M::setRows>),
    SELVARIN_HOST("setColumnCount", setCount<&M::setColumns>),
    SELVARIN_HOST("getFixedRowCount", getCount<&M::fixedRows>),
    SELVARIN_HOST("getFixedColumnCount", getCount<&M::fixedColumns>),
    SELVARIN_HOST("setFixedRowCount", setCount<&M::setFixedRows>),
    SELVARIN_HOST("setFixedColumnCount", setCount<&M::setFixedColumns>),
    SELVARIN_HOST("getRowHeight", getSize<&CGridView::rowHeight>),
    SELVARIN_HOST("setRowHeight", setSize<&CGridView::setRowHeight>),
    SELVARIN_HOST("getColumnWidth", getSize<&CGridView::columnWidth>),
    SELVARIN_HOST("setColumnWidth", setSize<&CGridView::setColumnWidth>),
    SELVARIN_HOST("hideRow", setRowsHeight<0>),
    SELVARIN_HOST("showRow", setRowsHeight<CGridView::kDefaultRowHeight>),
    SELVARIN_HOST("getCellData", getCellData),
    SELVARIN_HOST("setCellData", setCellData),
    SELVARIN_HOST("insertRow", insertRow),
    SELVARIN_HOST("insertColumn", insertColumn),
    SELVARIN_HOST("deleteRow", deleteRow),
    SELVARIN_HOST("deleteColumn", deleteColumn),
    SELVARIN_HOST("update", update),
    SELVARIN_HOST("ensureVisible", ensureVisible),
    SELVARIN_HOST("getFocus", getFocus),
    SELVARIN_HOST("setFocus", setFocus),
};
static_assert(std::size(kFunctions) == 26);

}  // namespace

void installGridView(lua_State* L) { engine::registerTable(L, "gridview", kFunctions); }

}  // namespace api
