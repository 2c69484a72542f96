#pragma once
// The picture path of a plug-in as a script drives it, for one input at a time: the input goes
// to a plug-in that hands it back as a DIB (a 32-bit header length, the header, the bits), then
// getPicture, createSurface twice (the first may lend the 32-bit bits, the second must copy them
// as they are still lent) and writes on either side. Both surfaces must agree, a write on one
// side must not show on the other, and the objects go in an order the input chooses.
#include "api/AppTable.h"
#include "api/ScriptBuffer.h"
#include "api/SurfaceClass.h"
#include "api/SusiePlugin.h"
#include "engine/ScriptEngine.h"

#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace fuzzing {

inline constexpr const char* kPictureSetup = R"(
  plugin = app.loadSusiePlugin(...)
  return plugin ~= nil
)";

inline constexpr const char* kPicturePath = R"(
  local data = ...
  local choice = string.byte(data, -1) or 0
  local source = app.createStringBuffer(data)
  local progress = nil
  if math.mod(choice, 2) == 1 then
    progress = function(percent) if percent < 0 or percent > 100 then error("progress " .. percent) end end
  end
  local header, bits = plugin:getPicture(source, progress)
  source:release()
  if not header then return true, false end
  assert(bits, "a header without bits")
  local original = bits:stringData()
  local lent = app.createSurface(header, bits)
  local copy = app.createSurface(header, bits)
  assert((lent == nil) == (copy == nil), "the two surfaces of one picture disagree on success")
  if lent then
    assert(lent:width() == copy:width() and lent:height() == copy:height() and lent:bpp() == copy:bpp(),
           "the two surfaces differ in size")
    local a, b = lent:buffer(), copy:buffer()
    assert(a:size() == b:size(), "frame buffers differ in size")
    assert(a:stringData() == b:stringData(), "lent and copied pixels differ")
    local before = a:stringData()
    if math.mod(choice, 4) < 2 then
      a:setStringData(1, "\1\2\3\4")
      assert(bits:stringData() == original, "a surface write shows in its bits Buffer")
      assert(b:stringData() == before, "a surface write shows in the other surface")
    else
      bits:setStringData(1, "\5\6\7\8")
      assert(a:stringData() == before, "a bits write shows in the surface")
    end
  end
  local order = math.mod(math.floor(choice / 4), 3)
  if order == 0 then
    header:release(); bits:release()
    if lent then lent:release(); copy:release() end
  elseif order == 1 then
    if lent then copy:release(); lent:release() end
    bits:release(); header:release()
  else
    bits:release()
    if lent then assert(lent:buffer():size() > 0, "a lent surface lost its pixels"); lent:release(); copy:release() end
    header:release()
  end
  return true, lent ~= nil
)";

class PictureRig {
public:
    PictureRig() : m_engine(kLibraries, engine::ScriptEngine::Streams::Process) {}

    // Opens the state and loads the plug-in; the text of what failed otherwise.
    std::optional<std::string> open(const char* pluginPath)
    {
        if (!m_engine.open())
            return std::string("the engine did not open");
        lua_State* L = m_engine.state();
        if (luaL_loadstring(L, kPictureSetup) != 0)
            return message(L);
        lua_pushstring(L, pluginPath);
        if (lua_pcall(L, 1, 1, 0) != 0)
            return message(L);
        const bool loaded = lua_toboolean(L, -1);
        lua_settop(L, 0);
        if (!loaded)
            return std::string("cannot load ") + pluginPath;
        if (luaL_loadstring(L, kPicturePath) != 0)
            return message(L);
        return std::nullopt;
    }

    // Runs one input; the text of the broken expectation or error otherwise.
    std::optional<std::string> run(const std::uint8_t* data, std::size_t size)
    {
        lua_State* L = m_engine.state();
        lua_settop(L, 1);
        lua_pushvalue(L, 1);
        lua_pushlstring(L, reinterpret_cast<const char*>(data), size);
        std::optional<std::string> failure;
        m_madeSurface = false;
        if (lua_pcall(L, 1, 2, 0) != 0)
            failure = message(L);
        else if (!lua_toboolean(L, -2))
            failure = std::string("the path did not finish");
        else
            m_madeSurface = lua_toboolean(L, -1);
        lua_settop(L, 1);
        // Objects the run dropped on an error go now, not in some later run.
        lua_gc(L, LUA_GCCOLLECT, 0);
        return failure;
    }

    // Whether the last run made its surfaces.
    bool madeSurface() const { return m_madeSurface; }

private:
    static constexpr engine::HostLibrary kLibraries[] = {
        {"Buffer", &api::installBufferClass},
        {"Surface", &api::installSurfaceClass},
        {"Susie_plugin", &api::installSusiePluginClass},
        {"app", &api::installApp},
    };

    static std::string message(lua_State* L)
    {
        const char* text = lua_tostring(L, -1);
        std::string result = text ? text : "(no message)";
        lua_pop(L, 1);
        return result;
    }

    engine::ScriptEngine m_engine;
    bool m_madeSurface = false;
};

}  // namespace fuzzing
