-- Host methods whose argument conversion or allocation runs script code that releases the very
-- object the method works on: a __tostring during a conversion, or a finaliser run by the
-- collector while the method allocates. Each must end in a clear error or a sound result,
-- never in a read or write of freed memory (make asan turns that into a failure).
dofile("helper.lua")

local BUFFER_NOT_OPEN = "ëÄçÏëŒè€ÇÃBufferÇ™äJÇ©ÇÍÇƒÇ¢Ç‹ÇπÇÒ"
local SURFACE_NOT_OPEN = "ëÄçÏëŒè€ÇÃSurfaceÇ™äJÇ©ÇÍÇƒÇ¢Ç‹ÇπÇÒ"
local data = os.getenv("SELVARIN_TEST_DATA")

-- A value whose text conversion releases `object` first.
local function releasingText(object, text)
  return setmetatable({}, {__tostring = function() object:release() return text end})
end

-- Makes the next allocation inside a host call run a whole collection, and with it `f` as the
-- finaliser of an object that became garbage just now.
local function atNextAllocation(f)
  collectgarbage("setpause", 0)
  collectgarbage("setstepmul", 0)
  collectgarbage()
  local p = newproxy(true)
  getmetatable(p).__gc = f
  p = nil
end

local function collectNormally()
  collectgarbage("setpause", 200)
  collectgarbage("setstepmul", 200)
  collectgarbage()
end

local function closed(object) return string.find(tostring(object), "closed", 1, true) ~= nil end

-- Buffer: conversions of the text and path arguments come before the block is used
do
  local b = app.createStringBuffer("abcdef")
  checkError(BUFFER_NOT_OPEN, b.setStringData, b, releasingText(b, "xyz"))
  check(closed(b), "setStringData: the conversion released the Buffer")

  b = app.createStringBuffer("abcdef")
  checkError(BUFFER_NOT_OPEN, b.setStringData, b, 2, releasingText(b, "xyz"))

  local path = os.tmpname()
  os.remove(path)
  b = app.createStringBuffer("abcdef")
  checkError(BUFFER_NOT_OPEN, b.writeToFile, b, releasingText(b, path))
  checkEqual(io.open(path, "rb"), nil, "writeToFile wrote nothing after the release")

  -- An argument that converts without releasing still works.
  b = app.createStringBuffer("abcdef")
  b:setStringData(3, setmetatable({}, {__tostring = function() return "XY" end}))
  checkEqual(b:stringData(), "abXYef", "setStringData through __tostring")
end

-- Buffer: stringData allocates the result while it reads the block
do
  local b = app.createStringBuffer(string.rep("0123456789", 1000))
  atNextAllocation(function() b:release() end)
  local s = b:stringData()
  collectNormally()
  checkEqual(s and string.len(s), 10000, "stringData returns the bytes it read")
  checkEqual(s and string.sub(s, 9991), "0123456789", "stringData bytes are intact")
  check(closed(b), "stringData: the finaliser released the Buffer")
end

-- Surface: the view table and the view object are made before the surface is used
do
  local s = app.createSurface(16, 16)
  atNextAllocation(function() s:release() end)
  local ok, err = pcall(s.buffer, s)
  collectNormally()
  check(not ok and string.find(err, SURFACE_NOT_OPEN, 1, true), "Surface:buffer after a release during allocation")
  check(closed(s), "buffer: the finaliser released the Surface")
end

-- createSurface from a DIB pair: the new object exists before the pair is locked
do
  local header, bits = app.loadJpeg(data .. "/colour_3x2.jpg")
  atNextAllocation(function() header:release() end)
  local ok, err = pcall(app.createSurface, header, bits)
  collectNormally()
  check(not ok and string.find(err, BUFFER_NOT_OPEN, 1, true), "createSurface after the header was released")

  header, bits = app.loadJpeg(data .. "/colour_3x2.jpg")
  atNextAllocation(function() bits:release() end)
  ok, err = pcall(app.createSurface, header, bits)
  collectNormally()
  check(not ok and string.find(err, BUFFER_NOT_OPEN, 1, true), "createSurface after the bits were released")
end

-- createBmpFileHeader: the result object exists before the header is read
do
  local header = app.loadJpeg(data .. "/colour_3x2.jpg")
  atNextAllocation(function() header:release() end)
  local ok, err = pcall(app.createBmpFileHeader, header)
  collectNormally()
  check(not ok and string.find(err, BUFFER_NOT_OPEN, 1, true), "createBmpFileHeader after a release")
end

-- The decoders let go of the source before they make the result objects
do
  local f = io.open(data .. "/colour_3x2.jpg", "rb")
  local jpeg = app.createStringBuffer(f:read("*a"))
  f:close()
  atNextAllocation(function() jpeg:release() end)
  local h, p = app.loadJpeg(jpeg)
  collectNormally()
  check(h ~= nil and p ~= nil, "loadJpeg returns the picture")
  check(closed(jpeg), "loadJpeg: the finaliser released the source")
  checkEqual(h and h:size(), 40, "loadJpeg header")

  local fileHeader = app.createBmpFileHeader(h)
  local bmp = app.createBuffer(fileHeader:size() + h:size() + p:size())
  bmp:setStringData(fileHeader:stringData() .. h:stringData() .. p:stringData())
  atNextAllocation(function() bmp:release() end)
  local h2, p2 = app.loadBmp(bmp)
  collectNormally()
  check(h2 ~= nil and p2 ~= nil, "loadBmp returns the picture")
  check(closed(bmp), "loadBmp: the finaliser released the source")
  checkEqual(p2 and p2:stringData(), p:stringData(), "loadBmp pixels")
end

finish()
