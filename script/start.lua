-- Selvarin default start-up script.
--
-- The host runs this file once, with the script folder as the current directory, and then hands
-- every user action to the event functions at the end of the file. This script loads the bundled
-- image plug-ins, keeps the list of pictures (files of a folder or members of an archive),
-- decodes and shows them, fills the file list window and remembers the user's choices.
--
-- Written for the 5.0 language: table.getn instead of a length operator, no "%" operator, no
-- hexadecimal literals. This file is code page 932, as every text a script gives or gets; paths
-- use "\" separators, as app gives them.

-------------------------------------------------------------------------------
-- Constants

local APP_NAME = app.getApplicationName()

-- Every text the user sees.
local TEXT = {
  notFound = "ファイルが見つかりません",
  empty = "ファイルが空です",
  truncated = "ファイルが途中までしかありません",
  unknownFormat = "読み込めない形式です",
  damaged = "画像が壊れています",
  unreadable = "ファイルを読み込めません",
  notConverted = "画像を表示用に変換できません",
  archiveMissing = "アーカイブが見つかりません",
  archiveUnreadable = "アーカイブを読み込めません",
  noPlugin = "アーカイブを読むプラグインがありません",
  skipped = "読み込めなかった画像: ",
  more = "ほか%d件",
  noPictures = "表示できる画像がありません",
  noPicturesIn = "%s には画像がありません",
  noneReadable = "読み込める画像がありませんでした",
  emptyList = "画像の一覧が空です",
  first = "最初の画像です",
  last = "最後の画像です",
  cancelled = "読み込みを中止しました",
  busy = "読み込み中です",
  listing = "フォルダを読んでいます...",
  readingArchive = "アーカイブを読んでいます...",
  sorting = "並べ替えています...",
  saved = "%s として保存しました",
  saveFailed = "%s に保存できませんでした",
  nothingToSave = "保存する画像がありません",
  copied = "クリップボードにコピーしました",
  nothingToCopy = "コピーする画像がありません",
  notAvailable = "この機能は使えません",
  patternFailed = "背景のパターンを作れませんでした",
  endLast = "最後の画像です。OK を押すと最初の画像に戻ります。",
  endFirst = "最初の画像です。OK を押すと最後の画像に進みます。",
  otherFile = "別のファイルを開く",
  otherFolder = "別のフォルダを開く",
  chooseFolder = "画像のあるフォルダを選んでください",
  noNextFolder = "次のフォルダはありません",
  noPrevFolder = "前のフォルダはありません",
  reloaded = "一覧を読み直しました",
  pluginFailed = "読み込めなかったプラグイン: ",
  fileListHeader = "ファイル名",
  filterAll = "画像とアーカイブ",
  filterPictures = "画像ファイル",
  filterArchives = "アーカイブ",
  filterEverything = "すべてのファイル (*.*)|*.*|",
  filterBmp = "ビットマップ (*.bmp)|*.bmp|",
  filterSame = "%s 形式 (*.%s)|*.%s|",
  bits = "ビット",
}

-- Formats the host decodes itself, by extension (compared in lower case).
local HOST_EXTENSIONS = { jpg = true, jpeg = true, jpe = true, jfif = true, bmp = true, dib = true }
local HOST_PATTERNS = "*.jpg;*.jpeg;*.jpe;*.jfif;*.bmp;*.dib"

-- Decoding decides by content; a plug-in sees this many bytes to say whether it can read them.
local PROBE_BYTES = 2048

-- A listing or an archive that takes longer than this (milliseconds) shows the progress window.
local PROGRESS_DELAY = 400
-- Archives this large show the progress window before they are read (the reading itself is one
-- call that cannot report progress).
local LARGE_ARCHIVE_BYTES = 32 * 1024 * 1024

-- Rows of the file list window and its column width in pixels.
local FILE_LIST_WIDTH = 320
local IMAGE_BLANK, IMAGE_CURRENT = 0, 1
local KEY_RETURN = 13

-- The settings live in a folder of our own under the user's configuration folder; older
-- versions kept them at that folder's root when ours was missing.
local SETTINGS_FOLDER = "selvarin"
local SETTINGS_NAME = "settings.lua"
local SETTINGS_DAMAGED_NAME = "settings.damaged.lua"
local SETTINGS_ROOT_NAME = "selvarin-settings.lua"
-- A settings file holds a few options and the sources of one list; anything far larger is not ours.
local SETTINGS_MAX_BYTES = 16 * 1024 * 1024
local SETTINGS_VERSION = 2

local FIT_MODES = { lessor = true, greator = true, width = true, height = true }
local DEFAULT_FIT = "greator"

-- The pattern background: a checker of two light greys. Pixels are blue, green, red, alpha.
local CHECKER_CELL = 8
local CHECKER_LIGHT = string.char(255, 255, 255, 255)
local CHECKER_DARK = string.char(204, 204, 204, 255)

-------------------------------------------------------------------------------
-- State

-- An item of the picture list is a table: { path = full path, name = file name } for a file, or
-- { archive = archive path, plugin = loaded plug-in, position = n, size = n, member = path in the
-- archive, name = member name } for a member of an archive.
local state = {
  files = {},              -- the picture list
  position = 0,            -- index of the shown picture in files; 0 while none is shown
  sources = {},            -- the paths the list was made from, to make it again
  details = "",            -- size and format of the shown picture
  note = nil,              -- a remark about the shown picture (truncated file)
  startupOpenLast = false, -- option: show the last list again when started without files
  showStopDialog = false,  -- option: ask what to do at either end of the list
  fit = DEFAULT_FIT,       -- how pictures are fitted; a zoom changes only the shown picture
  busy = false,            -- a list is being made (events may arrive while it pumps messages)
  target = nil,            -- where queued page turns have moved to before the last one shows it
}

-- The item the viewer was last asked to decode ahead: { item = item }.
local ahead = {}

-- What the script last set in the view, to tell the user's own changes apart.
local shown = { mode = nil, scaling = nil, width = 0, height = 0, auto = false, viewW = 0, viewH = 0 }

local plugins = { pictures = {}, archives = {}, failed = {} }
local extensions = { pictures = {}, archives = {} }  -- extension -> true, or list of longer suffixes
local checker = nil        -- the pattern surface, made when first needed
local saveSettings         -- defined with the settings below

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

local function lowerExtension(name)
  local _, extension = app.splitExtension(name)
  return string.lower(extension)
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

local function readLittleEndian(data, offset, bytes)
  local text = data:stringData(offset, bytes)
  if text == nil or string.len(text) < bytes then
    return nil
  end
  local n = 0
  for i = bytes, 1, -1 do
    n = n * 256 + string.byte(text, i)
  end
  return n
end

-- Milliseconds since `start` by the host's clock, which wraps at 2^32.
local function elapsed(start)
  local d = app.getTicks() - start
  if d < 0 then d = d + 4294967296 end
  return d
