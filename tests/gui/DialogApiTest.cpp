#include "AppFixture.h"
#include "DialogDriver.h"

#include "app/MainFrame.h"
#include "engine/Messages.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

// The dialogs of `app` driven as a person would, against the real main window.
class DialogApiTest : public guitest::AppFixture {
protected:
    void SetUp() override { platform::setNonInteractive(false); }
    void TearDown() override
    {
        platform::setNonInteractive(true);
        AppFixture::TearDown();
    }

    // The value of a script expression written in UTF-8 (converted to the scripts' code page).
    std::string eval(const std::string& expression)
    {
        return platform::cp932ToUtf8(guitest::evalScript(*application, platform::utf8ToCp932(expression)));
    }
    void runUtf8(const std::string& code) { run(platform::utf8ToCp932(code)); }
    // The logging start-up script with `extra` written in UTF-8.
    void start(const std::string& extra = "") { startWith(platform::utf8ToCp932(startScript(extra))); }
    // A global holding an OS path in script form.
    void setPathGlobal(const char* name, const std::filesystem::path& path)
    {
        lua_State* L = application->engine()->state();
        const std::string script = platform::fromOsPath(path.string());
        lua_pushlstring(L, script.data(), script.size());
        lua_setglobal(L, name);
    }
    static std::string scriptPath(const std::filesystem::path& path) { return platform::cp932ToUtf8(platform::fromOsPath(path.string())); }

    void makeFiles()
    {
        std::filesystem::create_directories(pictures / "sub");
        for (const char* name : {"a.jpg", "B.JPG", "c.txt", "noext", "caf\xc3\xa9 \xec\x82\xac\xec\xa7\x84 \xf0\x9f\x98\x80.jpg"})
            std::ofstream(pictures / name) << name;
    }

    static void type(QFileDialog& dialog, const QString& text)
    {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // The names the dialog's list shows, once it shows at least `atLeast` (or after 3 s).
    static QStringList listed(QFileDialog& dialog, int atLeast)
    {
        auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (!view)
            return {"no list"};
        QStringList names;
        QTest::qWaitFor([&] {
            names.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                names << view->model()->index(row, 0, root).data().toString();
            return names.size() >= atLeast;
        }, 3000);
        names.sort();
        return names;
    }
    static void press(QFileDialog& dialog, QDialogButtonBox::ButtonRole role)
    {
        auto* box = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons()) {
            if (box->buttonRole(b) == role) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no button of role " << role;
    }
    static void click(QDialog& dialog, const char* name)
    {
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }

    std::filesystem::path pictures = module / "pictures";
    guitest::DialogDriver driver;
};

TEST_F(DialogApiTest, MessageBoxReturnsTheButtonPressed)
{
    start();
    const struct {
        const char* type;
        QMessageBox::StandardButton press;
        const char* answer;
        int buttons;
    } cases[] = {
        {"OK", QMessageBox::Ok, "OK", 1},
        {"OKCANCEL", QMessageBox::Cancel, "CANCEL", 2},
        {"OKCANCEL", QMessageBox::Ok, "OK", 2},
        {"ABORTRETRYIGNORE", QMessageBox::Abort, "ABORT", 3},
        {"ABORTRETRYIGNORE", QMessageBox::Retry, "RETRY", 3},
        {"ABORTRETRYIGNORE", QMessageBox::Ignore, "IGNORE", 3},
        {"YESNOCANCEL", QMessageBox::Yes, "YES", 3},
        {"YESNOCANCEL", QMessageBox::No, "NO", 3},
        {"YESNOCANCEL", QMessageBox::Cancel, "CANCEL", 3},
        {"YESNO", QMessageBox::No, "NO", 2},
        {"RETRYCANCEL", QMessageBox::Retry, "RETRY", 2},
        {"RETRYCANCEL", QMessageBox::Cancel, "CANCEL", 2},
        // A type is a name with exact case; anything else is the OK box.
        {"yesno", QMessageBox::Ok, "OK", 1},
        {"YESNO ", QMessageBox::Ok, "OK", 1},
    };
    for (const auto& c : cases) {
        driver.then<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.buttons().size(), c.buttons) << c.type;
            EXPECT_EQ(box.windowTitle(), u8("題名"));
            EXPECT_EQ(box.text(), u8("本文\n二行目"));
            EXPECT_EQ(box.parentWidget(), application->mainFrame()) << "owned by the main frame";
            ASSERT_NE(box.button(c.press), nullptr) << c.type;
            box.button(c.press)->click();
        });
        EXPECT_EQ(eval(std::string("app.messageBox('本文\\n二行目', '題名', '") + c.type + "')"), c.answer) << c.type;
    }
}

