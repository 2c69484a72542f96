-- Selvarin default start-up script.
--
-- The host runs this file once, with the script folder as the current directory, and then hands
-- every user action to the event functions at the end of the file. This script keeps the list of
-- pictures, decodes and shows them, and remembers the user's choices between runs.
--
-- Written for the 5.0 language: table.getn instead of a length operator, no "%" operator, no
-- hexadecimal literals. Texts are code page 932 and paths use "\" separators, as app gives them.

-------------------------------------------------------------------------------
-- Constants

local APP_NAME = app.getApplicationName()

-- Extensions taken when a folder is listed (compared in lower case). Decoding decides by content,
-- so a picture with another name is still shown when it is named on its own.
local PICTURE_EXTENSIONS = { jpg = true, jpeg = true, jpe = true, jfif = true, bmp = true, dib = true }

local PICTURE_FILTER = "Pictures (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.jpe;*.jfif;*.bmp;*.dib|"
                    .. "All files (*.*)|*.*"

-- The settings live in a folder of our own under the user's configuration folder. The API has
-- no way to make a folder, so while that folder is missing they sit at the configuration
-- folder's root under a name that says whose they are.
local SETTINGS_FOLDER = "selvarin"
local SETTINGS_NAME = "settings.lua"
local SETTINGS_ROOT_NAME = "selvarin-settings.lua"
-- A settings file holds a few options and one file list; anything far larger is not ours.
local SETTINGS_MAX_BYTES = 16 * 1024 * 1024
local SETTINGS_VERSION = 1

local ADJUST_MODES = { lessor = true, greator = true, width = true, height = true, none = true }

-- The pattern background: a checker of two light greys. Pixels are blue, green, red, alpha.
local CHECKER_CELL = 8
local CHECKER_LIGHT = string.char(255, 255, 255, 255)
local CHECKER_DARK = string.char(204, 204, 204, 255)

-------------------------------------------------------------------------------
-- State

local state = {
  files = {},              -- the picture list: full paths
  position = 0,            -- index of the shown picture in files; 0 while none is shown
  details = "",            -- size and format of the shown picture, for the status bar
  startupOpenLast = false, -- option: show the last list again when started without files
  showStopDialog = false,  -- option: ask what to do at either end of the list
}

local checker = nil        -- the pattern surface, made when first needed

-------------------------------------------------------------------------------
-- Small helpers

local function fileName(path)
  local _, name = app.splitPath(path)
  return name
end

local function folderOf(path)
  local folder = app.splitPath(path)
  return folder
end

local function isPictureName(name)
  local _, extension = app.splitExtension(name)
  return PICTURE_EXTENSIONS[string.lower(extension)] == true
end

local function isDirectory(path)
  local info = app.getFileInfo(path)
  return info ~= nil and info.isDirectory
end

local function isFile(path)
  local info = app.getFileInfo(path)
  return info ~= nil and info.isFile
end

local function append(list, more)
  for i = 1, table.getn(more) do
    table.insert(list, more[i])
  end
end

-- A number is finite when subtracting it from itself gives zero (not for NaN or infinities).
local function isFinite(n)
  return type(n) == "number" and n - n == 0
end

-- Little-endian bytes of an integer; negative values in two's complement.
local function littleEndian(n, bytes)
  if n < 0 then n = n + 4294967296 end
  local out = {}
  for i = 1, bytes do
    local low = math.mod(n, 256)
    out[i] = string.char(low)
    n = (n - low) / 256
  end
  return table.concat(out)
end

-------------------------------------------------------------------------------
-- Status bar and title

local function updateTitle()
  if state.position < 1 then
    app.setFrameTitle(APP_NAME)
    return
  end
  app.setFrameTitle(fileName(state.files[state.position]) .. " (" .. state.position .. "/"
                    .. table.getn(state.files) .. ") - " .. APP_NAME)
end

-- Status text: what was skipped, then an optional message, then the shown picture's details.
local function report(skipped, message)
  local parts = {}
  local count = table.getn(skipped)
  if count > 0 then
    local note = "Skipped: " .. skipped[1]
    if count > 1 then
      note = note .. " (and " .. (count - 1) .. " more)"
    end
    table.insert(parts, note .. ".")
  end
  if message then
    table.insert(parts, message)
  end
  if state.position > 0 then
    table.insert(parts, state.details)
  end
  app.setStatusText(table.concat(parts, "  "))
