-- The application, paths and files members of app.
dofile("helper.lua")

local HYO = "\149\92"   -- a double-byte character whose trail byte is 0x5C
local SO = "\131\92"
local data = app.joinPath(os.getenv("SELVARIN_TEST_DATA"), "paths")

-- Registration: every member of this group exists
do
  local names = {"getApplicationPath", "getApplicationName", "getApplicationVersion", "getCurrentDirectory",
    "setCurrentDirectory", "getSpecialFolder", "getTicks", "compareString", "separateDoFile", "SJIS2Unicode",
    "Unicode2SJIS", "safeLiteral", "findFile", "joinPath", "splitPath", "splitExtension", "getFileInfo"}
  for _, name in ipairs(names) do check(type(app[name]) == "function", "app." .. name) end
end

-- The application
do
  local path = app.getApplicationPath()
  check(string.sub(path, 1, 1) == "\\" and string.sub(path, -1) ~= "\\", "application folder, no trailing backslash")
  check(app.getFileInfo(app.joinPath(path, "selvarin")) ~= nil, "the executable is in that folder")
  checkEqual(app.getApplicationName(), "Selvarin", "application name")
  local major, minor, build, revision = app.getApplicationVersion()
  check(type(major) == "number" and type(minor) == "number" and type(build) == "number"
    and type(revision) == "number", "four version numbers")
  checkEqual(select("#", app.getApplicationVersion()), 4, "exactly four")
end

-- Current directory
do
  local saved = app.getCurrentDirectory()
  checkEqual(string.sub(saved, 1, 1), "\\", "the current directory has backslash separators")
  app.setCurrentDirectory(data)
  checkEqual(app.getCurrentDirectory(), data, "setCurrentDirectory changes it")
  checkEqual(select("#", app.setCurrentDirectory(app.joinPath(data, "no such folder"))), 0, "no result")
  checkEqual(app.getCurrentDirectory(), data, "a failure is silent and changes nothing")
  app.setCurrentDirectory(saved)
  checkEqual(app.getCurrentDirectory(), saved, "restored")
end

-- Special folders
do
  checkEqual(select("#", app.getSpecialFolder("APPDATA")), 0, "APPDATA without its blank is no name")
  checkEqual(app.getSpecialFolder("DRIVES"), "", "a virtual folder gives the empty text")
  checkEqual(app.getSpecialFolder("BITBUCKET"), "", "the recycle bin is virtual")
  checkEqual(type(app.getSpecialFolder("TEMPLATES")), "string", "TEMPLATES answers")
  local config = app.getSpecialFolder("APPDATA ")
  check(config == "" or string.sub(config, 1, 1) == "\\", "APPDATA with its blank is a folder in script form")
end

-- Ticks
do
  local t = app.getTicks()
  check(type(t) == "number" and t >= 0 and t < 4294967296 and math.floor(t) == t, "a 32-bit millisecond count")
  local u = app.getTicks()
  check(math.mod(u - t + 4294967296, 4294967296) < 1000, "it does not jump")
end

-- compareString
do
  checkEqual(app.compareString("abc", "abc"), 0, "equal texts")
  checkEqual(app.compareString("a\0b", "a\0b"), 0, "equal texts with zero bytes")
  checkEqual(app.compareString("a\0b", "a\0c"), -1, "zero bytes do not end the text")
  checkEqual(app.compareString("a", "B"), -1, "locale order, not byte order")
  checkEqual(app.compareString("b", "a"), 1, "greater")
  checkEqual(app.compareString(10, 9), -1, "numbers compare as their texts")
end