TEST_F(DialogApiTest, MessageBoxTypesCaptionsAndClosing)
{
    start();
    // A number never names a type, not even the value of one.
    driver.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.buttons().size(), 1);
        EXPECT_EQ(box.windowTitle(), "4");
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(eval("app.messageBox('x', 4, 4)"), "OK");

    // Closed with its close box or Escape: the box's cancel answer.
    driver.then<QMessageBox>([](QMessageBox& box) { box.close(); });
    EXPECT_EQ(eval("app.messageBox('x', 'c', 'YESNOCANCEL')"), "CANCEL");
    driver.then<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(eval("app.messageBox('x', 'c', 'OKCANCEL')"), "CANCEL");
    driver.then<QMessageBox>([](QMessageBox& box) { box.close(); });
    EXPECT_EQ(eval("app.messageBox('x')"), "OK");

    // No caption: the application's name; a caption without a text form: reported, then the name.
    driver.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "Selvarin");
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(eval("app.messageBox('x')"), "OK");
    driver
        .then<QMessageBox>([](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), u8("スクリプトエラー"));
            box.button(QMessageBox::Ok)->click();
        })
        .then<QMessageBox>([](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), "Selvarin");
            EXPECT_EQ(box.text(), "body");
            box.button(QMessageBox::Ok)->click();
        });
    EXPECT_EQ(eval("app.messageBox('body', setmetatable({}, {__tostring = function() error('no') end}))"), "OK");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, StandardButtonsSpeakJapanese)
{
    start();
    driver.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(u8("はい"))) << box.button(QMessageBox::Yes)->text().toStdString();
        EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(u8("いいえ")));
        EXPECT_TRUE(box.button(QMessageBox::Cancel)->text().contains(u8("キャンセル")));
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(eval("app.messageBox('x', 'c', 'YESNOCANCEL')"), "YES");
}

