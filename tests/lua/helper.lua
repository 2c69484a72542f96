-- Shared helper of the Lua tests, run through batch mode:
--   dofile("helper.lua")
--   check(cond, name)                 -- one assertion
--   checkEqual(actual, expected, name)
--   checkError(pattern, f, ...)       -- f(...) must raise an error whose text matches pattern (plain find)
--   finish()                          -- prints "N passed, N failed" and exits non-zero on a failure
--   readFile(path)                    -- the bytes of a file, or nil when it cannot be read

local passed, failed = 0, 0

local function fail(name, detail)
  failed = failed + 1
  io.stderr:write("FAILED: " .. tostring(name) .. (detail and (": " .. detail) or "") .. "\n")
end

function check(cond, name)
  if cond then passed = passed + 1 else fail(name) end
end

function checkEqual(actual, expected, name)
  if actual == expected then
    passed = passed + 1
  else
    fail(name, "got " .. tostring(actual) .. ", expected " .. tostring(expected))
  end
end

function checkError(pattern, f, ...)
  local ok, err = pcall(f, unpack(arg))
  if ok then
    fail(pattern, "no error raised")
  elseif type(err) ~= "string" or not string.find(err, pattern, 1, true) then
    fail(pattern, "error was " .. tostring(err))
  else
    passed = passed + 1
  end
end

function finish()
  print(passed .. " passed, " .. failed .. " failed")
  if failed > 0 then os.exit(1) end
end

function readFile(path)
  local f = io.open(path, "rb")
  if not f then return nil end
  local text = f:read("*a")
  f:close()
  return text
end