end

-------------------------------------------------------------------------------
-- Names and extensions

-- Files whose name ends with one of the patterns of a plug-in ("*.png;*.tar.gz") belong to it.
local function addPatterns(set, patterns)
  for pattern in string.gfind(patterns, "[^;]+") do
    local suffix = string.lower(pattern)
    local _, _, rest = string.find(suffix, "^%*%.(.+)$")
    if rest then
      local _, _, last = string.find(rest, "([^%.]+)$")
      if last == rest then
        set[last] = true
      elseif last and set[last] ~= true then
        set[last] = set[last] or {}
        table.insert(set[last], "." .. rest)
      end
    end
  end
end

local function matches(set, name)
  local kind = set[lowerExtension(name)]
  if kind == true then
    return true
  elseif type(kind) == "table" then
    local lower = string.lower(name)
    for i = 1, table.getn(kind) do
      local suffix = kind[i]
      if string.sub(lower, -string.len(suffix)) == suffix then
        return true
      end
    end
  end
  return false
end

local function isPictureName(name)
  return HOST_EXTENSIONS[lowerExtension(name)] == true or matches(extensions.pictures, name)
end

local function isArchiveName(name)
  return matches(extensions.archives, name)
end

-------------------------------------------------------------------------------
-- Natural order: digits compare as numbers ("img2" before "img10"), everything else by the
-- system's collation.

-- Each run of digits padded to `width`, so that one collation comparison orders the numbers.
local function naturalKey(name, width)
  return (string.gsub(name, "%d+", function(digits)
    local pad = width - string.len(digits)
    if pad > 0 then
      return string.rep("0", pad) .. digits
    end
    return digits
  end))
end

local function longestDigitRun(names, count)
  local width = 0
  for i = 1, count do
    for digits in string.gfind(names[i], "%d+") do
      if string.len(digits) > width then width = string.len(digits) end
    end
  end
  return width
end

-- Whether a name with natural key keyA comes before one with keyB; equal keys fall back on the
-- names themselves.
local function naturalBefore(keyA, nameA, keyB, nameB)
  local c = app.compareString(keyA, keyB)
  if c == 0 then c = app.compareString(nameA, nameB) end
  return c < 0
end

-- Sorts `entries` (tables) by the natural order of entry[field]; `before(a, b)` may put a group
-- first (folders before files). `tick` is called now and then and may raise to cancel.
local function naturalSort(entries, field, before, tick)
  local count = table.getn(entries)
  if count < 2 then
    return
  end
  local names = {}
  for i = 1, count do names[i] = entries[i][field] end
  local width = longestDigitRun(names, count)
  for i = 1, count do
    entries[i].sortKey = naturalKey(names[i], width)
  end
  local calls = 0
  local function less(a, b)
    calls = calls + 1
    if tick and math.mod(calls, 2000) == 0 then tick() end
    if before then
      local ga, gb = before(a), before(b)
      if ga ~= gb then return ga end
    end
    return naturalBefore(a.sortKey, a[field], b.sortKey, b[field])
  end
  -- The host lists names in collation order, which is often already the natural one; checking
  -- costs one comparison per name, sorting many more.
  local sorted = true
  for i = 2, count do
    if less(entries[i], entries[i - 1]) then
      sorted = false
      break
    end
  end
  if not sorted then
    table.sort(entries, less)
  end
  for i = 1, count do entries[i].sortKey = nil end
end

-- The first of `names` in the order naturalSort gives, without sorting them; nil for none.
local function naturalFirst(names)
  local count = table.getn(names)
  local width = longestDigitRun(names, count)
  local first, firstKey = nil, nil
  for i = 1, count do
    local key = naturalKey(names[i], width)
    if first == nil or naturalBefore(key, names[i], firstKey, first) then first, firstKey = names[i], key end
  end
  return first
end

-------------------------------------------------------------------------------
-- Progress: a window with Cancel once a task takes longer than a moment.

local function newTask(message)
  return { started = app.getTicks(), message = message, cancelled = false, window = nil }
end

local function showTaskWindow(task)
  if task.window ~= nil or type(app.createProgressWindow) ~= "function" then
    return
  end
  local window = app.createProgressWindow(task.message, function() task.cancelled = true end)
  if window == nil then
    task.window = false
    return
  end
  window:setTitle(APP_NAME)
  window:setMessage(task.message)
  window:setProgressPos(0)
  window:show()
  task.window = window
end

-- Reports progress (0 to 1); false once the user cancelled.
local function taskStep(task, fraction)
  if task.cancelled then
    return false
  end
  if task.window == nil and elapsed(task.started) >= PROGRESS_DELAY then
    showTaskWindow(task)
  end
  if task.window then
    task.window:setProgressPos(math.floor(fraction * 100))
    task.window:pumpMessages()
  end
  return not task.cancelled
end

local function taskMessage(task, message)
  task.message = message
  if task.window then task.window:setMessage(message) end
end

local function endTask(task)
  if task.window then
    task.window:close()
  end
  task.window = false
end

-- A cancel raised from inside a sort comparison.
local CANCELLED = {}

-------------------------------------------------------------------------------
-- Plug-ins

-- The plug-in folder beside the program: the script folder is the program's "script" folder
-- and the current directory while this file runs.
local function pluginFolder()
  local besideScript = app.joinPath(folderOf(app.getCurrentDirectory()), "plugins")
  if table.getn(app.findFile(app.joinPath(besideScript, "*.spi"))) > 0 then
    return besideScript
  end
  return app.joinPath(app.getApplicationPath(), "plugins")
end

local function loadPlugins()
  local folder = pluginFolder()
  local names = app.findFile(app.joinPath(folder, "*.spi"))
  local list = {}
  for i = 1, table.getn(names) do
    if string.lower(lowerExtension(names[i])) == "spi" then
      table.insert(list, { name = names[i] })
    end
  end
  naturalSort(list, "name")
  for i = 1, table.getn(list) do
    local name = list[i].name
    local plugin = app.loadSusiePlugin(app.joinPath(folder, name))
    local version = plugin and plugin:getPluginInfo(1)
    local entry = { plugin = plugin, name = name, formats = {} }
    if version == "00IN" or version == "00AM" then
      -- Pairs of patterns and descriptions follow the version and the about text.
      local n = 3
      while n < 64 do
        local patterns = plugin:getPluginInfo(n)
        if patterns == nil or patterns == "" then break end
        local description = plugin:getPluginInfo(n + 1) or ""
        for pattern in string.gfind(patterns, "[^;]+") do
          local _, _, ext = string.find(string.lower(pattern), "%.([^%.]+)$")
          if ext then entry.formats[ext] = description end
        end
        entry.patterns = (entry.patterns and entry.patterns .. ";" or "") .. patterns
        if version == "00IN" then
          addPatterns(extensions.pictures, patterns)
        else
          addPatterns(extensions.archives, patterns)
        end
        n = n + 2
      end
      entry.description = plugin:getPluginInfo(4) or name
      if version == "00IN" then
        table.insert(plugins.pictures, entry)
      else
        table.insert(plugins.archives, entry)
      end
    else
      if plugin then plugin:unload() end
      table.insert(plugins.failed, name)
    end
  end