TEST_F(DialogApiTest, FolderDialogStartsInTheFolderGivenAndReturnsScriptPaths)
{
    start();
    makeFiles();
    setPathGlobal("folder", pictures);
    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), u8("フォルダの選択"));
        EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
        EXPECT_EQ(d.parentWidget(), application->mainFrame());
        EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(pictures.string()));
        press(d, QDialogButtonBox::AcceptRole);
    });
    EXPECT_EQ(eval("app.showFolderOpenDialog('フォルダの選択', folder)"), scriptPath(pictures));

    driver.then<QFileDialog>([&](QFileDialog& d) {
        type(d, "sub");
        press(d, QDialogButtonBox::AcceptRole);
    });
    EXPECT_EQ(eval("app.showFolderOpenDialog('t', folder)"), scriptPath(pictures / "sub"));

    // Not a text or number: the current directory.
    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(module.string()));
        press(d, QDialogButtonBox::RejectRole);
    });
    EXPECT_EQ(eval("app.showFolderOpenDialog('t', {})"), "nil");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, FileOpenDialogReturnsATableOfChosenPaths)
{
    start();
    makeFiles();
    setPathGlobal("folder", pictures);
    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile) << "only the boolean true selects several";
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(pictures.string()));
        EXPECT_EQ(d.nameFilters(), QStringList({u8("画像 (*.jpg *.bmp)"), u8("All files (*.*) (*)")}));
        EXPECT_EQ(listed(d, 4), QStringList({"B.JPG", "a.jpg", u8("caf\u00e9 \uc0ac\uc9c4 \U0001F600.jpg"), "sub"}))
            << "patterns match without regard to case";
        d.selectNameFilter(d.nameFilters().at(1));
        const QStringList all = listed(d, 6);
        EXPECT_TRUE(all.contains("c.txt") && all.contains("noext")) << "*.* lists every file, also one without a dot";
        type(d, "a.jpg");
        press(d, QDialogButtonBox::AcceptRole);
    });
    runUtf8("r = {app.showFileOpenDialog(folder, '画像|*.jpg;*.bmp|All files (*.*)|*.*', 1)}");
    EXPECT_EQ(eval("table.getn(r)"), "1");
    EXPECT_EQ(eval("table.getn(r[1])"), "1");
    EXPECT_EQ(eval("r[1][1]"), scriptPath(pictures / "a.jpg"));

    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles);
        type(d, "\"B.JPG\" \"a.jpg\"");
        press(d, QDialogButtonBox::AcceptRole);
    });
    run("r = app.showFileOpenDialog(folder, nil, true)");
    EXPECT_EQ(eval("table.getn(r)"), "2");
    EXPECT_EQ(eval("r[1]"), scriptPath(pictures / "B.JPG"));
    EXPECT_EQ(eval("r[2]"), scriptPath(pictures / "a.jpg"));

    // A name no code page spells comes back whole: the file is found through it.
    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.nameFilters(), QStringList({"All Files (*.*) (*)"})) << "the default filter";
        EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(module.string())) << "nil: the current directory";
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString((pictures / "caf\xc3\xa9 \xec\x82\xac\xec\xa7\x84 \xf0\x9f\x98\x80.jpg").string()));
        press(d, QDialogButtonBox::AcceptRole);
    });
    run("r = app.showFileOpenDialog()");
    EXPECT_EQ(eval("r[1]"), scriptPath(pictures / "caf\xc3\xa9 \xec\x82\xac\xec\xa7\x84 \xf0\x9f\x98\x80.jpg"));
    EXPECT_EQ(eval("app.getFileInfo(r[1]).filesize"), std::to_string(std::filesystem::file_size(pictures / "caf\xc3\xa9 \xec\x82\xac\xec\xa7\x84 \xf0\x9f\x98\x80.jpg")));

    driver.then<QFileDialog>([&](QFileDialog& d) { press(d, QDialogButtonBox::RejectRole); });
    EXPECT_EQ(eval("select('#', app.showFileOpenDialog(folder))"), "0") << "cancelled: no result";
    driver.then<QFileDialog>([&](QFileDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(eval("select('#', app.showFileOpenDialog(folder))"), "0");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, FileSaveDialogAddsTheExtensionAndAsksBeforeOverwriting)
{
    start();
    makeFiles();
    setPathGlobal("folder", pictures);
    driver.then<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d.defaultSuffix(), "bmp");
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), "shot.bmp");
        EXPECT_EQ(d.nameFilters(), QStringList({"Bitmap (*.bmp) (*.bmp)"}));
        type(d, "new");
        press(d, QDialogButtonBox::AcceptRole);
    });
    EXPECT_EQ(eval("app.showFileSaveDialog(folder, 'shot.bmp', 'bmp', 'Bitmap (*.bmp)|*.bmp')"), scriptPath(pictures / "new.bmp"));

    // An existing file: No keeps the dialog open, Yes takes the name.
    driver
        .then<QFileDialog>([&](QFileDialog& d) {
            type(d, "a.jpg");
            press(d, QDialogButtonBox::AcceptRole);
        })
        .then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::No)->click(); })
        .then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_TRUE(d.isVisible());
            press(d, QDialogButtonBox::AcceptRole);
        })
        .then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(eval("app.showFileSaveDialog(folder)"), scriptPath(pictures / "a.jpg"));

    driver.then<QFileDialog>([&](QFileDialog& d) { press(d, QDialogButtonBox::RejectRole); });
    EXPECT_EQ(eval("select('#', app.showFileSaveDialog(folder, 'x'))"), "0");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, OptionalDialogShowsItsTextsAndEndsWithOkOrCancel)
{
    start();
    driver.then<QDialog>(
        [&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), u8("確認"));
            EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("message"))->text(), u8("最後の画像です"));
            EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("ok"))->text(), "OK");
            EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("cancel"))->text(), u8("ｷｬﾝｾﾙ"));
            EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("first"))->text(), u8("別のファイル"));
            EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("second"))->text(), u8("別のフォルダ"));
            EXPECT_EQ(d.parentWidget(), application->mainFrame());
            click(d, "ok");
        },
        "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('確認', '最後の画像です', '別のファイル', nil, '別のフォルダ', nil)"), "OK");

    driver.then<QDialog>([&](QDialog& d) { click(d, "cancel"); }, "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', nil, 'b', nil)"), "CANCEL");
    driver.then<QDialog>([&](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', nil, 'b', nil)"), "CANCEL");
    driver.then<QDialog>([&](QDialog& d) { d.close(); }, "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', nil, 'b', nil)"), "CANCEL");

    // Buttons without a function do nothing.
    driver.then<QDialog>(
        [&](QDialog& d) {
            click(d, "first");
            click(d, "second");
            EXPECT_TRUE(d.isVisible());
            click(d, "ok");
        },
        "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', 5, 'b', 'f')"), "OK");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, OptionalDialogCallbacksKeepItOpenOrCloseItWithTheirValue)
{
    start(("calls = 0\n"
                          "function keepOpen() calls = calls + 1 return nil end\n"
                          "function give() return {answer = 'FILE'} end\n"));
    driver.then<QDialog>(
        [&](QDialog& d) {
            click(d, "first");
            click(d, "first");
            EXPECT_TRUE(d.isVisible()) << "nil keeps the dialog open";
            click(d, "second");
        },
        "optionalDialog");
    lua_State* L = application->engine()->state();
    const int top = lua_gettop(L);
    run("local a, b = 'x', 'y' r = app.showOptionalDialog('c', 'm', 'a', keepOpen, 'b', give) locals = a .. b");
    EXPECT_EQ(lua_gettop(L), top);
    EXPECT_EQ(eval("calls"), "2");
    EXPECT_EQ(eval("type(r)"), "table");
    EXPECT_EQ(eval("r.answer"), "FILE");
    EXPECT_EQ(eval("locals"), "xy") << "the caller's values are left as they were";

    // Other values than nil close it too, false included.
    driver.then<QDialog>([&](QDialog& d) { click(d, "second"); }, "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', nil, 'b', function() return false end)"), "false");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, OptionalDialogCallbackErrorsAreReportedAndCancel)
{
    start(("function broken() error('壊れた') end\n"));
    driver.then<QDialog>([&](QDialog& d) { click(d, "first"); }, "optionalDialog")
        .then<QMessageBox>([](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), u8("スクリプトエラー"));
            EXPECT_TRUE(box.text().contains(u8("壊れた"))) << box.text().toStdString();
            box.button(QMessageBox::Ok)->click();
        });
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', broken, 'b', nil)"), "CANCEL");
    EXPECT_EQ(eval("1 + 1"), "2") << "the interpreter goes on";
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, OptionalDialogCallbacksMayOpenDialogsAndDropTheirOwnValues)
{
    start((
        "function ask() return app.messageBox('続けますか', 'c', 'YESNO') end\n"
        "function inner() return app.showOptionalDialog('inner', 'm', 'x', function() return 'FILE' end, 'y', nil) end\n"
        "function forget() forget = nil collectgarbage('collect') collectgarbage('collect') return nil end\n"));
    driver.then<QDialog>([&](QDialog& d) { click(d, "first"); }, "optionalDialog")
        .then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', ask, 'b', nil)"), "YES");

    // Nested four-button dialogs: the inner one's result becomes the outer callback's.
    driver.then<QDialog>([&](QDialog& d) { click(d, "first"); }, "optionalDialog")
        .then<QDialog>(
            [&](QDialog& d) {
                EXPECT_EQ(d.windowTitle(), "inner");
                click(d, "first");
            },
            "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('outer', 'm', 'a', inner, 'b', nil)"), "FILE");

    // A callback that drops every other reference to itself still runs on the next click.
    driver.then<QDialog>(
        [&](QDialog& d) {
            click(d, "first");
            click(d, "first");
            click(d, "ok");
        },
        "optionalDialog");
    EXPECT_EQ(eval("app.showOptionalDialog('c', 'm', 'a', forget, 'b', nil)"), "OK");
    EXPECT_EQ(driver.stepsLeft(), 0);
}

TEST_F(DialogApiTest, TextArgumentsWithoutATextRaise)
{
    start(("bad = setmetatable({}, {__tostring = function() return {} end})\n"));
    const std::string error = platform::cp932ToUtf8(engine::msg::text(engine::msg::Id::ToStringNotText));
    for (const char* call : {"app.messageBox(bad)", "app.showFolderOpenDialog(bad)", "app.showFileOpenDialog(bad)",
                             "app.showFileOpenDialog(nil, bad)", "app.showFileSaveDialog(nil, nil, bad)",
                             "app.showOptionalDialog('c', 'm', 'a', nil, bad, nil)"}) {
        const std::string result = eval(std::string("select(2, pcall(function() return ") + call + " end))");
        EXPECT_NE(result.find(error), std::string::npos) << call << ": " << result;
    }
    EXPECT_EQ(driver.stepsLeft(), 0);
}

}  // namespace
