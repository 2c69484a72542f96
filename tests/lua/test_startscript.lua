-- The shipped start-up script in batch mode: every event is there, and without a window or a
-- picture list the events are harmless. The settings file is never touched here (that would be
-- the real user's); the GUI tests cover it with a configuration folder of their own.
dofile("helper.lua")

dofile("../../script/start.lua")

local events = { "onInitializeApp", "onReleaseApp", "onNextImage", "onPrevImage", "onNewFileList",
                 "onAddFile", "onOpenFolder", "onOpenFile", "onSaveFile", "onUpdate_saveFile",
                 "onEditCopy", "onUpdateEditCopy", "onStartupOpenLastFile",
                 "onUpdate_startupOpenLastFile", "onShowStopdialog", "onUpdate_showStopdialog",
                 "onSetBgColor", "onSetBgCheckMenu" }
for i = 1, table.getn(events) do
  checkEqual(type(_G[events[i]]), "function", events[i])
end

-- Nothing listed yet: page turns and the dialog commands do nothing harmful.
check(pcall(onNextImage), "next with an empty list")
check(pcall(onPrevImage), "previous with an empty list")
check(pcall(onOpenFile), "open file")
check(pcall(onOpenFolder), "open folder")
check(pcall(onSaveFile), "save without a picture")
check(pcall(onEditCopy), "copy without a picture")
checkEqual(onUpdate_saveFile(), false, "nothing to save")
checkEqual(onUpdateEditCopy(), false, "nothing to copy")

-- The option toggles answer (enabled, checked).
local enabled, checked = onUpdate_startupOpenLastFile()
checkEqual(enabled, true, "start-up option enabled")
checkEqual(checked, false, "start-up option off at first")
onStartupOpenLastFile()
enabled, checked = onUpdate_startupOpenLastFile()
checkEqual(checked, true, "start-up option toggled on")
onShowStopdialog()
onShowStopdialog()
enabled, checked = onUpdate_showStopdialog()
checkEqual(checked, false, "end-of-list option toggled twice")

-- Backgrounds: a colour, then the checker pattern made in the script.
onSetBgColor("000000")
checkEqual(app.getBgColor(), "000000", "black background")
onSetBgCheckMenu()
local pattern = app.getBgImage()
check(pattern ~= nil, "pattern background set")
if pattern then
  checkEqual(pattern:width(), 16, "pattern width")
  checkEqual(pattern:height(), 16, "pattern height")
  local pixels = pattern:buffer()
  local light = string.char(255, 255, 255, 255)
  local dark = string.char(204, 204, 204, 255)
  local pitch = math.abs(pattern:pitch())
  -- A top-down surface: the first row in memory is the top row.
  checkEqual(pixels:stringData(1, 4), light, "top-left cell light")
  checkEqual(pixels:stringData(1 + 8 * 4, 4), dark, "top-right cell dark")
  checkEqual(pixels:stringData(1 + 8 * pitch, 4), dark, "bottom-left cell dark")
  checkEqual(pixels:stringData(1 + 15 * pitch + 15 * 4, 4), light, "bottom-right cell light")
  pixels:release()
end
onSetBgColor("FFFFFF")
check(app.getBgImage() == nil, "a colour replaces the pattern")

-- Drops of paths that are not there: a message, no list.
onNewFileList()
check(pcall(onAddFile, { "\\nowhere\\at\\all.jpg" }), "drop of a missing file")
check(app.getImage() == nil, "nothing shown")

finish()
