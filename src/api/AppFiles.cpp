#include "AppFiles.h"

#include "engine/Args.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "platform/Clock.h"
#include "platform/Collator.h"
#include "platform/Directory.h"
#include "platform/FileInfo.h"
#include "platform/Paths.h"
#include "platform/SpecialFolders.h"

#include <string>
#include <string_view>

namespace api {
namespace {

void pushText(lua_State* L, std::string_view text)
{
    lua_pushlstring(L, text.data(), text.size());
}

int getApplicationPath(lua_State* L)
{
    // The executable does not move while the program runs.
    static const std::string folder = platform::moduleFolder();
    pushText(L, folder);
    return 1;
}

int getApplicationName(lua_State* L)
{
    pushText(L, engine::msg::text(engine::msg::Id::ApplicationName));
    return 1;
}

int getApplicationVersion(lua_State* L)
{
    lua_pushinteger(L, SELVARIN_VERSION_MAJOR);
    lua_pushinteger(L, SELVARIN_VERSION_MINOR);
    lua_pushinteger(L, SELVARIN_VERSION_PATCH);
    lua_pushinteger(L, SELVARIN_VERSION_BUILD);
    return 4;
}

int getCurrentDirectory(lua_State* L)
{
    pushText(L, platform::currentDirectory());
    return 1;
}

int setCurrentDirectory(lua_State* L)
{
    const std::string path = engine::args::checkText(L, 1);
    (void)platform::setCurrentDirectory(platform::untilZero(path));
    return 0;
}

int getSpecialFolder(lua_State* L)
{
    const std::string name = engine::args::checkText(L, 1);
    const std::optional<std::string> folder = platform::specialFolder(name);
    if (!folder)
        return 0;
    pushText(L, *folder);
    return 1;
}

int getTicks(lua_State* L)
{
    return engine::pushNumber(L, platform::tickCount());
}

int compareString(lua_State* L)
{
    const std::string a = engine::args::checkText(L, 1);
    const std::string b = engine::args::checkText(L, 2);
    return engine::pushNumber(L, platform::compareText(a, b));
}

int findFile(lua_State* L)
{
    const std::string pattern = engine::args::checkText(L, 1);
    const std::vector<std::string> names = platform::findFiles(pattern);
    lua_createtable(L, static_cast<int>(names.size()), 0);
    int i = 0;
    for (const std::string& name : names) {
        pushText(L, name);
        lua_rawseti(L, -2, ++i);
    }
    return 1;
}

int getFileInfo(lua_State* L)
{
    const std::string path = platform::fullPath(platform::untilZero(engine::args::checkText(L, 1)));
    const platform::Result<platform::FileInfo> found = platform::fileInfo(path);
    if (!found)
        return 0;
    const platform::FileInfo& info = found.value();
    lua_createtable(L, 0, 10);
    lua_pushnumber(L, static_cast<lua_Number>(info.size));
    lua_setfield(L, -2, "filesize");
    lua_pushnumber(L, static_cast<lua_Number>(info.createTime));
    lua_setfield(L, -2, "createTime");
    lua_pushnumber(L, static_cast<lua_Number>(info.lastWriteTime));
    lua_setfield(L, -2, "lastUpdateTime");
    pushText(L, path);
    lua_setfield(L, -2, "filepath");
    lua_pushboolean(L, !info.isDirectory);
    lua_setfield(L, -2, "isFile");
    lua_pushboolean(L, info.isDirectory);
    lua_setfield(L, -2, "isDirectory");
    lua_pushboolean(L, info.isHidden);
    lua_setfield(L, -2, "isHidden");
    lua_pushboolean(L, info.isReadOnly);
    lua_setfield(L, -2, "isReadOnly");
    // No file on this platform carries a system or a temporary attribute.
    lua_pushboolean(L, false);
    lua_setfield(L, -2, "isSystem");
    lua_pushboolean(L, false);
    lua_setfield(L, -2, "isTemporary");
    return 1;
}

int joinPath(lua_State* L)
{
    const std::string folder = engine::args::checkText(L, 1);
    const std::string name = engine::args::checkText(L, 2);
    pushText(L, platform::joinPath(platform::untilZero(folder), platform::untilZero(name)));
    return 1;
}

int splitPath(lua_State* L)
{
    const std::string path = engine::args::checkText(L, 1);
    const auto [folder, name] = platform::splitPath(platform::untilZero(path));
    pushText(L, folder);
    pushText(L, name);
    return 2;
}

int splitExtension(lua_State* L)
{
    const std::string path = engine::args::checkText(L, 1);
    const auto [base, extension] = platform::splitExtension(platform::untilZero(path));
    pushText(L, base);
    pushText(L, extension);
    return 2;
}

}  // namespace

const engine::HostFunction kApplicationFunctions[8] = {
    SELVARIN_HOST("getApplicationPath", getApplicationPath),
    SELVARIN_HOST("getApplicationName", getApplicationName),
    SELVARIN_HOST("getApplicationVersion", getApplicationVersion),
    SELVARIN_HOST("getCurrentDirectory", getCurrentDirectory),
    SELVARIN_HOST("setCurrentDirectory", setCurrentDirectory),
    SELVARIN_HOST("getSpecialFolder", getSpecialFolder),
    SELVARIN_HOST("getTicks", getTicks),
    SELVARIN_HOST("compareString", compareString),
};

const engine::HostFunction kFileFunctions[5] = {
    SELVARIN_HOST("findFile", findFile),
    SELVARIN_HOST("joinPath", joinPath),
    SELVARIN_HOST("splitPath", splitPath),
    SELVARIN_HOST("splitExtension", splitExtension),
    SELVARIN_HOST("getFileInfo", getFileInfo),
};

}  // namespace api
