-- The JPEG codec, on files that libjpeg's encoder made (tests/data/*.jpg, written by
-- make_jpeg_fixtures).
dofile("helper.lua")

local data = os.getenv("SELVARIN_TEST_DATA")
local function path(name) return data .. "/" .. name end
local function read32(s, at)
  local a, b, c, d = string.byte(s, at, at + 3)
  return a + b * 256 + c * 65536 + d * 16777216
end
local function near(s, at, expected, tolerance)
  for i = 1, table.getn(expected) do
    if math.abs(string.byte(s, at + i - 1) - expected[i]) > tolerance then return false end
  end
  return true
end

-- Colour: 3 x 2, top row red, bottom row blue
do
  local file = path("colour_3x2.jpg")
  checkEqual(app.isSupportedJpeg(file), true, "isSupportedJpeg")
  local w, h, bits = app.getPictureInfoJpeg(file)
  checkEqual(w .. "x" .. h .. "x" .. bits, "3x2x24", "getPictureInfoJpeg")
  local header, pixels = app.loadJpeg(file)
  checkEqual(header:size(), 40, "40-byte header")
  local hd = header:stringData()
  checkEqual(read32(hd, 1), 40, "header size")
  checkEqual(string.byte(hd, 15), 24, "bit count")
  checkEqual(read32(hd, 21), 24, "image size 2 x 12")
  checkEqual(pixels:size(), 24, "bits Buffer")
  local px = pixels:stringData()
  check(near(px, 13, {0, 0, 255}, 40), "the last row is the top row: red, stored blue-green-red")
  check(near(px, 1, {255, 0, 0}, 40), "the first row is the bottom row: blue")

  local s = app.createSurface(header, pixels)
  local fb = s:buffer():stringData()
  check(near(fb, 1, {255, 0, 0, 255}, 40), "surface bottom row blue")
  check(near(fb, 13, {0, 0, 255, 255}, 40), "surface top row red")

  local buffer = app.createFileBuffer(file)
  local h2, p2 = app.loadJpeg(buffer)
  checkEqual(p2:stringData(), px, "a Buffer decodes as the file does")
  local w3, h3, b3 = app.getPictureInfoJpeg("ignored name", buffer)
  checkEqual(w3, 3, "info from the data Buffer")

  -- Truncated: the tail of the scan is missing
  local cut = app.createStringBuffer(buffer:stringData(1, buffer:size() - 12))
  local h4, p4 = app.loadJpeg(cut)
  checkEqual(p4 and p4:size(), 24, "truncated data still decode")
end

-- Grey: 5 x 3, stride 8
do
  local header, pixels = app.loadJpeg(path("grey_5x3.jpg"))
  checkEqual(header:size(), 1064, "header with the grey table")
  local hd = header:stringData()
  checkEqual(string.byte(hd, 15), 8, "8 bits")
  checkEqual(read32(hd, 33), 256, "colours used")
  checkEqual(string.sub(hd, 41, 48), "\0\0\0\0\1\1\1\0", "first entries of the ramp")
  checkEqual(string.sub(hd, 1061, 1064), "\255\255\255\0", "last entry")
  checkEqual(pixels:size(), 24, "rows padded to 8 bytes")
  local px = pixels:stringData()
  check(near(px, 1, {200, 200, 200, 200, 200}, 2), "grey level")
  checkEqual(string.sub(px, 6, 8), "\0\0\0", "padding")
  local _, _, bits = app.getPictureInfoJpeg(path("grey_5x3.jpg"))
  checkEqual(bits, 8, "getPictureInfoJpeg reports 8 bits")
  local s = app.createSurface(header, pixels)
  check(near(s:buffer():stringData(), 1, {200, 200, 200, 255}, 2), "grey surface pixel")
end

-- Four components become colour
do
  local header, pixels = app.loadJpeg(path("cmyk_9x7.jpg"))
  checkEqual(string.byte(header:stringData(), 15), 24, "CMYK decodes to 24 bits")
  checkEqual(pixels:size(), 28 * 7, "rows of 9 pixels, padded")
  check(near(pixels:stringData(), 1, {0, 0, 255}, 8), "red")
end

-- Bad data
do
  local garbage = app.createStringBuffer("\255\216garbage that is no JPEG at all")
  checkEqual(app.isSupportedJpeg("", garbage), true, "the marker alone passes the signature test")
  checkEqual(select("#", app.loadJpeg(garbage)), 0, "garbage gives nothing")
  checkEqual(select("#", app.getPictureInfoJpeg("", garbage)), 0, "garbage gives no info")
  checkEqual(app.isSupportedJpeg("", app.createStringBuffer("\255")), false, "one byte is not supported")
  checkEqual(select("#", app.loadJpeg(app.createStringBuffer("\255"))), 0, "one byte decodes to nothing")
  checkEqual(select("#", app.loadJpeg(app.createBuffer(0))), 0, "empty data")
  checkEqual(app.isSupportedJpeg(path("missing.jpg")), false, "missing file")
  checkEqual(app.getPictureInfoJpeg(path("missing.jpg")), false, "missing file: info is false")
  checkEqual(select("#", app.loadJpeg(path("missing.jpg"))), 0, "missing file: nothing")
  checkError("ñ≥å¯Ç»BufferÉnÉìÉhÉãÇ≈Ç∑", app.loadJpeg, {})
  local closed = app.createBuffer(1)
  closed:release()
  checkError("ëÄçÏëŒè€ÇÃBufferÇ™äJÇ©ÇÍÇƒÇ¢Ç‹ÇπÇÒ", app.loadJpeg, closed)
end

finish()
