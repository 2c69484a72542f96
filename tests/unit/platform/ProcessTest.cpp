#include "platform/Process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

platform::Result<int> sh(const std::string& command, std::string& output)
{
    return platform::runProcess({"/bin/sh", "-c", command}, [&](std::string_view s) { output.append(s); });
}

TEST(Process, ExitCodesAndBothStreamsThroughOnePipe)
{
    std::string out;
    auto r = sh("echo one; echo two >&2; exit 5", out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 5);
    EXPECT_EQ(out, "one\ntwo\n");

    out.clear();
    r = sh("kill -TERM $$", out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 128 + 15) << "a killed child reports 128 + signal";
}

TEST(Process, StandardInputIsAtEndOfFile)
{
    std::string out;
    auto r = sh("if read line; then echo got; else echo eof; fi", out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(out, "eof\n");
}

TEST(Process, OutputLargerThanThePipeIsDrainedWhileWaiting)
{
    std::string out;
    auto r = sh("head -c 3000000 /dev/zero", out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), 0);
    EXPECT_EQ(out.size(), 3000000u);
}

TEST(Process, BackgroundDescendantsDoNotHoldTheWait)
{
    // The grandchild keeps the pipe open for a long time; the wait ends with the child.
    std::string out;
    auto r = sh("sleep 30 & echo started", out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(out, "started\n");
}

TEST(Process, ProgramThatCannotStartIsAnError)
{
    std::string out;
    auto r = platform::runProcess({"/nonexistent/program"}, [&](std::string_view s) { out.append(s); });
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().code, 0);
    EXPECT_FALSE(r.error().message.empty());
    EXPECT_FALSE(platform::runProcess({}, [](std::string_view) {}).ok());
}

}  // namespace
