-- Script numbers that no integer holds (NaN, infinities, huge or negative values) reach the
-- libraries as the nearest sound integer instead of undefined conversions.
dofile("helper.lua")

local nan, inf = 0/0, 1/0

-- os: times and exit codes
do
  checkEqual(os.date("!%Y", nan), "1970", "os.date: NaN is the epoch")
  checkEqual(type(os.date("!%Y", 1e300)), "nil", "os.date: a time no calendar has gives nil")
  checkEqual(os.difftime(inf, 0) > 0, true, "os.difftime with an infinity")
  checkEqual(os.difftime(nan, nan), 0, "os.difftime of NaNs")
  check(pcall(os.time, {year = 1e300, month = 1, day = 1}), "os.time: a year beyond range")
  checkEqual(type(os.time({year = 2000, month = nan, day = 1})), "number", "os.time: NaN month counts as 0")
end

-- io: read counts
do
  local path = os.tmpname()
  local f = assert(io.open(path, "wb"))
  f:write("abcdef")
  f:close()
  f = assert(io.open(path, "rb"))
  checkEqual(f:read(-5), "", "a negative count reads nothing")
  checkEqual(f:read(nan), "", "a NaN count reads nothing")
  checkEqual(f:read(inf), "abcdef", "an infinite count reads to the end")
  checkEqual(f:seek("set", -inf), nil, "seek to minus infinity fails")
  checkEqual(f:seek("set", 1e300), nil, "seek beyond any file fails")
  f:close()
  os.remove(path)
end

-- table: sizes and positions at the ends of the index range
do
  local t = {}
  table.setn(t, 1e100)
  checkEqual(table.getn(t), 2147483647, "setn keeps the largest size")
  checkError("", table.insert, t, "x")
  local big = {[2147483647] = "a"}
  checkEqual(table.concat(big, "-", 2147483647, 2147483647), "a", "concat of the last index")
  checkEqual(table.concat({"a", "b"}, "-", 1, -inf), "", "concat to minus infinity is empty")
end

finish()
