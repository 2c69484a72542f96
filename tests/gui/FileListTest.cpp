#include "AppFixture.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "platform/TextCodec.h"
#include "tools/FileListFrame.h"
#include "tools/GridView.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

namespace {

using guitest::evalScript;

// A started application with its file list window shown; `id` is the file list's view ID.
class FileListTest : public guitest::AppFixture {
protected:
    int id = -1;

    void startList(const std::string& extra = "")
    {
        startWith(startScript(extra));
        application->mainFrame()->runCommand(app::commands::FileList);
        QCoreApplication::processEvents();
        id = std::stoi(eval("gridview.getFileListID()"));
        run("ID = " + std::to_string(id));
    }
    std::string eval(const std::string& expression) { return evalScript(*application, expression); }
    // The results of a call, joined with ",", as "n:" + count first.
    std::string results(const std::string& call)
    {
        run("local r = {" + call + "} local n = table.getn(r) for i = 1, n do r[i] = tostring(r[i]) end "
            "RESULT = n .. ':' .. table.concat(r, ',')");
        return eval("RESULT");
    }
    tools::CGridView* view() { return application->fileList()->view(); }
    tools::GridTable* table() { return view()->table(); }
    QPoint cellCentre(int row, int col) { return table()->visualRect(view()->model().index(row, col)).center(); }
    void logCallbacks(const std::string& fields = "onClickCell onDoubleClickCell onRightClickCell onKey")
    {
        run("local t = {} for name in string.gfind('" + fields + "', '%S+') do "
            "  t[name] = function(...) table.insert(log, name .. '(' .. table.concat(arg, ',') .. ')') end "
            "end gridview.setCallBack(ID, t)");
    }
};

TEST_F(FileListTest, NewTableAndWindow)
{
    startList();
    EXPECT_EQ(eval("gridview.getFileListID()"), std::to_string(tools::CFileListFrame::instance()->view()->id()));
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "10");
    EXPECT_EQ(eval("gridview.getColumnCount(ID)"), "1");
    EXPECT_EQ(eval("gridview.getFixedRowCount(ID)"), "1");
    EXPECT_EQ(eval("gridview.getFixedColumnCount(ID)"), "0");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 0)"), "16");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 9)"), "16");
    EXPECT_EQ(eval("gridview.getCellData(ID, 0, 0).text"), "");
    EXPECT_EQ(table()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(table()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table()->font().pixelSize(), 11);

    tools::CFileListFrame* frame = application->fileList();
    EXPECT_EQ(frame->windowTitle(), "ファイル一覧");
    EXPECT_TRUE(frame->windowFlags() & Qt::Tool) << "above the main window, out of the task bar";
    EXPECT_EQ(frame->parentWidget(), application->mainFrame());
    QStringList menus;
    for (QAction* a : frame->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"編集(&E)", "表示(&V)"}));
    EXPECT_NE(frame->statusBar()->findChild<QLabel*>("kanaIndicator"), nullptr);
}

TEST_F(FileListTest, OnlyCopyIsEnabledAndRaisesTheCopyEvent)
{
    startList();
    tools::CFileListFrame* frame = application->fileList();
    QMenu* edit = frame->menuBar()->actions().at(0)->menu();
    QMenu* viewMenu = frame->menuBar()->actions().at(1)->menu();
    emit edit->aboutToShow();
    int enabled = 0;
    for (QMenu* m : {edit, viewMenu}) {
        for (QAction* a : m->actions())
            enabled += a->isEnabled();
    }
    EXPECT_EQ(enabled, 1);
    EXPECT_TRUE(frame->copyAction()->isEnabled());
    frame->copyAction()->trigger();
    EXPECT_EQ(takeLog(), "onEditCopy()");

    // The copy item follows the application's copy state.
    run("function onUpdateEditCopy() return false, false end");
    emit edit->aboutToShow();
    EXPECT_FALSE(frame->copyAction()->isEnabled());
}

