-- The bundled picture plug-ins through the script interface: every picture written by the
-- fixtures (plugins.fixtures) decodes into a Surface holding what the format's library decodes.
dofile("helper.lua")

local plugins = os.getenv("SELVARIN_BUNDLED_PLUGINS")
local pictures = os.getenv("SELVARIN_PLUGIN_FIXTURES")

local function readAll(path)
  local f = io.open(path, "rb")
  if not f then return nil end
  local data = f:read("*a")
  f:close()
  return data
end

-- nil when a and b agree within tol in every byte, else where they first differ.
local function difference(a, b, tol)
  if a == b then return nil end
  if type(a) ~= "string" or type(b) ~= "string" then return "no pixels" end
  if string.len(a) ~= string.len(b) then return "sizes " .. string.len(a) .. " and " .. string.len(b) end
  for i = 1, string.len(a) do
    local x, y = string.byte(a, i), string.byte(b, i)
    if math.abs(x - y) > tol then
      local p = math.floor((i - 1) / 4)
      return "pixel " .. p .. " channel " .. math.mod(i - 1, 4) .. ": " .. x .. " against " .. y
    end
  end
  return nil
end

local function pixels(header, bits)
  local s = header and app.createSurface(header, bits)
  if not s then return nil end
  local data = s:buffer():stringData()
  local w, h = s:width(), s:height()
  s:release()
  return data, w, h
end

local loaded = {}
local function plugin(name)
  if not loaded[name] then loaded[name] = app.loadSusiePlugin(plugins .. "\\" .. name .. ".spi") end
  return loaded[name]
end

local index = readAll(pictures .. "\\pictures.txt")
check(index ~= nil and index ~= "", "the fixtures' index is there")
local seen = {}
for name, case, width, height, tol in string.gfind(index or "", "(%S+) (%S+) (%d+) (%d+) (%d+)\n") do
  local label = name .. " " .. case
  local spi = plugin(name)
  check(spi ~= nil, label .. ": the plug-in loads")
  if spi then
    seen[name] = true
    local path = pictures .. "\\" .. name .. "-" .. case .. ".pic"
    local data = readAll(path)
    local reference = readAll(pictures .. "\\" .. name .. "-" .. case .. ".bgra")
    checkEqual(spi:isSupported(path, app.createStringBuffer(data)), true, label .. ": recognised by its bytes")
    local info = spi:getPictureInfo(app.createStringBuffer(data))
    checkEqual(info and info.width, tonumber(width), label .. ": width")
    checkEqual(info and info.height, tonumber(height), label .. ": height")
    check(info and type(info.info) == "string" and info.info ~= "", label .. ": an info text")

    local fromFile, w, h = pixels(spi:getPicture(path))
    checkEqual(w, tonumber(width), label .. ": Surface width")
    checkEqual(h, tonumber(height), label .. ": Surface height")
    checkEqual(difference(fromFile, reference, tonumber(tol)), nil, label .. ": pixels as the library decodes them")
    local fromBuffer = pixels(spi:getPicture(app.createStringBuffer(data)))
    checkEqual(difference(fromBuffer, fromFile, 0), nil, label .. ": a Buffer gives the same pixels as the file")
  end
end
for _, name in ipairs({"png", "gif", "webp", "tiff", "avif", "heif", "jxl"}) do
  check(seen[name], name .. ": pictures of the format were decoded")
end

-- Progress reaches the script from start to end; false from it cancels.
for name, spi in pairs(loaded) do
  local data = readAll(pictures .. "\\" .. name .. "-alpha.pic")
  local calls, first, last = 0, nil, nil
  local h = spi:getPicture(app.createStringBuffer(data), function(p)
    calls = calls + 1
    first = first or p
    last = p
  end)
  check(h ~= nil, name .. ": decodes with a progress function")
  check(calls >= 2 and first == 0 and last == 100, name .. ": progress from 0 to 100 (" .. calls .. " calls)")
  local stops = 0
  checkEqual(spi:getPicture(app.createStringBuffer(data), function() stops = stops + 1 return false end), nil,
    name .. ": false from the progress function cancels")
  checkEqual(stops, 1, name .. ": and no progress is reported after it")
  checkEqual(spi:getPicture(app.createStringBuffer(string.sub(data, 1, 40))), nil, name .. ": a cut picture gives nothing")
end

finish()
