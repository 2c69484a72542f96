-- app.separateDoFile: a script file run in a second, empty interpreter state.
dofile("helper.lua")

local data = app.joinPath(os.getenv("SELVARIN_TEST_DATA"), "separate")
local function file(name) return app.joinPath(data, name) end

-- Values of every kind come back as copies
do
  local n, s, b, t, extra = app.separateDoFile(file("values.lua"))
  checkEqual(n, 1, "number")
  checkEqual(s, "a", "string")
  checkEqual(b, true, "boolean")
  check(type(t) == "table" and t.x == 2 and t[1] == 3, "table with its entries")
  checkEqual(extra, nil, "exactly four values")
  checkEqual(select("#", app.separateDoFile(file("values.lua"))), 4, "four results")
end

-- A file that never ends is stopped with a script error (reported by message box): no results
do
  local started = os.time()
  checkEqual(select("#", app.separateDoFile(file("endless.lua"))), 0, "an endless file gives no results")
  check(os.difftime(os.time(), started) < 30, "and is stopped after a few seconds")
end

-- Nothing returned: no results
checkEqual(select("#", app.separateDoFile(file("nothing.lua"))), 0, "a file returning nothing gives no results")
checkEqual(app.separateDoFile(file("nothing.lua")), nil, "used in an expression it is nil")

-- What the tree cannot carry is left out; strings end at a zero byte
do
  local t = app.separateDoFile(file("function.lua"))
  check(t.n == 1 and t.f == nil, "a function value is missing in the copy")
  local s, sjis = app.separateDoFile(file("strings.lua"))
  checkEqual(s, "ab", "the copy ends before the zero byte")
  checkEqual(sjis, "\149\92\131\92", "double-byte characters with trail byte 0x5C pass unchanged")
end

-- Shared subtables are copied twice; deep nesting passes
do
  local t = app.separateDoFile(file("shared.lua"))
  check(t.p ~= t.q and t.p.v == 1 and t.q.v == 1, "a table met twice becomes two tables")
  t.p.v = 2
  checkEqual(t.q.v, 1, "the two copies are independent")
  local deep = app.separateDoFile(file("deep.lua"))
  for i = 1, 1000 do deep = deep.next end
  checkEqual(deep.leaf, "bottom", "a 1000-level nested table arrives whole")
end

-- The separate state is empty and separate
checkEqual(app.separateDoFile(file("isolated.lua")), true, "no libraries, no app table")

-- Failures inside the file are reported by message box; the caller goes on with no results
checkEqual(select("#", app.separateDoFile(file("print.lua"))), 0, "a run-time error gives no results")
checkEqual(select("#", app.separateDoFile(file("syntax.lua"))), 0, "a syntax error gives no results")

-- A table that contains itself is refused with a script error
checkError("\142\169\149\170\142\169\144g\130\240\138\220\130\222\131e\129[\131u\131\139\130\205\149\161\144\187\130\197\130\171\130\220\130\185\130\241",
  app.separateDoFile, file("cycle.lua"))

-- Missing files and arguments without text
checkError("app.separateDoFile()  \131X\131N\131\138\131v\131g\131t\131@\131C\131\139\130\170\140\169\130\194\130\169\130\232\130\220\130\185\130\241\129F"
  .. file("missing.lua"), app.separateDoFile, file("missing.lua"))
checkError("test_separate.lua:", function() app.separateDoFile(file("missing.lua")) end)
checkError("app.separateDoFile()  \131X\131N\131\138\131v\131g\131t\131@\131C\131\139\130\170\140\169\130\194\130\169\130\232\130\220\130\185\130\241\129Fnil",
  app.separateDoFile)
do
  local saved = tostring
  tostring = function() return nil end
  local ok, err = pcall(app.separateDoFile, "x")
  tostring = saved
  check(not ok and string.find(err, "`tostring'", 1, true), "an argument without text raises the tostring error")
end

finish()
