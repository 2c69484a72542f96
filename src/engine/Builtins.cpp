// The host's `print` and `os.execute`.

#include "Args.h"
#include "ErrorReporter.h"
#include "Host.h"
#include "Messages.h"
#include "ScriptCall.h"
#include "ScriptEngine.h"

#include "platform/Environment.h"
#include "platform/Process.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <string>
#include <vector>

namespace engine {
namespace {

// Without a console there is nowhere to print: nothing happens and nothing is raised.
int hostPrint(lua_State* L)
{
    ScriptEngine* engine = ScriptEngine::from(L);
    Console* console = engine ? engine->console(false) : nullptr;
    if (!console)
        return 0;
    const int n = lua_gettop(L);
    std::string text;
    for (int i = 1; i <= n; ++i) {
        if (!args::toText(L, i, text))
            args::raiseToTextError(L);
        if (i > 1)
            console->appendText("\t");
        console->appendText(text);
    }
    console->appendText("\n");
    return 0;
}

constexpr std::size_t kInterpreterLimit = 1023;   // the interpreter's path, always terminated
constexpr std::size_t kCommandLineLimit = 2047;   // the whole "%s /c %s" line

int hostExecute(lua_State* L)
{
    const std::string_view command = args::checkString(L, 1);
    ScriptEngine* engine = ScriptEngine::from(L);
    if (Console* console = engine ? engine->console(true) : nullptr)
        console->showWindow();

    // $COMSPEC /c CMD where COMSPEC names an interpreter, else the POSIX shell. A line beyond the
    // limits is refused rather than cut: a shortened command can be a different one.
    const std::optional<std::string> comspec = platform::environmentValue("COMSPEC");
    const std::string interpreter = comspec ? *comspec : std::string("/bin/sh");
    const std::string flag = comspec ? "/c" : "-c";
    platform::Result<int> result = platform::systemError(E2BIG);
    if (interpreter.size() <= kInterpreterLimit &&
        interpreter.size() + flag.size() + command.size() + 2 <= kCommandLineLimit) {
        const std::vector<std::string> argv = {platform::cp932ToUtf8(interpreter), flag,
                                               platform::cp932ToUtf8(command)};
        result = platform::runProcess(argv, [engine](std::string_view out) {
            if (!engine)
                return;
            engine->appendOutput(out);
            if (Console* console = engine->console(false))
                console->drainOutput();
        });
        if (engine)
            engine->noteProcessEnded();
    }
    if (!result) {
        reportError({ErrorSource::Process, msg::text(msg::Id::ErrorCaption), result.error().message});
        return pushNumber(L, -1);
    }
    return pushNumber(L, result.value());
}

}  // namespace

void installPrint(lua_State* L)
{
    lua_pushcfunction(L, hostFunction<hostPrint>);
    lua_setglobal(L, "print");
}

void installOsExecute(lua_State* L)
{
    lua_getglobal(L, LUA_OSLIBNAME);
    lua_pushcfunction(L, hostFunction<hostExecute>);
    lua_setfield(L, -2, "execute");
    lua_pop(L, 1);
}

}  // namespace engine
