#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

namespace {

TEST(Dialogs, NonInteractiveBoxesWriteOneLineAndAnswerTheFirstButton)
{
    platform::setNonInteractive(true);
    ASSERT_TRUE(platform::nonInteractive());
    const struct {
        platform::Buttons buttons;
        platform::Answer answer;
    } cases[] = {
        {platform::Buttons::Ok, platform::Answer::Ok},          {platform::Buttons::OkCancel, platform::Answer::Ok},
        {platform::Buttons::AbortRetryIgnore, platform::Answer::Abort}, {platform::Buttons::YesNoCancel, platform::Answer::Yes},
        {platform::Buttons::YesNo, platform::Answer::Yes},      {platform::Buttons::RetryCancel, platform::Answer::Retry},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        const platform::Answer a = platform::messageBox(platform::utf8ToCp932("一行目\n二行目"), platform::utf8ToCp932("題"),
                                                        c.buttons, platform::Icon::Question, platform::Owner::MainWindow);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "MessageBox[題]: 一行目\\n二行目\n");
        EXPECT_EQ(a, c.answer);
    }
}

TEST(Dialogs, FilterTextsBecomeQtNameFilters)
{
    const auto filters = [](const std::string& utf8) { return platform::nameFilters(platform::utf8ToCp932(utf8)); };
    const auto list = [](std::initializer_list<const char*> items) {
        QStringList out;
        for (const char* i : items)
            out << QString::fromUtf8(i);
        return out;
    };
    EXPECT_EQ(filters("Pictures|*.jpg;*.bmp|All Files (*.*)|*.*||"), list({"Pictures (*.jpg *.bmp)", "All Files (*.*) (*)"}));
    EXPECT_EQ(filters("Text|*.txt"), list({"Text (*.txt)"})) << "without the closing bars";
    EXPECT_EQ(filters("Text|*.txt|Lonely"), list({"Text (*.txt)", "Lonely (*)"})) << "a description without a pattern";
    EXPECT_EQ(filters("A|*.a||B|*.b||"), list({"A (*.a)"})) << "the list ends at the first empty part";
    EXPECT_EQ(filters("A| *.a ; ;*.b;*.a |"), list({"A (*.a *.b)"})) << "blank and repeated patterns";
    EXPECT_EQ(filters("A|;|"), list({"A (*)"}));
    EXPECT_TRUE(filters("").isEmpty());
    EXPECT_TRUE(filters("||").isEmpty());
    EXPECT_TRUE(filters("|*.a|").isEmpty()) << "an empty description ends the list at once";
    // U+30DD is 0x83 0x7C in code page 932: its second byte is no bar.
    EXPECT_EQ(filters("ポスター|*.jpg|"), list({"ポスター (*.jpg)"}));
    EXPECT_EQ(filters("写真|*.jpg"), list({"写真 (*.jpg)"}));
}

TEST(Dialogs, FileDialogsWithoutAnyoneToAnswerAreCancelled)
{
    platform::setNonInteractive(true);
    EXPECT_FALSE(platform::chooseFolder("t", ""));
    EXPECT_FALSE(platform::chooseFilesToOpen("", "A|*.a||", true));
    EXPECT_FALSE(platform::chooseFileToSave({}));
    bool called = false;
    EXPECT_EQ(platform::optionalDialog({}, [&](int) { return called = true; }), platform::OptionalResult::Cancel);
    EXPECT_FALSE(called);
}

}  // namespace
