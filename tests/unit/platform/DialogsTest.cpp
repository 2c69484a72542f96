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

}  // namespace
