#include "platform/Process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// The real program in batch mode, as users and the Lua tests run it.
class BatchTest : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("selvarin-batch-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int code;
        std::string output;
    };

    static int runProcess(const std::vector<std::string>& argv)
    {
        std::ofstream(fs::path(argv.back())) << "x = 1";
        auto r = platform::runProcess(argv, [](std::string_view) {});
        return r.ok() ? r.value() : -1;
    }

    Run batch(const std::string& code, std::vector<std::string> extra = {})
    {
        const fs::path script = dir / "script.lua";
        std::ofstream(script) << code;
        std::vector<std::string> argv = {"/bin/sh", "-c", "\"$0\" --batch \"$@\" 2>/dev/null", SELVARIN_BINARY, script.string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string out;
        auto r = platform::runProcess(argv, [&](std::string_view s) { out.append(s); });
        EXPECT_TRUE(r.ok());
        return {r.ok() ? r.value() : -1, out};
    }
};

TEST_F(BatchTest, ExitStatusFollowsTheChunk)
{
    EXPECT_EQ(batch("x = 1").code, 0);
    EXPECT_EQ(batch("error('no')").code, 1);
    EXPECT_EQ(batch("x = = 1").code, 1);
    EXPECT_EQ(batch("os.exit(3)").code, 3);
}

// os.exit leaves at once, but what the script wrote and never closed is on disk and on stdout.
TEST_F(BatchTest, ExitKeepsUnclosedOutput)
{
    const fs::path file = dir / "kept.txt";
    const Run r = batch("io.write('out') local f = io.open(arg[1], 'w') f:write('kept') os.exit(4)", {file.string()});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.output, "out");
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "kept");
}

TEST_F(BatchTest, ArgumentsAndOutputs)
{
    const Run r = batch("print(arg[1], arg[2], arg.n or table.getn(arg)) io.write('w', 1, '\\n') io.stderr:write('hidden')",
                        {"one", "-two"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.output, "one\t-two\t2\nw1\n");
}

TEST_F(BatchTest, MissingScriptFails)
{
    std::string out;
    auto r = platform::runProcess({SELVARIN_BINARY, "--batch", (dir / "absent.lua").string()}, [&](std::string_view s) { out.append(s); });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 1);
    EXPECT_NE(out.find("absent.lua"), std::string::npos);
    r = platform::runProcess({SELVARIN_BINARY, "--batch"}, [](std::string_view) {});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 2);
}

TEST_F(BatchTest, TimeoutStopsAScriptThatNeverEnds)
{
    std::ofstream(dir / "loop.lua") << "io.write('begun') io.flush()\nwhile true do pcall(function() while true do end end) end";
    std::string out;
    auto r = platform::runProcess({SELVARIN_BINARY, "--timeout", "1", "--batch", (dir / "loop.lua").string()},
                                  [&](std::string_view s) { out.append(s); });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 1);
    EXPECT_NE(out.find("begun"), std::string::npos) << out;
    EXPECT_NE(out.find("loop.lua:2: スクリプトの実行が 1 秒を超えたので中止しました"), std::string::npos) << out;

    // A script within its time is untouched; a limit that is no whole number of seconds is a
    // usage error.
    EXPECT_EQ(runProcess({SELVARIN_BINARY, "--timeout", "5", "--batch", (dir / "e.lua").string()}), 0);
    for (const char* bad : {"0", "-1", "1.5", "x", "86401"})
        EXPECT_EQ(runProcess({SELVARIN_BINARY, "--timeout", bad, "--batch", (dir / "e.lua").string()}), 2) << bad;
}

TEST_F(BatchTest, ErrorBoxesGoToStandardError)
{
    std::ofstream(dir / "e.lua") << "error('visible')";
    std::string out;
    auto r = platform::runProcess({SELVARIN_BINARY, "--batch", (dir / "e.lua").string()}, [&](std::string_view s) { out.append(s); });
    ASSERT_TRUE(r.ok());
    EXPECT_NE(out.find("MessageBox[スクリプトエラー]: Lua 実行時エラー(1)："), std::string::npos) << out;
    EXPECT_NE(out.find("visible"), std::string::npos);
}

TEST_F(BatchTest, MessageBoxesWriteOneLineAndAnswerAtOnce)
{
    std::ofstream(dir / "m.lua") << "io.write(app.messageBox('one\\ntwo', 'cap', 'YESNOCANCEL'))";
    std::string out;
    auto r = platform::runProcess({SELVARIN_BINARY, "--batch", (dir / "m.lua").string()}, [&](std::string_view s) { out.append(s); });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 0);
    EXPECT_NE(out.find("MessageBox[cap]: one\\ntwo\n"), std::string::npos) << out;
    EXPECT_NE(out.find("YES"), std::string::npos) << out;
}

}  // namespace
