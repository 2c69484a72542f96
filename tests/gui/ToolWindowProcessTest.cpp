#include "platform/Process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// View IDs and progress serials count from 0 in each process: only a fresh program shows it.
TEST(ToolWindowProcessTest, TheFirstViewsOfAProcessAreNumberedFromZero)
{
    const fs::path dir = fs::temp_directory_path() / ("selvarin-tools-" + std::to_string(::getpid()));
    fs::create_directories(dir / "script");
    fs::copy_file(SELVARIN_BINARY, dir / "selvarin");
    std::ofstream(dir / "script" / "start.lua")
        << "local r = debug.getregistry()\n"
           "local a = app.createProgressWindow('a', function() end)\n"
           "local b = app.createProgressWindow('b', function() end)\n"
           "function onInitializeApp()\n"
           "  local f = io.open('result.txt', 'w')\n"
           "  f:write(tostring(gridview.getFileListID()), ' ', type(r['pvcancel-0']), ' ', type(r['pvcancel-1']), ' ',\n"
           "          type(r['pvcancel-2']))\n"
           "  f:close()\n"
           "  os.exit(0)\n"
           "end\n";
    std::string out;
    auto r = platform::runProcess({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "SELVARIN_NONINTERACTIVE=1",
                                   (dir / "selvarin").string()},
                                  [&](std::string_view s) { out.append(s); });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 0) << out;
    std::stringstream result;
    result << std::ifstream(dir / "result.txt").rdbuf();
    EXPECT_EQ(result.str(), "0 function function nil") << out;
    fs::remove_all(dir);
}

}  // namespace
