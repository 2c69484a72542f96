#include "AppFixture.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "tools/ConsoleFrame.h"
#include "tools/SciEdit.h"
#include "tools/WorkSpaceFrame.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <cstdlib>
#include <sstream>

namespace {

using guitest::evalScript;
using Sci = QsciScintillaBase;

// The document of an editor view, byte for byte (UTF-8, zero bytes included).
QByteArray documentBytes(const tools::CSciEdit& view)
{
    const long length = view.send(Sci::SCI_GETLENGTH);
    const auto* text = static_cast<const char*>(view.component()->SendScintillaPtrResult(Sci::SCI_GETCHARACTERPOINTER));
    return QByteArray(text, static_cast<qsizetype>(length));
}

class ConsoleTest : public guitest::AppFixture {
protected:
    std::string eval(const std::string& expression) { return evalScript(*application, expression); }
    tools::CConsoleFrame* console() { return application->console(); }
    QByteArray consoleText() { return documentBytes(*console()->view()); }
    QAction* action(int id) { return application->mainFrame()->action(id); }
    // The enabled and checked states of a command as its menu item would show them.
    std::pair<bool, bool> state(int id)
    {
        application->mainFrame()->refreshStates({action(id)});
        return {action(id)->isEnabled(), action(id)->isChecked()};
    }
};

TEST_F(ConsoleTest, BothFramesExistHiddenAfterStartUp)
{
    startWith(startScript());
    ASSERT_NE(console(), nullptr);
    ASSERT_NE(application->workspace(), nullptr);
    EXPECT_EQ(tools::CConsoleFrame::instance(), console());
    EXPECT_EQ(tools::CWorkSpaceFrame::instance(), application->workspace());
    EXPECT_FALSE(console()->isVisible());
    EXPECT_FALSE(application->workspace()->isVisible());
    EXPECT_EQ(console()->windowTitle(), QString::fromUtf8("コンソール"));
    EXPECT_EQ(application->workspace()->windowTitle(), QString::fromUtf8("ワークスペース"));
    EXPECT_EQ(console()->view()->component()->objectName(), "Source");
    EXPECT_EQ(console()->parentWidget(), application->mainFrame());

    // A print in the start-up script found no console yet: nothing, and no error.
    EXPECT_EQ(consoleText(), "");
}

TEST_F(ConsoleTest, PrintShowsAtOnceAndWrittenOutputAtTheNextIdlePass)
{
    startWith(startScript("print('before the console')"));
    run("print('a', 1, nil) print()");
    EXPECT_EQ(consoleText(), "a\t1\tnil\n\n");

    run("io.write('written') io.stderr:write(' and error')");
    EXPECT_EQ(consoleText(), "a\t1\tnil\n\n") << "written text waits for the idle pass";
    application->idle();
    EXPECT_EQ(consoleText(), "a\t1\tnil\n\nwritten and error");

    // The end stays visible.
    run("for i = 1, 200 do print('line ' .. i) end");
    tools::CSciEdit* view = console()->view();
    const long lines = view->send(Sci::SCI_GETLINECOUNT);
    EXPECT_GT(view->send(Sci::SCI_GETFIRSTVISIBLELINE) + view->send(Sci::SCI_LINESONSCREEN), lines - 2);
    EXPECT_FALSE(console()->isVisible()) << "print does not show the console";
}

TEST_F(ConsoleTest, JapaneseTextAndCharactersSplitBetweenDrains)
{
    startWith(startScript());
    // "日本語" and "あ" in code page 932.
    run("print('\\147\\250\\150\\123\\140\\234')");
    run("io.write('\\130') io.write('')");
    application->idle();
    run("io.write('\\160', '\\n')");
    application->idle();
    EXPECT_EQ(QString::fromUtf8(consoleText()), QString::fromUtf8("日本語\nあ\n"));
    // Shown as single characters.
    EXPECT_EQ(console()->view()->send(Sci::SCI_COUNTCHARACTERS, 0, console()->view()->send(Sci::SCI_GETLENGTH)), 6);
}

TEST_F(ConsoleTest, BadBytesGiveValidTextAndZeroBytesStay)
{
    startWith(startScript());
    // A lead byte before a line feed, bytes no character starts with, a lone lead at the end.
    run("io.write('\\129\\n', '\\255\\253x', 'a\\0b', '\\159')");
    application->idle();
    run("print('p\\0q')");
    application->idle();
    const QByteArray text = consoleText();
    EXPECT_TRUE(QString::fromUtf8(text).toUtf8() == text) << "the document is valid UTF-8";
    EXPECT_NE(text.indexOf(QByteArray("a\0b", 3)), -1);
    EXPECT_NE(text.indexOf(QByteArray("p\0q\n", 4)), -1);
    EXPECT_NE(text.indexOf("x"), -1);
}

TEST_F(ConsoleTest, LongLinesContinueOnTheNextLine)
{
    startWith(startScript());
    const std::size_t longest = tools::CConsoleFrame::kLongestLine;
    run("io.write(string.rep('z', " + std::to_string(longest - 10) + "))");
    application->idle();
    // The line goes on in the next drain until it is full; "あ" (3 bytes) stays whole.
    run("io.write(string.rep('z', 5), string.rep('\\130\\160', 20), '\\n')");
    application->idle();
    const QList<QByteArray> lines = consoleText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].size(), static_cast<qsizetype>(longest) + 1);
    EXPECT_EQ(QString::fromUtf8(lines[0] + lines[1]), QString(longest - 5, 'z') + QString(20, QChar(0x3042)));
    EXPECT_EQ(lines[2], "");
}