TEST_F(FileListTest, InsertingRowsAndColumns)
{
    startList();
    run("gridview.setRowCount(ID, 1)");
    EXPECT_EQ(eval("gridview.insertRow(ID)"), "1") << "only the fixed row: the table grows by one";
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "2");
    run("gridview.setCellData(ID, 1, 0, {text = 'first'})");
    EXPECT_EQ(eval("gridview.insertRow(ID, 99)"), "2") << "a position past the end appends";
    EXPECT_EQ(eval("gridview.insertRow(ID, nil)"), "3");
    EXPECT_EQ(eval("gridview.insertRow(ID, 1)"), "1");
    EXPECT_EQ(eval("gridview.getCellData(ID, 2, 0).text"), "first") << "rows after the new one move down";
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "5");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 1)"), "16");

    EXPECT_EQ(eval("gridview.insertColumn(ID)"), "1");
    EXPECT_EQ(eval("gridview.getColumnCount(ID)"), "2");
    const QVariant align = view()->model().data(view()->model().index(1, 1), Qt::TextAlignmentRole);
    EXPECT_EQ(align.value<Qt::Alignment>(), Qt::AlignHCenter | Qt::AlignVCenter) << "inserted columns are centred";
    EXPECT_EQ(eval("gridview.insertColumn(ID, 0)"), "0");
    EXPECT_EQ(eval("gridview.getCellData(ID, 2, 1).text"), "first");

    run("gridview.setColumnCount(ID, 0)");
    EXPECT_EQ(eval("gridview.insertColumn(ID)"), "0") << "no columns and no fixed ones: the table grows by one";

    EXPECT_EQ(eval("gridview.deleteRow(ID, 2)"), "true");
    EXPECT_EQ(eval("gridview.deleteRow(ID, 4)"), "false");
    EXPECT_EQ(eval("gridview.deleteRow(ID, -1)"), "false");
    EXPECT_EQ(eval("gridview.deleteColumn(ID, 0)"), "true");
    EXPECT_EQ(eval("gridview.deleteColumn(ID, 0)"), "false");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "4");
    run("gridview.setColumnCount(ID, 1)");
    EXPECT_EQ(eval("gridview.deleteRow(ID, 0)"), "true");
    EXPECT_EQ(eval("gridview.getFixedRowCount(ID)"), "0") << "the deleted row was the fixed one";
}

TEST_F(FileListTest, CellDataAndColours)
{
    startList();
    run("gridview.setColumnCount(ID, 2) gridview.setCellData(ID, 3, 1, {text = 'a.jpg', bgColor = 'ff8000', fgColor = '0000FF',"
        " imageIndex = 1, leftMargin = 12, other = 'x'})");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).text"), "a.jpg");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).bgColor"), "FF8000");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).fgColor"), "0000FF");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).imageIndex"), "1");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).leftMargin"), "12");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).other"), "nil");

    // A value of the wrong type leaves the field alone; a short colour text means white.
    run("gridview.setCellData(ID, 3, 1, {text = 5, bgColor = 'f80', imageIndex = '2', leftMargin = true})");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).text"), "a.jpg");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).bgColor"), "FFFFFF");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).imageIndex"), "1");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).leftMargin"), "12");
    // Each pair is read up to its first character that is no hexadecimal digit.
    run("gridview.setCellData(ID, 3, 1, {bgColor = '1g2h3i', text = 'a\\0b'})");
    EXPECT_EQ(eval("gridview.getCellData(ID, 3, 1).bgColor"), "010203");
    EXPECT_EQ(eval("string.len(gridview.getCellData(ID, 3, 1).text)"), "1") << "text ends at a zero byte";

    // Out of range: nothing read, nothing written.
    EXPECT_EQ(results("gridview.getCellData(ID, 10, 0)"), "0:") << "a row equal to the row count";
    EXPECT_EQ(results("gridview.getCellData(ID, 0, 2)"), "0:");
    EXPECT_EQ(results("gridview.getCellData(ID, -1, 0)"), "0:");
    EXPECT_EQ(results("gridview.setCellData(ID, 10, 0, {text = 'x'})"), "0:");
    EXPECT_EQ(results("gridview.setCellData(ID, 1, 0, 'not a table')"), "0:");

    // Japanese text comes back byte for byte.
    const std::string name = platform::utf8ToCp932("画像ファイル.jpg");
    lua_State* L = application->engine()->state();
    lua_pushlstring(L, name.data(), name.size());
    lua_setglobal(L, "NAME");
    run("gridview.setCellData(ID, 2, 0, {text = NAME})");
    EXPECT_EQ(eval("gridview.getCellData(ID, 2, 0).text == NAME"), "true");
    EXPECT_EQ(view()->model().data(view()->model().index(2, 0), Qt::DisplayRole).toString(), "画像ファイル.jpg");
}

