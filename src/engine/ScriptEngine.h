#pragma once

#include "Console.h"
#include "Host.h"
#include "Lua.h"
#include "OutputQueue.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The interpreter state of the application: opens the libraries and the host classes, runs
// script files and calls the script's events. Everything runs on the UI thread; event calls may
// nest (a script pumps messages, a message raises an event) and each leaves the stack as it
// found it.
class ScriptEngine {
public:
    enum class Streams {
        Queued,   // GUI: standard input at end of file, output into the output queue
        Process,  // batch mode: the process's own standard streams
    };

    // Finds the console; `create` asks for it to be made when it does not exist yet. May
    // return null (no console in this program, or not yet created).
    using ConsoleProvider = std::function<Console*(bool create)>;

    ScriptEngine(std::span<const HostLibrary> libraries, Streams streams);
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;
    ~ScriptEngine();

    bool open();
    bool openBare();
    void close();
    lua_State* state() const noexcept { return m_state; }
    bool isOpen() const noexcept { return m_state != nullptr; }

    // The most memory the interpreter's heap may hold; past it, allocations fail with the
    // out-of-memory error and the program goes on. Takes effect for states opened later.
    void setMemoryLimit(std::size_t bytes) noexcept { m_memoryLimit = bytes; }
    static constexpr std::size_t kDefaultMemoryLimit = std::size_t{1} << 30;

    // Runs a script file; false when it is missing (silently), or failed to load or run (reported).
    bool runFile(std::string_view path);

    // The caller has pushed a function and `nargs` arguments. Results stay on the stack on
    // success; a failure is reported, sets the error latch and gives false.
    bool callPrepared(int nargs, int nresults);

    // Event calls: true when the global existed and was a function (whether or not it failed).
    bool callWithTable(std::string_view name, const std::vector<std::string>& texts);
    bool callWithStrings(std::string_view name, std::initializer_list<std::optional<std::string_view>> texts = {});
    bool callWithNumber(std::string_view name, double value);
    bool queryBool(std::string_view name, bool& result,
                   std::initializer_list<std::optional<std::string_view>> texts = {});
    bool queryTwoBools(std::string_view name, bool& first, bool& second);

    // Set by a failed `callPrepared`; never cleared. Callback dispatchers stop calling while set.
    bool errorLatch() const noexcept { return m_errorLatch; }

    void setConsoleProvider(ConsoleProvider provider) { m_consoleProvider = std::move(provider); }
    Console* console(bool create) const { return m_consoleProvider ? m_consoleProvider(create) : nullptr; }

    // Script output waiting for the console (GUI), or written straight out (batch mode).
    void appendOutput(std::string_view text);
    std::string takeOutput() { return m_output.take(); }

    // The engine that owns a state opened by `open`.
    static ScriptEngine* from(lua_State* L);

    // [-0, +1] Pushes the interned name string, from a per-engine cache of registry
    // references, so that frequent state requests do not hash the same names again.
    void pushName(std::string_view name);

    // A script that runs `interval` inside one entry from the host without the event loop
    // turning in between is stuck: `handler` is asked (it may show a box) and returns the error
    // text that stops the script, or nothing to give it another interval. The error is raised
    // again until that entry returns, so a script cannot catch it and go on. A zero interval
    // (the default) checks nothing. Takes effect at once and for states opened later.
    using StallHandler = std::function<std::optional<std::string>()>;
    void setStallCheck(std::chrono::milliseconds interval, StallHandler handler);
    // The event loop ran (the script pumped messages or waited in a dialog): not stuck.
    void noteEventLoop() noexcept { m_busySince = std::chrono::steady_clock::now(); }
    // A command the script ran has ended. In the viewer, waiting for it was not being stuck; a
    // batch run's time limit counts it.
    void noteProcessEnded() noexcept
    {
        if (m_streamMode == Streams::Queued)
            noteEventLoop();
    }

    // Counts the host's entries into the state; the stall check only runs inside one.
    void enterFromHost() noexcept;
    void leaveToHost() noexcept;
    // While a stop is being delivered, raises it again in the calling function: a protected
    // call or a coroutine that caught it must not let the script go on. Otherwise nothing.
    static void raiseIfStopping(lua_State* L);
    // The engine whose allocator serves L's state, or null for a state the engine did not make.
    static ScriptEngine* fromAllocator(lua_State* L) noexcept;

    // The standard input the script I/O library reads.
    FILE* standardInput() const noexcept { return m_stdin; }

private:
    bool createState();
    static void* allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize) noexcept;
    static void stallHook(lua_State* L, lua_Debug*);
    void installStallHook() noexcept;
    void openStreams();
    void closeStreams() noexcept;
    int openLibraries(lua_State* L);

    template <typename Push, typename Read>
    bool callEvent(std::string_view name, int nresults, Push&& push, Read&& read);

    std::span<const HostLibrary> m_libraries;
    Streams m_streamMode;
    lua_State* m_state = nullptr;
    OutputQueue m_output;
    FILE* m_stdin = nullptr;
    FILE* m_stdout = nullptr;
    bool m_ownsStreams = false;
    FILE* m_stderr = nullptr;
    bool m_errorLatch = false;
    std::size_t m_memoryLimit = kDefaultMemoryLimit;
    std::size_t m_memoryUsed = 0;
    ConsoleProvider m_consoleProvider;
    // Registry references of interned event names; dropped with the state.
    std::vector<std::pair<std::string, int>> m_names;
    std::chrono::milliseconds m_stallInterval{0};
    StallHandler m_stallHandler;
    std::chrono::steady_clock::time_point m_busySince{};
    int m_entryDepth = 0;
    // Nonzero while a stop is being delivered: the entry depth it belongs to.
    int m_stopDepth = 0;
    std::string m_stopText;
    bool m_askingStall = false;
    int m_tracebackName = LUA_NOREF;
    const void* m_profileTraceback = nullptr;
};

// Reads a chunk from a script path and loads it with the chunk name "@" + path. Returns a
// status of ScriptCall.h; on failure the error text is on the stack.
int loadFile(lua_State* L, std::string_view path);
// Loads a chunk from memory; every chunk of the program enters the interpreter here.
int loadChunk(lua_State* L, std::string_view bytes, const char* chunkName);

// Host `print` and the replacement of `os.execute`, installed by the engine's registration.
void installPrint(lua_State* L);

}  // namespace engine
