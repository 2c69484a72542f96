-- The Buffer class and its constructors in app.
dofile("helper.lua")

local NOT_OPEN = "操作対象のBufferが開かれていません"
local INVALID = "無効なBufferハンドルです"

local function writeFile(path, data)
  local f = assert(io.open(path, "wb"))
  f:write(data)
  f:close()
end

local tmp = os.tmpname()

-- Sizes and zero bytes
do
  local b = app.createBuffer(0)
  checkEqual(b:size(), 0, "createBuffer(0) has size 0")
  checkEqual(select("#", b:stringData()), 0, "empty buffer: stringData returns nothing")
  checkEqual(b:writeToFile(tmp), true, "empty buffer writes a file")
  checkEqual(readFile(tmp), "", "the file is empty")

  checkEqual(app.createBuffer(2.9):size(), 2, "size is truncated")
  checkEqual(select("#", app.createBuffer("x")), 0, "createBuffer without a number gives nothing")
  checkEqual(select("#", app.createBuffer(-1)), 0, "createBuffer with a negative size gives nothing")
  checkEqual(select("#", app.createBuffer(2^40)), 0, "createBuffer beyond 32 bits gives nothing")

  local z = app.createStringBuffer("a\0b\0\0c")
  checkEqual(z:size(), 6, "string buffer keeps zero bytes")
  checkEqual(z:stringData(), "a\0b\0\0c", "stringData returns the zero bytes")
  checkEqual(app.createStringBuffer(12):stringData(), "12", "number text")
  checkEqual(app.createStringBuffer(nil):stringData(), "nil", "nil gives the text nil")
  checkEqual(app.createStringBuffer():stringData(), "nil", "no argument gives the text nil too")
end

-- stringData bounds
do
  local b = app.createStringBuffer("0123456789")
  checkEqual(b:stringData(0), "0123456789", "start 0 reads from the first byte")
  checkEqual(b:stringData(-5, 3), "012", "negative start reads from the first byte")
  checkEqual(b:stringData(100), "9", "start beyond the end reads the last byte")
  checkEqual(b:stringData(8, 100), "789", "length beyond the end stops at the end")
  checkEqual(b:stringData(3, 2), "23", "start and length")
  checkEqual(b:stringData("3", "2"), "23", "numeric texts count as numbers")
  checkEqual(select("#", b:stringData(1, 0)), 0, "length 0 gives nothing")
  checkEqual(select("#", b:stringData(1, -4)), 0, "negative length gives nothing")
  checkEqual(b:stringData(0/0, 2), "01", "NaN start reads from the first byte")
  checkEqual(select("#", b:stringData(1, 0/0)), 0, "NaN length gives nothing")
end

-- setStringData never grows the block
do
  local b = app.createStringBuffer("..........")
  b:setStringData("ab")
  checkEqual(b:stringData(), "ab........", "text at the start")
  b:setStringData(5, "XYZ")
  checkEqual(b:stringData(), "ab..XYZ...", "text at a position")
  b:setStringData(9, "12345")
  checkEqual(b:stringData(), "ab..XYZ.12", "only what fits is written")
  checkEqual(b:size(), 10, "size unchanged")
  b:setStringData(-3, "\0\0")
  checkEqual(b:stringData(1, 3), "\0\0.", "zero bytes written, negative start clamps to the first byte")
  b:setStringData(100, "Q")
  checkEqual(b:stringData(10), "Q", "start beyond the end writes the last byte")
  local e = app.createBuffer(0)
  e:setStringData("abc")
  checkEqual(e:size(), 0, "an empty block takes nothing")
end

-- resize keeps the first bytes
do
  local b = app.createStringBuffer("abcdef")
  checkEqual(b:resize(3), true, "shrink")
  checkEqual(b:stringData(), "abc", "first bytes kept")
  checkEqual(b:resize(8), true, "grow")
  checkEqual(b:size(), 8, "new size")
  checkEqual(b:stringData(1, 3), "abc", "content kept on growth")
  checkEqual(b:resize("abc"), false, "text size refused")
  checkEqual(b:size(), 8, "nothing changed")
  checkEqual(b:resize(-1), false, "negative size refused")
  checkEqual(b:resize(2^33), false, "size beyond 32 bits refused")
  checkEqual(b:size(), 8, "still nothing changed")
  checkEqual(b:resize(0), true, "resize to 0")
  checkEqual(b:size(), 0, "size 0")
end

