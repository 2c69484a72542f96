#include "platform/Process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The real program started from a folder of its own, so that its script folder is ours.
class StartupProcessTest : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("selvarin-startup-" + std::to_string(::getpid()));
    fs::path exe = dir / "selvarin";

    void SetUp() override
    {
        fs::create_directories(dir);
        fs::copy_file(SELVARIN_BINARY, exe);
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int code;
        std::string output;
    };

    Run start()
    {
        std::string out;
        auto r = platform::runProcess({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "SELVARIN_NONINTERACTIVE=1", exe.string()},
                                      [&](std::string_view s) { out.append(s); });
        EXPECT_TRUE(r.ok());
        return {r.ok() ? r.value() : -1, out};
    }
};

TEST_F(StartupProcessTest, MissingStartScriptEndsTheProgramWithTheMessage)
{
    const Run r = start();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("MessageBox[Selvarin]: アプリケーションの初期化に失敗しました。"), std::string::npos) << r.output;
}

TEST_F(StartupProcessTest, FailingStartScriptEndsTheProgramAfterTheScriptError)
{
    fs::create_directories(dir / "script");
    std::ofstream(dir / "script" / "start.lua") << "error('start broke')";
    const Run r = start();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("start broke"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("アプリケーションの初期化に失敗しました。"), std::string::npos) << r.output;
}

}  // namespace
