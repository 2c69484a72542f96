#include "Batch.h"

#include "HostLibraries.h"

#include "engine/ErrorReporter.h"
#include "engine/Format.h"
#include "engine/Messages.h"
#include "engine/ScriptCall.h"
#include "engine/ScriptEngine.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <chrono>
#include <cstdio>

namespace app {
namespace {

class StandardOutputConsole : public engine::Console {
public:
    void appendText(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
    void showWindow() override {}
};

void setArgTable(lua_State* L, const std::string& script, const std::vector<std::string>& args)
{
    lua_createtable(L, static_cast<int>(args.size()), 1);
    lua_pushlstring(L, script.data(), script.size());
    lua_rawseti(L, -2, 0);
    int i = 0;
    for (const std::string& a : args) {
        const std::string text = platform::utf8ToCp932(a);
        lua_pushlstring(L, text.data(), text.size());
        lua_rawseti(L, -2, ++i);
    }
    lua_setglobal(L, "arg");
}


}  // namespace

int runBatch(const CommandLine& commandLine)
{
    platform::setNonInteractive(true);
    engine::setErrorReporter(engine::reportToStandardError);
    platform::useScriptLocale();
    if (commandLine.batchScript.empty() || commandLine.batchTimeout < 0) {
        std::fprintf(stderr, "%s\n", engine::msg::utf8(engine::msg::Id::BatchUsage));
        return 2;
    }

    StandardOutputConsole console;
    engine::ScriptEngine engine(hostLibraries(), engine::ScriptEngine::Streams::Process);
    engine.setConsoleProvider([&console](bool) { return &console; });
    if (!engine.open()) {
        std::fprintf(stderr, "%s\n", engine::msg::utf8(engine::msg::Id::EngineInitFailed));
        return 1;
    }
    if (const int seconds = commandLine.batchTimeout; seconds > 0) {
        // Nobody is there to ask: the limit stops the script.
        engine.setStallCheck(std::chrono::seconds(seconds), [seconds]() -> std::optional<std::string> {
            return engine::format(engine::msg::text(engine::msg::Id::ScriptTimeLimit), {seconds});
        });
    }
    const int status = engine::enterScript(engine.state(), [&](lua_State* L) {
        setArgTable(L, platform::fromOsPath(commandLine.batchScript), commandLine.batchArgs);
        return 0;
    });
    if (status != 0)
        return 1;

    const std::string script = platform::fromOsPath(commandLine.batchScript);
    if (!platform::fileExists(script)) {
        const std::string text = engine::format(engine::msg::utf8(engine::msg::Id::BatchScriptMissing), {commandLine.batchScript});
        std::fprintf(stderr, "%s\n", text.c_str());
        return 1;
    }
    const bool ok = engine.runFile(script);
    std::fflush(stdout);
    engine.close();
    return ok ? 0 : 1;
}

}  // namespace app