-- findFile
do
  local names = app.findFile(app.joinPath(data, "*"))
  local expected = {".", "..", "adir", "Zdir", SO, ".hidden", "A.txt", "b.txt", HYO .. ".txt"}
  checkEqual(table.getn(names), table.getn(expected), "every entry")
  for i = 1, table.getn(expected) do checkEqual(names[i], expected[i], "findFile order " .. i) end
  local txt = app.findFile(app.joinPath(data, "*.TXT"))
  checkEqual(table.getn(txt), 3, "wildcards ignore ASCII case")
  checkEqual(app.findFile(data .. "/" .. SO .. "/*.txt")[1], "keep.txt", "a folder whose trail byte is 0x5C")
  checkEqual(app.findFile(app.joinPath(data, HYO .. ".txt"))[1], HYO .. ".txt", "a plain name finds itself")
  checkEqual(table.getn(app.findFile(app.joinPath(data, "*.gif"))), 0, "no match: an empty table")
  checkEqual(table.getn(app.findFile(app.joinPath(data, "missing\\*"))), 0, "a missing folder: an empty table")
  checkEqual(table.getn(app.findFile(string.rep("x", 5000) .. "\\*")), 0, "a very long path: an empty table")
end

-- getFileInfo
do
  local saved = app.getCurrentDirectory()
  app.setCurrentDirectory(data)
  local info = app.getFileInfo("b.txt")
  app.setCurrentDirectory(saved)
  check(info ~= nil, "a relative name is found")
  checkEqual(info.filepath, data .. "\\b.txt", "filepath is the full path")
  checkEqual(info.filesize, 8, "size")
  check(info.isFile and not info.isDirectory and not info.isHidden and not info.isSystem and not info.isTemporary,
    "a plain file")
  check(type(info.createTime) == "number" and type(info.lastUpdateTime) == "number"
    and info.lastUpdateTime > 1000000000, "times in seconds since 1970")
  local dir = app.getFileInfo(app.joinPath(data, "adir"))
  check(dir.isDirectory and not dir.isFile, "a folder")
  check(app.getFileInfo(app.joinPath(data, ".hidden")).isHidden, "a name starting with a dot is hidden")
  checkEqual(app.getFileInfo(app.joinPath(data, SO)).filepath, data .. "\\" .. SO, "a double-byte folder name")
  checkEqual(select("#", app.getFileInfo(app.joinPath(data, "missing"))), 0, "missing: no result")
  checkEqual(app.getFileInfo(app.joinPath(data, "*.txt")).isFile, true, "a pattern gives its first match")
  local keys = {}
  for k in pairs(info) do table.insert(keys, k) end
  checkEqual(table.getn(keys), 10, "ten fields")
end

-- joinPath, splitPath, splitExtension
do
  checkEqual(app.joinPath("C:\\dir\\", "file.txt"), "C:\\dir\\file.txt", "one backslash after a trailing one")
  checkEqual(app.joinPath("C:\\dir", "\\file.txt"), "C:\\dir\\\\file.txt", "two before a leading one")
  checkEqual(app.joinPath("", "x"), "\\x", "an empty folder gives a leading backslash")
  checkEqual(app.joinPath(HYO, SO), HYO .. "\\" .. SO, "trail bytes 0x5C are not separators")
  checkEqual(app.joinPath("a/b", "c"), "a\\b\\c", "slashes become backslashes")
  local folder, name = app.splitPath("/home/user/" .. SO)
  checkEqual(folder, "\\home\\user", "splitPath folder with backslashes")
  checkEqual(name, SO, "splitPath name")
  folder, name = app.splitPath("dir\\" .. HYO .. "\\")
  checkEqual(folder, "dir", "a trailing separator is dropped")
  checkEqual(name, HYO, "the piece before it is the name")
  folder, name = app.splitPath("")
  check(folder == "" and name == "", "an empty text gives two empty texts")
  local base, ext = app.splitExtension("C:\\dir\\archive.tar.gz")
  checkEqual(base, "archive.tar", "base name up to the last dot")
  checkEqual(ext, "gz", "extension after the last dot")
  base, ext = app.splitExtension(HYO .. "\\" .. SO)
  checkEqual(base, SO, "a trail byte 0x5C does not split the name")
  checkEqual(ext, "", "no extension")
  checkEqual(select(2, app.splitPath(nil)), "nil", "nil converts to the text nil")
end

finish()
