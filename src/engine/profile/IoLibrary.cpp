// The 5.0 `io` library and the file functions of `os`, written for this platform: paths and
// environment texts are code page 932 with "\" separators on the script side, and the standard
// streams are the ones the engine hands over.

#include "IoLibrary.h"

#include "engine/Args.h"
#include "engine/Format.h"
#include "engine/Host.h"
#include "engine/Messages.h"
#include "engine/ScriptFile.h"

#include "platform/Environment.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace engine {

ScriptFile* testScriptFile(lua_State* L, int index)
{
    return static_cast<ScriptFile*>(args::testClass(L, index, kFileHandle));
}

namespace profile {

namespace {

constexpr const char kInput[] = "_input";
constexpr const char kOutput[] = "_output";

// nil, "name: reason", errno for a failed operation; true for a good one.
int pushResult(lua_State* L, bool ok, const char* filename)
{
    if (ok) {
        lua_pushboolean(L, 1);
        return 1;
    }
    const int code = errno;
    const std::string reason = platform::utf8ToCp932(std::strerror(code));
    lua_pushnil(L);
    if (filename)
        lua_pushstring(L, format("%s: %s", {filename, reason}).c_str());
    else
        lua_pushlstring(L, reason.data(), reason.size());
    lua_pushnumber(L, code);
    return 3;
}

ScriptFile* checkFileObject(lua_State* L, int index)
{
    ScriptFile* file = testScriptFile(L, index);
    if (!file)
        args::argError(L, index, msg::text(msg::Id::InvalidFile));
    return file;
}

FILE* toStream(lua_State* L, int index)
{
    ScriptFile* file = checkFileObject(L, index);
    if (!file->stream)
        args::raise(L, msg::text(msg::Id::FileNotOpen));
    return file->stream;
}

// [-0, +1] A new closed file object; the stream is attached after it exists, so that a
// failure to allocate the object never leaves a stream open.
ScriptFile* newFile(lua_State* L)
{
    auto* file = static_cast<ScriptFile*>(lua_newuserdata(L, sizeof(ScriptFile)));
    new (file) ScriptFile{};
    luaL_getmetatable(L, kFileHandle);
    lua_setmetatable(L, -2);
    return file;
}

FILE* openPath(std::string_view scriptPath, const char* mode)
{
    return platform::openPlainStream(scriptPath, mode);
}

// Closes the file object at index 1: false when it is a standard stream or fclose failed.
bool closeFile(lua_State* L, bool& standard)
{
    toStream(L, 1);
    ScriptFile* file = testScriptFile(L, 1);
    standard = file->standard;
    if (standard)
        return false;
    const bool ok = std::fclose(file->stream) == 0;
    file->stream = nullptr;  // the stream is gone either way
    return ok;
}

int ioClose(lua_State* L)
{
    if (lua_isnone(L, 1)) {
        lua_pushstring(L, kOutput);
        lua_rawget(L, lua_upvalueindex(1));
    }
    bool standard = false;
    errno = 0;
    if (closeFile(L, standard))
        return pushResult(L, true, nullptr);
    if (standard) {
        lua_pushnil(L);
        lua_pushstring(L, msg::text(msg::Id::CannotCloseStandardFile).c_str());
        return 2;
    }
    return pushResult(L, false, nullptr);
}

int fileGc(lua_State* L)
{
    ScriptFile* file = testScriptFile(L, 1);
    if (file && file->stream && !file->standard) {
        std::fclose(file->stream);
        file->stream = nullptr;
    }
    return 0;
}

int fileToString(lua_State* L)
{
    ScriptFile* file = checkFileObject(L, 1);
    if (!file->stream)
        lua_pushliteral(L, "file (closed)");
    else
        lua_pushfstring(L, "file (%p)", lua_touserdata(L, 1));
    return 1;
}

int ioOpen(lua_State* L)
{
    const std::string name(args::checkString(L, 1));
    const std::string mode(args::optString(L, 2, "r"));
    ScriptFile* file = newFile(L);
    file->stream = openPath(name, mode.c_str());
    return file->stream ? 1 : pushResult(L, false, name.c_str());
}

int ioPopen(lua_State* L)
{
    args::raise(L, msg::text(msg::Id::PopenUnsupported));
}

int ioTmpfile(lua_State* L)
{
    ScriptFile* file = newFile(L);
    file->stream = platform::openTemporaryStream();
    return file->stream ? 1 : pushResult(L, false, nullptr);
}

int ioType(lua_State* L)
{
    ScriptFile* file = testScriptFile(L, 1);
    if (!file)
        lua_pushnil(L);
    else if (!file->stream)
        lua_pushliteral(L, "closed file");
    else
        lua_pushliteral(L, "file");
    return 1;
}

FILE* defaultFile(lua_State* L, const char* which)
{
    lua_pushstring(L, which);
    lua_rawget(L, lua_upvalueindex(1));
    return toStream(L, -1);
}

int defaultFileAccess(lua_State* L, const char* which, const char* mode)
{
    if (!lua_isnoneornil(L, 1)) {
        lua_pushstring(L, which);
        if (lua_type(L, 1) == LUA_TSTRING || lua_type(L, 1) == LUA_TNUMBER) {
            const std::string name(args::checkString(L, 1));
            ScriptFile* file = newFile(L);
            file->stream = openPath(name, mode);
            if (!file->stream) {
                const std::string reason = platform::utf8ToCp932(std::strerror(errno));
                args::argError(L, 1, format("%s: %s", {name, reason}));
            }
        } else {
            toStream(L, 1);
            lua_pushvalue(L, 1);
        }
        lua_rawset(L, lua_upvalueindex(1));
    }
    lua_pushstring(L, which);
    lua_rawget(L, lua_upvalueindex(1));
    return 1;
}

int ioInput(lua_State* L) { return defaultFileAccess(L, kInput, "r"); }
int ioOutput(lua_State* L) { return defaultFileAccess(L, kOutput, "w"); }

// ---------------------------------------------------------------------------------------
// Reading

bool readNumber(lua_State* L, FILE* f)
{
    double d = 0;
    if (std::fscanf(f, "%lf", &d) == 1) {
        lua_pushnumber(L, d);
        return true;
    }
    return false;
}

bool testEof(lua_State* L, FILE* f)
{
    const int c = std::getc(f);
    std::ungetc(c, f);
    lua_pushlstring(L, nullptr, 0);
    return c != EOF;
}

bool readLine(lua_State* L, FILE* f)
{
    std::string line;
    char block[LUAL_BUFFERSIZE];
    for (;;) {
        if (!std::fgets(block, sizeof block, f)) {
            lua_pushlstring(L, line.data(), line.size());
            return !line.empty();
        }
        const std::size_t n = std::strlen(block);
        if (n > 0 && block[n - 1] == '\n') {
            line.append(block, n - 1);
            lua_pushlstring(L, line.data(), line.size());
            return true;
        }
        line.append(block, n);
    }
}

bool readChars(lua_State* L, FILE* f, std::size_t n)
{
    std::string text;
    char block[LUAL_BUFFERSIZE];
    std::size_t got = 0;
    do {
        const std::size_t want = n < sizeof block ? n : sizeof block;
        got = std::fread(block, 1, want, f);
        text.append(block, got);
        n -= got;
        if (got < want)
            break;
    } while (n > 0);
    lua_pushlstring(L, text.data(), text.size());
    return n == 0 || !text.empty();
}

int readFormats(lua_State* L, FILE* f, int first)
{
    int nargs = lua_gettop(L) - 1;
    bool success = true;
    int n = first;
    if (nargs == 0) {
        success = readLine(L, f);
        n = first + 1;
    } else {
        args::checkStack(L, nargs + LUA_MINSTACK, msg::text(msg::Id::TooManyArguments));
        for (n = first; nargs-- && success; ++n) {
            if (lua_type(L, n) == LUA_TNUMBER) {
                const std::size_t count = args::clampSize(lua_tonumber(L, n));
                success = count == 0 ? testEof(L, f) : readChars(L, f, count);
                continue;
            }
            const char* p = lua_tostring(L, n);
            if (!p || p[0] != '*')
                args::argError(L, n, msg::text(msg::Id::InvalidOption));
            switch (p[1]) {
            case 'n':
                success = readNumber(L, f);
                break;
            case 'l':
                success = readLine(L, f);
                break;
            case 'a':
                readChars(L, f, ~std::size_t{0});
                success = true;
                break;
            case 'w':
                args::raise(L, msg::text(msg::Id::ReadWordObsolete));
            default:
                args::argError(L, n, msg::text(msg::Id::InvalidFormat));
            }
        }
    }
    if (!success) {
        lua_pop(L, 1);
        lua_pushnil(L);
    }
    return n - first;
}

int ioRead(lua_State* L) { return readFormats(L, defaultFile(L, kInput), 1); }
int fileRead(lua_State* L) { return readFormats(L, toStream(L, 1), 2); }

// Upvalues: the file object and whether the iterator opened it (and closes it at the end).
int linesIterator(lua_State* L)
{
    ScriptFile* file = testScriptFile(L, lua_upvalueindex(1));
    if (!file || !file->stream)
        args::raise(L, msg::text(msg::Id::FileAlreadyClosed));
    if (readLine(L, file->stream))
        return 1;
    if (lua_toboolean(L, lua_upvalueindex(2)) && !file->standard) {
        std::fclose(file->stream);
        file->stream = nullptr;
    }
    return 0;
}

void pushLines(lua_State* L, int index, bool close)
{
    lua_pushvalue(L, index);
    lua_pushboolean(L, close);
    lua_pushcclosure(L, hostFunction<linesIterator>, 2);
}

int fileLines(lua_State* L)
{
    toStream(L, 1);
    pushLines(L, 1, false);
    return 1;
}

int ioLines(lua_State* L)
{
    if (lua_isnoneornil(L, 1)) {
        lua_pushstring(L, kInput);
        lua_rawget(L, lua_upvalueindex(1));
        lua_replace(L, 1);
        return fileLines(L);
    }
    const std::string name(args::checkString(L, 1));
    ScriptFile* file = newFile(L);
    file->stream = openPath(name, "r");
    if (!file->stream)
        args::argError(L, 1, platform::utf8ToCp932(std::strerror(errno)));
    pushLines(L, lua_gettop(L), true);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Writing and positioning

// The values from `arg` on; for io.write the default file sits on top, beyond them.
int writeValues(lua_State* L, FILE* f, int arg)
{
    int nargs = lua_gettop(L) - 1;
    bool ok = true;
    for (; nargs--; ++arg) {
        if (lua_type(L, arg) == LUA_TNUMBER) {
            ok = ok && std::fprintf(f, LUA_NUMBER_FMT, lua_tonumber(L, arg)) > 0;
        } else {
            const std::string_view s = args::checkString(L, arg);
            ok = ok && std::fwrite(s.data(), 1, s.size(), f) == s.size();
        }
    }
    return pushResult(L, ok, nullptr);
}

int ioWrite(lua_State* L) { return writeValues(L, defaultFile(L, kOutput), 1); }
int fileWrite(lua_State* L) { return writeValues(L, toStream(L, 1), 2); }

int fileSeek(lua_State* L)
{
    static constexpr int kModes[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    static constexpr std::string_view kNames[] = {"set", "cur", "end"};
    FILE* f = toStream(L, 1);
    const std::string_view name = args::optString(L, 2, "cur");
    const long offset = static_cast<long>(args::optInteger(L, 3, 0));  // long is 64 bits here
    int op = -1;
    for (int i = 0; i < 3; ++i) {
        if (name == kNames[i])
            op = i;
    }
    if (op < 0)
        args::argError(L, 2, msg::text(msg::Id::InvalidMode));
    if (std::fseek(f, offset, kModes[op]) != 0)
        return pushResult(L, false, nullptr);
    lua_pushnumber(L, static_cast<lua_Number>(std::ftell(f)));
    return 1;
}

int ioFlush(lua_State* L) { return pushResult(L, std::fflush(defaultFile(L, kOutput)) == 0, nullptr); }
int fileFlush(lua_State* L) { return pushResult(L, std::fflush(toStream(L, 1)) == 0, nullptr); }

// ---------------------------------------------------------------------------------------
// Operating system

int osRemove(lua_State* L)
{
    const std::string name(args::checkString(L, 1));
    return pushResult(L, platform::removeFile(name), name.c_str());
}

int osRename(lua_State* L)
{
    const std::string from(args::checkString(L, 1));
    const std::string to(args::checkString(L, 2));
    return pushResult(L, platform::renameFile(from, to), from.c_str());
}

// A new empty file in the temporary folder, as the runtime's own tmpname makes one here.
int osTmpname(lua_State* L)
{
    const std::optional<std::string> scriptName = platform::createTemporaryFile();
    if (!scriptName)
        args::raise(L, msg::text(msg::Id::TmpnameFailed));
    lua_pushlstring(L, scriptName->data(), scriptName->size());
    return 1;
}

int osGetenv(lua_State* L)
{
    const std::optional<std::string> value = platform::environmentValue(args::checkString(L, 1));
    if (value)
        lua_pushlstring(L, value->data(), value->size());
    else
        lua_pushnil(L);
    return 1;
}

int osClock(lua_State* L)
{
    lua_pushnumber(L, static_cast<lua_Number>(std::clock()) / CLOCKS_PER_SEC);
    return 1;
}

void setField(lua_State* L, const char* key, int value)
{
    lua_pushnumber(L, value);
    lua_setfield(L, -2, key);
}

int osDate(lua_State* L)
{
    std::string_view format = args::optString(L, 1, "%c");
    std::time_t t = static_cast<std::time_t>(args::clampInteger(args::optNumber(L, 2, -1)));
    if (t == static_cast<std::time_t>(-1))
        t = std::time(nullptr);
    std::tm parts{};
    bool valid = false;
    if (!format.empty() && format.front() == '!') {
        valid = platform::universalTime(t, parts);
        format.remove_prefix(1);
    } else {
        valid = platform::localTime(t, parts);
    }
    if (!valid) {
        lua_pushnil(L);
    } else if (format == "*t") {
        lua_createtable(L, 0, 9);
        setField(L, "sec", parts.tm_sec);
        setField(L, "min", parts.tm_min);
        setField(L, "hour", parts.tm_hour);
        setField(L, "day", parts.tm_mday);
        setField(L, "month", parts.tm_mon + 1);
        setField(L, "year", parts.tm_year + 1900);
        setField(L, "wday", parts.tm_wday + 1);
        setField(L, "yday", parts.tm_yday + 1);
        lua_pushboolean(L, parts.tm_isdst);
        lua_setfield(L, -2, "isdst");
    } else {
        const std::string pattern(format);
        char out[256];
        const std::size_t n = std::strftime(out, sizeof out, pattern.c_str(), &parts);
        // An empty format gives an empty text, not the too-long error.
        if (n == 0 && !pattern.empty())
            args::raise(L, msg::text(msg::Id::DateFormatTooLong));
        lua_pushlstring(L, out, n);
    }
    return 1;
}

int dateField(lua_State* L, const char* key, int fallback, bool required)
{
    lua_getfield(L, -1, key);
    int value = fallback;
    if (lua_isnumber(L, -1))
        value = args::clampInt32(lua_tonumber(L, -1));
    else if (required)
        args::raise(L, format(msg::text(msg::Id::DateFieldMissing), {key}));
    lua_pop(L, 1);
    return value;
}

int osTime(lua_State* L)
{
    if (lua_isnoneornil(L, 1)) {
        lua_pushnumber(L, static_cast<lua_Number>(std::time(nullptr)));
        return 1;
    }
    args::checkType(L, 1, LUA_TTABLE);
    lua_settop(L, 1);
    std::tm parts{};
    parts.tm_sec = dateField(L, "sec", 0, false);
    parts.tm_min = dateField(L, "min", 0, false);
    parts.tm_hour = dateField(L, "hour", 12, false);
    parts.tm_mday = dateField(L, "day", 0, true);
    parts.tm_mon = dateField(L, "month", 0, true) - 1;
    parts.tm_year = dateField(L, "year", 0, true) - 1900;
    lua_getfield(L, -1, "isdst");
    parts.tm_isdst = lua_toboolean(L, -1);
    lua_pop(L, 1);
    const std::time_t t = std::mktime(&parts);
    if (t == static_cast<std::time_t>(-1))
        lua_pushnil(L);
    else
        lua_pushnumber(L, static_cast<lua_Number>(t));
    return 1;
}

int osDifftime(lua_State* L)
{
    const auto t2 = static_cast<std::time_t>(args::clampInteger(args::checkNumber(L, 1)));
    const auto t1 = static_cast<std::time_t>(args::clampInteger(args::optNumber(L, 2, 0)));
    lua_pushnumber(L, std::difftime(t2, t1));
    return 1;
}

int osSetlocale(lua_State* L)
{
    // In the order of platform::LocaleCategory.
    static constexpr std::string_view kNames[] = {"all", "collate", "ctype", "monetary", "numeric", "time"};
    const char* locale = lua_tostring(L, 1);
    const std::string_view name = args::optString(L, 2, "all");
    int op = -1;
    for (int i = 0; i < 6; ++i) {
        if (name == kNames[i])
            op = i;
    }
    if (!locale && !lua_isnoneornil(L, 1))
        args::argError(L, 1, msg::text(msg::Id::StringExpected));
    if (op < 0)
        args::argError(L, 2, msg::text(msg::Id::InvalidOption));
    const char* result = platform::setLocale(static_cast<platform::LocaleCategory>(op), locale);
    if (result)
        lua_pushstring(L, result);
    else
        lua_pushnil(L);
    return 1;
}

int osExit(lua_State* L)
{
    const int code = args::optInt(L, 1, EXIT_SUCCESS);
    std::fflush(nullptr);
    // The windows, the interpreter and the plug-ins are all live below this call: running the
    // libraries' static destructors under them (std::exit) is unsafe and orphans what they own.
    // Every stream the scripts wrote through has been flushed, so nothing is lost.
    std::_Exit(code);
}

constexpr HostFunction kIoFunctions[] = {
    SELVARIN_HOST("input", ioInput),     SELVARIN_HOST("output", ioOutput), SELVARIN_HOST("lines", ioLines),
    SELVARIN_HOST("close", ioClose),     SELVARIN_HOST("flush", ioFlush),   SELVARIN_HOST("open", ioOpen),
    SELVARIN_HOST("popen", ioPopen),     SELVARIN_HOST("read", ioRead),     SELVARIN_HOST("tmpfile", ioTmpfile),
    SELVARIN_HOST("type", ioType),       SELVARIN_HOST("write", ioWrite),
};

constexpr HostFunction kFileMethods[] = {
    SELVARIN_HOST("flush", fileFlush), SELVARIN_HOST("read", fileRead),   SELVARIN_HOST("lines", fileLines),
    SELVARIN_HOST("seek", fileSeek),   SELVARIN_HOST("write", fileWrite), SELVARIN_HOST("close", ioClose),
    SELVARIN_HOST("__gc", fileGc),     SELVARIN_HOST("__tostring", fileToString),
};

constexpr HostFunction kOsFunctions[] = {
    SELVARIN_HOST("clock", osClock),   SELVARIN_HOST("date", osDate),         SELVARIN_HOST("difftime", osDifftime),
    SELVARIN_HOST("exit", osExit),     SELVARIN_HOST("getenv", osGetenv),     SELVARIN_HOST("remove", osRemove),
    SELVARIN_HOST("rename", osRename), SELVARIN_HOST("setlocale", osSetlocale), SELVARIN_HOST("time", osTime),
    SELVARIN_HOST("tmpname", osTmpname),
};

// [-0, +0] io[name] = a file object on `stream`; `which` also makes it the default file.
void registerStream(lua_State* L, int io, int meta, FILE* stream, const char* name, const char* which)
{
    ScriptFile* file = newFile(L);
    file->stream = stream;
    file->standard = true;
    if (which) {
        lua_pushvalue(L, -1);
        lua_setfield(L, meta, which);
    }
    lua_setfield(L, io, name);
}

}  // namespace

void openIo(lua_State* L, FILE* in, FILE* out, FILE* err)
{
    registerTable(L, LUA_OSLIBNAME, kOsFunctions);

    luaL_newmetatable(L, kFileHandle);
    const int meta = lua_gettop(L);
    lua_pushvalue(L, meta);
    lua_setfield(L, meta, "__index");
    for (const HostFunction& m : kFileMethods) {
        lua_pushvalue(L, meta);  // io.close as a method needs the defaults too
        lua_pushcclosure(L, m.function, 1);
        lua_setfield(L, meta, m.name);
    }

    lua_getglobal(L, LUA_IOLIBNAME);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setglobal(L, LUA_IOLIBNAME);
    }
    const int io = lua_gettop(L);
    for (const HostFunction& f : kIoFunctions) {
        lua_pushvalue(L, meta);  // the defaults live in the metatable
        lua_pushcclosure(L, f.function, 1);
        lua_setfield(L, io, f.name);
    }
    registerStream(L, io, meta, in, "stdin", kInput);
    registerStream(L, io, meta, out, "stdout", kOutput);
    registerStream(L, io, meta, err, "stderr", nullptr);
    lua_settop(L, meta - 1);
}

}  // namespace profile
}  // namespace engine
