#include "AppFixture.h"

#include "platform/TextCodec.h"
#include "tools/FileListFrame.h"
#include "tools/GridView.h"
#include "tools/ProgressFrame.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

using guitest::evalScript;

class ProgressWindowTest : public guitest::AppFixture {
protected:
    std::string eval(const std::string& expression) { return evalScript(*application, expression); }
    std::string results(const std::string& call)
    {
        run("local r = {" + call + "} local n = table.getn(r) for i = 1, n do r[i] = tostring(r[i]) end "
            "RESULT = n .. ':' .. table.concat(r, ',')");
        return eval("RESULT");
    }
    std::string cp932(const char* utf8) { return platform::utf8ToCp932(utf8); }
    // The progress windows alive, newest last.
    QList<tools::CProgressFrame*> frames()
    {
        QList<tools::CProgressFrame*> list;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* f = qobject_cast<tools::CProgressFrame*>(w); f && !f->isGone())
                list << f;
        }
        std::sort(list.begin(), list.end(),
                  [](auto* a, auto* b) { return a->view()->serial() < b->view()->serial(); });
        return list;
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(ProgressWindowTest, ANewWindowIsHiddenWithItsForm)
{
    startWith(startScript());
    run("W = app.createProgressWindow('reading')");
    EXPECT_EQ(eval("type(W)"), "userdata");
    EXPECT_TRUE(QString::fromStdString(eval("W")).contains(QRegularExpression("^LWindow \\([0-9A-F]{8}\\)$")))
        << eval("W");
    ASSERT_EQ(frames().size(), 1);
    tools::CProgressFrame* f = frames().back();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->size(), QSize(340, 116));
    EXPECT_TRUE(f->windowFlags() & Qt::FramelessWindowHint) << "no title bar";
    EXPECT_EQ(eval("W:getTitle()"), "Selvarin") << "the text argument is not the caption";
    EXPECT_EQ(eval("W:getMessage()"), cp932("処理中です..."));
    EXPECT_EQ(eval("W:getProgressPos()"), "10");
    EXPECT_EQ(f->view()->cancelButton()->text(), "ｷｬﾝｾﾙ");
    EXPECT_FALSE(f->view()->cancelButton()->isEnabled()) << "no cancel function";
    EXPECT_EQ(f->view()->progress()->maximum(), 100);

    run("W:show()");
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(eval("W:getShowMode()"), "normal");
    run("W:hide()");
    EXPECT_FALSE(f->isVisible());
    run("W:activate()");

    run("W:setTitle('" + cp932("進行状況") + "') W:setMessage(12)");
    EXPECT_EQ(f->windowTitle(), "進行状況");
    EXPECT_EQ(eval("W:getTitle()"), cp932("進行状況"));
    EXPECT_EQ(eval("W:getMessage()"), "12");
    run("W:setMessage(nil)");
    EXPECT_EQ(f->view()->message()->text(), "nil");
}

TEST_F(ProgressWindowTest, ProgressPositionStaysInRange)
{
    startWith(startScript());
    run("W = app.createProgressWindow('x')");
    const std::pair<const char*, const char*> cases[] = {
        {"150", "100"}, {"-5", "0"}, {"42.9", "42"}, {"'abc'", "0"}, {"'77'", "77"}, {"1e300", "100"}, {"0/0", "0"}};
    for (const auto& [given, expected] : cases) {
        run(std::string("W:setProgressPos(") + given + ")");
        EXPECT_EQ(eval("W:getProgressPos()"), expected) << given;
    }
}

TEST_F(ProgressWindowTest, RectanglesAreNotTheScriptsAndShowModes)
{
    startWith(startScript());
    run("W = app.createProgressWindow('x') W:show()");
    const QRect before = frames().back()->geometry();
    for (const char* m : {"getRect()", "setRect(1, 2, 3, 4)", "getRestoreRect()", "setRestoreRect({})"})
        EXPECT_EQ(results(std::string("W:") + m), "0:") << m;
    EXPECT_EQ(frames().back()->geometry(), before);

    run("W:setShowMode('minimized')");
    EXPECT_EQ(eval("W:getShowMode()"), "minimized");
    run("W:setShowMode('Normal')");
    EXPECT_EQ(eval("W:getShowMode()"), "minimized") << "names are exact";
    run("W:setShowMode('normal')");
    EXPECT_EQ(eval("W:getShowMode()"), "normal");
    run("W:setShowMode('maximized')");
    EXPECT_EQ(eval("W:getShowMode()"), "maximized");
}

