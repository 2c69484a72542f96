-- The Surface class, its FrameBuffer view and app.createSurface.
dofile("helper.lua")

local SURFACE_NOT_OPEN = "操作対象のSurfaceが開かれていません"
local INVALID_SURFACE = "無効なSurfaceハンドルです"
local BUFFER_NOT_OPEN = "操作対象のBufferが開かれていません"
local INVALID_BUFFER = "無効なBufferハンドルです"

local function u16(n) return string.char(math.mod(n, 256), math.floor(n / 256)) end
local function u32(n)
  if n < 0 then n = n + 4294967296 end
  local b = {}
  for i = 1, 4 do b[i] = math.mod(n, 256); n = math.floor(n / 256) end
  return string.char(b[1], b[2], b[3], b[4])
end
local function info(w, h, bits, compression, imageSize, colours)
  return u32(40) .. u32(w) .. u32(h) .. u16(1) .. u16(bits) .. u32(compression or 0) .. u32(imageSize or 0)
    .. u32(0) .. u32(0) .. u32(colours or 0) .. u32(0)
end

-- Sizes and pitch signs
do
  local s = app.createSurface(640, 480)
  checkEqual(s:width(), 640, "width")
  checkEqual(s:height(), 480, "height")
  checkEqual(s:pitch(), -2560, "bottom-up pitch")
  checkEqual(s:bpp(), 32, "always 32 bits")
  checkEqual(s:buffer():size(), 480 * 2560, "buffer size is height times pitch")
  local t = app.createSurface(640, -480)
  checkEqual(t:height(), 480, "height of a top-down surface is positive")
  checkEqual(t:pitch(), 2560, "top-down pitch")
  local u = app.createSurface(2.9, 3.9)
  checkEqual(u:width(), 2, "width truncated")
  checkEqual(u:height(), 3, "height truncated")
  local v = app.createSurface("5", "7")
  checkEqual(v:width() * v:height(), 35, "numeric texts")
  checkEqual(select("#", app.createSurface(0, 5)), 0, "width 0 gives nothing")
  checkEqual(select("#", app.createSurface(5, 0)), 0, "height 0 gives nothing")
  checkEqual(select("#", app.createSurface(-5, 5)), 0, "negative width gives nothing")
  checkEqual(select("#", app.createSurface(100000, 100000)), 0, "too large gives nothing")
  checkEqual(select("#", app.createSurface(2^40, 1)), 0, "beyond 32 bits gives nothing")
  check(string.find(tostring(s), "^Surface %(.+%)$") ~= nil and tostring(s) ~= "Surface (closed)", "tostring")
  checkEqual(getmetatable(s).__index, getmetatable(s), "the metatable is its own __index")
end

-- Pixels through the FrameBuffer: written, read back, new surfaces start at zero
do
  local s = app.createSurface(2, 2)
  local b = s:buffer()
  checkEqual(b:stringData(), string.rep("\0", 16), "pixels start at zero")
  b:setStringData(5, "\1\2\3\4")
  checkEqual(s:buffer():stringData(5, 4), "\1\2\3\4", "bytes written through one call are read through another")
  checkEqual(s:buffer(), b, "every call returns the same Buffer object")
  checkEqual(b:resize(4), false, "a FrameBuffer does not resize")
  checkEqual(b:size(), 16, "size unchanged")
  local path = os.tmpname()
  checkEqual(b:writeToFile(path), true, "a FrameBuffer writes to a file")
  local f = io.open(path, "rb")
  checkEqual(f:read("*a"), b:stringData(), "file holds the pixels")
  f:close()
  os.remove(path)
end

-- Releasing the surface first: the view stays an object, invalid
do
  local s = app.createSurface(4, 4)
  local b = s:buffer()
  s:release()
  checkEqual(tostring(s), "Surface (closed)", "tostring after release")
  checkError(SURFACE_NOT_OPEN, function() return s:width() end)
  checkError(SURFACE_NOT_OPEN, function() return s:buffer() end)
  checkEqual(b:size(), 0, "the view reports size 0")
  checkEqual(select("#", b:stringData()), 0, "the view reads nothing")
  b:setStringData("xyz")
  checkEqual(b:writeToFile(os.tmpname() .. ".never"), false, "an invalid view writes nothing")
  check(pcall(s.release, s), "second release raises nothing")
  b:release()
  checkEqual(tostring(b), "Buffer (closed)", "releasing the view afterwards is harmless")
  collectgarbage()
end

-- Releasing the view first: the surface stays intact and makes a new view
do
  local s = app.createSurface(3, 3)
  local b = s:buffer()
  b:setStringData("\9")
  b:release()
  checkEqual(s:width(), 3, "surface intact")
  local c = s:buffer()
  check(c ~= b, "a new view after the old one was released")
  checkEqual(c:size(), 36, "the new view is valid")
  checkEqual(c:stringData(1, 1), "\9", "pixels kept")
  -- A view whose object was collected is replaced as well.
  c = nil
  collectgarbage()
  checkEqual(s:buffer():size(), 36, "view after collection")
  local alive = setmetatable({}, {__mode = "k"})
  alive[s] = true
  alive[s:buffer()] = true
  s = nil
  collectgarbage()
  local open = 0
  for o in pairs(alive) do if not string.find(tostring(o), "(closed)", 1, true) then open = open + 1 end end
  checkEqual(open, 0, "collection of surface and view in one cycle releases both")
end

-- Collection in either order leaves no dangling link
do
  local keep = {}
  for i = 1, 50 do
    local s = app.createSurface(8, 8)
    local b = s:buffer()
    if math.mod(i, 2) == 0 then keep[i] = b else keep[i] = s end
  end
  collectgarbage()
  for i, o in pairs(keep) do
    if math.mod(i, 2) == 0 then
      checkEqual(o:size(), 0, "view of a collected surface is invalid")
    end
  end
  keep = nil
  collectgarbage()
