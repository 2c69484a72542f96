-- Batch mode makes no tool windows: the file list and progress functions answer as without them.
dofile("helper.lua")

local names = {"getFileListID", "setCallBack", "getRowCount", "getColumnCount", "setRowCount", "setColumnCount",
  "getFixedRowCount", "getFixedColumnCount", "setFixedRowCount", "setFixedColumnCount", "getRowHeight",
  "setRowHeight", "getColumnWidth", "setColumnWidth", "hideRow", "showRow", "getCellData", "setCellData",
  "insertRow", "insertColumn", "deleteRow", "deleteColumn", "update", "ensureVisible", "getFocus", "setFocus"}
local count = 0
for _ in pairs(gridview) do count = count + 1 end
checkEqual(count, table.getn(names), "gridview has its functions and no others")
for _, name in ipairs(names) do check(type(gridview[name]) == "function", "gridview." .. name) end

checkEqual(select('#', gridview.getFileListID()), 0, "no file list in batch mode")
checkEqual(select('#', app.createProgressWindow("x")), 0, "no progress window in batch mode")
checkError("tostring", app.createProgressWindow, setmetatable({}, {__tostring = function() return {} end}))

-- Every view ID is unknown here.
checkEqual(select('#', gridview.getRowCount(0)), 0, "getRowCount")
checkEqual(gridview.getRowHeight(0, 0), 0, "getRowHeight")
checkEqual(gridview.insertRow(0), 0, "insertRow")
checkEqual(gridview.deleteColumn(0, 0), 0, "deleteColumn")
checkEqual(gridview.getFocus(0), 0, "getFocus")
checkEqual(select('#', gridview.update(0)), 0, "update")
checkEqual(gridview.setCallBack(0, {}), true, "setCallBack stores for any ID")
checkEqual(gridview.setCallBack({}), false, "setCallBack with one argument")

-- The LWindow class is registered with its methods even without windows.
local mt = debug.getregistry().LWindow
check(type(mt) == "table" and mt.__index == mt, "LWindow metatable")
for _, m in ipairs({"show", "hide", "activate", "pumpMessages", "getTitle", "setTitle", "getMessage", "setMessage",
    "getRect", "setRect", "getRestoreRect", "setRestoreRect", "getShowMode", "setShowMode", "getProgressPos",
    "setProgressPos", "close", "__gc", "__tostring"}) do
  check(type(mt[m]) == "function", "LWindow:" .. m)
end
checkError("LWindow", mt.show, {})

finish()
