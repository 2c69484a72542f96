-- app.prefetch with a plug-in: getPicture of the same bytes returns what it returns without a
-- prefetch; only a plug-in that declared itself thread-safe is used ahead; unloading it or
-- ending while it decodes ahead is clean.
dofile("helper.lua")

local plugins = os.getenv("SELVARIN_BUNDLED_PLUGINS")
local pictures = os.getenv("SELVARIN_PLUGIN_FIXTURES")
local testPlugins = os.getenv("SELVARIN_TEST_PLUGINS")

-- Leaves the worker the processor long enough to start on what it was given; a result asked
-- for while it is being decoded is waited for.
local function pause(seconds) os.execute("sleep " .. (seconds or 0.1)) end

-- What a script sees of one getPicture call, and the percentages its progress function got.
local function picture(spi, data, stop)
  local seen = {}
  local header, bits = spi:getPicture(app.createStringBuffer(data), function(p)
    table.insert(seen, p)
    if stop then return true end
  end)
  if header == nil then return nil, seen end
  local result = header:stringData() .. "|" .. bits:stringData() .. "|" .. header:size() .. "|" .. bits:size()
  header:release()
  bits:release()
  return result, seen
end

local function finished(seen) return table.getn(seen) == 2 and seen[1] == 0 and seen[2] == 100 end

-- Prefetches `data` for `spi` and asks for it, until the prepared picture was the one returned
-- (on a busy machine the worker may not have started on it in time): the last result, and
-- whether it came prepared.
local function ahead(spi, data)
  local result, seen
  local wait = 0.1
  for _ = 1, 5 do
    app.prefetch(app.createStringBuffer(data), spi)
    pause(wait)
    result, seen = picture(spi, data)
    if finished(seen) then return result, true end
    wait = wait * 2
  end
  return result, false
end

-- Every fixture of every bundled plug-in: prepared ahead, it is what a call returns.
local index = readFile(pictures .. "\\pictures.txt")
check(index ~= nil and index ~= "", "the fixtures' index is there")
local loaded = {}
for name, case in string.gfind(index or "", "(%S+) (%S+) %d+ %d+ %d+\n") do
  local label = name .. " " .. case
  loaded[name] = loaded[name] or app.loadSusiePlugin(plugins .. "\\" .. name .. ".spi")
  local spi = loaded[name]
  local data = readFile(pictures .. "\\" .. name .. "-" .. case .. ".pic")
  local expected = picture(spi, data)
  check(expected ~= nil, label .. ": decodes")
  local prepared, wasPrepared = ahead(spi, data)
  checkEqual(prepared, expected, label .. ": prepared ahead, the same header, bits and sizes")
  check(wasPrepared, label .. ": reported as one finished call")
end

-- A prepared picture the progress function refuses is not returned, as in a call.
do
  local spi = loaded.png
  local data = readFile(pictures .. "\\png-alpha.pic")
  app.prefetch(app.createStringBuffer(data), spi)
  pause()
  local result, seen = picture(spi, data, true)
  checkEqual(result, nil, "refused by the progress function")
  checkEqual(table.getn(seen), 1, "which is not called again")
  check(picture(spi, data) ~= nil, "a later call decodes it")
end

-- Arguments: a plug-in follows its source; one after nil, or closed, takes nothing with it.
do
  local closed = app.loadSusiePlugin(plugins .. "\\png.spi")
  closed:unload()
  app.prefetch(nil, loaded.png, false, loaded.gif)
  app.prefetch(loaded.png)
  local data = readFile(pictures .. "\\png-alpha.pic")
  app.prefetch(app.createStringBuffer(data), closed)
  pause()
  local _, seen = picture(loaded.png, data)
  check(not finished(seen), "a closed plug-in's source is not prepared")
  checkError("Buffer", app.prefetch, app.createStringBuffer(data), loaded.png, {})
  app.prefetch()
end

-- SLOW pictures of the test plug-ins: "SLOW", steps of 10 ms, width, height.
local function slow(steps) return "SLOW" .. string.char(steps, 9, 5, 0) end

-- A plug-in written without the declaration decodes only when asked, on this thread.
do
  local old = app.loadSusiePlugin(testPlugins .. "\\test_slow_main.spi")
  local safe = app.loadSusiePlugin(testPlugins .. "\\test_slow_worker.spi")
  check(old ~= nil and safe ~= nil, "the slow test plug-ins load")
  app.prefetch(app.createStringBuffer(slow(3)), old)
  pause()
  local result, seen = picture(old, slow(3))
  check(result ~= nil and table.getn(seen) == 4, "the undeclared plug-in decoded it now, step by step")
  local wasPrepared
  result, wasPrepared = ahead(safe, slow(3))
  check(result ~= nil and wasPrepared, "the declared one had it ready")
  old:unload()

  -- Unloaded while it decodes ahead: the call is abandoned, nothing waits for it.
  app.prefetch(app.createStringBuffer(slow(250)), safe)
  pause()
  safe:unload()
  app.prefetch()
  local again = app.loadSusiePlugin(testPlugins .. "\\test_slow_worker.spi")
  check(again ~= nil and picture(again, slow(1)) ~= nil, "loaded again, it decodes")

  -- Ending while it decodes ahead: the state closes without waiting 2.5 s.
  app.prefetch(app.createStringBuffer(slow(250)), again)
  pause()
end

finish()
