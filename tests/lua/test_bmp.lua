-- The BMP codec: files and packed DIBs built byte by byte.
dofile("helper.lua")

local function u16(n) return string.char(math.mod(n, 256), math.floor(n / 256)) end
local function u32(n)
  if n < 0 then n = n + 4294967296 end
  local b = {}
  for i = 1, 4 do b[i] = math.mod(n, 256); n = math.floor(n / 256) end
  return string.char(b[1], b[2], b[3], b[4])
end
local function read32(s, at)
  local a, b, c, d = string.byte(s, at, at + 3)
  return a + b * 256 + c * 65536 + d * 16777216
end
local function info(w, h, bits, compression, imageSize, colours)
  return u32(40) .. u32(w) .. u32(h) .. u16(1) .. u16(bits) .. u32(compression or 0) .. u32(imageSize or 0)
    .. u32(2835) .. u32(2835) .. u32(colours or 0) .. u32(0)
end
local FILE_HEADER = "BM" .. u32(999) .. u32(0) .. u32(1)  -- size and offset are never read

local tmp = os.tmpname()
local function writeFile(path, data)
  local f = assert(io.open(path, "wb"))
  f:write(data)
  f:close()
end

local pixels24 = "\1\2\3\4\5\6\7\8\9\0\0\0" .. "\10\11\12\13\14\15\16\17\18\0\0\0"
local dib24 = info(3, 2, 24, 0, 24) .. pixels24

-- A 24-bit file and the same pixels as a packed DIB
do
  writeFile(tmp, FILE_HEADER .. dib24)
  checkEqual(app.isSupportedBmp(tmp), true, "isSupportedBmp on the file")
  local w, h, bits = app.getPictureInfoBmp(tmp)
  checkEqual(w .. "x" .. h .. "x" .. bits, "3x2x24", "getPictureInfoBmp")
  local header, data = app.loadBmp(tmp)
  checkEqual(header:size(), 40, "header Buffer is 40 bytes")
  checkEqual(data:size(), 24, "bits Buffer is 2 x 12 bytes")
  checkEqual(header:stringData(), info(3, 2, 24, 0, 24), "header as read")
  checkEqual(data:stringData(), pixels24, "rows as read")

  local packed = app.createStringBuffer(dib24)
  checkEqual(app.isSupportedBmp("no such file", packed), true, "the data Buffer is tested, not the name")
  local h2, d2 = app.loadBmp(packed)
  checkEqual(h2:stringData(), header:stringData(), "packed DIB: same header")
  checkEqual(d2:stringData(), data:stringData(), "packed DIB: same bits")

  -- Written back: file header, header, bits
  local fh = app.createBmpFileHeader(header)
  checkEqual(fh:stringData(), "BM" .. u32(78) .. u32(0) .. u32(54), "file header: size 78, offset 54")
  local out = tmp .. ".bmp"
  local f = assert(io.open(out, "wb"))
  fh:ioWrite(f)
  header:ioWrite(f)
  data:ioWrite(f)
  f:close()
  local h3, d3 = app.loadBmp(out)
  checkEqual(d3 and d3:stringData(), pixels24, "a written file reads back")
  os.remove(out)

  -- Pixel values through a surface
  local s = app.createSurface(header, data)
  checkEqual(string.sub(s:buffer():stringData(), 1, 4), "\1\2\3\255", "first pixel of the bottom row")
end

-- Signature test
do
  checkEqual(app.isSupportedBmp(tmp .. ".missing"), false, "missing file")
  local closed = app.createStringBuffer("xx")
  closed:release()
  checkEqual(app.isSupportedBmp(tmp, closed), true, "a closed data Buffer is ignored: the file is read")
  checkEqual(app.isSupportedBmp(tmp, "text"), true, "data that is not a Buffer is ignored")
  checkEqual(app.isSupportedBmp("", app.createStringBuffer(info(1, 1, 2))), false, "bit count 2")
  checkEqual(app.isSupportedBmp("", app.createStringBuffer("BM")), false, "too short")
  checkEqual(app.isSupportedBmp("", app.createStringBuffer(string.sub(info(1, 1, 8), 1, 16))), true,
    "16 bytes hold every field tested")
end