-- Files
do
  local data = {}
  for i = 0, 99 do table.insert(data, string.char(i)) end
  data = table.concat(data)
  writeFile(tmp, data)
  local whole = app.createFileBuffer(tmp)
  checkEqual(whole:size(), 100, "whole file")
  checkEqual(whole:stringData(), data, "file bytes")
  checkEqual(app.createFileBuffer(tmp, 10):stringData(), string.sub(data, 1, 10), "maximum 10")
  checkEqual(app.createFileBuffer(tmp, 0):size(), 100, "maximum 0 reads the whole file")
  checkEqual(app.createFileBuffer(tmp, 1000):size(), 100, "maximum beyond the size")
  checkEqual(app.createFileBuffer(tmp, -1):size(), 100, "maximum -1 reads as a large unsigned word")
  checkEqual(app.createFileBuffer(tmp, "x"):size(), 100, "maximum that is not a number")
  checkEqual(select("#", app.createFileBuffer(tmp .. ".missing")), 0, "missing file gives nothing")
  checkEqual(select("#", app.createFileBuffer(os.getenv("SELVARIN_TEST_DATA"))), 0, "a folder gives nothing")

  -- Backslash paths reach the same file
  local back = string.gsub(tmp, "/", "\\")
  checkEqual(app.createFileBuffer(back):size(), 100, "backslash path")

  local out = tmp .. ".out"
  local b = app.createStringBuffer("new\0content")
  checkEqual(b:writeToFile(out), true, "writeToFile")
  checkEqual(readFile(out), "new\0content", "written bytes")
  checkEqual(app.createStringBuffer("x"):writeToFile(out), true, "replace")
  checkEqual(readFile(out), "x", "replaced, not appended")

  -- A failed write leaves the old file untouched
  checkEqual(b:writeToFile(tmp .. ".nofolder/sub/file"), false, "write into a missing folder fails")
  checkEqual(b:writeToFile(os.getenv("SELVARIN_TEST_DATA")), false, "a folder cannot be replaced")
  checkEqual(readFile(out), "x", "old file untouched")
  os.remove(out)
end

-- ioWrite
do
  local path = tmp .. ".io"
  local f = assert(io.open(path, "wb"))
  f:write("<")
  checkEqual(app.createStringBuffer("a\0b"):ioWrite(f), true, "ioWrite returns true")
  f:write(">")
  f:close()
  checkEqual(readFile(path), "<a\0b>", "bytes written in stream order")
  -- A stream that refuses the bytes makes ioWrite report false.
  local r = assert(io.open(path, "rb"))
  checkEqual(app.createStringBuffer("abc"):ioWrite(r), false, "ioWrite to a read-only stream fails")
  checkEqual(app.createBuffer(0):ioWrite(r), true, "nothing to write is no failure")
  r:close()
  checkError("操作対象のファイルが開かれていません", function() app.createStringBuffer("x"):ioWrite(f) end)
  checkError("無効なファイルです", function() app.createStringBuffer("x"):ioWrite("file") end)
  checkError("無効なファイルです", function() app.createStringBuffer("x"):ioWrite(app.createBuffer(1)) end)
  checkError("無効なファイルです", function() app.createStringBuffer("x"):ioWrite() end)
  os.remove(path)
end

-- Closed objects and wrong objects
do
  local b = app.createStringBuffer("abc")
  check(string.find(tostring(b), "^Buffer %(%x%x%x%x%x%x%x%x+%)$") ~= nil, "tostring of an open Buffer: " .. tostring(b))
  b:release()
  checkEqual(tostring(b), "Buffer (closed)", "tostring after release")
  checkError(NOT_OPEN, b.size, b)
  checkError(NOT_OPEN, function() b:size() end)
  checkError(NOT_OPEN, function() b:stringData() end)
  checkError(NOT_OPEN, function() b:setStringData("x") end)
  checkError(NOT_OPEN, function() b:resize(1) end)
  checkError(NOT_OPEN, function() b:writeToFile(tmp) end)
  checkError(NOT_OPEN, function() b:ioWrite(io.stdout) end)
  check(pcall(b.release, b), "second release raises nothing")
  local mt = getmetatable(b)
  check(pcall(mt.__gc, b), "__gc after release raises nothing")
  checkEqual(tostring(b), "Buffer (closed)", "and the Buffer stays closed")

  checkError("`size( #1 )' は引数の指定が間違っています (" .. INVALID .. ")", function() b.size({}) end)
  checkError(INVALID, function() local s = b.size; s(io.stdout) end)
  -- (the method text is matched from its particle on: its second character ends in a backslash byte)
  checkError("に渡された self が間違っています (" .. INVALID .. ")", function() local t = {size = b.size}; t:size() end)
  checkError(INVALID, function() mt.release(1) end)
  checkEqual(mt.__index, mt, "the metatable is its own __index")
end

-- Collection releases buffers
do
  local alive = setmetatable({}, {__mode = "k"})
  for i = 1, 200 do alive[app.createBuffer(100000)] = true end
  collectgarbage()
  local open = 0
  for b in pairs(alive) do if tostring(b) ~= "Buffer (closed)" then open = open + 1 end end
  checkEqual(open, 0, "garbage collection releases every unreferenced buffer")
end

os.remove(tmp)
finish()