end

local function notAvailable(what)
  app.setStatusText(what .. " is not available in this version.")
end

-------------------------------------------------------------------------------
-- File lists

local function collationLess(a, b)
  return app.compareString(a, b) < 0
end

-- app.findFile already gives names in collation order; checking costs one comparison per name
-- and sorting many more, so sort only when the order is not already right.
local function sortByCollation(names)
  for i = 2, table.getn(names) do
    if app.compareString(names[i - 1], names[i]) > 0 then
      table.sort(names, collationLess)
      return
    end
  end
end

-- Names of the pictures in a folder, in collation order.
local function pictureNames(folder)
  local names = app.findFile(app.joinPath(folder, "*"))
  local pictures = {}
  for i = 1, table.getn(names) do
    if isPictureName(names[i]) then
      table.insert(pictures, names[i])
    end
  end
  sortByCollation(pictures)
  return pictures
end

local function picturesInFolder(folder, names)
  names = names or pictureNames(folder)
  local paths = {}
  for i = 1, table.getn(names) do
    paths[i] = app.joinPath(folder, names[i])
  end
  return paths
end

-- Turns command-line or dropped paths into a picture list, the index to show first and the
-- notes about paths that gave nothing. One file stands for every picture of its folder,
-- starting at that file; a folder for its pictures; several paths are taken in their order.
local function buildList(paths)
  local notes = {}
  local count = table.getn(paths)
  if count == 1 then
    local info = app.getFileInfo(paths[1])
    if info ~= nil and info.isFile then
      local folder, name = app.splitPath(info.filepath)
      local names = pictureNames(folder)
      for i = 1, table.getn(names) do
        if names[i] == name then
          return picturesInFolder(folder, names), i, notes
        end
      end
      -- Not a picture by its name: show it on its own and let decoding decide.
      return { info.filepath }, 1, notes
    end
  end
  local list = {}
  for i = 1, count do
    local info = app.getFileInfo(paths[i])
    if info == nil then
      table.insert(notes, fileName(paths[i]) .. " was not found")
    elseif info.isDirectory then
      local pictures = picturesInFolder(info.filepath)
      if table.getn(pictures) == 0 then
        table.insert(notes, "no pictures in " .. fileName(info.filepath))
      end
      append(list, pictures)
    else
      table.insert(list, info.filepath)
    end
  end
  return list, 1, notes
end

-------------------------------------------------------------------------------
-- Decoding and showing

-- Bits per pixel of a decoded picture, from its DIB header.
local function bitCount(header)
  local bytes = header:stringData(15, 2)
  if bytes == nil or string.len(bytes) < 2 then
    return 0
  end
  return string.byte(bytes, 1) + 256 * string.byte(bytes, 2)
end

-- Decodes the picture at path into a new Surface. Returns the surface and a description of the
-- format, or nil and why the picture cannot be shown.
local function loadPicture(path)
  local format, load
  -- The signature tests read only the first bytes, so files that are no pictures at all cost
  -- little even in a large folder.
  if app.isSupportedJpeg(path) then
    format, load = "JPEG", app.loadJpeg
  elseif app.isSupportedBmp(path) then
    format, load = "BMP", app.loadBmp
  elseif not isFile(path) then
    return nil, "was not found"
  else
    return nil, "is not a picture this viewer can read"
  end
  local data = app.createFileBuffer(path)
  if data == nil then
    return nil, "could not be read"
  end
  local header, bits = load(data)
  data:release()
  if header == nil then
    return nil, "is damaged"
  end
  local depth = bitCount(header)
  local surface = app.createSurface(header, bits)
  header:release()
  bits:release()
  if surface == nil then
    return nil, "could not be converted"
  end
  return surface, format .. ", " .. depth .. " bit"
end

-- Pixels live outside the collector's sight, so a picture that goes away is freed at once
-- instead of at some later collection.
local function replaceImage(surface)
  local old = app.getImage()
  app.setImage(surface)
  if old ~= nil and old ~= surface then
    old:release()
  end
end

local function clearPicture()
  replaceImage(nil)
  state.position = 0
  state.details = ""
end

-- Shows the picture at index; false and the reason when it cannot be shown.
local function showAt(index)
  local surface, description = loadPicture(state.files[index])
  if surface == nil then
    return false, description
  end
  replaceImage(surface)
  state.position = index
  state.details = surface:width() .. " x " .. surface:height() .. "  " .. description
  return true
