#include "AppFixture.h"
#include "DialogDriver.h"

#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

namespace {

using namespace std::chrono_literals;

QString u8(const char* text) { return QString::fromUtf8(text); }

// A script stuck in an event, on the real window: the box offers to stop it, as a person
// answers it.
class StalledScriptTest : public guitest::AppFixture {
protected:
    void SetUp() override
    {
        platform::setNonInteractive(false);
        stallInterval = 300ms;
    }
    void TearDown() override
    {
        platform::setNonInteractive(true);
        AppFixture::TearDown();
    }

    static void checkQuestion(QMessageBox& box)
    {
        EXPECT_TRUE(box.text().startsWith(u8("スクリプトが "))) << box.text().toStdString();
        EXPECT_TRUE(box.text().endsWith(u8("スクリプトの実行を中止しますか？"))) << box.text().toStdString();
        EXPECT_EQ(box.windowTitle(), "Selvarin");
        EXPECT_EQ(box.buttons().size(), 2);
    }

    guitest::DialogDriver driver;
};

TEST_F(StalledScriptTest, TheBoxLetsTheScriptGoOnOrStopsIt)
{
    startWith(startScript("function onNextImage() local n = 0 while true do n = n + 1 end end"));
    QString reported;
    driver
        .then<QMessageBox>([this](QMessageBox& box) {
            checkQuestion(box);
            EXPECT_EQ(box.parentWidget(), application->mainFrame()) << "owned by the main window";
            box.button(QMessageBox::No)->click();
        })
        .then<QMessageBox>([](QMessageBox& box) {
            checkQuestion(box);
            box.button(QMessageBox::Yes)->click();
        })
        .then<QMessageBox>([&](QMessageBox& box) {
            reported = box.text();
            EXPECT_EQ(box.windowTitle(), u8("スクリプトエラー"));
            box.button(QMessageBox::Ok)->click();
        });
    EXPECT_TRUE(application->engine()->callWithStrings("onNextImage"));
    EXPECT_TRUE(reported.contains(u8("start.lua:"))) << reported.toStdString();
    EXPECT_TRUE(reported.contains(u8("スクリプトの実行を中止しました"))) << reported.toStdString();
    // The viewer and its interpreter go on.
    EXPECT_EQ(guitest::evalScript(*application, "1 + 1"), "2");
}

TEST_F(StalledScriptTest, WaitingInADialogIsNotBeingStuck)
{
    // The script waits in its own box two and a half intervals long, then works far less than
    // one (a long interval: the machine may be busy).
    stallInterval = 1000ms;
    startWith(startScript("function onNextImage()\n"
                          "  answer = app.messageBox('wait')\n"
                          "  local t = os.clock() while os.clock() - t < 0.02 do end\n"
                          "  done = 'yes'\n"
                          "end"));
    driver.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.text(), "wait");
        QTest::qWait(2500);
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_TRUE(application->engine()->callWithStrings("onNextImage"));
    EXPECT_EQ(guitest::evalScript(*application, "done"), "yes");
    EXPECT_EQ(guitest::evalScript(*application, "answer"), "OK");
}

}  // namespace
