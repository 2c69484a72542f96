-- The language as a script written for "Lua 5.0.2 for Shift JIS" sees it: the 5.0 library
-- surface, Shift JIS strings, line numbers, require through LUA_PATH, and the io and os
-- libraries. Shift JIS bytes are written as escapes so that this file stays readable.
dofile("helper.lua")

checkEqual(_VERSION, "Lua 5.0.2 for Shift JIS", "version label")

-- table.getn / table.setn with 5.0 sizes: a field n, else an explicit size, else a count.
local t = {n = 3}
checkEqual(table.getn(t), 3, "getn reads the field n")
table.insert(t, "x")
checkEqual(t.n, 4, "insert updates the field n")
checkEqual(t[4], "x", "insert appends after n")
local u = {1, 2, 3}
table.setn(u, 10)
checkEqual(table.getn(u), 10, "setn without a field n sets an explicit size")
table.insert(u, 1, "first")
checkEqual(table.getn(u), 11, "insert at a position grows the size")
checkEqual(u[1], "first", "insert at position 1")
checkEqual(table.remove(u, 1), "first", "remove returns the element")
checkEqual(table.getn(u), 10, "remove shrinks the size")
checkEqual(table.getn({1, 2, nil, 4}), 2, "without sizes the count stops at the first nil")
checkEqual(table.concat({"a", "b", "c", n = 2}, ","), "a,b", "concat honours n")
local seen = 0
table.foreachi({n = 2, "p", "q", "r"}, function(i, v) seen = seen + 1 end)
checkEqual(seen, 2, "foreachi honours n")
checkEqual(select("#", unpack({n = 3})), 3, "unpack honours n")

-- Other 5.0 names.
checkEqual(math.mod(7, 3), 1, "math.mod")
local words = {}
for w in string.gfind("one two three", "%a+") do table.insert(words, w) end
checkEqual(table.concat(words, "|"), "one|two|three", "string.gfind")
check(type(gcinfo()) == "number" and select("#", gcinfo()) == 2, "gcinfo gives use and threshold")
collectgarbage()
check(type(loadlib) == "function", "global loadlib")
check(type(_LOADED) == "table", "_LOADED table")
check(_TRACEBACK == debug.traceback, "_TRACEBACK")

-- Vararg functions see arg, with its field n.
local function count(...) return arg.n, arg[2] end
local n, second = count("a", nil, "c")
checkEqual(n, 3, "arg.n counts nils")
checkEqual(second, nil, "arg keeps nil holes")

-- Nested long brackets.
local nested = [[outer [[inner]] end]]
checkEqual(nested, "outer [[inner]] end", "nested [[ ]]")
--[[ a long comment [[ with a nested pair ]] still a comment ]]
checkEqual(loadstring("return [[\nx]]")(), "x", "a line end right after [[ is dropped")

-- Shift JIS strings built from bytes (decimal: this dialect has no hexadecimal numbers): a
-- trail byte 92 ("\\") before the quote, and a trail byte 93 ("]")
-- before "]" inside a long string.
local table5C = string.char(149, 92)
checkEqual(loadstring('return "' .. table5C .. '"')(), table5C, "trail backslash before the closing quote")
checkEqual(string.len(loadstring("return '" .. table5C .. "'")()), 2, "both bytes kept")
local bracket = string.char(129, 93)
checkEqual(loadstring("return [[" .. bracket .. "]]")(), bracket, "trail ] does not close a long string")
checkEqual(loadstring("return [[" .. bracket .. "]x]]")(), bracket .. "]x", "nor does it pair with the next ]")
local f, err = loadstring('return "' .. string.char(130) .. '\nx"')
check(f == nil and string.find(err, ":1:", 1, true) ~= nil, "a lead byte at the line end leaves the string unfinished")

-- Line numbers after multi-line strings and comments.
local function lineOf(chunk)
  local ok, e = pcall(loadstring(chunk, "=lines"))
  return tonumber(string.gfind(e, "lines:(%d+):")())