end

-- Shows the first readable picture from index `from` on, in steps of `step` (1 or -1). The
-- pictures passed over are noted in `skipped`. False when none could be shown.
local function showFrom(from, step, skipped)
  local count = table.getn(state.files)
  local i = from
  while i >= 1 and i <= count do
    local shown, reason = showAt(i)
    if shown then
      return true
    end
    table.insert(skipped, fileName(state.files[i]) .. " " .. reason)
    i = i + step
  end
  return false
end

-- Makes `list` the picture list and shows the readable picture nearest to `start`, looking
-- forward first.
local function openList(list, start, notes)
  state.files = list
  state.position = 0
  local skipped = notes or {}
  local count = table.getn(list)
  if start < 1 then start = 1 end
  if start > count then start = count end
  local shown = showFrom(start, 1, skipped) or showFrom(start - 1, -1, skipped)
  if not shown then
    clearPicture()
  end
  updateTitle()
  if count == 0 then
    report(skipped, "There are no pictures to show.")
  elseif not shown then
    report(skipped, "None of the pictures could be read.")
  else
    report(skipped)
  end
end

local function openPaths(paths)
  local list, start, notes = buildList(paths)
  openList(list, start, notes)
end

-------------------------------------------------------------------------------
-- Dialogs (a host without them makes the commands say so instead)

local function currentFolder()
  if state.position > 0 then
    return folderOf(state.files[state.position])
  end
  return nil
end

local function chooseFiles()
  if type(app.showFileOpenDialog) ~= "function" then
    notAvailable("Opening files")
    return
  end
  local files = app.showFileOpenDialog(currentFolder(), PICTURE_FILTER, true)
  if type(files) == "table" and table.getn(files) > 0 then
    openPaths(files)
  end
end

local function chooseFolder()
  if type(app.showFolderOpenDialog) ~= "function" then
    notAvailable("Opening folders")
    return
  end
  local folder = app.showFolderOpenDialog("Choose a folder of pictures", currentFolder())
  if type(folder) == "string" and folder ~= "" then
    openPaths({ folder })
  end
end

-- At either end of the list, with the option on: go round to the other end or open something
-- else. True when the answer was acted on; on Cancel the picture stays as without the option.
-- `skipped` holds what was passed over so far.
local function endOfListDialog(step, skipped)
  if not state.showStopDialog or type(app.showOptionalDialog) ~= "function" then
    return false
  end
  local message = "This is the last picture. OK goes back to the first one."
  if step < 0 then
    message = "This is the first picture. OK goes on to the last one."
  end
  local answer = app.showOptionalDialog(APP_NAME, message,
                                        "Open another file", function() return "FILE" end,
                                        "Open another folder", function() return "FOLDER" end)
  if answer == "OK" then
    local from = 1
    if step < 0 then from = table.getn(state.files) end
    if showFrom(from, step, skipped) then
      updateTitle()
    end
    report(skipped)
  elseif answer == "FILE" then
    chooseFiles()
  elseif answer == "FOLDER" then
    chooseFolder()
  else
    return false
  end
  return true
end

-- Moves through the list by `step`; at either end the picture stays.
local function turnPage(step)
  local count = table.getn(state.files)
  if count == 0 then
    report({}, "There are no pictures in the list.")
    return
  end
  local from = state.position + step
  if state.position == 0 then
    from = 1
    if step < 0 then from = count end
  end
  local skipped = {}
  if showFrom(from, step, skipped) then
    updateTitle()
    report(skipped)
    return
  end
  if endOfListDialog(step, skipped) then
    return
  end
  if step > 0 then
    report(skipped, "This is the last picture of the list.")
  else
    report(skipped, "This is the first picture of the list.")
  end
end

-------------------------------------------------------------------------------
-- Saving and copying

