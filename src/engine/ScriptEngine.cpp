#include "ScriptEngine.h"

#include "Format.h"
#include "Messages.h"
#include "ScriptCall.h"
#include "profile/Profile.h"
#include "profile/Scanner.h"

#include "platform/Paths.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace engine {
namespace {

// Registry key of the owning engine: the address of this variable.
char kEngineKey;

// Often enough to answer within a fraction of a second, rarely enough to cost nothing measurable.
constexpr int kStallCheckInstructions = 10000;

int panic(lua_State* L)
{
    const char* text = lua_tostring(L, -1);
    std::fprintf(stderr, "selvarin: unprotected script error: %s\n", text ? text : "?");
    return 0;
}

void pushTextTable(lua_State* L, const std::vector<std::string>& texts)
{
    lua_createtable(L, static_cast<int>(std::min<std::size_t>(texts.size(), INT_MAX)), 0);
    int i = 0;
    for (const std::string& t : texts) {
        lua_pushlstring(L, t.data(), t.size());
        lua_rawseti(L, -2, ++i);
    }
}

int pushTexts(lua_State* L, std::initializer_list<std::optional<std::string_view>> texts)
{
    int n = 0;
    for (const auto& t : texts) {
        if (t) {
            lua_pushlstring(L, t->data(), t->size());
            ++n;
        }
    }
    return n;
}

}  // namespace

void installOsExecute(lua_State* L);

ScriptEngine::ScriptEngine(std::span<const HostLibrary> libraries, Streams streams)
    : m_libraries(libraries), m_streamMode(streams)
{
}

ScriptEngine::~ScriptEngine()
{
    close();
    closeStreams();
}

ScriptEngine* ScriptEngine::from(lua_State* L)
{
    lua_pushlightuserdata(L, &kEngineKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* engine = static_cast<ScriptEngine*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return engine;
}

// A runaway script (a string doubled in a loop) meets the out-of-memory error long before the
// machine runs out.
void* ScriptEngine::allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize) noexcept
{
    auto* self = static_cast<ScriptEngine*>(ud);
    if (newSize == 0) {
        std::free(block);
        self->m_memoryUsed -= oldSize;
        return nullptr;
    }
    if (newSize > oldSize && newSize - oldSize > self->m_memoryLimit - std::min(self->m_memoryUsed, self->m_memoryLimit))
        return nullptr;
    void* grown = std::realloc(block, newSize);
    if (grown)
        self->m_memoryUsed = self->m_memoryUsed - oldSize + newSize;
    return grown;
}

ScriptEngine* ScriptEngine::fromAllocator(lua_State* L) noexcept
{
    void* ud = nullptr;
    return lua_getallocf(L, &ud) == &ScriptEngine::allocate ? static_cast<ScriptEngine*>(ud) : nullptr;
}

void ScriptEngine::setStallCheck(std::chrono::milliseconds interval, StallHandler handler)
{
    m_stallInterval = interval;
    m_stallHandler = std::move(handler);
    installStallHook();
}

void ScriptEngine::installStallHook() noexcept
{
    // Set before any script runs: coroutines take the hook of the thread that makes them.
    if (!m_state)
        return;
    if (m_stallInterval.count() > 0 && m_stallHandler)
        lua_sethook(m_state, stallHook, LUA_MASKCOUNT, kStallCheckInstructions);
    else
        lua_sethook(m_state, nullptr, 0, 0);
}

void ScriptEngine::enterFromHost() noexcept
{
    if (m_entryDepth++ == 0)
        m_busySince = std::chrono::steady_clock::now();
}

void ScriptEngine::leaveToHost() noexcept
{
    --m_entryDepth;
    if (m_stopDepth > m_entryDepth)
        m_stopDepth = 0;
}

void ScriptEngine::raiseIfStopping(lua_State* L)
{
    const ScriptEngine* self = fromAllocator(L);
    if (!self || self->m_stopDepth == 0)
        return;
    luaL_where(L, 1);
    lua_pushlstring(L, self->m_stopText.data(), self->m_stopText.size());
    lua_concat(L, 2);
    lua_error(L);
}