TEST_F(FileListTest, TheOrangeCellIsPaintedOrange)
{
    startList();
    run("gridview.setCellData(ID, 4, 0, {bgColor = 'ff8000'}) gridview.update(ID)");
    application->fileList()->resize(300, 300);
    QCoreApplication::processEvents();
    const QImage shot = table()->viewport()->grab().toImage();
    const QPoint centre = cellCentre(4, 0) * table()->viewport()->devicePixelRatio();
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(255, 128, 0));
    EXPECT_NE(QColor(shot.pixel(cellCentre(5, 0))), QColor(255, 128, 0));
}

TEST_F(FileListTest, HiddenAndShownRowsAndSizes)
{
    startList();
    run("gridview.setRowHeight(ID, 2, 30) gridview.setRowHeight(ID, 3, 5)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 2)"), "30");
    run("gridview.hideRow(ID, 2, 2)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 2)"), "0");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 3)"), "0");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 4)"), "16");
    run("gridview.showRow(ID, 2, 2)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 2)"), "16");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 3)"), "16");
    run("gridview.hideRow(ID, 5)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 5)"), "16") << "an absent count hides nothing";
    run("gridview.hideRow(ID, 8, 1e300) gridview.hideRow(ID, -5, 6) gridview.showRow(ID, 9, -3)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 0)"), "0");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 1)"), "16");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 9)"), "0");

    run("gridview.setRowHeight(ID, 4, -1) gridview.setRowHeight(ID, 40, 20)");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 4)"), "16");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, 10)"), "-1");
    EXPECT_EQ(eval("gridview.getRowHeight(ID, -1)"), "-1");
    run("gridview.setColumnWidth(ID, 0, 120) gridview.setColumnWidth(ID, 0, -4) gridview.setColumnWidth(ID, 1, 50)");
    EXPECT_EQ(eval("gridview.getColumnWidth(ID, 0)"), "120");
    EXPECT_EQ(eval("gridview.getColumnWidth(ID, 1)"), "-1");
}

TEST_F(FileListTest, CountsRefuseNegativeAndHugeSizes)
{
    startList();
    run("gridview.setRowCount(ID, -1) gridview.setColumnCount(ID, -3) gridview.setRowCount(ID, 1e12)"
        " gridview.setColumnCount(ID, 'many') gridview.setFixedRowCount(ID, -2)");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "10");
    EXPECT_EQ(eval("gridview.getColumnCount(ID)"), "1");
    EXPECT_EQ(eval("gridview.getFixedRowCount(ID)"), "1");
    run("gridview.setFixedRowCount(ID, 12)");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "12") << "the fixed rows are rows";
    run("gridview.setRowCount(ID, 3.9)");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "3");
    EXPECT_EQ(eval("gridview.getFixedRowCount(ID)"), "3");
    run("gridview.setFixedColumnCount(ID, 2)");
    EXPECT_EQ(eval("gridview.getColumnCount(ID)"), "2");
}

TEST_F(FileListTest, FocusSelectsTheWholeRow)
{
    startList();
    run("gridview.setColumnCount(ID, 3) gridview.setFocus(ID, 4)");
    EXPECT_EQ(eval("gridview.getFocus(ID)"), "4");
    EXPECT_EQ(table()->currentIndex().column(), 0);
    const QModelIndexList selected = table()->selectionModel()->selectedIndexes();
    EXPECT_EQ(selected.size(), 3);
    for (const QModelIndex& i : selected)
        EXPECT_EQ(i.row(), 4);
    run("gridview.setFocus(ID, 99)");
    EXPECT_EQ(eval("gridview.getFocus(ID)"), "-1");
    EXPECT_TRUE(table()->selectionModel()->selectedIndexes().isEmpty());
    run("gridview.setFocus(ID, 9) gridview.setRowCount(ID, 5)");
    EXPECT_LT(std::stoi(eval("gridview.getFocus(ID)")), 5) << "the focus cell stays inside the table";
}