-- Writes a surface as a 32-bit BMP file: file header, info header, then the rows as they lie in
-- memory (bottom-up surfaces keep a positive height, top-down ones get a negative one).
local function writeBmp(surface, path)
  local width, height, pitch = surface:width(), surface:height(), surface:pitch()
  local size = height * math.abs(pitch)
  local fileHeight = height
  if pitch > 0 then fileHeight = -height end
  local info = app.createStringBuffer(littleEndian(40, 4) .. littleEndian(width, 4)
    .. littleEndian(fileHeight, 4) .. littleEndian(1, 2) .. littleEndian(32, 2)
    .. littleEndian(0, 4) .. littleEndian(size, 4) .. littleEndian(2835, 4)
    .. littleEndian(2835, 4) .. littleEndian(0, 4) .. littleEndian(0, 4))
  local fileHeader = info and app.createBmpFileHeader(info)
  local pixels = surface:buffer()
  local file = io.open(path, "wb")
  local written = false
  if fileHeader and pixels and file then
    fileHeader:ioWrite(file)
    info:ioWrite(file)
    pixels:ioWrite(file)
    written = true
  end
  if file then
    written = file:close() and written
  end
  if info then info:release() end
  if fileHeader then fileHeader:release() end
  if pixels then pixels:release() end
  return written
end

local function saveShownPicture()
  local surface = app.getImage()
  if surface == nil or state.position < 1 then
    app.setStatusText("There is no picture to save.")
    return
  end
  if type(app.showFileSaveDialog) ~= "function" then
    notAvailable("Saving")
    return
  end
  local base = app.splitExtension(fileName(state.files[state.position]))
  local path = app.showFileSaveDialog(currentFolder(), base .. ".bmp", "bmp", "Bitmap (*.bmp)|*.bmp")
  if type(path) ~= "string" then
    return
  end
  if writeBmp(surface, path) then
    app.setStatusText("Saved as " .. fileName(path) .. ".")
  else
    app.setStatusText(fileName(path) .. " could not be written.")
  end
end

-------------------------------------------------------------------------------
-- Background

-- A top-down surface, so its memory rows are in display order.
local function makeChecker()
  local size = CHECKER_CELL * 2
  local surface = app.createSurface(size, -size)
  if surface == nil then
    return nil
  end
  local pixels = surface:buffer()
  if pixels == nil then
    surface:release()
    return nil
  end
  local padding = string.rep(string.char(0), math.abs(surface:pitch()) - size * 4)
  local lightFirst = string.rep(CHECKER_LIGHT, CHECKER_CELL) .. string.rep(CHECKER_DARK, CHECKER_CELL) .. padding
  local darkFirst = string.rep(CHECKER_DARK, CHECKER_CELL) .. string.rep(CHECKER_LIGHT, CHECKER_CELL) .. padding
  local rows = {}
  for y = 1, size do
    if y <= CHECKER_CELL then rows[y] = lightFirst else rows[y] = darkFirst end
  end
  pixels:setStringData(1, table.concat(rows))
  pixels:release()
  return surface
end

local function setPatternBackground()
  if checker == nil then
    checker = makeChecker()
  end
  if checker == nil or not app.setBgImage(checker) then
    app.setStatusText("The pattern background could not be made.")
  end
end

local function isColourText(value)
  return type(value) == "string" and string.find(value, "^%x%x%x%x%x%x$") ~= nil
end

-------------------------------------------------------------------------------
-- Settings

-- The settings file to write, the one written while our folder was missing, and whether our
-- folder exists. Nothing when the configuration folder cannot be found.
local function settingsLocation()
  local base = app.getSpecialFolder("APPDATA ")
  if base == nil or base == "" then
    return nil
  end
  local folder = app.joinPath(base, SETTINGS_FOLDER)
  return app.joinPath(folder, SETTINGS_NAME), app.joinPath(base, SETTINGS_ROOT_NAME), isDirectory(folder)
end

local function readSettings()
  local own, root = settingsLocation()
  local path = nil
  if own ~= nil and isFile(own) then
    path = own
  elseif root ~= nil and isFile(root) then
    path = root
  end
  if path == nil then
    return {}
  end
  local info = app.getFileInfo(path)
  if info == nil or info.filesize > SETTINGS_MAX_BYTES then
    return {}
  end
  local file = io.open(path, "rb")
  if file == nil then
    return {}
  end
  local text = file:read("*a")
  file:close()
  -- app.separateDoFile reports a file that does not load in an error box. Compiling it here
  -- first (without running it) lets a damaged file be ignored quietly; it is rewritten at exit.
  if type(text) ~= "string" or loadstring(text, "=settings") == nil then
    return {}
  end
  local ok, values = pcall(app.separateDoFile, path)
  if not ok or type(values) ~= "table" then
    return {}
  end
  return values
end