end
checkEqual(lineOf("local s = [[\n\n\n]]\nerror('x')"), 5, "after a long string")
checkEqual(lineOf("--[[\n\n]] local a\n\nerror('x')"), 5, "after a long comment")
checkEqual(lineOf("local s = 'a\\\nb'\nerror('x')"), 3, "after an escaped line end")
checkEqual(lineOf("local s = '" .. table5C .. "'\nlocal r = [[" .. bracket .. "]\n]]\nerror('x')"), 4, "after double-byte text")

-- require through LUA_PATH: the global first, "?" standing for the package name.
local base = os.tmpname()
local modfile = base .. "_mod.lua"
local out = assert(io.open(modfile, "w"))
out:write("loadcount = (loadcount or 0) + 1\nreturn {name = _REQUIREDNAME}\n")
out:close()
LUA_PATH = "no_such_dir\\?.lua;" .. base .. "_?.lua"
local mod = require("mod")
checkEqual(mod.name, "mod", "_REQUIREDNAME during the load")
check(require("mod") == mod and loadcount == 1, "a package loads once")
check(_LOADED["mod"] == mod, "_LOADED records it")
checkError("`no_such'", require, "no_such")
LUA_PATH = nil

-- The io library: files, read formats, lines, seek, default files.
local name = base .. "_io.txt"
local w = assert(io.open(name, "w"))
check(io.type(w) == "file", "io.type of an open file")
w:write("12 3.5\n", "second line\n", 42, "\n")
w:close()
check(io.type(w) == "closed file", "io.type of a closed file")
check(io.type({}) == nil, "io.type of something else")
local r = assert(io.open(name, "r"))
checkEqual(r:read("*n"), 12, "*n")
checkEqual(r:read("*n"), 3.5, "*n again")
checkEqual(r:read("*l"), "", "rest of the first line")
checkEqual(r:read(), "second line", "a line by default")
checkEqual(r:read(2), "42", "a count of bytes")
checkEqual(r:seek("set", 3), 3, "seek")
checkEqual(r:read("*a"), "3.5\nsecond line\n42\n", "*a")
checkEqual(r:read("*a"), "", "*a at the end")
checkEqual(r:read("*l"), nil, "*l at the end")
checkEqual(r:read(0), nil, "0 at the end")
r:close()
local lines = {}
for line in io.lines(name) do table.insert(lines, line) end
checkEqual(table.getn(lines), 3, "io.lines")
check(string.find(tostring(r), "file (closed)", 1, true) == 1, "tostring of a closed file")
local ok, msg = io.open(base .. "_missing\\file")
check(ok == nil and type(msg) == "string", "open failure gives nil and a message")
local stdoutOk, stdoutMsg = io.stdout:close()
check(stdoutOk == nil and type(stdoutMsg) == "string", "standard files stay open")
check(io.output() == io.stdout, "default output")
io.input(name)
checkEqual(io.read(), "12 3.5", "io.input with a name")
io.input(io.stdin)

-- os: file operations, time and date, environment.
check(os.rename(name, name .. ".moved"), "rename")
check(os.remove(name .. ".moved"), "remove")
local gone, why = os.remove(name .. ".moved")
check(gone == nil and type(why) == "string", "remove of a missing file")
os.remove(modfile)
os.remove(base)
checkEqual(os.date("!%Y-%m-%d %H:%M:%S", 0), "1970-01-01 00:00:00", "date in UTC")
checkEqual(os.date("!*t", 86400).day, 2, "date as a table")
checkEqual(os.date(""), "", "an empty format")
local now = os.time()
checkEqual(os.time(os.date("*t", now)), now, "time of a date table")
checkEqual(os.difftime(10, 4), 6, "difftime")
check(type(os.clock()) == "number", "clock")
check(type(os.getenv("SELVARIN_TEST_DATA")) == "string", "getenv of a set variable")
checkEqual(os.getenv("SELVARIN_NO_SUCH_VARIABLE"), nil, "getenv of an unset variable")
checkEqual(os.setlocale(nil), "C", "the locale")

-- Errors a script raises itself keep their text; messages of the runtime are translated.
local ok2, e2 = pcall(error, "attempt to index a nil value", 0)
checkEqual(e2, "attempt to index a nil value", "a script's own error text")
local ok3, e3 = pcall(function() local x; return x.y end)
check(string.find(e3, "`x'", 1, true) ~= nil and string.find(e3, "attempt", 1, true) == nil, "a runtime message is translated")

finish()