TEST_F(ConsoleTest, ChildProcessOutputArrivesWhileItRunsAndShowsTheConsole)
{
    ::unsetenv("COMSPEC");
    startWith(startScript());
    run("io.write('first ')");
    run("RESULT = os.execute('printf \"from child\\\\n\"; exit 3')");
    EXPECT_EQ(eval("RESULT"), "3");
    EXPECT_TRUE(console()->isVisible());
    EXPECT_EQ(consoleText(), "first from child\n") << "queued text first, then the child's, during the wait";
    EXPECT_TRUE(state(app::commands::Console).second);
}

TEST_F(ConsoleTest, ClosingOnlyHidesAndTheTextStays)
{
    startWith(startScript());
    application->mainFrame()->runCommand(app::commands::Console);
    QCoreApplication::processEvents();
    ASSERT_TRUE(console()->isVisible());
    EXPECT_EQ(state(app::commands::Console), std::make_pair(true, true));
    run("print('kept')");
    tools::CConsoleFrame* before = console();
    EXPECT_TRUE(console()->close());
    QCoreApplication::processEvents();
    EXPECT_EQ(console(), before);
    EXPECT_FALSE(console()->isVisible());
    EXPECT_EQ(state(app::commands::Console), std::make_pair(true, false));

    // Output while hidden is kept too.
    run("print('while hidden') io.write('written while hidden')");
    application->idle();
    application->mainFrame()->runCommand(app::commands::Console);
    EXPECT_TRUE(console()->isVisible());
    EXPECT_EQ(consoleText(), "kept\nwhile hidden\nwritten while hidden");
    application->mainFrame()->runCommand(app::commands::Console);
    EXPECT_FALSE(console()->isVisible()) << "the command shows and hides";
}