void ScriptEngine::stallHook(lua_State* L, lua_Debug*)
{
    ScriptEngine* self = fromAllocator(L);
    // Outside the host's entries (a test driving the state directly) and while the question is
    // up (a nested event may resume a coroutine) nothing is checked.
    if (!self || self->m_entryDepth == 0 || self->m_askingStall)
        return;
    if (self->m_stopDepth == 0) {
        if (std::chrono::steady_clock::now() - self->m_busySince < self->m_stallInterval)
            return;
        std::optional<std::string> stop;
        {
            self->m_askingStall = true;
            struct Reset {
                bool& flag;
                ~Reset() { flag = false; }
            } reset{self->m_askingStall};
            try {
                stop = self->m_stallHandler();
            } catch (const std::exception&) {
                // No box could be shown (out of memory): let the script run on.
            }
        }
        self->m_busySince = std::chrono::steady_clock::now();
        if (!stop)
            return;
        self->m_stopDepth = self->m_entryDepth;
        self->m_stopText = std::move(*stop);
    }
    // A hook runs in the frame of the interrupted function: level 0 is where the script was.
    luaL_where(L, 0);
    lua_pushlstring(L, self->m_stopText.data(), self->m_stopText.size());
    lua_concat(L, 2);
    lua_error(L);
}

bool ScriptEngine::createState()
{
    close();
    m_memoryUsed = 0;
    m_state = lua_newstate(allocate, this);
    if (!m_state)
        return false;
    lua_atpanic(m_state, panic);
    return true;
}

void ScriptEngine::openStreams()
{
    closeStreams();
    if (m_streamMode == Streams::Process) {
        m_stdin = stdin;
        m_stdout = stdout;
        m_stderr = stderr;
        return;
    }
    m_ownsStreams = true;
    m_stdin = openEmptyReadStream();
    m_stdout = m_output.openWriteStream();
    m_stderr = m_stdout;
}

void ScriptEngine::closeStreams() noexcept
{
    if (m_ownsStreams) {
        if (m_stdin)
            std::fclose(m_stdin);
        if (m_stdout)
            std::fclose(m_stdout);
    }
    m_ownsStreams = false;
    m_stdin = m_stdout = m_stderr = nullptr;
}

int ScriptEngine::openLibraries(lua_State* L)
{
    ScriptEngine* self = this;

    lua_pushlightuserdata(L, &kEngineKey);
    lua_pushlightuserdata(L, self);
    lua_rawset(L, LUA_REGISTRYINDEX);

    // The libraries as scripts of this system know them; the I/O library reads and writes
    // the engine's streams.
    profile::openLibraries(L, self->m_stdin, self->m_stdout, self->m_stderr);

    // The traceback function is the message handler of every host call.
    lua_getglobal(L, LUA_DBLIBNAME);
    lua_getfield(L, -1, "traceback");
    lua_setglobal(L, "_TRACEBACK");
    lua_settop(L, 0);

    installOsExecute(L);
    lua_settop(L, 0);

    for (const HostLibrary& lib : self->m_libraries) {
        lib.install(L);
        lua_settop(L, 0);
    }

    lua_pushliteral(L, "_TRACEBACK");
    m_tracebackName = luaL_ref(L, LUA_REGISTRYINDEX);
    // The profile's own traceback translates by itself; knowing it by address spares each
    // state request a registry lookup. The registry keeps it alive.
    lua_getglobal(L, "_TRACEBACK");
    m_profileTraceback = lua_topointer(L, -1);
    lua_pop(L, 1);
    return 0;
}

bool ScriptEngine::open()
{
    if (!createState())
        return false;
    openStreams();
    if (enterScript(m_state, [this](lua_State* L) { return openLibraries(L); }) != 0) {
        close();
        return false;
    }
    installStallHook();
    return true;
}

bool ScriptEngine::openBare()
{
    if (!createState())
        return false;
    // Nothing a script could see, but its failures are reported in Japanese.
    if (enterScript(m_state, [](lua_State* L) { profile::installTranslator(L); return 0; }) != 0) {
        close();
        return false;
    }
    return true;
}

void ScriptEngine::pushName(std::string_view name)
{
    for (const auto& [text, ref] : m_names) {
        if (text == name) {
            lua_rawgeti(m_state, LUA_REGISTRYINDEX, ref);
            return;
        }
    }
    lua_pushlstring(m_state, name.data(), name.size());
    // The set of names is small and fixed (events and a few keys); stop caching past that.
    if (m_names.size() < 64) {
        lua_pushvalue(m_state, -1);
        m_names.emplace_back(std::string(name), luaL_ref(m_state, LUA_REGISTRYINDEX));
    }
}

void ScriptEngine::close()
{
    m_names.clear();
    m_tracebackName = LUA_NOREF;
    m_profileTraceback = nullptr;
    if (m_state) {
        lua_close(m_state);
        m_state = nullptr;
    }
}