TEST_F(FileListTest, UnknownViewsAndBadArguments)
{
    startList();
    // Nothing for the functions whose table says nothing, 0 for the others; nothing raises.
    for (const char* call : {"getRowCount(-7)", "getColumnCount(-7)", "setRowCount(-7, 3)", "getFixedRowCount(-7)",
                             "getFixedColumnCount(-7)", "setFixedRowCount(-7, 1)", "setColumnCount(-7, 1)",
                             "setFixedColumnCount(-7, 1)", "hideRow(-7, 0, 1)", "showRow(-7, 0, 1)", "update(-7)",
                             "ensureVisible(-7, 0)", "getRowCount('x')", "getRowCount()", "getRowCount({})"})
        EXPECT_EQ(results(std::string("gridview.") + call), "0:") << call;
    for (const char* call : {"getRowHeight(-7, 0)", "setRowHeight(-7, 0, 3)", "getColumnWidth(-7, 0)",
                             "setColumnWidth(-7, 0, 3)", "getCellData(-7, 0, 0)", "setCellData(-7, 0, 0, {})",
                             "insertRow(-7)", "insertColumn(-7)", "deleteRow(-7, 0)", "deleteColumn(-7, 0)",
                             "getFocus(-7)", "setFocus(-7, 0)", "getRowHeight(1e99, 0)"})
        EXPECT_EQ(results(std::string("gridview.") + call), "1:0") << call;

    EXPECT_EQ(results("gridview.setCallBack(ID)"), "1:false");
    EXPECT_EQ(results("gridview.setCallBack(ID, 'x')"), "1:false");
    EXPECT_EQ(results("gridview.setCallBack(12345, {})"), "1:true") << "stored for an unknown view too";
    EXPECT_EQ(results("gridview.setCallBack('ignored', 12345, {n = 1})"), "1:true") << "the last two arguments count";
    EXPECT_EQ(eval("debug.getregistry()['gridview-12345'].n"), "1");

    EXPECT_EQ(results("gridview.getRowHeight(ID, 'x')"), "1:-1");
    EXPECT_EQ(results("gridview.update(ID, 99)"), "0:");
    EXPECT_EQ(results("gridview.ensureVisible(ID, 99, 99)"), "0:");
    EXPECT_EQ(results("gridview.ensureVisible(ID, 9)"), "0:");
}

TEST_F(FileListTest, MouseAndKeysRaiseTheCallbacks)
{
    startList();
    run("gridview.setColumnCount(ID, 2)");
    logCallbacks();
    QWidget* viewport = table()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(3, 1));
    EXPECT_EQ(takeLog(), "onClickCell(3,1)");
    EXPECT_EQ(eval("gridview.getFocus(ID)"), "3");
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(0, 0));
    EXPECT_EQ(takeLog(), "onClickCell(0,0)") << "the fixed row reports its clicks";
    EXPECT_EQ(eval("gridview.getFocus(ID)"), "3") << "but does not take the focus cell";
    QTest::mouseClick(viewport, Qt::RightButton, {}, cellCentre(5, 0));
    EXPECT_EQ(takeLog(), "onRightClickCell(5,0)");
    QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(viewport->width() - 2, viewport->height() - 2));
    EXPECT_EQ(takeLog(), "onRightClickCell(-1,-1)");
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, cellCentre(2, 1));
    EXPECT_NE(takeLog().find("onDoubleClickCell(2,1)"), std::string::npos);

    run("gridview.setFocus(ID, 4)");
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* expected;
    } keys[] = {
        {Qt::Key_Down, {}, "onKey(5,0,40)"},      {Qt::Key_Up, {}, "onKey(4,0,38)"},
        {Qt::Key_Right, {}, "onKey(4,1,39)"},     {Qt::Key_Left, {}, "onKey(4,0,37)"},
        {Qt::Key_Return, {}, "onKey(4,0,13)"},    {Qt::Key_Enter, Qt::KeypadModifier, "onKey(4,0,13)"},
        {Qt::Key_Delete, {}, "onKey(4,0,46)"},    {Qt::Key_A, {}, "onKey(4,0,65)"},
        {Qt::Key_Z, Qt::ShiftModifier, "onKey(4,0,16) onKey(4,0,90)"}, {Qt::Key_0, {}, "onKey(4,0,48)"},
        {Qt::Key_7, {}, "onKey(4,0,55)"},         {Qt::Key_7, Qt::KeypadModifier, "onKey(4,0,103)"},
        {Qt::Key_C, Qt::ControlModifier, "onKey(4,0,17) onKey(4,0,67)"}, {Qt::Key_F5, {}, "onKey(4,0,116)"},
        {Qt::Key_Escape, {}, "onKey(4,0,27)"},    {Qt::Key_Space, {}, "onKey(4,0,32)"},
    };
    for (const auto& k : keys) {
        QTest::keyClick(table(), k.key, k.modifiers);
        EXPECT_EQ(takeLog(), k.expected);
    }
    QTest::keyClick(table(), Qt::Key_Up);
    QTest::keyClick(table(), Qt::Key_Up);
    QTest::keyClick(table(), Qt::Key_Up);
    QTest::keyClick(table(), Qt::Key_Up);
    EXPECT_EQ(takeLog(), "onKey(3,0,38) onKey(2,0,38) onKey(1,0,38) onKey(1,0,38)")
        << "the focus cell stops below the fixed row";
    QTest::keyClick(table(), Qt::Key_Tab);
    EXPECT_EQ(takeLog(), "onKey(1,1,9)") << "Tab is the grid's, not the main window's accelerator";
    EXPECT_TRUE(application->fileList()->isVisible());
}