TEST_F(ConsoleTest, WorkspaceCommandAndMenuItems)
{
    startWith(startScript());
    tools::CWorkSpaceFrame* workspace = application->workspace();
    EXPECT_EQ(state(app::commands::Workspace), std::make_pair(true, false));
    application->mainFrame()->runCommand(app::commands::Workspace);
    EXPECT_TRUE(workspace->isVisible());
    EXPECT_EQ(state(app::commands::Workspace), std::make_pair(true, true));
    workspace->view()->component()->setText("local x = 1");
    workspace->close();
    application->mainFrame()->runCommand(app::commands::Workspace);
    EXPECT_EQ(workspace->view()->component()->text(), "local x = 1");
    EXPECT_FALSE(console()->isVisible());

    // Both commands sit in the help menu, after the help contents.
    QMenu* help = nullptr;
    for (QAction* a : application->mainFrame()->menuBar()->actions())
        if (a->text() == QString::fromUtf8("ﾍﾙﾌﾟ(&H)"))
            help = a->menu();
    ASSERT_NE(help, nullptr);
    const QList<QAction*> items = help->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[1], action(app::commands::Console));
    EXPECT_EQ(items[1]->text(), QString::fromUtf8("デバッグコンソール(&C)"));
    EXPECT_EQ(items[2], action(app::commands::Workspace));
}

TEST_F(ConsoleTest, WindowRectanglesRoundTrip)
{
    startWith(startScript());
    application->mainFrame()->runCommand(app::commands::Console);
    application->mainFrame()->runCommand(app::commands::Workspace);
    QCoreApplication::processEvents();
    run("app.setWindowRect('console', {x = 15, y = 25, cx = 410, cy = 230})");
    run("app.setWindowRect('workspace', {x = 300, y = 200, cx = 350, cy = 260})");
    QCoreApplication::processEvents();
    const auto rect = [this](const char* name) {
        const std::string r = std::string("app.getWindowRect('") + name + "')";
        return eval(r + ".x") + "," + eval(r + ".y") + "," + eval(r + ".cx") + "," + eval(r + ".cy");
    };
    EXPECT_EQ(rect("console"), "15,25,410,230");
    EXPECT_EQ(rect("workspace"), "300,200,350,260");
    EXPECT_EQ(console()->frameGeometry(), QRect(15, 25, 410, 230));
}

// Keyword sets, styles and the rest of the setup as the component reports them back.
class EditorSetupTest : public ConsoleTest {
protected:
    // The style the lexer gives each word of `words` in `view`.
    static std::vector<int> stylesOfWords(tools::CSciEdit& view, const std::string& words)
    {
        view.component()->setText(QString::fromStdString(words));
        view.send(Sci::SCI_COLOURISE, 0, -1);
        std::vector<int> styles;
        std::istringstream in(words);
        std::string word;
        std::size_t from = 0;
        while (in >> word) {
            const std::size_t at = words.find(word, from);
            styles.push_back(static_cast<int>(view.send(Sci::SCI_GETSTYLEAT, at)));
            from = at + word.size();
        }
        return styles;
    }
};

TEST_F(EditorSetupTest, KeywordSetsColourEveryListedWord)
{
    startWith(startScript());
    tools::CSciEdit& view = *console()->view();
    const int expected[4] = {5, 13, 14, 15};
    for (int set = 0; set < 4; ++set) {
        const std::vector<int> styles = stylesOfWords(view, tools::consoleKeywords(set));
        ASSERT_FALSE(styles.empty());
        for (std::size_t i = 0; i < styles.size(); ++i)
            EXPECT_EQ(styles[i], expected[set]) << "set " << set << " word " << i;
    }
    // The sets are sent as they have always been written: "unpack_G" and "rawegal" are words,
    // "unpack", "_G" and "rawequal" are not.
    EXPECT_EQ(stylesOfWords(view, "unpack_G rawegal unpack _G rawequal"), (std::vector<int>{13, 13, 11, 11, 11}));
    EXPECT_EQ(stylesOfWords(view, "-- note\n\"text\" 'c' 12"), (std::vector<int>{2, 2, 6, 7, 4}));

    // The workspace has no keyword sets.
    EXPECT_EQ(stylesOfWords(*application->workspace()->view(), "function print string.byte"), (std::vector<int>{11, 11, 11}));
}