end

local function allPatterns(kind)
  local out = {}
  for i = 1, table.getn(plugins[kind]) do
    if plugins[kind][i].patterns then table.insert(out, plugins[kind][i].patterns) end
  end
  return table.concat(out, ";")
end

-- The archive plug-in that reads `path`, or nil.
local function archivePluginFor(path, head)
  for i = 1, table.getn(plugins.archives) do
    local entry = plugins.archives[i]
    if entry.plugin:isSupported(path, head) then
      return entry.plugin
    end
  end
  return nil
end

-------------------------------------------------------------------------------
-- Reading and decoding

-- Bits per pixel of a decoded picture, from its DIB header.
local function bitCount(header)
  local n = readLittleEndian(header, 15, 2)
  return n or 0
end

-- The bytes of an item as a Buffer, or nil and why not.
local function readItem(item)
  if item.archive then
    local data = item.plugin:getFile(item.archive, item.position, item.size)
    if data ~= nil then
      return data
    end
    if app.getFileInfo(item.archive) == nil then
      return nil, TEXT.archiveMissing
    end
    if item.size == 0 then
      return nil, TEXT.empty
    end
    return nil, TEXT.unreadable
  end
  local info = app.getFileInfo(item.path)
  if info == nil or info.isDirectory then
    return nil, TEXT.notFound
  end
  if info.filesize == 0 then
    return nil, TEXT.empty
  end
  local data = app.createFileBuffer(item.path)
  if data == nil then
    if app.getFileInfo(item.path) == nil then
      return nil, TEXT.notFound
    end
    return nil, TEXT.unreadable
  end
  return data
end

-- Whether bytes that a decoder took for its format stop before their end.
local function looksTruncated(format, data)
  local size = data:size()
  if format == "JPEG" then
    -- The end-of-image marker closes the file, or sits a little before trailing bytes.
    if data:stringData(size - 1, 2) == "\255\217" then return false end
    local from = size - 65536
    if from < 1 then from = 1 end
    local tail = data:stringData(from, size - from + 1)
    return tail == nil or string.find(tail, "\255\217", 1, true) == nil
  elseif format == "BMP" then
    if data:stringData(1, 2) ~= "BM" then return false end
    local offset = readLittleEndian(data, 11, 4)
    local width = readLittleEndian(data, 19, 4)
    local height = readLittleEndian(data, 23, 4)
    local bits = readLittleEndian(data, 29, 2)
    local compression = readLittleEndian(data, 31, 4)
    if not (offset and width and height and bits and compression) then return true end
    if compression ~= 0 and compression ~= 3 then return false end
    if height >= 2147483648 then height = 4294967296 - height end
    local stride = math.floor((math.floor((bits * width + 7) / 8) + 3) / 4) * 4
    return size < offset + stride * height
  elseif format == "PNG" then
    local tail = data:stringData(size - 11, 12)
    return tail == nil or string.find(tail, "IEND", 1, true) == nil
  end
  return false
end

-- The format of the data by its content: "JPEG", "BMP" or a plug-in entry; nil when none reads it.
local function formatOf(name, data)
  if app.isSupportedJpeg(name, data) then
    return "JPEG"
  elseif app.isSupportedBmp(name, data) then
    return "BMP"
  end
  for i = 1, table.getn(plugins.pictures) do
    local entry = plugins.pictures[i]
    if entry.plugin:isSupported(name, data) then
      return entry
    end
  end
  return nil
end

-- Decodes a Buffer into a new Surface. Returns the surface, the format's name and a note (the
-- file is truncated), or nil and why the picture cannot be shown.
local function decode(name, data)
  local format = formatOf(name, data)
  local header, bits, formatName
  if format == "JPEG" then
    header, bits = app.loadJpeg(data)
    formatName = format
  elseif format == "BMP" then
    header, bits = app.loadBmp(data)
    formatName = format
  elseif format ~= nil then
    header, bits = format.plugin:getPicture(data)
    formatName = format.formats[lowerExtension(name)] or format.description
  else
    return nil, TEXT.unknownFormat
  end
  local kind = formatName
  if format ~= "JPEG" and format ~= "BMP" and data:stringData(2, 3) == "PNG" then kind = "PNG" end
  local truncated = looksTruncated(kind, data)
  if header == nil then
    if bits then bits:release() end
    if truncated then return nil, TEXT.truncated end
    return nil, TEXT.damaged
  end
  local depth = bitCount(header)
  local surface = app.createSurface(header, bits)
  header:release()
  bits:release()
  if surface == nil then
    return nil, TEXT.notConverted
  end
  local note = nil
  if truncated then note = TEXT.truncated end
  return surface, formatName .. " " .. depth .. TEXT.bits, note
end

local function loadItem(item)
  local data, reason = readItem(item)
  if data == nil then
    return nil, reason
  end
  local surface, description, note = decode(item.name, data)
  data:release()
  return surface, description, note
end

-- Pictures the viewer decodes itself ahead of their turn.
local AHEAD_EXTENSIONS = { jpg = true, jpeg = true, jpe = true, jfif = true, bmp = true, dib = true }