TEST_F(FileListTest, MissingCallbacksAndNoFocusReportNothing)
{
    startList();
    logCallbacks("onClickCell");
    QTest::keyClick(table(), Qt::Key_Down);
    run("gridview.setFocus(ID, 2)");
    QTest::keyClick(table(), Qt::Key_Down);
    QTest::mouseClick(table()->viewport(), Qt::RightButton, {}, cellCentre(2, 0));
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    EXPECT_EQ(takeLog().find("onKey"), std::string::npos);
    run("gridview.setCallBack(ID, {onClickCell = 'not a function'})");
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(FileListTest, CallbacksThatChangeTheTableAreSafe)
{
    startList();
    run("gridview.setCallBack(ID, {"
        " onClickCell = function(r, c) table.insert(log, 'del' .. tostring(gridview.deleteRow(ID, r))) end,"
        " onDoubleClickCell = function() gridview.setRowCount(ID, 0) end,"
        " onKey = function(r) gridview.setRowCount(ID, 0) table.insert(log, 'key' .. r) end,"
        " onRightClickCell = function() gridview.setColumnCount(ID, 0) end})");
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(3, 0));
    EXPECT_EQ(takeLog(), "deltrue");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "9");
    QTest::mouseClick(table()->viewport(), Qt::RightButton, {}, cellCentre(3, 0));
    EXPECT_EQ(eval("gridview.getColumnCount(ID)"), "0");
    run("gridview.setColumnCount(ID, 1) gridview.setFocus(ID, 4)");
    QTest::keyClick(table(), Qt::Key_Down);
    EXPECT_EQ(takeLog(), "key5");
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "0");
    run("gridview.setRowCount(ID, 5)");
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    EXPECT_EQ(eval("gridview.getRowCount(ID)"), "0");
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(takeLog(), "") << "no cells: no click";
}

TEST_F(FileListTest, AFailingCallbackStopsEveryLaterCallback)
{
    startList();
    run("gridview.setCallBack(ID, {onClickCell = function(r) table.insert(log, 'click' .. r) error('broken') end,"
        " onKey = function() table.insert(log, 'key') end})");
    const int top = lua_gettop(application->engine()->state());
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    EXPECT_EQ(takeLog(), "click2");
    EXPECT_TRUE(application->engine()->errorLatch());
    EXPECT_EQ(lua_gettop(application->engine()->state()), top) << "the interpreter stack is left as found";
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(3, 0));
    QTest::keyClick(table(), Qt::Key_Down);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(FileListTest, TabShowsAndHidesTheListAndMinimisingTakesItAlong)
{
    startWith(startScript());
    app::MainFrame* frame = application->mainFrame();
    tools::CFileListFrame* list = application->fileList();
    ASSERT_NE(list, nullptr) << "made at start-up";
    EXPECT_FALSE(list->isVisible()) << "made hidden";
    frame->show();
    frame->activateWindow();
    QTest::keyClick(frame, Qt::Key_Tab);
    EXPECT_TRUE(list->isVisible());
    frame->refreshStates();
    EXPECT_TRUE(frame->action(app::commands::FileList)->isChecked());
    frame->activateWindow();
    QTest::keyClick(frame, Qt::Key_Tab);
    EXPECT_FALSE(list->isVisible());
    frame->refreshStates();
    EXPECT_FALSE(frame->action(app::commands::FileList)->isChecked());

    frame->runCommand(app::commands::FileList);
    frame->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(list->isVisible());
    frame->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(list->isVisible()) << "back with the main window";
    frame->runCommand(app::commands::FileList);
    frame->showMinimized();
    QCoreApplication::processEvents();
    frame->showNormal();
    QCoreApplication::processEvents();
    EXPECT_FALSE(list->isVisible()) << "hidden before minimising, hidden after";
}

}  // namespace
