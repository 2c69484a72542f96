#include "app/CommandLine.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(CommandLine, FlagsAreSkippedAndFilesKeepTheirOrder)
{
    const app::CommandLine line = app::parseCommandLine({"selvarin", "/pics/a.jpg", "-x", "/pics/b.png", "--geometry"});
    EXPECT_FALSE(line.batch);
    ASSERT_EQ(line.fileArguments.size(), 2u);
    EXPECT_EQ(line.fileArguments[0], "\\pics\\a.jpg") << "script form: backslash separators";
    EXPECT_EQ(line.fileArguments[1], "\\pics\\b.png");
}

TEST(CommandLine, RelativeFilesAreMadeAbsolute)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const app::CommandLine line = app::parseCommandLine({"selvarin", "photo.jpg"});
    ASSERT_EQ(line.fileArguments.size(), 1u);
    std::string expected = std::string(cwd) + "/photo.jpg";
    for (char& c : expected)
        c = c == '/' ? '\\' : c;
    EXPECT_EQ(line.fileArguments[0], expected);
}

TEST(CommandLine, NamesOutsideShiftJisArriveWhole)
{
    const std::vector<std::string> names = {"/pics/caf\xc3\xa9.jpg", "/pics/\xe9t\xe9.jpg", "/pics/what?.jpg"};
    const app::CommandLine line = app::parseCommandLine({"selvarin", names[0], names[1], names[2]});
    ASSERT_EQ(line.fileArguments.size(), 3u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(line.fileArguments[i].find('?'), std::string::npos) << names[i];
        EXPECT_EQ(platform::toOsPath(line.fileArguments[i]), names[i]) << "the very bytes of the file's name";
    }
}

TEST(CommandLine, TimeoutTakesItsValue)
{
    app::CommandLine line = app::parseCommandLine({"selvarin", "--timeout", "30", "--batch", "conv.lua", "--timeout", "2"});
    EXPECT_EQ(line.batchTimeout, 30);
    EXPECT_EQ(line.batchArgs, (std::vector<std::string>{"--timeout", "2"})) << "after --batch, the script's";
    EXPECT_TRUE(line.fileArguments.empty()) << "the value is no file";
    EXPECT_EQ(app::parseCommandLine({"selvarin", "--timeout"}).batchTimeout, -1);
    EXPECT_EQ(app::parseCommandLine({"selvarin", "--timeout", "99999999999"}).batchTimeout, -1);
    EXPECT_EQ(app::parseCommandLine({"selvarin"}).batchTimeout, 0);
}

TEST(CommandLine, BatchTakesTheRestOfTheLine)
{
    const app::CommandLine line = app::parseCommandLine({"selvarin", "-v", "--batch", "conv.lua", "-x", "in.bmp"});
    EXPECT_TRUE(line.batch);
    EXPECT_EQ(line.batchScript, "conv.lua");
    EXPECT_EQ(line.batchArgs, (std::vector<std::string>{"-x", "in.bmp"}));
    EXPECT_TRUE(line.fileArguments.empty());
}

}  // namespace
