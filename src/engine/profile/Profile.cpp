// The 5.0 library surface over the 5.1 libraries: version label, error texts at every place a
// message leaves the runtime, the load functions through the scanner, `require` with
// LUA_PATH, the table functions with 5.0 sizes, and the 5.0 traceback.

#include "Profile.h"

#include "IoLibrary.h"
#include "Scanner.h"
#include "Translate.h"

#include "engine/Args.h"
#include "engine/Format.h"
#include "engine/Host.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "engine/ScriptEngine.h"

#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <climits>
#include <cstring>
#include <string>

namespace engine::profile {

namespace {

// Registry keys: the addresses of these variables.
char kScriptErrorKey;  // the last value a script raised itself
char kSizesKey;        // weak table of explicit table sizes (table.setn)
char kTranslatorKey;   // the translating function for host code
char kTracebackKey;    // the profile's traceback function
char kCollectorKey;    // a function that runs a full collection

// [-0, +1] registry[key]
void getKey(lua_State* L, char* key)
{
    lua_pushlightuserdata(L, key);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

// [-1, +0] registry[key] = top
void setKey(lua_State* L, char* key)
{
    lua_pushlightuserdata(L, key);
    lua_insert(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// ---------------------------------------------------------------------------------------
// Error values

void markScriptError(lua_State* L, int index)
{
    lua_pushvalue(L, index);
    setKey(L, &kScriptErrorKey);
}

}  // namespace

void recoverMemory(lua_State* L, int status)
{
    // The runtime does not collect when an allocation fails: what the failed call left
    // behind is garbage now, and the program goes on only if it is reclaimed.
    if (status != LUA_ERRMEM)
        return;
    // Collected under protection, so that a finaliser that raises cannot escape from here, by
    // a function made in advance: nothing may be allocated now.
    getKey(L, &kCollectorKey);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    if (lua_pcall(L, 0, 0, 0) != 0)
        lua_pop(L, 1);
}

void translateError(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TSTRING)
        return;
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(L) + index + 1;
    getKey(L, &kScriptErrorKey);
    const bool own = lua_rawequal(L, -1, index) != 0;
    lua_pop(L, 1);
    if (own)
        return;
    std::size_t len = 0;
    const char* s = lua_tolstring(L, index, &len);
    if (std::optional<std::string> japanese = translateMessage(std::string_view(s, len))) {
        lua_pushlstring(L, japanese->data(), japanese->size());
        lua_replace(L, index);
    }
}

namespace {

int translatingHandler(lua_State* L);
bool isProfileTraceback(lua_State* L, int index);

int translateTop(lua_State* L)
{
    translateError(L, 1);
    return 1;
}

}  // namespace

void installTranslator(lua_State* L)
{
    lua_pushcfunction(L, hostFunction<translateTop>);
    setKey(L, &kTranslatorKey);
    lua_pushcfunction(L, [](lua_State* S) {
        lua_gc(S, LUA_GCCOLLECT, 0);
        return 0;
    });
    setKey(L, &kCollectorKey);
}

void translateErrorProtected(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TSTRING)
        return;
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(L) + index + 1;
    getKey(L, &kTranslatorKey);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushvalue(L, index);
    if (lua_pcall(L, 1, 1, 0) == 0)
        lua_replace(L, index);
    else
        lua_pop(L, 1);
}

void wrapMessageHandler(lua_State* L)
{
    if (isProfileTraceback(L, lua_gettop(L)))
        return;
    lua_pushcclosure(L, hostFunction<translatingHandler>, 1);
}

int loadBuffer(lua_State* L, std::string_view bytes, const char* chunkName)
{
    if (isPrecompiled(bytes)) {
        const int status = luaL_loadbuffer(L, bytes.data(), bytes.size(), chunkName);
        if (status != 0)
            translateErrorProtected(L, -1);
        return status;
    }
    std::string source;
    if (!translateSource(bytes, chunkName, source)) {
        lua_pushlstring(L, source.data(), source.size());
        return LUA_ERRSYNTAX;
    }
    const int status = luaL_loadbuffer(L, source.data(), source.size(), chunkName);
    if (status == LUA_ERRSYNTAX) {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        const std::string japanese = translateSyntaxError(std::string_view(s ? s : "", s ? len : 0), chunkName);
        lua_pop(L, 1);
        lua_pushlstring(L, japanese.data(), japanese.size());
    } else if (status != 0) {
        translateErrorProtected(L, -1);
    }
    return status;
}

namespace {

// ---------------------------------------------------------------------------------------
// Base library

int baseError(lua_State* L)
{
    const int level = args::optInt(L, 2, 1);
    lua_settop(L, 1);
    if (lua_isstring(L, 1) && level > 0) {
        luaL_where(L, level);
        lua_pushvalue(L, 1);
        lua_concat(L, 2);
    }
    markScriptError(L, -1);
    return lua_error(L);
}

int baseAssert(lua_State* L)
{
    args::checkAny(L, 1);
    if (lua_toboolean(L, 1))
        return lua_gettop(L);
    if (lua_isnoneornil(L, 2)) {
        args::raise(L, msg::text(msg::Id::AssertionFailed));
    }
    const std::string_view message = args::checkString(L, 2);
    luaL_where(L, 1);
    lua_pushlstring(L, message.data(), message.size());
    lua_concat(L, 2);
    markScriptError(L, -1);
    return lua_error(L);
}

int basePcall(lua_State* L)
{
    args::checkAny(L, 1);
    const int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    recoverMemory(L, status);
    if (status != 0) {
        ScriptEngine::raiseIfStopping(L);
        translateError(L, -1);
    }
    lua_pushboolean(L, status == 0);
    lua_insert(L, 1);
    return lua_gettop(L);
}

// The message handler of xpcall: the script's handler receives the translated message.
int translatingHandler(lua_State* L)
{
    translateError(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, 1);
    return 1;
}

bool isProfileTraceback(lua_State* L, int index)
{
    getKey(L, &kTracebackKey);
    const bool same = lua_rawequal(L, -1, index) != 0;
    lua_pop(L, 1);
    return same;
}

int baseXpcall(lua_State* L)
{
    args::checkAny(L, 2);
    lua_settop(L, 2);
    if (!isProfileTraceback(L, 2)) {
        lua_pushvalue(L, 2);
        lua_pushcclosure(L, hostFunction<translatingHandler>, 1);
        lua_replace(L, 2);
    }
    lua_insert(L, 1);  // [handler, f]
    const int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    recoverMemory(L, status);
    if (status != 0) {
        ScriptEngine::raiseIfStopping(L);
        translateError(L, -1);
    }
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// The runtime's auxiliary resume, with messages translated: the number of results moved
// from `co`, or -1 with the error value on top.
int resumeCoroutine(lua_State* L, lua_State* co, int narg)
{
    bool suspended = false;
    bool dead = false;
    if (co != L) {
        if (lua_status(co) == LUA_YIELD) {
            suspended = true;
        } else if (lua_status(co) == 0) {
            lua_Debug ar;
            if (lua_getstack(co, 0, &ar) == 0) {
                suspended = lua_gettop(co) != 0;
                dead = !suspended;
            }
        } else {
            dead = true;
        }
    }
    if (!lua_checkstack(co, narg))
        args::raise(L, msg::text(msg::Id::ResumeTooManyArgs));
    if (!suspended) {
        lua_pushstring(L, msg::text(dead ? msg::Id::ResumeDead : msg::Id::ResumeNotSuspended).c_str());
        return -1;
    }
    lua_xmove(L, co, narg);
    lua_setlevel(L, co);
    const int status = lua_resume(co, narg);
    if (status == 0 || status == LUA_YIELD) {
        const int nres = lua_gettop(co);
        if (!lua_checkstack(L, nres + 1))
            args::raise(L, msg::text(msg::Id::ResumeTooManyResults));
        lua_xmove(co, L, nres);
        return nres;
    }
    lua_xmove(co, L, 1);
    recoverMemory(L, status);
    translateError(L, -1);
    return -1;
}

int coResume(lua_State* L)
{
    lua_State* co = lua_tothread(L, 1);
    if (!co)
        args::argError(L, 1, msg::text(msg::Id::CoroutineExpected));
    const int r = resumeCoroutine(L, co, lua_gettop(L) - 1);
    if (r < 0) {
        ScriptEngine::raiseIfStopping(L);
        lua_pushboolean(L, 0);
        lua_insert(L, -2);
        return 2;
    }
    lua_pushboolean(L, 1);
    lua_insert(L, -(r + 1));
    return r + 1;
}

// Upvalue: the coroutine. An error inside it passes on as it is, without a position of its
// own, as 5.0 did.
int coWrapped(lua_State* L)
{
    lua_State* co = lua_tothread(L, lua_upvalueindex(1));
    const int r = resumeCoroutine(L, co, lua_gettop(L));
    if (r < 0)
        return lua_error(L);
    return r;
}

int coWrap(lua_State* L)
{
    if (!lua_isfunction(L, 1) || lua_iscfunction(L, 1))
        args::argError(L, 1, msg::text(msg::Id::LuaFunctionExpected));
    lua_State* co = lua_newthread(L);
    lua_pushvalue(L, 1);
    lua_xmove(L, co, 1);
    lua_pushcclosure(L, hostFunction<coWrapped>, 1);
    return 1;
}

// A whole chunk as loaded by the load functions: the function, or nil and the message.
int loadResult(lua_State* L, int status)
{
    if (status == 0)
        return 1;
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

// Loads a file named by a script (nothing: standard input); the chunk name is "@" + name.
int loadScriptFile(lua_State* L, const char* name)
{
    if (name)
        return loadFile(L, name);
    std::string bytes;
    if (ScriptEngine* engine = ScriptEngine::from(L); engine && engine->standardInput()) {
        char block[4096];
        std::size_t got = 0;
        while ((got = std::fread(block, 1, sizeof block, engine->standardInput())) > 0)
            bytes.append(block, got);
    }
    return loadBuffer(L, bytes, "=stdin");
}

int baseLoadstring(lua_State* L)
{
    const std::string_view source = args::checkString(L, 1);
    const std::string name(args::optString(L, 2, source));
    return loadResult(L, loadBuffer(L, source, name.c_str()));
}

int baseLoadfile(lua_State* L)
{
    const std::optional<std::string_view> name = args::optString(L, 1);
    const std::string path = name ? std::string(*name) : std::string();
    return loadResult(L, loadScriptFile(L, name ? path.c_str() : nullptr));
}

int baseDofile(lua_State* L)
{
    const std::optional<std::string_view> name = args::optString(L, 1);
    const std::string path = name ? std::string(*name) : std::string();
    const int n = lua_gettop(L);
    if (loadScriptFile(L, name ? path.c_str() : nullptr) != 0)
        return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - n;
}

// load(reader [, chunkname]): the pieces are gathered first, so that the scanner sees the
// whole chunk.
int baseLoad(lua_State* L)
{
    args::checkType(L, 1, LUA_TFUNCTION);
    const std::string name(args::optString(L, 2, "=(load)"));
    std::string bytes;
    for (;;) {
        lua_pushvalue(L, 1);
        lua_call(L, 0, 1);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_isstring(L, -1)) {
            lua_pop(L, 1);
            lua_pushnil(L);
            lua_pushstring(L, msg::text(msg::Id::ReaderNotString).c_str());
            return 2;
        }
        std::size_t len = 0;
        const char* piece = lua_tolstring(L, -1, &len);
        if (len == 0) {
            lua_pop(L, 1);
            break;
        }
        bytes.append(piece, len);
        lua_pop(L, 1);
    }
    return loadResult(L, loadBuffer(L, bytes, name.c_str()));
}

// The search path: global LUA_PATH, else the environment variable, else "?;?.lua".
std::string requirePath(lua_State* L)
{
    lua_getglobal(L, "LUA_PATH");
    std::size_t len = 0;
    const char* global = lua_isstring(L, -1) ? lua_tolstring(L, -1, &len) : nullptr;
    std::string path = global ? std::string(global, len) : std::string();
    lua_pop(L, 1);
    if (global)
        return path;
    if (std::optional<std::string> env = platform::environmentValue("LUA_PATH"))
        return *env;
    return "?;?.lua";
}

// More marks in one path element than this are a stack overflow, as each costs C stack slots.
constexpr int kMaxPathMarks = LUAI_MAXCSTACK / 2;

int baseRequire(lua_State* L)
{
    const std::string name(args::checkString(L, 1));
    lua_settop(L, 1);
    lua_getglobal(L, "_LOADED");
    if (!lua_istable(L, 2))
        args::raise(L, msg::text(msg::Id::LoadedNotTable));
    const std::string path = requirePath(L);
    lua_pushvalue(L, 1);
    lua_rawget(L, 2);
    if (lua_toboolean(L, -1))
        return 1;

    int status = StatusFileError;
    std::size_t pos = 0;
    while (status == StatusFileError) {
        lua_settop(L, 2);
        if (pos >= path.size())
            break;
        if (path[pos] == ';')
            ++pos;
        std::size_t end = path.find(';', pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string_view element(path.data() + pos, end - pos);
        pos = end;
        // Every "?" of the element stands for the package name.
        std::string file;
        int marks = 0;
        for (char c : element) {
            if (c == '?') {
                if (++marks > kMaxPathMarks)
                    args::raise(L, format(msg::text(msg::Id::StackOverflow), {msg::text(msg::Id::TooManyPathMarks)}));
                file += name;
            } else {
                file += c;
            }
        }
        status = loadFile(L, file);
    }
    switch (status) {
    case 0: {
        lua_getglobal(L, "_REQUIREDNAME");
        lua_insert(L, -2);  // [name, _LOADED, old name, chunk]
        lua_pushvalue(L, 1);
        lua_setglobal(L, "_REQUIREDNAME");
        lua_call(L, 0, 1);
        lua_insert(L, -2);
        lua_setglobal(L, "_REQUIREDNAME");
        if (lua_isnil(L, -1)) {
            lua_pushboolean(L, 1);
            lua_replace(L, -2);
        }
        lua_pushvalue(L, 1);
        lua_pushvalue(L, -2);
        lua_rawset(L, 2);
        return 1;
    }
    case StatusFileError:
        args::raise(L, format(msg::text(msg::Id::RequireNotFound), {path, name}));
    default: {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        args::raise(L, format(msg::text(msg::Id::RequireFailed), {name, std::string_view(s ? s : "", s ? len : 0)}));
    }
    }
}

int baseGcinfo(lua_State* L)
{
    const int used = lua_gc(L, LUA_GCCOUNT, 0);
    lua_pushnumber(L, used);
    // The collector starts its next cycle when the heap has doubled.
    lua_pushnumber(L, 2.0 * used);
    return 2;
}

// collectgarbage([limit]) collects when the limit (in kilobytes) is not above the heap in use;
// the runtime's option names keep working.
int baseCollectgarbage(lua_State* L)
{
    if (lua_type(L, 1) == LUA_TSTRING) {
        static constexpr std::pair<std::string_view, int> kOptions[] = {
            {"stop", LUA_GCSTOP}, {"restart", LUA_GCRESTART},   {"collect", LUA_GCCOLLECT},
            {"count", LUA_GCCOUNT}, {"step", LUA_GCSTEP},       {"setpause", LUA_GCSETPAUSE},
            {"setstepmul", LUA_GCSETSTEPMUL},
        };
        const std::string_view name = args::checkString(L, 1);
        for (const auto& [option, what] : kOptions) {
            if (option != name)
                continue;
            const int result = lua_gc(L, what, args::optInt(L, 2, 0));
            if (what == LUA_GCCOUNT)
                lua_pushnumber(L, result + lua_gc(L, LUA_GCCOUNTB, 0) / 1024.0);
            else if (what == LUA_GCSTEP)
                lua_pushboolean(L, result);
            else
                lua_pushnumber(L, result);
            return 1;
        }
        args::argError(L, 1, msg::text(msg::Id::InvalidOption));
    }
    const long long limit = args::optInteger(L, 1, 0);
    if (limit <= lua_gc(L, LUA_GCCOUNT, 0))
        lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

int baseLoadlib(lua_State* L)
{
    const std::string path = platform::toOsPath(args::checkString(L, 1));
    const std::string init(args::checkString(L, 2));
    lua_settop(L, 0);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushlstring(L, path.data(), path.size());
    lua_pushlstring(L, init.data(), init.size());
    lua_call(L, 2, LUA_MULTRET);
    if (lua_isnil(L, 1) && lua_type(L, 2) == LUA_TSTRING) {
        const std::string text = platform::utf8ToCp932(lua_tostring(L, 2));
        lua_pushlstring(L, text.data(), text.size());
        lua_replace(L, 2);
    }
    return lua_gettop(L);
}

// ---------------------------------------------------------------------------------------
// Table sizes as 5.0 keeps them: a numeric field "n", else an explicit size, else the count
// of non-nil elements from 1.

void pushSizes(lua_State* L)
{
    getKey(L, &kSizesKey);
    if (lua_istable(L, -1))
        return;
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_setmetatable(L, -2);  // the table is its own metatable
    lua_pushliteral(L, "k");
    lua_setfield(L, -2, "__mode");
    lua_pushvalue(L, -1);
    setKey(L, &kSizesKey);
}

// [-1, +0] The number on top, or -1 when it is not a number.
int popSize(lua_State* L)
{
    int n = -1;
    if (lua_type(L, -1) == LUA_TNUMBER || lua_isnumber(L, -1))
        n = args::clampInt32(lua_tonumber(L, -1));
    lua_pop(L, 1);
    return n;
}

int getn(lua_State* L, int t)
{
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    if (const int n = popSize(L); n >= 0)
        return n;
    pushSizes(L);
    lua_pushvalue(L, t);
    lua_rawget(L, -2);
    const int n = popSize(L);
    lua_pop(L, 1);
    if (n >= 0)
        return n;
    int i = 1;
    for (;; ++i) {
        lua_rawgeti(L, t, i);
        const bool end = lua_isnil(L, -1);
        lua_pop(L, 1);
        if (end)
            break;
    }
    return i - 1;
}

void setn(lua_State* L, int t, int n)
{
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    if (popSize(L) >= 0) {
        lua_pushliteral(L, "n");
        lua_pushnumber(L, n);
        lua_rawset(L, t);
        return;
    }
    pushSizes(L);
    lua_pushvalue(L, t);
    lua_pushnumber(L, n);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

int checkTableSize(lua_State* L, int t)
{
    args::checkType(L, t, LUA_TTABLE);
    return getn(L, t);
}

int tableGetn(lua_State* L)
{
    lua_pushnumber(L, checkTableSize(L, 1));
    return 1;
}

int tableSetn(lua_State* L)
{
    args::checkType(L, 1, LUA_TTABLE);
    setn(L, 1, args::checkInt(L, 2));
    return 0;
}

int tableInsert(lua_State* L)
{
    int v = lua_gettop(L);
    const int size = checkTableSize(L, 1);
    // A size already at the index limit cannot grow (set with table.setn).
    if (size == INT_MAX)
        args::raise(L, msg::text(msg::Id::TableOverflow));
    int n = size + 1;
    int pos = n;
    if (v != 2) {
        pos = args::checkInt(L, 2);
        if (pos > n)
            n = pos;
        v = 3;
    }
    setn(L, 1, n);
    for (long long i = n - 1; i >= pos; --i) {  // wide: pos may be the smallest int
        lua_rawgeti(L, 1, static_cast<int>(i));
        lua_rawseti(L, 1, static_cast<int>(i + 1));
    }
    lua_pushvalue(L, v);
    lua_rawseti(L, 1, pos);
    return 0;
}

int tableRemove(lua_State* L)
{
    const int n = checkTableSize(L, 1);
    int pos = args::optInt(L, 2, n);
    if (n <= 0)
        return 0;
    setn(L, 1, n - 1);
    lua_rawgeti(L, 1, pos);
    for (; pos < n; ++pos) {
        lua_rawgeti(L, 1, pos + 1);
        lua_rawseti(L, 1, pos);
    }
    lua_pushnil(L);
    lua_rawseti(L, 1, n);
    return 1;
}

// table.sort as 5.0 had it: the same quicksort as the runtime's, over the 5.0 size of the
// table (table.setn counts), with the catalogue's message for an inconsistent order function.
bool sortLess(lua_State* L, int a, int b)
{
    if (!lua_isnil(L, 2)) {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, a - 1);  // -1 to compensate the function
        lua_pushvalue(L, b - 2);  // -2 to compensate the function and `a'
        lua_call(L, 2, 1);
        const bool less = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return less;
    }
    return lua_lessthan(L, a, b) != 0;
}

void sortSet(lua_State* L, int i, int j)
{
    lua_rawseti(L, 1, i);
    lua_rawseti(L, 1, j);
}

void sortRange(lua_State* L, int lo, int up)
{
    while (lo < up) {
        // Sort the elements a[lo], a[(lo+up)/2] and a[up].
        lua_rawgeti(L, 1, lo);
        lua_rawgeti(L, 1, up);
        if (sortLess(L, -1, -2))
            sortSet(L, lo, up);
        else
            lua_pop(L, 2);
        if (up - lo == 1)
            break;
        int i = (lo + up) / 2;
        lua_rawgeti(L, 1, i);
        lua_rawgeti(L, 1, lo);
        if (sortLess(L, -2, -1)) {
            sortSet(L, i, lo);
        } else {
            lua_pop(L, 1);
            lua_rawgeti(L, 1, up);
            if (sortLess(L, -1, -2))
                sortSet(L, i, up);
            else
                lua_pop(L, 2);
        }
        if (up - lo == 2)
            break;
        lua_rawgeti(L, 1, i);  // the pivot
        lua_pushvalue(L, -1);
        lua_rawgeti(L, 1, up - 1);
        sortSet(L, i, up - 1);
        // Invariant: a[lo..i] <= P <= a[j..up], a[up-1] = P.
        i = lo;
        int j = up - 1;
        for (;;) {
            while (lua_rawgeti(L, 1, ++i), sortLess(L, -1, -2)) {
                if (i > up)
                    args::raise(L, msg::text(msg::Id::SortInvalidOrder));
                lua_pop(L, 1);
            }
            while (lua_rawgeti(L, 1, --j), sortLess(L, -3, -1)) {
                if (j < lo)
                    args::raise(L, msg::text(msg::Id::SortInvalidOrder));
                lua_pop(L, 1);
            }
            if (j < i) {
                lua_pop(L, 3);
                break;
            }
            sortSet(L, i, j);
        }
        lua_rawgeti(L, 1, up - 1);
        lua_rawgeti(L, 1, i);
        sortSet(L, up - 1, i);
        // Recurse into the smaller part, loop over the larger.
        if (i - lo < up - i) {
            j = lo;
            i = i - 1;
            lo = i + 2;
        } else {
            j = i + 1;
            i = up;
            up = j - 2;
        }
        sortRange(L, j, i);
    }
}

int tableSort(lua_State* L)
{
    const int n = checkTableSize(L, 1);
    args::checkStack(L, 40, "");
    if (!lua_isnoneornil(L, 2))
        args::checkType(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    sortRange(L, 1, n);
    return 0;
}

int tableForeachi(lua_State* L)
{
    const int n = checkTableSize(L, 1);
    args::checkType(L, 2, LUA_TFUNCTION);
    for (int i = 1; i <= n; ++i) {
        lua_pushvalue(L, 2);
        lua_pushnumber(L, i);
        lua_rawgeti(L, 1, i);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1))
            return 1;
        lua_pop(L, 1);
    }
    return 0;
}

int tableForeach(lua_State* L)
{
    args::checkType(L, 1, LUA_TTABLE);
    args::checkType(L, 2, LUA_TFUNCTION);
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, -3);
        lua_pushvalue(L, -3);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1))
            return 1;
        lua_pop(L, 2);
    }
    return 0;
}

int tableConcat(lua_State* L)
{
    const std::string_view sep = args::optString(L, 2, "");
    int i = args::optInt(L, 3, 1);
    int n = args::optInt(L, 4, 0);
    args::checkType(L, 1, LUA_TTABLE);
    if (n == 0)
        n = getn(L, 1);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (; i <= n; ++i) {
        lua_rawgeti(L, 1, i);
        if (!lua_isstring(L, -1))
            args::argError(L, 1, msg::text(msg::Id::ConcatNonString));
        luaL_addvalue(&b);
        if (i == n)
            break;  // before ++i could pass the largest index
        luaL_addlstring(&b, sep.data(), sep.size());
    }
    luaL_pushresult(&b);
    return 1;
}

int baseUnpack(lua_State* L)
{
    const int n = checkTableSize(L, 1);
    args::checkStack(L, n, msg::text(msg::Id::UnpackTooBig));
    for (int i = 1; i <= n; ++i)
        lua_rawgeti(L, 1, i);
    return n;
}

// ---------------------------------------------------------------------------------------
// Traceback in the words and layout of 5.0: "スタックトレース:" and one line per level, the
// middle of a deep stack left out.

constexpr int kLevelsFirst = 12;
constexpr int kLevelsLast = 10;

int debugTraceback(lua_State* L)
{
    int arg = 0;
    lua_State* L1 = L;
    if (lua_isthread(L, 1)) {
        arg = 1;
        L1 = lua_tothread(L, 1);
    }
    std::string out;
    if (lua_gettop(L) > arg) {
        if (!lua_isstring(L, arg + 1)) {
            lua_pushvalue(L, arg + 1);
            return 1;
        }
        translateError(L, arg + 1);
        std::size_t len = 0;
        const char* s = lua_tolstring(L, arg + 1, &len);
        out.assign(s, len);
        out += '\n';
    }
    int level = args::optInt(L, arg + 2, L == L1 ? 1 : 0);
    out += msg::text(msg::Id::TracebackHeader);
    bool firstPart = true;
    lua_Debug ar;
    while (lua_getstack(L1, level++, &ar)) {
        if (level > kLevelsFirst && firstPart) {
            if (!lua_getstack(L1, level + kLevelsLast, &ar)) {
                --level;
            } else {
                out += "\n\t...";
                while (lua_getstack(L1, level + kLevelsLast, &ar))
                    ++level;
            }
            firstPart = false;
            continue;
        }
        lua_getinfo(L1, "Snl", &ar);
        out += "\n\t";
        out += ar.short_src;
        out += ':';
        if (ar.currentline > 0) {
            out += std::to_string(ar.currentline);
            out += ':';
        }
        switch (ar.namewhat ? *ar.namewhat : '\0') {
        case 'g':
        case 'l':
        case 'f':
        case 'm':
            out += format(msg::text(msg::Id::TracebackFunction), {ar.name ? ar.name : "?"});
            break;
        default:
            if (*ar.what == 'm')
                out += msg::text(msg::Id::TracebackMain);
            else if (*ar.what == 'C' || *ar.what == 't')
                out += " ?";
            else
                out += format(msg::text(msg::Id::TracebackFunctionAt), {ar.short_src, ar.linedefined});
        }
    }
    lua_pushlstring(L, out.data(), out.size());
    return 1;
}

// ---------------------------------------------------------------------------------------

void setFunction(lua_State* L, int table, const char* name, lua_CFunction f, int upvalues = 0)
{
    lua_pushcclosure(L, f, upvalues);
    lua_setfield(L, table, name);
}

int openBaseProfile(lua_State* L)
{
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    const int g = lua_gettop(L);
    lua_pushstring(L, kVersion);
    lua_setfield(L, g, "_VERSION");
    setFunction(L, g, "error", hostFunction<baseError>);
    setFunction(L, g, "assert", hostFunction<baseAssert>);
    setFunction(L, g, "pcall", hostFunction<basePcall>);
    setFunction(L, g, "xpcall", hostFunction<baseXpcall>);
    setFunction(L, g, "loadstring", hostFunction<baseLoadstring>);
    setFunction(L, g, "loadfile", hostFunction<baseLoadfile>);
    setFunction(L, g, "dofile", hostFunction<baseDofile>);
    setFunction(L, g, "load", hostFunction<baseLoad>);
    setFunction(L, g, "require", hostFunction<baseRequire>);
    setFunction(L, g, "gcinfo", hostFunction<baseGcinfo>);
    setFunction(L, g, "unpack", hostFunction<baseUnpack>);
    setFunction(L, g, "collectgarbage", hostFunction<baseCollectgarbage>);
    lua_newtable(L);
    lua_setfield(L, g, "_LOADED");

    lua_getfield(L, g, LUA_LOADLIBNAME);
    lua_getfield(L, -1, "loadlib");
    setFunction(L, g, "loadlib", hostFunction<baseLoadlib>, 1);
    lua_pop(L, 1);

    lua_getfield(L, g, LUA_COLIBNAME);
    setFunction(L, lua_gettop(L), "resume", hostFunction<coResume>);
    setFunction(L, lua_gettop(L), "wrap", hostFunction<coWrap>);
    lua_settop(L, g);

    lua_getfield(L, g, LUA_TABLIBNAME);
    const int t = lua_gettop(L);
    setFunction(L, t, "getn", hostFunction<tableGetn>);
    setFunction(L, t, "setn", hostFunction<tableSetn>);
    setFunction(L, t, "insert", hostFunction<tableInsert>);
    setFunction(L, t, "remove", hostFunction<tableRemove>);
    setFunction(L, t, "foreach", hostFunction<tableForeach>);
    setFunction(L, t, "foreachi", hostFunction<tableForeachi>);
    setFunction(L, t, "concat", hostFunction<tableConcat>);
    setFunction(L, t, "sort", hostFunction<tableSort>);
    lua_settop(L, g);

    lua_getfield(L, g, LUA_DBLIBNAME);
    setFunction(L, lua_gettop(L), "traceback", hostFunction<debugTraceback>);
    lua_getfield(L, -1, "traceback");
    setKey(L, &kTracebackKey);
    lua_settop(L, g);

    installTranslator(L);
    lua_settop(L, 0);
    return 0;
}

}  // namespace

void openLibraries(lua_State* L, FILE* in, FILE* out, FILE* err)
{
    struct Library {
        const char* name;
        lua_CFunction open;
    };
    static constexpr Library kLibraries[] = {
        {"", luaopen_base},
        {LUA_TABLIBNAME, luaopen_table},
        {LUA_IOLIBNAME, nullptr},  // ours, with the file functions of os
        {LUA_STRLIBNAME, luaopen_string},
        {LUA_MATHLIBNAME, luaopen_math},
        {LUA_DBLIBNAME, luaopen_debug},
        {LUA_LOADLIBNAME, luaopen_package},
    };
    for (const Library& lib : kLibraries) {
        if (lib.open) {
            lua_pushcfunction(L, lib.open);
            lua_pushstring(L, lib.name);
            lua_call(L, 1, 0);
        } else {
            openIo(L, in, out, err);
        }
        lua_settop(L, 0);
    }
    openBaseProfile(L);
    lua_settop(L, 0);
}

}  // namespace engine::profile