local function numberLiteral(n)
  if not isFinite(n) then
    return nil
  end
  local text = string.format("%.15g", n)
  if tonumber(text) ~= n then
    text = string.format("%.17g", n)
  end
  return text
end

local function literal(value)
  local kind = type(value)
  if kind == "boolean" then
    return tostring(value)
  elseif kind == "number" then
    return numberLiteral(value)
  elseif kind == "string" then
    return app.safeLiteral(value)
  end
  return nil
end

-- The text of the settings file: one chunk that returns a table of plain values.
local function settingsText(s)
  local lines = { "-- Selvarin settings, written at exit. A damaged file is ignored and rewritten.",
                  "return {" }
  local scalars = { "version", "startupOpenLastFile", "showStopDialog", "background", "adjustMode",
                    "scaling", "linearFilter", "wheelRate", "windowMode", "position" }
  for i = 1, table.getn(scalars) do
    local text = literal(s[scalars[i]])
    if text ~= nil then
      table.insert(lines, "  " .. scalars[i] .. " = " .. text .. ",")
    end
  end
  local window = s.window
  if type(window) == "table" and isFinite(window.x) and isFinite(window.y)
     and isFinite(window.cx) and isFinite(window.cy) then
    table.insert(lines, "  window = { x = " .. numberLiteral(window.x) .. ", y = " .. numberLiteral(window.y)
                        .. ", cx = " .. numberLiteral(window.cx) .. ", cy = " .. numberLiteral(window.cy) .. " },")
  end
  table.insert(lines, "  files = {")
  for i = 1, table.getn(s.files) do
    table.insert(lines, "    " .. app.safeLiteral(s.files[i]) .. ",")
  end
  table.insert(lines, "  },")
  table.insert(lines, "}")
  table.insert(lines, "")
  return table.concat(lines, "\n")
end

-- Writes beside the old file first and then puts the new one in its place, so that an
-- interrupted write never leaves half a file behind.
local function writeSettingsFile(path, text)
  local temporary = path .. ".new"
  local file = io.open(temporary, "wb")
  if file == nil then
    return false
  end
  local written = file:write(text)
  local closed = file:close()
  if not written or not closed then
    os.remove(temporary)
    return false
  end
  if not os.rename(temporary, path) then
    -- Where renaming cannot replace a file, replace it in two steps.
    os.remove(path)
    if not os.rename(temporary, path) then
      os.remove(temporary)
      return false
    end
  end
  return true
end

-- Settings that describe the view and the window, which only the host knows.
local VIEW_SETTINGS = { "background", "adjustMode", "scaling", "linearFilter", "wheelRate",
                        "windowMode", "window" }

-- What the settings file said when last read or written.
local remembered = {}

local function viewSettings()
  local background = app.getBgColor()
  if app.getBgImage() ~= nil then
    background = "pattern"
  end
  return {
    background = background,
    adjustMode = app.getAdustMode() or "none",
    scaling = app.getViewScaling(),
    linearFilter = app.getUseLinearFilter(),
    wheelRate = app.getWheelRate(),
    windowMode = app.getMainWindowMode(),
    window = app.getWindowRect("restoredMain"),
  }
end

local function saveSettings()
  local own, root, hasFolder = settingsLocation()
  if own == nil then
    return
  end
  local s = {
    version = SETTINGS_VERSION,
    startupOpenLastFile = state.startupOpenLast,
    showStopDialog = state.showStopDialog,
    position = state.position,
    files = state.files,
  }
  -- Without a main window the host answers with its defaults, not with what the user chose:
  -- keep the remembered view settings then.
  local view = remembered
  if app.getMainWindowMode() ~= nil then
    view = viewSettings()
  end
  for i = 1, table.getn(VIEW_SETTINGS) do
    s[VIEW_SETTINGS[i]] = view[VIEW_SETTINGS[i]]
  end
  local path = root
  if hasFolder then path = own end
  if writeSettingsFile(path, settingsText(s)) then
    remembered = s
  end
end

-- A remembered window rectangle is used only when it is of a usable size and at least partly on
-- the desktop (the screens may have changed since).
local function usableWindowRect(rect)
  if type(rect) ~= "table" or not isFinite(rect.x) or not isFinite(rect.y)
     or not isFinite(rect.cx) or not isFinite(rect.cy) then
    return false
  end
  if rect.cx < 100 or rect.cy < 100 then
    return false
  end
  local width, height = app.getDesktopSize()
  if isFinite(width) and isFinite(height) and width > 0 and height > 0 then
    if rect.x + rect.cx < 32 or rect.y + rect.cy < 32 or rect.x > width - 32 or rect.y > height - 32 then
      return false
    end
  end
  return true
