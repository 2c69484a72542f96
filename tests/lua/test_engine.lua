-- The engine as a batch script sees it: libraries, host print and os.execute, error texts.
dofile("helper.lua")

-- Libraries and globals of a fully opened engine.
check(type(app) == "table", "app is a table")
check(_TRACEBACK == debug.traceback, "_TRACEBACK is the traceback function")
for _, name in ipairs({"table", "io", "os", "string", "math", "debug"}) do
  check(type(_G[name]) == "table", name .. " library")
end

-- arg holds the script at 0.
check(type(arg) == "table" and type(arg[0]) == "string", "arg[0] is the script")
check(string.find(arg[0], "test_engine.lua", 1, true) ~= nil, "arg[0] names this file")

-- os.execute gives the exit code, and argument errors carry the function name.
checkEqual(os.execute("exit 4"), 4, "exit code")
checkEqual(os.execute("true"), 0, "success")
checkError("`execute( #1 )'", function() os.execute() end)
checkError("`execute( #1 )'", function() os.execute({}) end)

-- print calls tostring and refuses values whose tostring gives no text.
local called = false
local obj = setmetatable({}, {__tostring = function() called = true return "obj" end})
print("# print goes to standard output in batch mode:", obj)
check(called, "print uses __tostring")
checkError("`tostring'", function() print(setmetatable({}, {__tostring = function() return nil end})) end)

-- A script error in a protected call keeps its position.
local ok, err = pcall(function() error("where") end)
check(not ok and string.find(err, "test_engine.lua:%d+: where") ~= nil, "position prefix")

finish()
