-- Everything the program registers for scripts is described in the script API reference: the
-- members of app and gridview, the methods of the classes (read from their metatables at run
-- time) and every event the host raises (the event names written in the host's sources).
dofile("helper.lua")

local docPath = os.getenv("SELVARIN_API_DOC")
local sourceDir = os.getenv("SELVARIN_SOURCE")
check(docPath ~= nil and sourceDir ~= nil, "the test is told where the reference and the sources are")

-- The heading lines of the reference, each with a newline in front, so "\n###" finds them.
local headings = {}
for line in string.gfind((readFile(docPath) or "") .. "\n", "([^\n]*)\n") do
  if string.find(line, "^#+ ") then table.insert(headings, line) end
end
check(table.getn(headings) > 50, "the reference has its headings")

local function documented(text)
  for i = 1, table.getn(headings) do
    if string.find(headings[i], text, 1, true) then return true end
  end
  return false
end

local function publicNames(t)
  local names = {}
  for k, v in pairs(t) do
    if type(k) == "string" and string.sub(k, 1, 2) ~= "__" then table.insert(names, k) end
  end
  table.sort(names)
  return names
end

local function checkNames(prefix, t)
  local names = publicNames(t)
  check(table.getn(names) > 0, prefix .. " has members")
  for i = 1, table.getn(names) do
    check(documented(prefix .. names[i] .. "("), "documented: " .. prefix .. names[i])
  end
end

checkNames("app.", app)
checkNames("gridview.", gridview)
local registry = debug.getregistry()
for _, class in ipairs({ "Buffer", "Surface", "Susie_plugin", "LWindow" }) do
  local mt = registry[class]
  check(type(mt) == "table", class .. " is registered")
  if type(mt) == "table" then
    checkNames(class .. ":", type(mt.__index) == "table" and mt.__index or mt)
  end
end

-- Events: every "onName" literal of the host's C++ sources.
local events, count = {}, 0
local function scan(folder)
  local entries = app.findFile(app.joinPath(folder, "*"))
  for i = 1, table.getn(entries) do
    local name = entries[i]
    if name ~= "." and name ~= ".." then
      local path = app.joinPath(folder, name)
      local info = app.getFileInfo(path)
      if info and info.isDirectory then
        scan(path)
      elseif string.find(name, "%.cpp$") then
        for event in string.gfind(readFile(path) or "", "\"(on[A-Z][%w_]*)\"") do
          if not events[event] then events[event] = true count = count + 1 end
        end
      end
    end
  end
end
scan(sourceDir)
check(count >= 20, "the host's events are found in its sources")
for event in pairs(events) do
  check(documented(event .. "("), "documented: event " .. event)
end

finish()