end

-- Applies every setting that is present and sound; anything else keeps its default.
local function applySettings(s)
  state.startupOpenLast = s.startupOpenLastFile == true
  state.showStopDialog = s.showStopDialog == true

  if s.background == "pattern" then
    setPatternBackground()
  elseif isColourText(s.background) then
    app.setBgColor(s.background)
  end

  if isFinite(s.scaling) and s.scaling > 0 and s.scaling <= 64 then
    app.setViewScaling(s.scaling)
  end
  if type(s.adjustMode) == "string" and ADJUST_MODES[s.adjustMode] then
    if s.adjustMode == "none" then
      app.setAdustMode(nil)
    else
      app.setAdustMode(s.adjustMode)
    end
  end
  if type(s.linearFilter) == "boolean" then
    app.setUseLinearFilter(s.linearFilter)
  end
  if isFinite(s.wheelRate) and s.wheelRate > 0 and s.wheelRate <= 100 then
    app.setWheelRate(s.wheelRate)
  end

  if usableWindowRect(s.window) then
    app.setWindowRect("restoredMain", { x = s.window.x, y = s.window.y, cx = s.window.cx, cy = s.window.cy })
  end
  if s.windowMode == "maximized" then
    app.setMainWindowMode("maximized")
  end
end

-- The remembered list, its entries checked, and the remembered position.
local function lastList(s)
  local files = {}
  if type(s.files) == "table" then
    for i = 1, table.getn(s.files) do
      if type(s.files[i]) == "string" then
        table.insert(files, s.files[i])
      end
    end
  end
  local position = 1
  if isFinite(s.position) and s.position >= 1 then
    position = math.floor(s.position)
  end
  return files, position
end

-------------------------------------------------------------------------------
-- Events

function onInitializeApp(files)
  local settings = readSettings()
  remembered = settings
  applySettings(settings)
  if type(files) == "table" and table.getn(files) > 0 then
    openPaths(files)
    return
  end
  if state.startupOpenLast then
    local last, position = lastList(settings)
    if table.getn(last) > 0 then
      openList(last, position)
      return
    end
  end
  updateTitle()
end

function onReleaseApp()
  saveSettings()
end

function onNextImage()
  turnPage(1)
end

function onPrevImage()
  turnPage(-1)
end

-- A drop starts a new list: onNewFileList, then onAddFile with the dropped paths.
function onNewFileList()
  clearPicture()
  state.files = {}
  updateTitle()
end

-- Adds pictures to the list (folders stand for their pictures) and shows the first one added.
function onAddFile(files)
  if type(files) ~= "table" then
    return
  end
  local added, start, notes = buildList(files)
  local list = {}
  append(list, state.files)
  local first = table.getn(list) + start
  append(list, added)
  if table.getn(added) == 0 then
    report(notes, "There are no pictures to add.")
    state.files = list
    return
  end
  openList(list, first, notes)
end

function onOpenFile()
  chooseFiles()
end

function onOpenFolder()
  chooseFolder()
end

function onSaveFile()
  saveShownPicture()
end

function onUpdate_saveFile()
  return app.getImage() ~= nil and type(app.showFileSaveDialog) == "function"
end

function onEditCopy()
  local surface = app.getImage()
  if surface == nil then
    app.setStatusText("There is no picture to copy.")
  elseif type(app.setClipboardData) ~= "function" then
    notAvailable("Copying")
  else
    app.setClipboardData(surface)
    app.setStatusText("Copied to the clipboard.")
  end
end

function onUpdateEditCopy()
  return app.getImage() ~= nil and type(app.setClipboardData) == "function", false
end

function onStartupOpenLastFile()
  state.startupOpenLast = not state.startupOpenLast
end

function onUpdate_startupOpenLastFile()
  return true, state.startupOpenLast
end

function onShowStopdialog()
  state.showStopDialog = not state.showStopDialog
end

function onUpdate_showStopdialog()
  return true, state.showStopDialog
end

function onSetBgColor(colour)
  app.setBgColor(colour)
end

function onSetBgCheckMenu()
  setPatternBackground()
end