-- Whether a picture of this name can be decoded ahead, and the picture plug-in to do it (nil
-- for the viewer's own formats); the viewer uses a plug-in ahead only where that plug-in allows.
local function aheadDecoder(name)
  local ext = lowerExtension(name)
  if AHEAD_EXTENSIONS[ext] then return true, nil end
  for i = 1, table.getn(plugins.pictures) do
    if plugins.pictures[i].formats[ext] then return true, plugins.pictures[i].plugin end
  end
  return false, nil
end

local function dropAhead()
  ahead = {}
  if type(app.prefetch) == "function" then app.prefetch() end
end

-- Has the picture after the shown one in the direction of travel read and decoded in the
-- background; a member of an archive is taken out now, as only this thread may use a plug-in.
-- When it is shown it is taken out again: the decode ahead is used only if the bytes are the
-- same, so a member rewritten since (even within the archive's time stamp) is shown as it is.
local function readAhead(step)
  if type(app.prefetch) ~= "function" then return end
  local item = state.files[state.position + step]
  local known, plugin = false, nil
  if item ~= nil then known, plugin = aheadDecoder(item.name) end
  if not known then
    dropAhead()
  elseif not item.archive then
    ahead = { item = item }
    app.prefetch(item.path, plugin)
  elseif ahead.item ~= item then
    ahead = { item = item }
    local data = item.plugin:getFile(item.archive, item.position, item.size)
    app.prefetch(data, plugin)
    if data ~= nil then data:release() end
  end
end

-------------------------------------------------------------------------------
-- Fitting and zoom

local function viewSize()
  local r = app.getWindowRect("view")
  if type(r) == "table" and isFinite(r.cx) and isFinite(r.cy) and r.cx > 0 and r.cy > 0 then
    return r.cx, r.cy
  end
  return nil
end

-- The scale a fitting mode gives a picture of iw x ih in a view of w x h (scroll bars aside).
local function fitScale(mode, iw, ih, w, h)
  if mode == "width" then
    return w / iw
  elseif mode == "height" then
    return h / ih
  elseif mode == "lessor" then
    if math.floor((w / iw) * ih) >= h or math.floor((h / ih) * iw) >= w then
      local a, b = w / iw, h / ih
      if a > b then return a end
      return b
    end
  end
  if math.floor((w / iw) * ih) > h then
    return h / ih
  end
  return w / iw
end

-- Fits the shown picture: the user's fitting mode, except that a picture which already fits is
-- shown at 100% instead of being enlarged.
local function fitPicture(surface)
  local w, h = viewSize()
  local iw, ih = surface:width(), surface:height()
  if w and iw > 0 and ih > 0 then
    local k = fitScale(state.fit, iw, ih, w, h)
    if k >= 1 then
      app.setViewScaling(1)
    else
      -- Zoom steps go from the scaling last set, so set the one shown before fitting again.
      app.setViewScaling(k)
      app.setAdustMode(state.fit)
    end
    shown.viewW, shown.viewH = w, h
  else
    app.setAdustMode(state.fit)
  end
  shown.mode, shown.scaling, shown.auto = app.getAdustMode(), app.getViewScaling(), true
end

-- The scale at which the picture is shown now, in percent.
local function zoomPercent(surface)
  local mode = app.getAdustMode()
  local k = app.getViewScaling()
  if mode ~= nil then
    local w, h = viewSize()
    if w and surface:width() > 0 and surface:height() > 0 then
      k = fitScale(mode, surface:width(), surface:height(), w, h)
    end
  end
  return math.floor(k * 100 + 0.5)
end

-------------------------------------------------------------------------------
-- Status bar and title

local function itemTitle(item)
  if item.archive then
    return fileName(item.archive) .. " / " .. item.name
  end
  return item.name
end

local function updateTitle()
  if state.position < 1 then
    app.setFrameTitle(APP_NAME)
    return
  end
  app.setFrameTitle(itemTitle(state.files[state.position]) .. " (" .. state.position .. "/"
                    .. table.getn(state.files) .. ") - " .. APP_NAME)
end

local function pictureStatus()
  local surface = app.getImage()
  if state.position < 1 or surface == nil then
    return nil
  end
  return zoomPercent(surface) .. "%  " .. state.details
end

-- Status text: what was skipped, then an optional message, then the shown picture's details.
local function report(skipped, message)
  local parts = {}
  local count = table.getn(skipped)
  if count > 0 then
    local note = TEXT.skipped .. skipped[1]
    if count > 1 then
      note = note .. " " .. string.format(TEXT.more, count - 1)
    end
    table.insert(parts, note)
  end
  if message then
    table.insert(parts, message)
  end
  if state.note then
    table.insert(parts, state.note)
  end
  local picture = pictureStatus()
  if picture then
    table.insert(parts, picture)
  end
  app.setStatusText(table.concat(parts, "  "))
end

-------------------------------------------------------------------------------
-- The file list window

local fileList = { id = nil, marked = 0, callbacks = false }
local jumpTo               -- defined with the page turns below

local function fileListId()
  if type(gridview) ~= "table" or type(gridview.getFileListID) ~= "function" then
    return nil
  end
  local id = gridview.getFileListID()
  if id == nil then
    return nil
  end
  if fileList.id ~= id then
    fileList.id, fileList.callbacks, fileList.marked = id, false, 0
  end
  if not fileList.callbacks then
    fileList.callbacks = gridview.setCallBack(id, {
      onClickCell = function(row, col) jumpTo(row) end,
      onKey = function(row, col, key)
        if key == KEY_RETURN then jumpTo(row) end
      end,
    })
  end
  return id
end

local function markRow(id, row, image)
  if row >= 1 and row < gridview.getRowCount(id) then
    gridview.setCellData(id, row, 0, { imageIndex = image })
    gridview.update(id, row)
  end
end

local function markCurrentInFileList()
  local id = fileListId()
  if id == nil then return end
  if fileList.marked ~= state.position then
    markRow(id, fileList.marked, IMAGE_BLANK)
    fileList.marked = 0
  end
  if state.position >= 1 then
    markRow(id, state.position, IMAGE_CURRENT)
    fileList.marked = state.position
    gridview.setFocus(id, state.position)
    gridview.ensureVisible(id, state.position, 0)
  end
end

local function fillFileList()
  local id = fileListId()
  if id == nil then return end
  local count = table.getn(state.files)
  gridview.setColumnCount(id, 1)
  gridview.setFixedColumnCount(id, 0)
  gridview.setFixedRowCount(id, 1)
  gridview.setRowCount(id, count + 1)
  gridview.setColumnWidth(id, 0, FILE_LIST_WIDTH)
  gridview.setCellData(id, 0, 0, { text = TEXT.fileListHeader })
  for i = 1, count do
    gridview.setCellData(id, i, 0, { text = itemTitle(state.files[i]), imageIndex = IMAGE_BLANK, leftMargin = 2 })
  end
  fileList.marked = 0
  gridview.update(id)
  markCurrentInFileList()
end

-------------------------------------------------------------------------------
-- Making lists

-- The pictures of a folder as items, in natural order; nil when cancelled.
-- A folder's names read at start-up for its first picture, kept for its listing.
local listed = nil

local function folderItems(folder, task)
  local names
  if listed ~= nil and listed.folder == folder then
    names = listed.names
  else
    names = app.findFile(app.joinPath(folder, "*"))
  end
  listed = nil
  local count = table.getn(names)
  local items = {}
  for i = 1, count do
    local name = names[i]
    if isPictureName(name) then
      table.insert(items, { path = app.joinPath(folder, name), name = name })
    end
    if math.mod(i, 1000) == 0 and not taskStep(task, 0.5 * i / count) then
      return nil
    end
  end
  taskMessage(task, TEXT.sorting)
  local ok = pcall(naturalSort, items, "name", nil, function()
    if not taskStep(task, 0.75) then error(CANCELLED) end
  end)
  if not ok then
    return nil
  end
  return items
end

local function nodeName(node)
  local _, name = app.splitPath(node.filepath)
  return name
end

-- The pictures of an archive as items, folder by folder in the tree's order (folders first, names
-- in natural order); nil and why when the archive cannot be read or the user cancelled.
local function archiveItems(path, task)
  local info = app.getFileInfo(path)
  if info == nil then
    return nil, TEXT.archiveMissing
  end
  if info.filesize == 0 then
    return nil, TEXT.empty
  end
  local head = app.createFileBuffer(path, PROBE_BYTES)
  if head == nil then
    return nil, TEXT.unreadable
  end
  local plugin = archivePluginFor(path, head)
  head:release()
  if plugin == nil then
    if table.getn(plugins.archives) == 0 then return nil, TEXT.noPlugin end
    return nil, TEXT.archiveUnreadable
  end
  taskMessage(task, TEXT.readingArchive)
  if info.filesize >= LARGE_ARCHIVE_BYTES then
    showTaskWindow(task)
    if not taskStep(task, 0) then return nil end
  end
  local tree, _, failure = plugin:getArchiveInfo(path)
  if failure ~= nil or type(tree) ~= "table" then
    return nil, TEXT.archiveUnreadable
  end
  local items = {}
  local visited = 0
  local function directoriesFirst(node) return node.isDirectory == true end
  local function walk(nodes)
    for i = 1, table.getn(nodes) do nodes[i].name = nodeName(nodes[i]) end
    naturalSort(nodes, "name", directoriesFirst, function()
      if not taskStep(task, 0.5) then error(CANCELLED) end
    end)
    for i = 1, table.getn(nodes) do
      local node = nodes[i]
      visited = visited + 1
      if math.mod(visited, 1000) == 0 and not taskStep(task, 0.5) then error(CANCELLED) end
      if node.isDirectory then
        if type(node.children) == "table" then walk(node.children) end
      elseif isPictureName(node.name) and isFinite(node.filesize) then
        local member = node.filepath
        if string.sub(member, 1, 1) == "\\" then member = string.sub(member, 2) end
        table.insert(items, { archive = info.filepath, plugin = plugin, position = node.position,
                              size = node.filesize, member = member, name = node.name })
      end
    end
  end
  if not pcall(walk, tree) then
    return nil
  end
  return items
end

local function isDirectory(path)
  local info = app.getFileInfo(path)
  return info ~= nil and info.isDirectory
end

-- Turns paths (command line, drop, dialog) into items, the index to show first and notes about
-- paths that gave nothing; nil when the user cancelled. One file stands for every picture of
-- its folder, starting at that file; an archive or a folder for its pictures; several paths are
-- taken in their order.
local function buildList(paths, task)
  local notes = {}
  local count = table.getn(paths)
  if count == 1 then
    local info = app.getFileInfo(paths[1])
    if info ~= nil and info.isFile and not isArchiveName(info.filepath) then
      local folder, name = app.splitPath(info.filepath)
      local items = folderItems(folder, task)
      if items == nil then return nil end
      for i = 1, table.getn(items) do
        if items[i].name == name then
          return items, i, notes
        end
      end
      -- Not a picture by its name: show it on its own and let decoding decide.
      return { { path = info.filepath, name = name } }, 1, notes
    end
  end
  local list = {}
  for i = 1, count do
    local info = app.getFileInfo(paths[i])
    if info == nil then
      table.insert(notes, fileName(paths[i]) .. "（" .. TEXT.notFound .. "）")
    elseif info.isDirectory then
      local items = folderItems(info.filepath, task)
      if items == nil then return nil end
      if table.getn(items) == 0 then
        table.insert(notes, string.format(TEXT.noPicturesIn, fileName(info.filepath)))
      end
      append(list, items)
    elseif isArchiveName(info.filepath) then
      local items, reason = archiveItems(info.filepath, task)
      if items == nil and reason == nil then return nil end
      if items == nil then
        table.insert(notes, fileName(info.filepath) .. "（" .. reason .. "）")
      elseif table.getn(items) == 0 then
        table.insert(notes, string.format(TEXT.noPicturesIn, fileName(info.filepath)))
      else
        append(list, items)
      end
    else
      table.insert(list, { path = info.filepath, name = fileName(info.filepath) })
    end
  end
  return list, 1, notes
end

-- Runs `work(task)` with the busy flag set and the progress window closed afterwards.
local function withTask(message, work)
  if state.busy then
    app.setStatusText(TEXT.busy)
    return nil
  end
  state.busy = true
  local task = newTask(message)
  local ok, a, b, c = pcall(work, task)
  endTask(task)
  state.busy = false
  if not ok then
    error(a, 0)
  end
  -- Cancel pressed during the last pump, after the work's own last look.
  if task.cancelled then
    return nil
  end
  return a, b, c
end

-------------------------------------------------------------------------------
-- Showing

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
  state.note = nil
end

-- The picture shown at start-up before its list was made: { path, surface, description, note }.
local early = nil

-- Shows the picture at index; false and the reason when it cannot be shown.
local function showAt(index)
  local item, first = state.files[index], early
  early = nil
  local surface, description, note
  if first ~= nil and not item.archive and item.path == first.path then
    surface, description, note = first.surface, first.description, first.note
  else
    -- A picture decoded ahead for elsewhere would only add to the memory this decode needs.
    if ahead.item ~= nil and ahead.item ~= item then dropAhead() end
    surface, description, note = loadItem(item)
  end
  if surface == nil then
    return false, description
  end
  -- A fitting mode the user chose for the last picture holds for this one too.
  local mode = app.getAdustMode()
  if mode ~= shown.mode and mode ~= nil and FIT_MODES[mode] and mode ~= state.fit then
    state.fit = mode
    saveSettings()
  end
  fitPicture(surface)
  replaceImage(surface)
  state.position = index
  state.target = nil
  state.details = surface:width() .. " x " .. surface:height() .. "  " .. description
  state.note = note
  shown.width, shown.height = surface:width(), surface:height()
  return true
end

-- Shows the first readable picture from index `from` on, in steps of `step` (1 or -1). The
-- pictures passed over are noted in `skipped`. False when none could be shown.
local function showFrom(from, step, skipped)
  local count = table.getn(state.files)
  local i = from
  while i >= 1 and i <= count do
    local ok, reason = showAt(i)
    if ok then
      return true
    end
    table.insert(skipped, state.files[i].name .. "（" .. reason .. "）")
    i = i + step
  end
  return false
end

local function itemKey(item)
  if item == nil then return nil end
  if item.archive then
    return { path = item.archive, member = item.member }
  end
  return { path = item.path }
end

local function indexOfKey(list, key)
  if type(key) ~= "table" then return nil end
  for i = 1, table.getn(list) do
    local item = list[i]
    if item.archive then
      if item.archive == key.path and item.member == key.member then return i end
    elseif item.path == key.path and key.member == nil then
      return i
    end
  end
  return nil
end

-- Makes `list` the picture list and shows the readable picture nearest to `start`, looking
-- forward first.
local function openList(list, start, notes, message)
  dropAhead()
  state.files = list
  state.position = 0
  state.target = nil
  local skipped = notes or {}
  local count = table.getn(list)
  if start < 1 then start = 1 end
  if start > count then start = count end
  local ok = showFrom(start, 1, skipped) or showFrom(start - 1, -1, skipped)
  if not ok then
    clearPicture()
  else
    readAhead(1)
  end
  updateTitle()
  fillFileList()
  if count == 0 then
    report(skipped, message or TEXT.noPictures)
  elseif not ok then
    report(skipped, message or TEXT.noneReadable)
  else
    report(skipped, message)
  end
end

-- Opens paths as a new list; `key` names the picture to show first when it is in the list.
local function openPaths(paths, key, message)
  local list, start, notes = withTask(TEXT.listing, function(task) return buildList(paths, task) end)
  if list == nil then
    if not state.busy then report({}, TEXT.cancelled) end
    return false
  end
  state.sources = paths
  local at = indexOfKey(list, key)
  if at then start = at end
  openList(list, start, notes, message)
  saveSettings()
  return true
end

-------------------------------------------------------------------------------
-- Dialogs

local function currentFolder()
  local item = state.files[state.position]
  if item == nil then return nil end
  if item.archive then return folderOf(item.archive) end
  return folderOf(item.path)
end

local function openFilter()
  local pictures = HOST_PATTERNS
  local more = allPatterns("pictures")
  if more ~= "" then pictures = pictures .. ";" .. more end
  local archives = allPatterns("archives")
  local filter = TEXT.filterAll .. "|" .. pictures
  if archives ~= "" then filter = filter .. ";" .. archives end
  filter = filter .. "|" .. TEXT.filterPictures .. "|" .. pictures .. "|"
  if archives ~= "" then
    filter = filter .. TEXT.filterArchives .. "|" .. archives .. "|"
  end
  return filter .. TEXT.filterEverything
end

local function chooseFiles()
  if type(app.showFileOpenDialog) ~= "function" then
    app.setStatusText(TEXT.notAvailable)
    return
  end
  local files = app.showFileOpenDialog(currentFolder(), openFilter(), true)
  if type(files) == "table" and table.getn(files) > 0 then
    openPaths(files)
  end
end

local function chooseFolder()
  if type(app.showFolderOpenDialog) ~= "function" then
    app.setStatusText(TEXT.notAvailable)
    return
  end
  local folder = app.showFolderOpenDialog(TEXT.chooseFolder, currentFolder())
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
  local message = TEXT.endLast
  if step < 0 then message = TEXT.endFirst end
  local answer = app.showOptionalDialog(APP_NAME, message,
                                        TEXT.otherFile, function() return "FILE" end,
                                        TEXT.otherFolder, function() return "FOLDER" end)
  if answer == "OK" then
    local from = 1
    if step < 0 then from = table.getn(state.files) end
    if showFrom(from, step, skipped) then
      updateTitle()
      markCurrentInFileList()
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

-------------------------------------------------------------------------------
-- Moving through the list

-- Shows the picture at `from` or the next readable one in the direction of `step`.
local function moveTo(from, step, atEnd)
  if state.busy then
    app.setStatusText(TEXT.busy)
    return
  end
  local count = table.getn(state.files)
  if count == 0 then
    report({}, TEXT.emptyList)
    return
  end
  local skipped = {}
  if showFrom(from, step, skipped) then
    updateTitle()
    markCurrentInFileList()
    report(skipped)
    readAhead(step)
    return
  end
  if atEnd and endOfListDialog(step, skipped) then
    return
  end
  if step > 0 then
    report(skipped, TEXT.last)
  else
    report(skipped, TEXT.first)
  end
end

-- Moves through the list by `step`; at either end the picture stays. `pending` is how many
-- page turns the viewer holds queued behind this one: those before the last only move the
-- target, so that only the picture the user lands on is decoded.
local function turnPage(step, pending)
  local count = table.getn(state.files)
  local at = state.target or state.position
  local from = at + step
  if at == 0 then
    from = 1
    if step < 0 then from = count end
  end
  if type(pending) == "number" and pending > 0 and count > 0 and not state.busy then
    if from < 1 then from = 1 elseif from > count then from = count end
    state.target = from
    -- The user is going past the picture decoded ahead: its decode would only slow the landing.
    if ahead.item ~= nil and ahead.item ~= state.files[from] then dropAhead() end
    return
  end
  state.target = nil
  if at ~= state.position and (from < 1 or from > count) then
    -- The queued turns ran into an end: land there, then say so as a single turn would.
    moveTo(at, step, false)
  end
  moveTo(from, step, true)
end

jumpTo = function(row)
  if row >= 1 and row <= table.getn(state.files) and row ~= state.position then
    moveTo(row, 1, false)
  end
end

-- The folder or archive that holds the shown picture.
local function currentContainer()
  local item = state.files[state.position]
  if item == nil then return nil end
  if item.archive then return item.archive end
  return folderOf(item.path)
end

-- Opens the next (step 1) or previous (step -1) folder or archive beside the current one that
-- has pictures.
local function siblingContainer(step)
  local container = currentContainer()
  if container == nil then
    return false
  end
  local parent, own = app.splitPath(container)
  if parent == nil or parent == "" or own == "" then
    report({}, step > 0 and TEXT.noNextFolder or TEXT.noPrevFolder)
    return true
  end
  local names = app.findFile(app.joinPath(parent, "*"))
  local siblings = {}
  for i = 1, table.getn(names) do
    local name = names[i]
    if name ~= "." and name ~= ".." then
      local path = app.joinPath(parent, name)
      if name == own or isArchiveName(name) or (not isPictureName(name) and isDirectory(path)) then
        table.insert(siblings, { name = name, path = path })
      end
    end
  end
  naturalSort(siblings, "name")
  local at = nil
  for i = 1, table.getn(siblings) do
    if siblings[i].name == own then at = i end
  end
  if at == nil then
    return false
  end
  local i = at + step
  while i >= 1 and i <= table.getn(siblings) do
    local path = siblings[i].path
    local list, _, notes = withTask(TEXT.listing, function(task) return buildList({ path }, task) end)
    if list == nil then
      report({}, TEXT.cancelled)
      return true
    end
    if table.getn(list) > 0 then
      state.sources = { path }
      openList(list, 1, {})
      saveSettings()
      return true
    end
    i = i + step
  end
  report({}, step > 0 and TEXT.noNextFolder or TEXT.noPrevFolder)
  return true
end

local function reloadList()
  if table.getn(state.sources) == 0 then
    return false
  end
  openPaths(state.sources, itemKey(state.files[state.position]), TEXT.reloaded)
  return true
end

-------------------------------------------------------------------------------
-- Saving and copying

-- The bytes of a surface as a 32-bit BMP file: file header, info header, then the rows as they
-- lie in memory (bottom-up surfaces keep a positive height, top-down ones get a negative one).
local function bmpBuffer(surface)
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
  local out = nil
  if fileHeader and pixels then
    out = app.createStringBuffer(fileHeader:stringData() .. info:stringData() .. (pixels:stringData() or ""))
  end
  if info then info:release() end
  if fileHeader then fileHeader:release() end
  if pixels then pixels:release() end
  return out
end

-- Saves the shown picture: a copy of its file (or archive member) under its own extension, a
-- BMP of the picture as shown for any other name.
local function saveShownPicture()
  local surface = app.getImage()
  local item = state.files[state.position]
  if surface == nil or item == nil then
    app.setStatusText(TEXT.nothingToSave)
    return
  end
  if type(app.showFileSaveDialog) ~= "function" then
    app.setStatusText(TEXT.notAvailable)
    return
  end
  local _, extension = app.splitExtension(item.name)
  local filter = TEXT.filterBmp
  if extension ~= "" and string.lower(extension) ~= "bmp" then
    filter = string.format(TEXT.filterSame, string.upper(extension), extension, extension) .. filter
  end
  local defaultExtension = extension
  if defaultExtension == "" then defaultExtension = "bmp" end
  local path = app.showFileSaveDialog(currentFolder(), item.name, defaultExtension, filter)
  if type(path) ~= "string" or path == "" then
    return
  end
  local data
  if extension ~= "" and string.lower(lowerExtension(path)) == string.lower(extension) then
    data = readItem(item)
  else
    data = bmpBuffer(surface)
  end
  local written = data ~= nil and data:writeToFile(path)
  if data then data:release() end
  if written then
    app.setStatusText(string.format(TEXT.saved, fileName(path)))
  else
    app.setStatusText(string.format(TEXT.saveFailed, fileName(path)))
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
    app.setStatusText(TEXT.patternFailed)
  end
end

local function isColourText(value)
  return type(value) == "string" and string.find(value, "^%x%x%x%x%x%x$") ~= nil
end

-------------------------------------------------------------------------------
-- Settings

local function isFile(path)
  local info = app.getFileInfo(path)
  return info ~= nil and info.isFile
end

-- The settings file, the one older versions wrote at the configuration folder's root, and
-- whether our folder exists. Nothing when the configuration folder cannot be found.
local function settingsLocation()
  local base = app.getSpecialFolder("APPDATA ")
  if base == nil or base == "" then
    return nil
  end
  local folder = app.joinPath(base, SETTINGS_FOLDER)
  return app.joinPath(folder, SETTINGS_NAME), app.joinPath(base, SETTINGS_ROOT_NAME), isDirectory(folder), folder
end

-- The values of a settings file, or nil when it is not a readable settings file.
local function readSettingsFile(path)
  local info = app.getFileInfo(path)
  if info == nil or not info.isFile or info.filesize > SETTINGS_MAX_BYTES then
    return nil
  end
  local file = io.open(path, "rb")
  if file == nil then
    return nil
  end
  local text = file:read("*a")
  file:close()
  if type(text) ~= "string" then
    return nil
  end
  local chunk = loadstring(text, "=settings")
  if chunk == nil then
    return nil
  end
  -- A settings file is data: it sees no globals, so it can only build its table.
  setfenv(chunk, {})
  local ok, values = pcall(chunk)
  if not ok or type(values) ~= "table" then
    return nil
  end
  return values
end

local function readSettings()
  local own, root, _, folder = settingsLocation()
  if own == nil then
    return {}
  end
  for _, path in ipairs({ own, root }) do
    if isFile(path) then
      local values = readSettingsFile(path)
      if values ~= nil then
        return values
      end
      -- Kept for the user under another name rather than overwritten by the next write.
      if path == own then
        os.remove(app.joinPath(folder, SETTINGS_DAMAGED_NAME))
        os.rename(own, app.joinPath(folder, SETTINGS_DAMAGED_NAME))
      end
    end
  end
  return {}
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
  local lines = { "-- Selvarin settings, written whenever they change.",
                  "return {" }
  local scalars = { "version", "startupOpenLastFile", "showStopDialog", "background", "adjustMode",
                    "linearFilter", "wheelRate", "windowMode" }
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
  if type(s.sources) == "table" then
    table.insert(lines, "  sources = {")
    for i = 1, table.getn(s.sources) do
      table.insert(lines, "    " .. app.safeLiteral(s.sources[i]) .. ",")
    end
    table.insert(lines, "  },")
  end
  if type(s.current) == "table" and type(s.current.path) == "string" then
    local current = "  current = { path = " .. app.safeLiteral(s.current.path)
    if type(s.current.member) == "string" then
      current = current .. ", member = " .. app.safeLiteral(s.current.member)
    end
    table.insert(lines, current .. " },")
  end
  table.insert(lines, "}")
  table.insert(lines, "")
  return table.concat(lines, "\n")
end

-- What the settings file said when last read or written.
local remembered = {}

local function viewSettings()
  local background = app.getBgColor()
  if app.getBgImage() ~= nil then
    background = "pattern"
  end
  return {
    background = background,
    linearFilter = app.getUseLinearFilter(),
    wheelRate = app.getWheelRate(),
    windowMode = app.getMainWindowMode(),
    window = app.getWindowRect("restoredMain"),
  }
end

local VIEW_SETTINGS = { "background", "linearFilter", "wheelRate", "windowMode", "window" }

local function currentSettings()
  local s = {
    version = SETTINGS_VERSION,
    startupOpenLastFile = state.startupOpenLast,
    showStopDialog = state.showStopDialog,
    adjustMode = state.fit,
  }
  -- The list is remembered only for the option that shows it again.
  if state.startupOpenLast then
    s.sources = state.sources
    s.current = itemKey(state.files[state.position])
  end
  -- Without a main window the host answers with its defaults, not with what the user chose:
  -- keep the remembered view settings then.
  local view = remembered
  if app.getMainWindowMode() ~= nil then
    view = viewSettings()
  end
  for i = 1, table.getn(VIEW_SETTINGS) do
    s[VIEW_SETTINGS[i]] = view[VIEW_SETTINGS[i]]
  end
  return s
end

local written = nil        -- the text last written, so that unchanged settings are not rewritten
local loaded = false       -- settings are written only after they were read at start-up

saveSettings = function()
  if not loaded then
    return
  end
  local own, root, hasFolder = settingsLocation()
  if own == nil then
    return
  end
  local s = currentSettings()
  local text = settingsText(s)
  if text == written then
    return
  end
  local path = root
  if hasFolder then path = own end
  -- The host writes a new file beside the old one and then puts it in its place, so the
  -- previous file stays whole until the new one is complete.
  local buffer = app.createStringBuffer(text)
  if buffer ~= nil and buffer:writeToFile(path) then
    written = text
    remembered = s
    if hasFolder and path ~= root and isFile(root) then
      os.remove(root)
    end
  end
  if buffer then buffer:release() end
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

  -- Older versions stored the host's first fitting mode as if the user had chosen it.
  if isFinite(s.version) and s.version >= 2 and type(s.adjustMode) == "string" and FIT_MODES[s.adjustMode] then
    state.fit = s.adjustMode
  end
  app.setAdustMode(state.fit)
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

-- The remembered sources and the picture to show, checked. Older versions stored the whole
-- list and a position instead.
local function lastSources(s)
  local sources = {}
  local key = nil
  local list = s.sources
  if type(list) ~= "table" then list = s.files end
  if type(list) == "table" then
    for i = 1, table.getn(list) do
      if type(list[i]) == "string" then
        table.insert(sources, list[i])
      end
    end
  end
  if type(s.current) == "table" and type(s.current.path) == "string" then
    key = { path = s.current.path }
    if type(s.current.member) == "string" then key.member = s.current.member end
  elseif type(s.sources) ~= "table" and isFinite(s.position) and s.position >= 1 then
    key = { path = sources[math.floor(s.position)] }
  end
  return sources, key
end

-- Looks for changes the user made through the host's own commands (fitting, zoom, wheel, filter)
-- and for a new view size; cheap, since it runs whenever the toolbar is refreshed.
local function watchView()
  local surface = app.getImage()
  local mode, scaling = app.getAdustMode(), app.getViewScaling()
  local chosen = false
  if mode ~= shown.mode or scaling ~= shown.scaling then
    -- The user zoomed or chose a fitting: the picture keeps it until the next one.
    shown.mode, shown.scaling, shown.auto = mode, scaling, false
    if mode ~= nil and FIT_MODES[mode] and mode ~= state.fit then
      state.fit = mode
      chosen = true
    end
    if state.position > 0 then report({}) end
  elseif shown.auto and surface ~= nil and state.position > 0 then
    local w, h = viewSize()
    if w and (w ~= shown.viewW or h ~= shown.viewH) then
      fitPicture(surface)
      report({})
    end
  end
  if chosen or remembered.wheelRate ~= app.getWheelRate() or remembered.linearFilter ~= app.getUseLinearFilter()
     or remembered.background ~= viewSettings().background then
    saveSettings()
  end
end

-------------------------------------------------------------------------------
-- Start-up

loadPlugins()

-------------------------------------------------------------------------------
-- Events

-- At start-up on one picture or one folder, the picture the list will start with is shown
-- before the rest of the folder is listed and sorted, which takes longer in a large folder.
local function showEarly(paths)
  if table.getn(paths) ~= 1 then return end
  local info = app.getFileInfo(paths[1])
  if info == nil then return end
  local item = nil
  if info.isFile and not isArchiveName(info.filepath) then
    local _, name = app.splitPath(info.filepath)
    if isPictureName(name) then item = { path = info.filepath, name = name } end
  elseif info.isDirectory then
    local names = app.findFile(app.joinPath(info.filepath, "*"))
    listed = { folder = info.filepath, names = names }
    -- The first in natural order, as folderItems sorts.
    local pictures = {}
    for i = 1, table.getn(names) do
      if isPictureName(names[i]) then table.insert(pictures, names[i]) end
    end
    local first = naturalFirst(pictures)
    if first ~= nil then item = { path = app.joinPath(info.filepath, first), name = first } end
  end
  if item == nil then return end
  local surface, description, note = loadItem(item)
  if surface == nil then return end
  fitPicture(surface)
  replaceImage(surface)
  early = { path = item.path, surface = surface, description = description, note = note }
end

function onInitializeApp(files)
  local settings = readSettings()
  remembered = settings
  applySettings(settings)
  loaded = true
  if table.getn(plugins.failed) > 0 then
    app.setStatusText(TEXT.pluginFailed .. table.concat(plugins.failed, ", "))
  end
  if type(files) == "table" and table.getn(files) > 0 then
    showEarly(files)
    -- Cancelled: the picture shown early belongs to no list.
    if not openPaths(files) and early ~= nil then clearPicture() end
    early, listed = nil, nil
    return
  end
  if state.startupOpenLast then
    local sources, key = lastSources(settings)
    if table.getn(sources) > 0 then
      openPaths(sources, key)
      return
    end
  end
  updateTitle()
  fillFileList()
end

function onReleaseApp()
  saveSettings()
end

function onNextImage(pending)
  turnPage(1, pending)
end

function onPrevImage(pending)
  turnPage(-1, pending)
end

-- Keys over the picture that the host leaves alone.
function onKeyDown(key, modifiers)
  if modifiers ~= "" or state.busy then
    return false
  end
  if key == "Home" then
    if table.getn(state.files) == 0 then return false end
    moveTo(1, 1, false)
    return true
  elseif key == "End" then
    if table.getn(state.files) == 0 then return false end
    moveTo(table.getn(state.files), -1, false)
    return true
  elseif key == "PageDown" then
    return siblingContainer(1)
  elseif key == "PageUp" then
    return siblingContainer(-1)
  elseif key == "F5" then
    return reloadList()
  end
  return false
end

-- A drop starts a new list: onNewFileList, then onAddFile with the dropped paths.
function onNewFileList()
  if state.busy then return end
  clearPicture()
  state.files = {}
  state.sources = {}
  updateTitle()
  fillFileList()
end

-- Adds pictures to the list (folders and archives stand for their pictures) and shows the first
-- one added.
function onAddFile(files)
  if type(files) ~= "table" then
    return
  end
  local added, start, notes = withTask(TEXT.listing, function(task) return buildList(files, task) end)
  if added == nil then
    if not state.busy then report({}, TEXT.cancelled) end
    return
  end
  local list = {}
  append(list, state.files)
  local first = table.getn(list) + start
  append(list, added)
  append(state.sources, files)
  if table.getn(added) == 0 then
    state.files = list
    fillFileList()
    report(notes, TEXT.noPictures)
    return
  end
  openList(list, first, notes)
  saveSettings()
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

-- Asked whenever the toolbar is refreshed: also the moment to notice the user's view changes.
function onUpdate_saveFile()
  if loaded and not state.busy then
    watchView()
  end
  return app.getImage() ~= nil and type(app.showFileSaveDialog) == "function"
end

function onEditCopy()
  local surface = app.getImage()
  if surface == nil then
    app.setStatusText(TEXT.nothingToCopy)
  elseif type(app.setClipboardData) ~= "function" then
    app.setStatusText(TEXT.notAvailable)
  else
    app.setClipboardData(surface)
    app.setStatusText(TEXT.copied)
  end
end

function onUpdateEditCopy()
  return app.getImage() ~= nil and type(app.setClipboardData) == "function", false
end

function onStartupOpenLastFile()
  state.startupOpenLast = not state.startupOpenLast
  saveSettings()
end

function onUpdate_startupOpenLastFile()
  return true, state.startupOpenLast
end

function onShowStopdialog()
  state.showStopDialog = not state.showStopDialog
  saveSettings()
end

function onUpdate_showStopdialog()
  return true, state.showStopDialog
end

function onSetBgColor(colour)
  app.setBgColor(colour)
  saveSettings()
end

function onSetBgCheckMenu()
  setPatternBackground()
  saveSettings()
end