TEST_F(ProgressWindowTest, AfterCloseEveryMethodDoesNothing)
{
    startWith(startScript());
    run("W = app.createProgressWindow('x') W:show() W:close()");
    EXPECT_TRUE(frames().isEmpty());
    for (const char* m : {"show()", "getTitle()", "setMessage('m')", "getMessage()", "getProgressPos()",
                          "getShowMode()", "pumpMessages()", "close()", "activate()"})
        EXPECT_EQ(results(std::string("W:") + m), "0:") << m;
    EXPECT_NE(eval("W"), "closed") << "the object itself lives on";
    run("W = nil collectgarbage() collectgarbage()");
}

TEST_F(ProgressWindowTest, AWindowTheUserClosedIsGone)
{
    startWith(startScript());
    run("W = app.createProgressWindow('x') W:show()");
    frames().back()->close();
    EXPECT_EQ(results("W:getTitle()"), "0:");
    EXPECT_EQ(results("W:pumpMessages()"), "0:");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(results("W:getMessage()"), "0:");
    run("W:close()");
}

TEST_F(ProgressWindowTest, ArgumentErrors)
{
    startWith(startScript());
    run("W = app.createProgressWindow('x')");
    const std::string invalid = cp932("無効なLWindowハンドルです");
    for (const char* call : {"W.show(5)", "W.getTitle({})", "W.__tostring(1)", "W.close()", "W.getRect('x')"})
        EXPECT_NE(eval(call).find(invalid), std::string::npos) << call;
    run("BAD = setmetatable({}, {__tostring = function() return {} end})");
    const std::string noText = cp932("引数に対して `tostring' 関数を呼び出しましたが、文字列を返しませんでした");
    EXPECT_NE(eval("app.createProgressWindow(BAD)").find(noText), std::string::npos);
    EXPECT_NE(eval("W:setTitle(BAD)").find(noText), std::string::npos);
    EXPECT_EQ(eval("W:getTitle()"), "Selvarin");
}

TEST_F(ProgressWindowTest, CancelRunsTheFunctionOnceAndUsesItsOwnKey)
{
    startWith(startScript());
    const int first = tools::CProgressView::nextSerial();
    run("A = app.createProgressWindow('a', function() table.insert(log, 'cancelA') end)"
        " B = app.createProgressWindow('b', function() table.insert(log, 'cancelB') end)");
    EXPECT_EQ(eval("type(debug.getregistry()['pvcancel-" + std::to_string(first) + "'])"), "function");
    EXPECT_EQ(eval("type(debug.getregistry()['pvcancel-" + std::to_string(first + 1) + "'])"), "function");
    const auto list = frames();
    ASSERT_EQ(list.size(), 2);
    QPushButton* cancelB = list[1]->view()->cancelButton();
    EXPECT_TRUE(cancelB->isEnabled()) << "a registered function makes Cancel usable";
    run("B:show()");
    QTest::mouseClick(cancelB, Qt::LeftButton);
    EXPECT_EQ(takeLog(), "cancelB");
    EXPECT_FALSE(cancelB->isEnabled()) << "at most once";
}

TEST_F(ProgressWindowTest, ACancelThatClosesItsWindowAndPumps)
{
    startWith(startScript());
    run("W = app.createProgressWindow('a', function() W:close() W:pumpMessages() table.insert(log, 'done') end) W:show()");
    QPointer<tools::CProgressFrame> f = frames().back();
    QTest::mouseClick(f->view()->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(takeLog(), "done");
    EXPECT_TRUE(f) << "deleted only after its handler returned";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(f);
}

TEST_F(ProgressWindowTest, AFailingCancelStopsCancelsAndGridCallbacks)
{
    startWith(startScript());
    run("W = app.createProgressWindow('a', function() table.insert(log, 'cancel') error('stop') end) W:show()");
    QPushButton* cancel = frames().back()->view()->cancelButton();
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(takeLog(), "cancel");
    EXPECT_TRUE(cancel->isEnabled()) << "the call failed";
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(takeLog(), "") << "the error latch holds";

    run("gridview.setCallBack(gridview.getFileListID(), {onClickCell = function() table.insert(log, 'click') end})");
    application->fileList()->show();
    tools::GridTable* table = application->fileList()->view()->table();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(2, 0)).center());
    EXPECT_EQ(takeLog(), "");
}

TEST_F(ProgressWindowTest, CollectingTheObjectDestroysTheWindow)
{
    startWith(startScript());
    run("do local w = app.createProgressWindow('a') w:show() end collectgarbage() collectgarbage()");
    EXPECT_TRUE(frames().isEmpty());
}

}  // namespace
