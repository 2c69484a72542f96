-- Dialogs and the clipboard in batch mode: nobody answers, nothing waits, no main frame.
dofile("helper.lua")

local bad = setmetatable({}, { __tostring = function() return {} end })
local NO_TEXT = "`tostring'"

-- A message box answers with the first button of its set.
do
  checkEqual(app.messageBox("text"), "OK", "no type")
  checkEqual(app.messageBox("text", "caption", "OK"), "OK", "OK")
  checkEqual(app.messageBox("text", "caption", "OKCANCEL"), "OK", "OKCANCEL")
  checkEqual(app.messageBox("text", "caption", "ABORTRETRYIGNORE"), "ABORT", "ABORTRETRYIGNORE")
  checkEqual(app.messageBox("text", "caption", "YESNOCANCEL"), "YES", "YESNOCANCEL")
  checkEqual(app.messageBox("text", "caption", "YESNO"), "YES", "YESNO")
  checkEqual(app.messageBox("text", "caption", "RETRYCANCEL"), "RETRY", "RETRYCANCEL")
  checkEqual(app.messageBox("text", "caption", "yesno"), "OK", "type names are case-sensitive")
  checkEqual(app.messageBox("text", "caption", 4), "OK", "a number names no type")
  checkEqual(app.messageBox("text", nil, "YESNO"), "YES", "a nil caption still reads the type")
  checkEqual(app.messageBox(12, 34), "OK", "numbers are texts")
  checkEqual(app.messageBox("text", bad, "YESNO"), "YES", "a caption without text: the application name")
  checkError(NO_TEXT, app.messageBox, bad)
  checkEqual(app.messageBox(), "OK", "a missing text is nil's text")
end

-- File and folder dialogs count as cancelled.
do
  checkEqual(app.showFolderOpenDialog("title"), nil, "folder dialog: nil")
  checkEqual(select("#", app.showFolderOpenDialog("title", ".")), 1, "folder dialog: one nil result")
  checkEqual(select("#", app.showFileOpenDialog()), 0, "open dialog: no result")
  checkEqual(select("#", app.showFileOpenDialog(".", "Text|*.txt", true)), 0, "open dialog with a filter: no result")
  checkEqual(select("#", app.showFileOpenDialog(".", "odd|")), 0, "an odd filter opens nothing either")
  checkEqual(select("#", app.showFileSaveDialog(".", "a", "txt", "Text|*.txt")), 0, "save dialog: no result")
  checkError(NO_TEXT, app.showFolderOpenDialog, bad)
  checkEqual(app.showFolderOpenDialog("t", bad), nil, "a folder that is no text or number is the current directory")
  checkError(NO_TEXT, app.showFileOpenDialog, bad)
  checkError(NO_TEXT, app.showFileOpenDialog, nil, bad)
  checkError(NO_TEXT, app.showFileSaveDialog, nil, bad)
  checkError(NO_TEXT, app.showFileSaveDialog, nil, nil, nil, bad)
end

-- The four-button dialog is cancelled without calling anything.
do
  local called = false
  local function mark() called = true return "X" end
  checkEqual(app.showOptionalDialog("c", "m", "a", mark, "b", mark), "CANCEL", "optional dialog: CANCEL")
  check(not called, "no callback runs")
  local a, b = 1, 2
  local r = app.showOptionalDialog("c", "m", "a", nil, "b", nil)
  check(a == 1 and b == 2 and r == "CANCEL", "the caller's values stay")
  checkError(NO_TEXT, app.showOptionalDialog, bad, "m", "a", nil, "b", nil)
  checkError(NO_TEXT, app.showOptionalDialog, "c", "m", "a", nil, bad, nil)
  checkEqual(app.showOptionalDialog("c", "m", "a"), "CANCEL", "missing texts are nil's text")
end

-- Without a main frame the clipboard is out of reach: no results, no errors.
do
  checkEqual(select("#", app.enumClipboard()), 0, "enumClipboard: no result")
  checkEqual(select("#", app.getClipboardData("CF_TEXT")), 0, "getClipboardData: no result")
  checkEqual(select("#", app.getClipboardData(bad)), 0, "no main frame comes before the argument")
  local surface = app.createSurface(4, 4)
  checkEqual(select("#", app.setClipboardData(surface)), 0, "setClipboardData: no result")
  checkEqual(select("#", app.setClipboardData("not a surface")), 0, "anything else: no error")
  surface:release()
  checkEqual(select("#", app.setClipboardData(surface)), 0, "a released surface: no error")
end

finish()
