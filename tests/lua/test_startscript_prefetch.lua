-- The default script has the next picture of a folder decoded ahead, by the bundled plug-in of
-- its format where the viewer does not decode it itself. The settings are never touched.
dofile("helper.lua")

local pictures = os.getenv("SELVARIN_PLUGIN_FIXTURES")
local base = os.tmpname()
os.remove(base)
local folder = base .. "_ahead"
local osFolder = string.gsub(folder, "\\", "/")
check(os.execute("mkdir '" .. osFolder .. "'") == 0, "a fresh folder")
local names = { { "png-alpha.pic", "a.png" }, { "gif-alpha.pic", "b.gif" }, { "png-palette.pic", "c.png" } }
for i = 1, table.getn(names) do
  local data = app.createFileBuffer(pictures .. "\\" .. names[i][1])
  check(data ~= nil and data:writeToFile(folder .. "/" .. names[i][2]), "wrote " .. names[i][2])
end

-- Every hint the script gives, as it gave it.
local hints = {}
local prefetch = app.prefetch
app.prefetch = function(...)
  table.insert(hints, arg)
  return prefetch(unpack(arg))
end

dofile("../../script/start.lua")

local function lastHint()
  local h = hints[table.getn(hints)] or {}
  return h[1], h[2]
end

onAddFile({ folder })
local source, plugin = lastHint()
check(type(source) == "string" and string.find(source, "b%.gif$") ~= nil, "the next picture is named: " .. tostring(source))
check(string.find(tostring(plugin), "^Susie_plugin") ~= nil, "with the plug-in that reads it")
checkEqual(plugin and plugin:getPluginInfo(3), "*.gif", "the GIF plug-in")

onNextImage(0)
source, plugin = lastHint()
check(type(source) == "string" and string.find(source, "c%.png$") ~= nil, "then the one after it: " .. tostring(source))
checkEqual(plugin and plugin:getPluginInfo(3), "*.png;*.apng", "by the PNG plug-in")

app.prefetch = prefetch
os.execute("rm -rf '" .. osFolder .. "'")
finish()