TEST_F(EditorSetupTest, StylesCodePageAndTabs)
{
    startWith(startScript());
    struct Colours {
        int style;
        long fore, back;  // 0x00BBGGRR
    };
    const Colours table[] = {
        {0, 0x000000, 0xFFFFFF},  {1, 0x007F00, 0xF0F0D0},  {2, 0x007F00, 0xFFFFFF},  {3, 0x3F703F, 0xFFFFFF},
        {4, 0x7F7F00, 0xFFFFFF},  {5, 0x7F0000, 0xFFFFFF},  {6, 0x7F007F, 0xFFFFFF},  {7, 0x7F007F, 0xFFFFFF},
        {8, 0x007F00, 0xFFFFE0},  {9, 0x007F7F, 0xFFFFFF},  {10, 0x000000, 0xFFFFFF}, {11, 0x000000, 0xFFFFFF},
        {12, 0xFFFFFF, 0xE0C0E0}, {13, 0x7F0000, 0xD0FFD0}, {14, 0x7F0000, 0xFFD0D0}, {15, 0x7F0000, 0xD0D0FF},
        {16, 0x7F0000, 0xFFD0FF}, {17, 0x7F0000, 0xD0FFFF}, {18, 0x7F0000, 0xA0A0FF}, {19, 0x7F0000, 0xD0D0FF},
    };
    for (tools::CSciEdit* view : {console()->view(), application->workspace()->view()}) {
        for (const Colours& c : table) {
            EXPECT_EQ(view->send(Sci::SCI_STYLEGETFORE, c.style), c.fore) << "style " << c.style;
            EXPECT_EQ(view->send(Sci::SCI_STYLEGETBACK, c.style), c.back) << "style " << c.style;
        }
        for (int style = 0; style < 32; ++style) {
            EXPECT_EQ(view->send(Sci::SCI_STYLEGETSIZE, style), 9);
            EXPECT_EQ(view->send(Sci::SCI_STYLEGETCHARACTERSET, style), 128);
        }
        EXPECT_EQ(view->send(Sci::SCI_STYLEGETSIZE, Sci::STYLE_DEFAULT), 10);
        EXPECT_EQ(view->send(Sci::SCI_STYLEGETVISIBLE, 33), 1);
        EXPECT_EQ(view->send(Sci::SCI_STYLEGETVISIBLE, 37), 1);
        EXPECT_EQ(view->send(Sci::SCI_GETLEXER), 15);
        EXPECT_EQ(view->send(Sci::SCI_GETCODEPAGE), 65001);
        EXPECT_EQ(view->send(Sci::SCI_GETTABWIDTH), 4);
        EXPECT_EQ(view->send(Sci::SCI_GETINDENT), 4);
        EXPECT_EQ(view->send(Sci::SCI_GETUSETABS), 1);
        char font[64] = {};
        view->send(Sci::SCI_STYLEGETFONT, 5, font);
        EXPECT_STRNE(font, "");
    }
}

TEST_F(ConsoleTest, OutputIsNotUndoneAndTheUsersEditsAre)
{
    startWith(startScript());
    QsciScintilla* editor = console()->view()->component();
    int edits = 0;
    QObject::connect(editor, &QsciScintilla::textChanged, [&] { ++edits; });
    run("print('out')");
    editor->SendScintilla(Sci::SCI_DOCUMENTEND);
    editor->SendScintilla(Sci::SCI_ADDTEXT, 5, "typed");
    EXPECT_GE(edits, 1) << "the user's edits are still told after output";
    run("print('more')");
    editor->undo();
    EXPECT_EQ(consoleText(), "out\nmore\n");
    editor->undo();
    EXPECT_EQ(consoleText(), "out\nmore\n") << "output is no step of the undo history";
}

