#pragma once

#include "app/Application.h"

#include "platform/Paths.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace guitest {

// The text of a script expression evaluated in the application's interpreter ("error: ..." when
// it raises).
inline std::string evalScript(app::Application& application, const std::string& expression)
{
    lua_State* L = application.engine()->state();
    const std::string code = "return tostring(" + expression + ")";
    if (luaL_dostring(L, code.c_str()) != 0) {
        std::string e = lua_tostring(L, -1);
        lua_pop(L, 1);
        return "error: " + e;
    }
    std::string out = lua_tostring(L, -1);
    lua_pop(L, 1);
    return out;
}

// A started application whose start-up script records events in the global table `log`.
class AppFixture : public ::testing::Test {
protected:
    std::filesystem::path module = std::filesystem::temp_directory_path() /
                                   ("selvarin-gui-" + std::to_string(::getpid()) + "-" +
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::unique_ptr<app::Application> application;
    std::chrono::milliseconds stallInterval = app::Application::kDefaultStallInterval;

    // Events whose calls are logged; the script may add its own definitions after these.
    std::string startScript(const std::string& extra = "")
    {
        return "log = {}\n"
               "local function logger(name) return function(...) table.insert(log, name .. '(' .. table.concat(arg, ',') .. ')') end end\n"
               "for _, e in ipairs({'onNextImage', 'onPrevImage', 'onNewFileList', 'onOpenFolder', 'onOpenFile', 'onSaveFile',\n"
               "                    'onEditCopy', 'onSetBgColor', 'onSetBgCheckMenu', 'onStartupOpenLastFile', 'onShowStopdialog'}) do\n"
               "  _G[e] = logger(e)\n"
               "end\n"
               "function onAddFile(t) table.insert(log, 'onAddFile(' .. table.concat(t, ',') .. ')') end\n" +
               extra;
    }

    void startWith(const std::string& script)
    {
        std::filesystem::create_directories(module / "script");
        std::ofstream(module / "script" / "start.lua") << script;
        application = std::make_unique<app::Application>(app::CommandLine{}, platform::fromOsPath(module.string()));
        application->setStallInterval(stallInterval);
        ASSERT_TRUE(application->start());
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        if (application)
            application->shutdown();
        application.reset();
        std::filesystem::remove_all(module);
    }

    // The events logged so far, joined with " ", and the log emptied.
    std::string takeLog()
    {
        lua_State* L = application->engine()->state();
        luaL_dostring(L, "local s = table.concat(log, ' ') log = {} return s");
        std::string out = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
        lua_pop(L, 1);
        return out;
    }

    void run(const std::string& code)
    {
        lua_State* L = application->engine()->state();
        ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1);
    }
};

}  // namespace guitest