bool ScriptEngine::runFile(std::string_view path)
{
    if (!m_state || !platform::fileExists(path))
        return false;
    lua_State* L = m_state;
    StackGuard guard(L);
    const int status = enterScript(L, [&](lua_State* L) {
        const int loaded = loadFile(L, path);
        return loaded != 0 ? loaded : protectedCall(L, 0, 0, true);
    });
    if (status != 0) {
        reportScriptError(L, status);
        return false;
    }
    return true;
}

bool ScriptEngine::callPrepared(int nargs, int nresults)
{
    const int status = protectedCall(m_state, nargs, nresults, true);
    if (status == 0)
        return true;
    if (m_state)
        reportScriptError(m_state, status);
    m_errorLatch = true;
    return false;
}

template <typename Push, typename Read>
bool ScriptEngine::callEvent(std::string_view name, int nresults, Push&& push, Read&& read)
{
    if (!m_state)
        return false;
    lua_State* L = m_state;
    StackGuard guard(L);
    bool found = false;
    const int status = enterScript(L, [&](lua_State* L) {
        pushName(name);
        if (!fetchGlobal(L) || !lua_isfunction(L, -1))
            return 0;
        found = true;
        // The same protected call as protectedCall with the traceback on, with the handler
        // placed below the function before the arguments go on: state requests come after
        // every burst of messages, so this path saves every interpreter call it can.
        int handler = 0;
        if (m_tracebackName != LUA_NOREF)
            lua_rawgeti(L, LUA_REGISTRYINDEX, m_tracebackName);
        else
            lua_pushliteral(L, "_TRACEBACK");
        if (fetchGlobal(L) && lua_isfunction(L, -1)) {
            if (lua_topointer(L, -1) != m_profileTraceback)
                profile::wrapMessageHandler(L);
            lua_insert(L, -2);
            handler = lua_gettop(L) - 1;
        } else {
            lua_pop(L, 1);
        }
        const int nargs = push(L);
        const int callStatus = protectedCallAt(L, nargs, nresults, handler);
        if (callStatus == 0)
            read(L, true);
        return callStatus;
    });
    if (status != 0) {
        // Reported here, outside the protected entry: the box runs an event loop of its own.
        reportScriptError(L, status);
        if (found)
            read(L, false);
    }
    return found;
}

bool ScriptEngine::callWithTable(std::string_view name, const std::vector<std::string>& texts)
{
    return callEvent(
        name, 0,
        [&](lua_State* L) {
            pushTextTable(L, texts);
            return 1;
        },
        [](lua_State*, bool) {});
}

bool ScriptEngine::callWithStrings(std::string_view name, std::initializer_list<std::optional<std::string_view>> texts)
{
    return callEvent(
        name, 0, [&](lua_State* L) { return pushTexts(L, texts); }, [](lua_State*, bool) {});
}

bool ScriptEngine::callWithNumber(std::string_view name, double value)
{
    return callEvent(
        name, 0,
        [&](lua_State* L) {
            lua_pushnumber(L, value);
            return 1;
        },
        [](lua_State*, bool) {});
}

bool ScriptEngine::queryBool(std::string_view name, bool& result,
                             std::initializer_list<std::optional<std::string_view>> texts)
{
    return callEvent(
        name, 1, [&](lua_State* L) { return pushTexts(L, texts); },
        [&](lua_State* L, bool ok) { result = ok && lua_toboolean(L, -1); });
}

bool ScriptEngine::queryTwoBools(std::string_view name, bool& first, bool& second)
{
    return callEvent(
        name, 2, [](lua_State*) { return 0; },
        [&](lua_State* L, bool ok) {
            first = ok && lua_toboolean(L, -2);
            second = ok && lua_toboolean(L, -1);
        });
}

void ScriptEngine::appendOutput(std::string_view text)
{
    if (m_streamMode == Streams::Process) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return;
    }
    m_output.append(text);
}

int loadChunk(lua_State* L, std::string_view bytes, const char* chunkName)
{
    return profileStatus(profile::loadBuffer(L, bytes, chunkName));
}

int loadFile(lua_State* L, std::string_view path)
{
    const std::string chunkName = "@" + std::string(path);
    platform::Result<std::string> bytes = platform::readWholeFile(path);
    if (!bytes) {
        const std::string text = format(msg::text(msg::Id::CannotReadFile), {chunkName.substr(1), bytes.error().message});
        lua_pushlstring(L, text.data(), text.size());
        return StatusFileError;
    }
    profile::readAsTextFile(bytes.value());
    return loadChunk(L, bytes.value(), chunkName.c_str());
}

}  // namespace engine
