-- The user manual names every menu command of the main window with its shortcut, and every key
-- the default script handles, so that it cannot fall behind the menus or the script.
dofile("helper.lua")

local manualPath = os.getenv("SELVARIN_MANUAL")
local sourceDir = os.getenv("SELVARIN_SOURCE")
local scriptDir = os.getenv("SELVARIN_SCRIPT_DIR")
check(manualPath ~= nil and sourceDir ~= nil and scriptDir ~= nil,
      "the test is told where the manual, the sources and the script are")

-- The manual and the command table are both UTF-8, so their bytes compare directly.
local manual = readFile(manualPath) or ""
check(string.len(manual) > 10000, "the manual is written")

local function mentioned(text)
  return string.find(manual, text, 1, true) ~= nil
end

-- The rows of the menu table: { depth, id, "caption" }; separators have no caption.
local commands = readFile(app.joinPath(sourceDir, "app/Commands.cpp")) or ""
local _, _, menuTable = string.find(commands, "kMenu%[%] = (%b{})")
check(menuTable ~= nil, "the menu table is found")
local captions = 0
for caption in string.gfind(menuTable or "", "{%s*%d+%s*,%s*[%w_]+%s*,%s*\"([^\"]*)\"%s*}") do
  captions = captions + 1
  local _, _, label, keys = string.find(caption, "^(.-)\\t(.*)$")
  label = label or caption
  -- The mnemonic "(&F)" and the ellipsis of a command that opens a dialog are not in the text.
  label = string.gsub(label, "%(&.%)", "")
  label = string.gsub(label, "&", "")
  label = string.gsub(label, "%.%.%.$", "")
  check(mentioned(label), "the manual names the menu item " .. label)
  if keys then
    check(mentioned(keys), "the manual names the shortcut " .. keys .. " of " .. label)
  end
end
check(captions >= 40, "the menu's captions are found")

-- Keys the default script takes in onKeyDown.
local script = readFile(app.joinPath(scriptDir, "start.lua")) or ""
local keys = 0
for key in string.gfind(script, "key == \"([^\"]+)\"") do
  keys = keys + 1
  check(mentioned("| " .. key .. " |"), "the key table of the manual has " .. key)
end
check(keys >= 5, "the script's keys are found")

finish()
