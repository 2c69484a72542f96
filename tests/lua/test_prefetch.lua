-- app.prefetch: what the decoders return after a prefetch is what they return without one,
-- whether the file stayed, changed or went away in between.
dofile("helper.lua")

local data = os.getenv("SELVARIN_TEST_DATA")
local function path(name) return data .. "/decoders/" .. name end

local function copyFile(from, to)
  local buffer = app.createFileBuffer(from)
  check(buffer ~= nil and buffer:writeToFile(to), "copied " .. from)
  if buffer then buffer:release() end
end

-- The worker gets time to finish, so that the prepared results are the ones used; a sleeping
-- child leaves it the processor.
local function pause()
  os.execute("sleep 0.05")
end

-- Header and bits of a decode as texts; nil when the decoder refused.
local function decoded(load, source)
  local header, bits = load(source)
  if header == nil then return nil end
  local h, b = header:stringData(), bits:stringData()
  check(tostring(header) ~= tostring(bits), "two Buffers")
  header:release()
  bits:release()
  return h .. "|" .. b
end

local function fromFile(load, file)
  local buffer = app.createFileBuffer(file)
  local result = decoded(load, buffer)
  buffer:release()
  return result
end

-- Arguments: paths and Buffers; nil and false mean nothing.
do
  app.prefetch()
  app.prefetch(nil, false, 12)
  checkError("無効なBufferハンドルです", app.prefetch, path("colour444.jpg"), {})
  checkError("無効なBufferハンドルです", app.prefetch, true)
  local closed = app.createStringBuffer("x")
  closed:release()
  checkError("操作対象のBufferが開かれていません", app.prefetch, closed)
end

-- Every host format, from a file and through a file Buffer, as without a prefetch.
do
  local cases = {
    { "colour420.jpg", app.loadJpeg }, { "grey.jpg", app.loadJpeg }, { "cmyk.jpg", app.loadJpeg },
    { "progressive.jpg", app.loadJpeg }, { "rgb24.bmp", app.loadBmp }, { "rle8.bmp", app.loadBmp },
    { "pal4.bmp", app.loadBmp }, { "bitfields32.bmp", app.loadBmp },
  }
  for i = 1, table.getn(cases) do
    local name, load = cases[i][1], cases[i][2]
    app.prefetch()
    local expected = fromFile(load, path(name))
    check(expected ~= nil, name .. " decodes")
    app.prefetch(path(name))
    pause()
    checkEqual(fromFile(load, path(name)), expected, name .. " prepared through a Buffer")
    app.prefetch(path(name))
    pause()
    checkEqual(decoded(load, path(name)), expected, name .. " prepared from its name")
    -- Asked for at once: waited for or decoded again, the same either way.
    app.prefetch(path(name))
    checkEqual(decoded(load, path(name)), expected, name .. " asked for at once")
  end
  -- A picture prepared for one decoder is not what the other returns.
  app.prefetch(path("colour420.jpg"))
  pause()
  checkEqual(app.loadBmp(path("colour420.jpg")), nil, "a JPEG is no BMP")
end

-- Bytes in memory (a picture inside an archive).
do
  local buffer = app.createFileBuffer(path("colour444.jpg"))
  local expected = decoded(app.loadJpeg, buffer)
  app.prefetch(buffer)
  pause()
  checkEqual(decoded(app.loadJpeg, buffer), expected, "a Buffer's bytes are prepared")
  buffer:setStringData(200, "garbage")
  app.prefetch(buffer)
  local changed = app.createFileBuffer(path("colour444.jpg"))
  changed:setStringData(200, "garbage")
  local direct = decoded(app.loadJpeg, changed)
  checkEqual(decoded(app.loadJpeg, buffer), direct, "changed bytes are decoded as they are now")
  buffer:release()
  changed:release()
end

-- A file changed or deleted after its prefetch.
do
  local tmp = os.tmpname()
  copyFile(path("colour420.jpg"), tmp)
  app.prefetch(tmp)
  pause()
  copyFile(path("grey.jpg"), tmp)
  checkEqual(decoded(app.loadJpeg, tmp), fromFile(app.loadJpeg, path("grey.jpg")), "the new content is shown")
  copyFile(path("colour420.jpg"), tmp)
  app.prefetch(tmp)
  pause()
  os.remove(tmp)
  checkEqual(app.loadJpeg(tmp), nil, "a deleted file is not shown from the cache")
  checkEqual(app.createFileBuffer(tmp), nil, "nor read")
  -- Corrupt data cost nothing until shown, then fail as always.
  local bad = app.createStringBuffer("\255\216 not a picture")
  app.prefetch(bad)
  pause()
  checkEqual(app.loadJpeg(bad), nil, "a corrupt picture fails when shown")
  bad:release()
  app.prefetch()
end

finish()
