-- Image plug-ins through the test plug-ins of tests/plugins and the example PPM plug-in.
dofile("helper.lua")

local dir = os.getenv("SELVARIN_TEST_PLUGINS")
local function load(name) return app.loadSusiePlugin(dir .. "\\" .. name .. ".spi") end
local function u32(n)
  local b = {}
  for i = 1, 4 do b[i] = math.mod(n, 256); n = math.floor(n / 256) end
  return string.char(b[1], b[2], b[3], b[4])
end
local tmp = os.tmpname()
local function writeFile(path, data)
  local f = assert(io.open(path, "wb"))
  f:write(data)
  f:close()
end
local function count(t) local n = 0 for _ in pairs(t) do n = n + 1 end return n end

local ppmData = "P6\n# made by hand\n# second line\n3 2\n255\n"
  .. "\255\0\0" .. "\0\255\0" .. "\0\0\255" .. "\1\2\3" .. "\4\5\6" .. "\7\8\9"

-- Loading
do
  local ppm = load("ppm")
  check(ppm ~= nil, "the example plug-in loads")
  check(string.find(tostring(ppm), "^Susie_plugin %(") ~= nil, "tostring of a loaded plug-in")
  checkEqual(load("test_noexports"), nil, "a library without any of the twelve names is refused")
  checkEqual(app.loadSusiePlugin(dir .. "\\missing.spi"), nil, "a missing file loads nothing")
  checkEqual(app.loadSusiePlugin(tmp), nil, "a file that is no library loads nothing")
  ppm:unload()
  checkEqual(tostring(ppm), "Susie_plugin (closed)", "tostring after unload")
  ppm:unload()
  checkEqual(tostring(ppm), "Susie_plugin (closed)", "a second unload leaves it closed without an error")
  checkError("操作対象のSusie_pluginが開かれていません", function() ppm:getPluginInfo(1) end)
  checkError("無効なSusie_pluginハンドルです", function() ppm.getPluginInfo(app.createBuffer(1), 1) end)
  checkError("無効なSusie_pluginハンドルです", function() ppm.unload({}) end)
end

-- getPluginInfo: 1-based, the version cut to five bytes, texts bounded by the buffer
do
  local ppm = load("ppm")
  checkEqual(ppm:getPluginInfo(1), "00IN", "entry 0 is the version")
  checkEqual(ppm:getPluginInfo(2), "PPM example plug-in", "entry 1")
  checkEqual(ppm:getPluginInfo(3), "*.ppm;*.pnm", "entry 2, a pattern")
  checkEqual(ppm:getPluginInfo(9), nil, "an entry the library does not have")
  checkEqual(ppm:getPluginInfo("x"), nil, "not a number")
  checkEqual(ppm:getPluginInfo("2"), "PPM example plug-in", "a numeric text is a number")
  local liar = load("test_liar")
  checkEqual(liar:getPluginInfo(1), "00INX", "the version is cut after its fifth byte")
  checkEqual(liar:getPluginInfo(0), "minus one", "0 asks for entry -1")
  checkEqual(liar:getPluginInfo(2), string.rep("a", 256), "a text without terminator ends with the buffer")
  checkEqual(load("test_dibcopy"):getPluginInfo(1), nil, "missing export gives nothing")
end

-- isSupported: no data is true for every plug-in; data reaches the library as a zero-padded block
do
  local ppm = load("ppm")
  checkEqual(ppm:isSupported("a.ppm"), true, "no data")
  checkEqual(load("test_dibcopy"):isSupported("a.ppm"), true, "no data, even without the export")
  checkEqual(ppm:isSupported("a.ppm", app.createStringBuffer(ppmData)), true, "PPM data")
  checkEqual(ppm:isSupported("a.ppm", app.createStringBuffer("GIF89a")), false, "other data")
  local closed = app.createStringBuffer("GIF89a")
  closed:release()
  checkEqual(ppm:isSupported("a.ppm", closed), true, "a closed Buffer counts as no data")
  local liar = load("test_liar")
  checkEqual(liar:isSupported("x", app.createStringBuffer("Y")), true, "the rest of the 2048 bytes is zero")
  checkEqual(liar:isSupported("x", app.createStringBuffer("Y" .. string.rep("\1", 3000))), false,
    "only the first 2048 bytes are passed")
  checkEqual(load("test_dibcopy"):isSupported("x", app.createStringBuffer("Y")), nil,
    "data but no export gives nothing")