// Endless output keeps only the newest text; none of it hangs the console.
TEST_F(ConsoleTest, HugeOutputKeepsTheNewestPart)
{
    startWith(startScript());
    constexpr std::size_t limit = tools::CConsoleFrame::kKeptBytes + tools::CConsoleFrame::kTrimSlack;
    // 100 MiB in lines through the output queue, and in one huge print.
    run("local s = string.rep('0123456789abcdef\\n', 65536) for i = 1, 100 do io.write(s) if i % 10 == 0 then io.write('mark', i, '\\n') end end");
    application->idle();
    QByteArray text = consoleText();
    EXPECT_LE(static_cast<std::size_t>(text.size()), limit);
    EXPECT_GE(static_cast<std::size_t>(text.size()), tools::CConsoleFrame::kKeptBytes / 2);
    EXPECT_TRUE(text.endsWith("mark100\n"));
    EXPECT_TRUE(text.startsWith("0123456789abcdef\n")) << "trimmed at a line start";

    run("print(string.rep('\\130\\160', 50 * 1024 * 1024))");
    text = consoleText();
    EXPECT_LE(static_cast<std::size_t>(text.size()), limit);
    EXPECT_TRUE(text.endsWith("あ\n"));
    EXPECT_TRUE(QString::fromUtf8(text).toUtf8() == text) << "never cut inside a character";
    EXPECT_FALSE(QString::fromUtf8(text).contains(QChar::ReplacementCharacter));

    // A 10 MiB line without line feeds, then the window painted with it.
    run("io.write(string.rep('y', 10 * 1024 * 1024))");
    application->idle();
    text = consoleText();
    EXPECT_LE(static_cast<std::size_t>(text.size()), limit);
    EXPECT_TRUE(text.endsWith("yyyy"));
    tools::CSciEdit* view = console()->view();
    const long lines = view->send(Sci::SCI_GETLINECOUNT);
    for (long line = lines - 3; line < lines; ++line)
        EXPECT_LE(view->send(Sci::SCI_LINELENGTH, line), static_cast<long>(tools::CConsoleFrame::kLongestLine) + 1);
    console()->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(console()->grab().isNull());
}

// An editing component that cannot be made: one message box, no frames, disabled commands,
// and script output dropped without errors.
class BrokenEditorTest : public ConsoleTest {
protected:
    void SetUp() override { tools::CSciEdit::setComponentFailsForTesting(true); }
    void TearDown() override
    {
        tools::CSciEdit::setComponentFailsForTesting(false);
        ConsoleTest::TearDown();
    }
};

TEST_F(BrokenEditorTest, NoFramesAndDisabledCommands)
{
    ::unsetenv("COMSPEC");
    testing::internal::CaptureStderr();
    startWith(startScript());
    const std::string boxes = testing::internal::GetCapturedStderr();
    // Qt may warn on the same stream; exactly one box.
    const std::string box = "MessageBox[エラー]: Scintillaエディットコンポーネントの初期化に失敗しました。\n";
    EXPECT_NE(boxes.find(box), std::string::npos) << boxes;
    EXPECT_EQ(boxes.find("MessageBox["), boxes.rfind("MessageBox[")) << boxes;
    EXPECT_EQ(console(), nullptr);
    EXPECT_EQ(application->workspace(), nullptr);
    EXPECT_EQ(tools::CConsoleFrame::instance(), nullptr);
    EXPECT_NE(application->fileList(), nullptr);
    EXPECT_EQ(state(app::commands::Console), std::make_pair(false, false));
    EXPECT_EQ(state(app::commands::Workspace), std::make_pair(false, false));

    testing::internal::CaptureStderr();
    run("print('nowhere') io.write('dropped') RESULT = os.execute('exit 4')");
    application->idle();
    application->mainFrame()->runCommand(app::commands::Console);
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("MessageBox["), std::string::npos) << "no further boxes";
    EXPECT_EQ(eval("RESULT"), "4");
    EXPECT_EQ(console(), nullptr);
    EXPECT_EQ(eval("(app.getWindowRect('console'))"), "nil");
}

}  // namespace