-- Colour tables and bit fields
do
  local _, _, _ = nil
  local h, b = app.loadBmp(app.createStringBuffer(info(3, 2, 8) .. string.rep("\1", 1024) .. string.rep("\7", 8)))
  checkEqual(h:size(), 1064, "8 bits, colours used 0: 1024-byte table")
  h, b = app.loadBmp(app.createStringBuffer(info(3, 2, 8, 0, 0, 16) .. string.rep("\1", 64) .. string.rep("\7", 8)))
  checkEqual(h:size(), 104, "colours used 16: 64-byte table")
  local masks = u32(63488) .. u32(2016) .. u32(31)
  h, b = app.loadBmp(app.createStringBuffer(info(2, 1, 16, 3) .. masks .. "\31\0\224\7"))
  checkEqual(h:size(), 52, "bit fields keep their masks")
  checkEqual(read32(h:stringData(), 17), 3, "compression stays 3")
  checkEqual(string.sub(h:stringData(), 41), masks, "mask bytes")
  local s = app.createSurface(h, b)
  checkEqual(s:buffer():stringData(), "\255\0\0\255\0\255\0\255", "5-6-5 pixels: blue, then green")
end

-- Run-length data
do
  local rle = "\3\17\0\0" .. "\0\3\33\34\35\0" .. "\0\1"
  local h, b = app.loadBmp(app.createStringBuffer(info(3, 2, 8, 1, string.len(rle), 2) .. string.rep("\0", 8) .. rle))
  checkEqual(b and b:stringData(), "\17\17\17\0\33\34\35\0", "RLE8 decoded to rows")
  checkEqual(read32(h:stringData(), 17), 0, "header copy reports compression 0")
  checkEqual(read32(h:stringData(), 21), string.len(rle), "image-size field kept")

  local delta = "\2\5\0\2\1\0\1\5\0\1"
  checkEqual(select("#", app.loadBmp(app.createStringBuffer(info(3, 2, 8, 1, 0, 2) .. string.rep("\0", 8) .. delta))), 0,
    "a delta escape gives nothing")
  local long = "\9\1\0\1"
  checkEqual(select("#", app.loadBmp(app.createStringBuffer(info(3, 2, 8, 1, 0, 2) .. string.rep("\0", 8) .. long))), 0,
    "a run beyond the bits gives nothing")
  checkEqual(select("#", app.loadBmp(app.createStringBuffer(info(3, -2, 8, 1, 0, 2) .. string.rep("\0", 8) .. rle))), 0,
    "top-down run-length data give nothing")
  local rle4 = "\3\171\0\3\205\224\0\1"
  h, b = app.loadBmp(app.createStringBuffer(info(6, 1, 4, 2, 0, 16) .. string.rep("\0", 64) .. rle4))
  checkEqual(b and b:stringData(), "\171\172\222\0", "RLE4 with a run starting in a low half")
end

-- Refused data and argument errors
do
  local top = info(4, -3, 24)
  local w, h, bits = app.getPictureInfoBmp(app.createStringBuffer(top))
  checkEqual(h, -3, "top-down height is negative")
  checkEqual(select("#", app.getPictureInfoBmp(app.createStringBuffer(string.sub(top, 1, 39)))), 0, "39 bytes")
  checkEqual(select("#", app.loadBmp(app.createStringBuffer(string.sub(top, 1, 39)))), 0, "39 bytes: loadBmp")
  checkEqual(select("#", app.loadBmp(app.createStringBuffer(info(3, 2, 24) .. string.rep("\0", 23)))), 0,
    "truncated pixels")
  checkEqual(select("#", app.loadBmp(tmp .. ".missing")), 0, "missing file")
  checkEqual(select("#", app.getPictureInfoBmp(tmp .. ".missing")), 0, "missing file: info")
  checkEqual(select("#", app.createBmpFileHeader(app.createBuffer(10))), 0, "header Buffer without an image-size field")
  checkError("無効なBufferハンドルです", app.loadBmp, {})
  checkError("無効なBufferハンドルです", app.getPictureInfoBmp, nil)
  checkError("無効なBufferハンドルです", app.createBmpFileHeader, "x")
  local closed = app.createBuffer(1)
  closed:release()
  checkError("操作対象のBufferが開かれていません", app.loadBmp, closed)
  checkError("操作対象のBufferが開かれていません", app.createBmpFileHeader, closed)
end

os.remove(tmp)
finish()