end

-- getPictureInfo from memory and from a file
do
  local ppm = load("ppm")
  local t = ppm:getPictureInfo(app.createStringBuffer(ppmData))
  checkEqual(t and t.width, 3, "width")
  checkEqual(t and t.height, 2, "height")
  checkEqual(t and t.colorDepth, 24, "colorDepth")
  checkEqual(t and t.info, "made by hand\nsecond line", "info text from the library")
  checkEqual(t and count(t), 8, "eight fields")
  writeFile(tmp, ppmData)
  local f = ppm:getPictureInfo(tmp)
  checkEqual(f and f.width, 3, "from a file")
  checkEqual(ppm:getPictureInfo(app.createStringBuffer("P6\n0 0\n255\n")), nil, "error code gives nothing")
  checkEqual(ppm:getPictureInfo(tmp .. ".none"), nil, "missing file gives nothing")
  checkError("無効なBufferハンドルです", function() ppm:getPictureInfo({}) end)
  checkError("無効なBufferハンドルです", function() ppm:getPictureInfo() end)
  local closed = app.createStringBuffer(ppmData)
  closed:release()
  checkError("操作対象のBufferが開かれていません", function() ppm:getPictureInfo(closed) end)

  local liar = load("test_liar")
  local ok = liar:getPictureInfo(app.createStringBuffer("ok"))
  checkEqual(ok and (ok.left .. "," .. ok.x_density .. "," .. ok.y_density), "-1,72,96", "record fields")
  checkEqual(ok and ok.info, "", "no info handle gives an empty text")
  checkEqual(liar:getPictureInfo(app.createStringBuffer("code 2")), nil, "error code")
  local stale = liar:getPictureInfo(app.createStringBuffer("stale"))
  checkEqual(stale and stale.info, "", "a stale info handle is not read")
  local noterm = liar:getPictureInfo(app.createStringBuffer("noterm"))
  checkEqual(noterm and noterm.info, "abc", "an info text without terminator ends with its block")
  local global = liar:getPictureInfo(app.createStringBuffer("global"))
  checkEqual(global and global.info, "", "a global handle is not a local one")
end

-- getPicture: a DIB pair that becomes a Surface; progress rules
do
  local ppm = load("ppm")
  local header, bits = ppm:getPicture(app.createStringBuffer(ppmData))
  checkEqual(header and header:size(), 40, "header length capped by its block")
  checkEqual(bits and bits:size(), 24, "bits length is the image size")
  local s = header and app.createSurface(header, bits)
  check(s ~= nil, "the pair becomes a Surface")
  writeFile(tmp, ppmData)
  local h2 = ppm:getPicture(tmp)
  check(h2 ~= nil, "from a file")

  local seen = {}
  ppm:getPicture(app.createStringBuffer(ppmData), function(p) table.insert(seen, p) end)
  checkEqual(table.concat(seen, ","), "0,50,100", "progress in percent")
  local calls = 0
  checkEqual(ppm:getPicture(app.createStringBuffer(ppmData), function() calls = calls + 1 return false end), nil,
    "a progress function returning false aborts")
  checkEqual(calls, 1, "... at its first call")
  local h3 = ppm:getPicture(app.createStringBuffer(ppmData), "not a function")
  check(h3 ~= nil, "a progress value that is no function is ignored")

  -- A progress function that raises: reported, the load stops, later calls are silent
  local raised = 0
  checkEqual(ppm:getPicture(app.createStringBuffer(ppmData), function() raised = raised + 1 error("boom") end), nil,
    "a raising progress function aborts")
  checkEqual(raised, 1, "and is not called again")

  -- The progress function releases the Buffer being decoded: the call goes on safely
  local source = app.createStringBuffer(ppmData)
  local hdr, bts = ppm:getPicture(source, function() source:release() end)
  checkEqual(tostring(source), "Buffer (closed)", "the Buffer reads as closed at once")
  check(hdr ~= nil and bts:size() == 24, "the picture still decodes from the pinned bytes")
  -- ... or unloads the plug-in itself
  local victim = load("ppm")
  local vh = victim:getPicture(app.createStringBuffer(ppmData), function() victim:unload() end)
  check(vh ~= nil, "a plug-in unloaded during its own call finishes the call")
  checkEqual(tostring(victim), "Susie_plugin (closed)", "and is closed afterwards")
  -- ... or collects garbage, or calls the plug-in again
  local inner
  local outer = ppm:getPicture(app.createStringBuffer(ppmData), function(p)
    collectgarbage()
    if p == 0 then inner = ppm:getPicture(app.createStringBuffer(ppmData)) end
  end)
  check(outer ~= nil and inner ~= nil, "nested calls from a progress function")