end

-- From a DIB pair
do
  -- 24-bit, 3 x 2, bottom row first
  local pixels = "\1\2\3\4\5\6\7\8\9\0\0\0" .. "\10\11\12\13\14\15\16\17\18\0\0\0"
  local header = app.createStringBuffer(info(3, 2, 24))
  local bits = app.createStringBuffer(pixels)
  local s = app.createSurface(header, bits)
  checkEqual(s:width(), 3, "width from the header")
  checkEqual(s:height(), 2, "height from the header")
  checkEqual(s:pitch(), -12, "positive height gives a bottom-up surface")
  checkEqual(s:buffer():stringData(), "\1\2\3\255\4\5\6\255\7\8\9\255\10\11\12\255\13\14\15\255\16\17\18\255",
    "pixels converted to blue, green, red, alpha in memory order")
  checkEqual(header:size(), 40, "header Buffer untouched")

  -- 8-bit with a two-colour table, top-down
  local pal = app.createStringBuffer(info(2, -1, 8, 0, 0, 2) .. "\10\20\30\0" .. "\40\50\60\0")
  local t = app.createSurface(pal, app.createStringBuffer("\1\0\0\0"))
  checkEqual(t:pitch(), 8, "negative height gives a top-down surface")
  checkEqual(t:buffer():stringData(), "\40\50\60\255\10\20\30\255", "colour table applied")

  -- Bits from another surface's FrameBuffer
  local u = app.createSurface(app.createStringBuffer(info(3, 2, 32)), s:buffer())
  checkEqual(u:buffer():stringData(), s:buffer():stringData(), "any Buffer kind serves as bits")

  checkEqual(select("#", app.createSurface(header, app.createStringBuffer(string.sub(pixels, 1, 23)))), 0,
    "bits Buffer too short gives nothing")
  checkEqual(select("#", app.createSurface(app.createStringBuffer(string.sub(info(3, 2, 24), 1, 39)), bits)), 0,
    "header Buffer too short gives nothing")
  checkEqual(select("#", app.createSurface(app.createStringBuffer(info(2, 1, 8, 0, 0, 2)), bits)), 0,
    "colour table missing gives nothing")
  checkEqual(select("#", app.createSurface(app.createStringBuffer(info(3, 2, 8, 1)), bits)), 0,
    "compressed data give nothing")
  checkEqual(select("#", app.createSurface(app.createBuffer(0), bits)), 0, "empty header gives nothing")
end

-- Argument errors
do
  local b = app.createBuffer(4)
  checkError(INVALID_BUFFER, app.createSurface, {}, b)
  checkError(INVALID_BUFFER, app.createSurface, b, "x")
  checkError(INVALID_BUFFER, app.createSurface, 5)
  local closed = app.createBuffer(4)
  closed:release()
  checkError(BUFFER_NOT_OPEN, app.createSurface, closed, b)
  checkError(BUFFER_NOT_OPEN, app.createSurface, b, closed)
  local s = app.createSurface(1, 1)
  checkError(INVALID_SURFACE, function() return s.width(b) end)
  checkError(INVALID_SURFACE, function() return s.width() end)
  checkError(INVALID_SURFACE, function() local w = s.width; return w(io.stdout) end)
  checkError(INVALID_BUFFER, function() return b.size(s) end)
end

-- A 32-bit picture's bits become the surface without a copy; each side still keeps its own bytes
do
  local pixels = "\1\2\3\4\5\6\7\8\9\10\11\12\13\14\15\16\17\18\19\20\21\22\23\24"
  local function make(h)
    local header = app.createBuffer(40)
    header:setStringData(1, info(3, h, 32))
    local bits = app.createBuffer(24)
    bits:setStringData(1, pixels)
    return header, bits
  end
  for _, h in ipairs({2, -2}) do
    local header, bits = make(h)
    local s = app.createSurface(header, bits)
    checkEqual(s:buffer():stringData(), pixels, "every byte as given, alpha too (" .. h .. ")")
    bits:setStringData(1, "\99")
    checkEqual(s:buffer():stringData(1, 1), "\1", "writing the bits afterwards leaves the surface alone")
    checkEqual(bits:stringData(1, 2), "\99\2", "the bits keep what was written")
    s:buffer():setStringData(2, "\77")
    checkEqual(bits:stringData(2, 1), "\2", "writing the surface leaves the bits alone")
  end
  local header, bits = make(2)
  local s = app.createSurface(header, bits)
  s:buffer():setStringData(1, "\88")
  checkEqual(bits:stringData(), pixels, "the surface written first: the bits are unchanged")
  bits:release()
  checkEqual(s:buffer():stringData(1, 2), "\88\2", "released bits leave the surface its pixels")
  header, bits = make(2)
  s = app.createSurface(header, bits)
  bits:release()
  checkEqual(s:buffer():stringData(), pixels, "bits released before any write")
  s:release()
  header, bits = make(2)
  s = app.createSurface(header, bits)
  s:release()
  checkEqual(bits:stringData(), pixels, "a released surface gives the bits back whole")
  checkEqual(bits:resize(30), true, "and they can be resized again")
  local t = app.createSurface(header, bits)
  local u = app.createSurface(header, bits)
  t:buffer():setStringData(1, "\55")
  checkEqual(u:buffer():stringData(1, 1), "\1", "two surfaces over one Buffer are two pictures")
  checkEqual(bits:stringData(1, 1), "\1", "and the Buffer a third")
end

finish()