end

-- getPicture with lying libraries: nothing is read outside a block
do
  local liar = load("test_liar")
  local function pic(mode) return liar:getPicture(app.createStringBuffer(mode)) end
  checkEqual(pic("code 1"), nil, "error code")
  checkEqual(pic("null"), nil, "a null handle")
  checkEqual(pic("stale"), nil, "a stale handle")
  checkEqual(pic("same"), nil, "one block given as both")
  local h, b = pic("short")
  checkEqual(h and h:size(), 6, "a header block too short for its header keeps its own size")
  checkEqual(h and app.createSurface(h, b), nil, "and makes no Surface")
  h, b = pic("bigsize")
  checkEqual(b and b:size(), 24, "an image size beyond the block is capped by the block")
  checkEqual(h and app.createSurface(h, b), nil, "rows the bits do not hold make no Surface")
  h, b = pic("colours")
  checkEqual(h and h:size(), 40, "four billion colours are capped by the block")
  checkEqual(h and app.createSurface(h, b), nil, "a missing colour table makes no Surface")
  h, b = pic("palette")
  checkEqual(h and h:size(), 52, "44 + 4 x colours used, within the block")
  h, b = pic("ok")
  checkEqual(b and b:size(), 24, "the image size, though the block is larger")
  check(h and app.createSurface(h, b) ~= nil, "a sound picture")
  checkEqual(load("test_archive"):getPicture(app.createStringBuffer("x")), nil, "missing export gives nothing")
end

-- Faults: the method returns nothing, the plug-in is not called again, the viewer goes on
do
  local faulty = load("test_faulty")
  checkEqual(faulty:getPluginInfo(1), "00IN", "a working entry")
  checkEqual(faulty:getPicture(app.createStringBuffer("x")), nil, "null pointer write")
  checkEqual(faulty:getPluginInfo(1), nil, "a faulted plug-in is not called again")
  checkEqual(faulty:isSupported("x", app.createStringBuffer("x")), nil, "not even IsSupported")
  checkEqual(faulty:isSupported("x"), true, "no data still needs no call")
  faulty:unload()
  checkEqual(load("test_faulty"):getPictureInfo(app.createStringBuffer("x")), nil, "division by zero")
  checkEqual(load("test_faulty"):getFile(app.createStringBuffer("x"), 0, 1), nil, "stack overflow")
  local t, n, e = load("test_faulty"):getArchiveInfo("x")
  checkEqual(count(t) .. "," .. n .. "," .. tostring(e), "0,0,アーカイブ情報の取得中にエラーが発生しました",
    "a fault in GetArchiveInfo gives the error form")
  local calls = 0
  checkEqual(load("test_faulty"):getPicture("x", function() calls = calls + 1 end), nil, "fault after progress")
  checkEqual(calls, 1, "the progress function ran before the fault")
  collectgarbage()
end

-- getArchiveInfo
do
  local arc = load("test_archive")
  local function list(text) return arc:getArchiveInfo(app.createStringBuffer(text)) end
  local t, n, e = list("none|1|10|20|1000||a.jpg|5\nlz|2|3|4|5|sub/|b.jpg|6\n")
  checkEqual(n, 2, "two records")
  checkEqual(e, nil, "no error text")
  checkEqual(t[1] and t[1].filepath, "\\sub", "the directory first")
  checkEqual(t[1] and t[1].method, "none", "made without entry")
  checkEqual(t[2] and t[2].filepath, "\\a.jpg", "then the file")
  checkEqual(t[1] and t[1].children and t[1].children[1].filepath, "sub\\b.jpg", "child of sub")
  writeFile(tmp, "none|1|10|20|1000||a.jpg|5\n")
  local ft, fn = arc:getArchiveInfo(tmp)
  checkEqual(fn, 1, "from a file")
  checkEqual(ft[1] and ft[1].position, 1, "position")

  t, n = list("lz|2|3|4|5|sub/|b.jpg|6\nst|9|0|0|7|sub/||0\n")
  checkEqual(n, 2, "a directory record is counted")
  checkEqual(t[1] and t[1].method, "st", "and attaches to the node made before")
  t, n = list("")
  checkEqual(count(t) .. "," .. n, "0,0", "an empty list")
  t, n, e = list("!code 2\nnone|1|10|20|1000||a.jpg|5\n")
  checkEqual(n .. "," .. tostring(e), "1,nil", "code 2 still reads the list")
  t, n, e = list("!code 8\nnone|1|10|20|1000||a.jpg|5\n")
  checkEqual(count(t) .. "," .. n .. "," .. tostring(e), "0,0,アーカイブ情報の取得中にエラーが発生しました",
    "another error code")
  t, n, e = list("!nolist\n")
  checkEqual(count(t) .. "," .. n .. "," .. tostring(e), "0,0,nil", "no list")
  t, n, e = list("!stale\nnone|1|10|20|1000||a.jpg|5\n")
  checkEqual(count(t) .. "," .. n .. "," .. tostring(e), "0,0,nil", "a stale list")
  t, n, e = list("!noend\nnone|1|10|20|1000||a.jpg|5\nnone|1|10|20|1000||b.jpg|5\n")
  checkEqual(count(t) .. "," .. n .. "," .. tostring(e), "0,0,アーカイブ情報の取得中にエラーが発生しました",
    "a list without its end record inside the block")
  t, n, e = load("test_liar"):getArchiveInfo(app.createStringBuffer("global"))
  checkEqual(count(t) .. "," .. n, "0,0", "a global handle is no list")
  checkError("不正なプラグインの指定です", function() load("ppm"):getArchiveInfo("x") end)
end

-- getFile: position rules for both sources, lengths, progress
do
  local arc = load("test_archive")
  local data = app.createStringBuffer("0123456789")
  local b = arc:getFile(data, 4, 100)
  checkEqual(b and b:stringData(), "memory:6:456789", "memory source from the position")
  b = arc:getFile(data, 4, 9)
  checkEqual(b and b:size(), 9, "the length is the size argument")
  b = arc:getFile(data, 99, 100)
  checkEqual(b and b:stringData(), "memory:0:", "a position beyond the Buffer passes an empty remainder")
  b = arc:getFile(data, -5, 100)
  checkEqual(b and b:stringData(), "memory:10:0123456789", "a negative position starts at 0")
  b = arc:getFile("a.tar", 17.9, 100)
  checkEqual(b and b:stringData(), "file:a.tar@17", "file source: the position truncated")
  checkEqual(arc:getFile(data, "x", 1), nil, "position not a number")
  checkEqual(arc:getFile(data, 1), nil, "size missing")
  local seen = {}
  b = arc:getFile(data, 0, 100, function(p) table.insert(seen, p) end)
  checkEqual(table.concat(seen, ","), "0,50,100", "progress")
  checkEqual(arc:getFile(data, 0, 100, function(p) if p > 0 then return 1 end end), nil, "abort by progress")

  local liar = load("test_liar")
  checkEqual(liar:getFile(app.createStringBuffer("code 6"), 0, 10), nil, "error code")
  checkEqual(liar:getFile(app.createStringBuffer("stale"), 0, 10), nil, "stale handle")
  b = liar:getFile(app.createStringBuffer("ok"), 0, 1000)
  checkEqual(b and b:size(), 4, "a size larger than the block is capped")
  checkEqual(b and b:stringData(), "data", "content")
  checkEqual(load("ppm"):getFile(data, 0, 1), nil, "missing export gives nothing")
end

-- Buffers from a plug-in outlive it
do
  local ppm = load("ppm")
  local header, bits = ppm:getPicture(app.createStringBuffer(ppmData))
  ppm:unload()
  ppm = nil
  collectgarbage()
  checkEqual(bits and bits:size(), 24, "the bits stay after the plug-in is gone")
  check(app.createSurface(header, bits) ~= nil, "and still make a Surface")
end

os.remove(tmp)
finish()
