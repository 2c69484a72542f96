// The shipped script/start.lua driving the real application: lists, page turns, bad pictures,
// drops, backgrounds and the settings file.

#include "DefaultScriptFixture.h"

#include "tools/ProgressFrame.h"

#include <QTest>

namespace {

using namespace defaultscript;

TEST_F(DefaultScriptTest, OneFileListsItsFolderInCollationOrderAndTheEndsHold)
{
    // Byte order would put B before a; the collation puts a first.
    writeJpeg(pictures / "a.jpg", 30, 20);
    writeFile(pictures / "B.bmp", bmpBytes(40, 10));
    writeJpeg(pictures / "c.JPG", 50, 60);
    writeFile(pictures / "notes.txt", "not a picture");
    start({pictures / "B.bmp"});

    EXPECT_EQ(title(), "B.bmp (2/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 40);
    EXPECT_CONTAINS(status(), "40 x 10");
    EXPECT_CONTAINS(status(), "BMP 24ビット");

    command(PrevImage);
    EXPECT_EQ(title(), "a.jpg (1/3) - Selvarin");
    EXPECT_CONTAINS(status(), "30 x 20  JPEG 24ビット");
    command(PrevImage);
    EXPECT_EQ(title(), "a.jpg (1/3) - Selvarin") << "no wrap at the start";
    EXPECT_EQ(shownWidth(), 30);
    EXPECT_CONTAINS(status(), "最初の画像です");

    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin");
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin") << "no wrap at the end";
    EXPECT_EQ(shownWidth(), 50);
    EXPECT_CONTAINS(status(), "最後の画像です");
    // With the end-of-list option on but no dialog to show, the end behaves the same.
    command(StopDialog);
    EXPECT_TRUE(checked(StopDialog));
    command(NextImage);
    EXPECT_EQ(title(), "c.JPG (3/3) - Selvarin");
    EXPECT_CONTAINS(status(), "最後の画像です");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, UnreadablePicturesAreSkippedWithAStatusMessage)
{
    writeFile(pictures / "1.bmp", bmpBytes(11, 11));
    writeFile(pictures / "2.jpg", std::string("\xFF\xD8garbage after a JPEG signature", 32));
    std::string truncated = bmpBytes(20, 20);
    truncated.resize(truncated.size() / 2);
    writeFile(pictures / "3.bmp", truncated);
    writeFile(pictures / "4.bmp", bmpBytes(44, 44));
    start({pictures / "1.bmp"});
    ASSERT_EQ(title(), "1.bmp (1/4) - Selvarin");

    command(NextImage);
    EXPECT_EQ(title(), "4.bmp (4/4) - Selvarin");
    EXPECT_EQ(shownWidth(), 44);
    EXPECT_CONTAINS(status(), "読み込めなかった画像: 2.jpg（ファイルが途中までしかありません） ほか1件");
    EXPECT_CONTAINS(status(), "44 x 44");

    // A listed file deleted meanwhile is passed over too; the picture stays at the start.
    fs::remove(pictures / "1.bmp");
    command(PrevImage);
    EXPECT_EQ(title(), "4.bmp (4/4) - Selvarin");
    EXPECT_EQ(shownWidth(), 44);
    EXPECT_CONTAINS(status(), "ほか2件");
    EXPECT_CONTAINS(status(), "最初の画像です");
    EXPECT_EQ(boxes(), "") << "bad picture data never shows an error box";
}

TEST_F(DefaultScriptTest, ACorruptStartFileMovesOnToTheNextReadableOne)
{
    writeFile(pictures / "a.jpg", std::string("\xFF\xD8\xFF\xE0", 4));
    writeFile(pictures / "b.bmp", bmpBytes(7, 5));
    start({pictures / "a.jpg"});
    EXPECT_EQ(title(), "b.bmp (2/2) - Selvarin");
    EXPECT_CONTAINS(status(), "読み込めなかった画像: a.jpg（ファイルが途中までしかありません）");

    // Only unreadable pictures: nothing shown, and the status says why.
    stop();
    fs::remove(pictures / "b.bmp");
    writeFile(pictures / "c.bmp", "BM");
    start({pictures / "a.jpg"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(application->frontImage(), nullptr);
    EXPECT_CONTAINS(status(), "読み込める画像がありませんでした");
    command(NextImage);
    command(PrevImage);
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, FoldersAndSeveralFiles)
{
    fs::create_directories(pictures / "set");
    fs::create_directories(pictures / "empty");
    writeFile(pictures / "set" / "x.bmp", bmpBytes(3, 3));
    writeFile(pictures / "set" / "y.bmp", bmpBytes(4, 4));
    writeFile(pictures / "set" / "z.txt", "text");
    writeFile(pictures / "lone.bmp", bmpBytes(5, 5));

    start({pictures / "set"});
    EXPECT_EQ(title(), "x.bmp (1/2) - Selvarin");
    stop();

    // Several paths keep their order; a folder among them stands for its pictures.
    start({pictures / "lone.bmp", pictures / "set", pictures / "missing.bmp"});
    EXPECT_EQ(title(), "lone.bmp (1/3) - Selvarin");
    EXPECT_CONTAINS(status(), "missing.bmp（ファイルが見つかりません）");
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "y.bmp (3/3) - Selvarin");
    stop();

    start({pictures / "empty"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_CONTAINS(status(), "表示できる画像がありません");
    command(NextImage);
    EXPECT_CONTAINS(status(), "画像の一覧が空です");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, AFolderOfTenThousandFiles)
{
    // Only the first and the last can be read: a page turn passes over all the rest.
    char name[32];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(name, sizeof name, "%05d.bmp", i);
        if (i == 0 || i == 9999)
            writeFile(pictures / name, bmpBytes(i == 0 ? 2 : 9, 2));
        else
            writeFile(pictures / name, "");
    }
    start({pictures / "00000.bmp"});
    EXPECT_EQ(title(), "00000.bmp (1/10000) - Selvarin");
    command(NextImage);
    EXPECT_EQ(title(), "09999.bmp (10000/10000) - Selvarin");
    EXPECT_EQ(shownWidth(), 9);
    EXPECT_CONTAINS(status(), "読み込めなかった画像: 00001.bmp（ファイルが空です） ほか9997件");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, AFolderOfTwentyThousandPicturesInNaturalOrder)
{
    // Hard links of one tiny picture: every file is readable and making them costs little. The
    // names are not padded, so the host's listing order is not the natural one.
    writeFile(pictures / "p1.bmp", bmpBytes(3, 2));
    char name[32];
    for (int i = 2; i <= 20000; ++i) {
        std::snprintf(name, sizeof name, "p%d.bmp", i);
        fs::create_hard_link(pictures / "p1.bmp", pictures / name);
    }
    start({pictures});
    EXPECT_EQ(title(), "p1.bmp (1/20000) - Selvarin");
    command(NextImage);
    EXPECT_EQ(title(), "p2.bmp (2/20000) - Selvarin");
    QTest::keyClick(application->imageView(), Qt::Key_End);
    EXPECT_EQ(title(), "p20000.bmp (20000/20000) - Selvarin");
    command(PrevImage);
    EXPECT_EQ(title(), "p19999.bmp (19999/20000) - Selvarin");
    EXPECT_EQ(shownWidth(), 3);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<tools::CProgressFrame*>(w) && w->isVisible()) << "the progress window was closed";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, DropsStartANewList)
{
    fs::create_directories(pictures / "dropped");
    fs::create_directories(pictures / "empty");
    writeFile(pictures / "first.bmp", bmpBytes(6, 6));
    writeFile(pictures / "dropped" / "p.bmp", bmpBytes(8, 8));
    writeFile(pictures / "dropped" / "q.bmp", bmpBytes(9, 9));
    writeFile(pictures / "other.bmp", bmpBytes(10, 10));
    start({pictures / "first.bmp"});
    ASSERT_EQ(title(), "first.bmp (1/2) - Selvarin");

    drop({pictures / "dropped", pictures / "other.bmp"});
    EXPECT_EQ(title(), "p.bmp (1/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 8);
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "other.bmp (3/3) - Selvarin");

    // One dropped file stands for its folder, as on the command line.
    drop({pictures / "dropped" / "q.bmp"});
    EXPECT_EQ(title(), "q.bmp (2/2) - Selvarin");

    drop({pictures / "empty"});
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(application->frontImage(), nullptr);
    EXPECT_CONTAINS(status(), "empty には画像がありません");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, EveryNameIsShownAndOpens)
{
    // Names Shift JIS cannot spell beside names it can; each picture has its own width.
    const std::vector<std::string> names = {"caf\u00e9.jpg", "\u00c4\u00d6\u00dc.jpg", "\uc0ac\uc9c4.jpg",
                                            "emoji\U0001F600.jpg", "plain.jpg", "\u9ad9\u6a4b.jpg", "\u03a9mega.jpg"};
    std::map<std::string, int> widths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        writeJpeg(pictures / names[i], 10 + static_cast<int>(i), 5);
        widths[names[i]] = 10 + static_cast<int>(i);
    }
    start({pictures / "caf\u00e9.jpg"});
    EXPECT_EQ(title().substr(0, title().find(" (")), "caf\u00e9.jpg");
    EXPECT_CONTAINS(title(), "/7) - Selvarin");
    EXPECT_EQ(shownWidth(), widths["caf\u00e9.jpg"]);
    command(StartupOpenLast);

    // The whole list pages through: every name reaches its file.
    for (int i = 0; i < 7; ++i)
        command(PrevImage);
    std::set<std::string> shown;
    for (int i = 0; i < 7; ++i) {
        const std::string name = title().substr(0, title().find(" ("));
        ASSERT_TRUE(widths.count(name)) << title();
        EXPECT_EQ(shownWidth(), widths[name]) << name;
        EXPECT_EQ(status().find("読み込めなかった"), std::string::npos) << status();
        shown.insert(name);
        command(NextImage);
    }
    EXPECT_EQ(shown.size(), 7u);

    // The settings file keeps the name so that it opens the same picture next time.
    for (int i = 0; i < 7 && title().rfind("caf\u00e9.jpg", 0) != 0; ++i)
        command(PrevImage);
    stop();
    EXPECT_EQ(readFile(settingsFile()).find("caf?"), std::string::npos);
    start();
    EXPECT_EQ(title().substr(0, title().find(" (")), "caf\u00e9.jpg");
    EXPECT_EQ(shownWidth(), widths["caf\u00e9.jpg"]);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, ADroppedNameThatIsNotUtf8Opens)
{
    fs::create_directories(pictures / "latin");
    writeFile(pictures / "latin" / "\xe9t\xe9.bmp", bmpBytes(17, 5));
    start();
    QMimeData mime;
    mime.setUrls({platform::localUrlOfOsPath((pictures / "latin" / "\xe9t\xe9.bmp").string())});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(application->imageView()->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(application->imageView()->viewport(), &drop);
    EXPECT_EQ(shownWidth(), 17) << status();
    EXPECT_EQ(title(), "\ufffdt\ufffd.bmp (1/1) - Selvarin") << "bytes that spell nothing show as replacement characters";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, BackgroundCommands)
{
    start();
    EXPECT_EQ(title(), "Selvarin");
    command(BackgroundBlack);
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_TRUE(checked(BackgroundBlack));

    command(BackgroundPattern);
    const gfx::NxSurface* pattern = application->backgroundImage();
    ASSERT_NE(pattern, nullptr);
    EXPECT_TRUE(checked(BackgroundPattern));
    EXPECT_FALSE(checked(BackgroundBlack));
    ASSERT_EQ(pattern->width(), 16);
    ASSERT_EQ(pattern->height(), 16);
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = pattern->pixels().row(y) + 4 * x;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    };
    EXPECT_EQ(pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(8, 0), 0xFFCCCCCCu);
    EXPECT_EQ(pixel(0, 8), 0xFFCCCCCCu);
    EXPECT_EQ(pixel(15, 15), 0xFFFFFFFFu);

    command(BackgroundWhite);
    EXPECT_EQ(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().backgroundColour, 0xFFFFFFu);
    EXPECT_TRUE(checked(BackgroundWhite));
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, CommandsWaitingForDialogsAreHarmless)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    start({pictures / "a.bmp"});
    for (int id : {OpenFile, OpenFolder, SaveAs, Copy})
        command(id);
    EXPECT_EQ(title(), "a.bmp (1/1) - Selvarin");
    EXPECT_EQ(shownWidth(), 4);
    // Saving and copying are offered only when the host can do them.
    EXPECT_EQ(enabled(SaveAs), eval("type(app.showFileSaveDialog)") == "function");
    EXPECT_EQ(enabled(Copy), eval("type(app.setClipboardData)") == "function");
    EXPECT_FALSE(checked(Copy));
    EXPECT_EQ(boxes(), "");
}

// The open, save and copy commands with a person answering the dialogs.
TEST_F(DefaultScriptTest, MenuCommandsOpenSaveAndCopyThroughTheDialogs)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    writeFile(pictures / "b.bmp", bmpBytes(6, 4));
    fs::create_directories(pictures / "sub");
    writeFile(pictures / "sub" / "c.bmp", bmpBytes(8, 4));
    start({pictures / "a.bmp"});
    platform::setNonInteractive(false);
    EXPECT_TRUE(frame()->action(OpenFile)->shortcuts().contains(QKeySequence("Ctrl+O")));
    EXPECT_TRUE(frame()->action(OpenFolder)->shortcuts().contains(QKeySequence("Ctrl+F")));
    const auto type = [](QFileDialog& d, const QString& text) {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        QMetaObject::invokeMethod(&d, "accept");
    };
    {
        guitest::DialogDriver driver;
        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(pictures.string())) << "starts at the shown picture";
            EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles);
            type(d, "b.bmp");
        });
        command(OpenFile);
        EXPECT_EQ(title(), "b.bmp (2/2) - Selvarin");
        EXPECT_EQ(shownWidth(), 6);

        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
            type(d, "sub");
        });
        command(OpenFolder);
        EXPECT_EQ(title(), "c.bmp (1/1) - Selvarin");
        EXPECT_EQ(shownWidth(), 8);

        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), "c.bmp");
            type(d, "saved");
        });
        command(SaveAs);
        EXPECT_TRUE(fs::exists(pictures / "sub" / "saved.bmp")) << "the default extension was added";
        EXPECT_CONTAINS(status(), "saved.bmp");

        command(Copy);
        EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(8, 4));

        // At the end of the list with the option on: the four-button dialog, then a folder.
        command(StopDialog);
        driver.then<QDialog>([](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("second"))->click(); }, "optionalDialog")
            .then<QFileDialog>([&](QFileDialog& d) { type(d, QString::fromStdString(pictures.string())); });
        command(NextImage);
        EXPECT_EQ(title(), "a.bmp (1/2) - Selvarin");
        EXPECT_EQ(driver.stepsLeft(), 0);
    }
    platform::setNonInteractive(true);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, SettingsAreWrittenAsTheyChangeAndReadOnTheNextStart)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    writeFile(pictures / "b.bmp", bmpBytes(5, 5));
    writeFile(pictures / "c.bmp", bmpBytes(6, 6));
    start({pictures / "a.bmp"});
    EXPECT_FALSE(checked(StartupOpenLast));
    EXPECT_FALSE(checked(StopDialog));
    // Each change reaches the file at once, not only at exit.
    command(StartupOpenLast);
    EXPECT_CONTAINS(readFile(settingsFile()), "adjustMode = \"greator\"") << "the whole picture fits at first";
    EXPECT_CONTAINS(readFile(settingsFile()), "startupOpenLastFile = true");
    command(StopDialog);
    EXPECT_CONTAINS(readFile(settingsFile()), "showStopDialog = true");
    command(BackgroundPattern);
    EXPECT_CONTAINS(readFile(settingsFile()), "background = \"pattern\"");
    command(FitWidth);
    command(LinearFilter);
    command(WheelFast);
    frame()->refreshStates();  // the toolbar's refresh, when the script notices the host's own commands
    EXPECT_CONTAINS(readFile(settingsFile()), "adjustMode = \"width\"");
    EXPECT_CONTAINS(readFile(settingsFile()), "wheelRate = 8");
    command(NextImage);
    eval("app.setWindowRect('restoredMain', {x = 30, y = 40, cx = 500, cy = 400})");
    const bool filterBefore = application->viewState().linearFilter;
    stop();

    const std::string text = readFile(settingsFile());
    EXPECT_CONTAINS(text, "current = { path = ");
    EXPECT_CONTAINS(text, "b.bmp\" }");
    EXPECT_CONTAINS(text, "window = { x = 30, y = 40, cx = 500, cy = 400 }");
    EXPECT_FALSE(fs::exists(config / "selvarin-settings.lua"));

    start();
    EXPECT_EQ(title(), "b.bmp (2/3) - Selvarin") << "the last list at its last picture";
    EXPECT_TRUE(checked(StartupOpenLast));
    EXPECT_TRUE(checked(StopDialog));
    EXPECT_NE(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().linearFilter, filterBefore);
    EXPECT_EQ(application->viewState().wheelRate, 8.0);
    // A small picture is shown at 100% whatever the fitting; the fitting is kept for the next.
    EXPECT_EQ(application->viewState().adjustMode, 0);
    EXPECT_EQ(application->viewState().scaling, 1.0);
    EXPECT_CONTAINS(readFile(settingsFile()), "adjustMode = \"width\"");
    // FIXME: the host turns a rectangle set before the window's first show into a geometry
    // without the frame's margins, so it comes back off by those few pixels.
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').x")), 30, 8);
    EXPECT_NEAR(std::stoi(eval("app.getWindowRect('restoredMain').cx")), 500, 8);

    // Files on the command line win over the remembered list.
    command(BackgroundWhite);
    stop();
    start({pictures / "c.bmp"});
    EXPECT_EQ(title(), "c.bmp (3/3) - Selvarin");
    EXPECT_EQ(application->backgroundImage(), nullptr);
    EXPECT_EQ(application->viewState().backgroundColour, 0xFFFFFFu);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, TheListIsStoredOnlyWithItsOption)
{
    writeFile(pictures / "secret.bmp", bmpBytes(4, 4));
    start({pictures / "secret.bmp"});
    command(BackgroundBlack);
    stop();
    EXPECT_EQ(readFile(settingsFile()).find("secret"), std::string::npos) << readFile(settingsFile());
    start();
    EXPECT_EQ(title(), "Selvarin");
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    // Turning the option off again forgets the list at once.
    command(StartupOpenLast);
    drop({pictures / "secret.bmp"});
    EXPECT_CONTAINS(readFile(settingsFile()), "secret.bmp");
    command(StartupOpenLast);
    EXPECT_EQ(readFile(settingsFile()).find("secret"), std::string::npos);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, AnExitWithoutTheMainWindowKeepsTheRememberedViewSettings)
{
    start();
    command(BackgroundBlack);
    command(WheelFast);
    stop();
    start();
    command(StartupOpenLast);
    // Only the host's own shut-down: the view state is no longer reachable when the script runs.
    shutdownOnly();
    start();
    EXPECT_TRUE(checked(StartupOpenLast)) << "the script's own state is written";
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_EQ(application->viewState().wheelRate, 8.0);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, SettingsOfAnOlderVersionAreTakenOver)
{
    // The old place at the configuration folder's root, the whole list with a position, and the
    // host's first fitting mode stored as if the user had chosen it.
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    writeFile(pictures / "b.bmp", bmpBytes(5, 5));
    fs::remove_all(config / "selvarin");
    writeFile(config / "selvarin-settings.lua",
              "return { version = 1, startupOpenLastFile = true, background = '000000', adjustMode = 'width',\n"
              "  scaling = 0.5, position = 2, files = { " +
                  luaQuoted(scriptPath(pictures / "a.bmp")) + ", " + luaQuoted(scriptPath(pictures / "b.bmp")) + " } }\n");
    start();
    EXPECT_TRUE(fs::is_directory(config / "selvarin")) << "made by the host at start-up";
    EXPECT_EQ(title(), "b.bmp (2/2) - Selvarin");
    EXPECT_EQ(application->viewState().backgroundColour, 0u);
    EXPECT_TRUE(checked(StartupOpenLast));
    stop();
    const std::string text = readFile(settingsFile());
    EXPECT_CONTAINS(text, "adjustMode = \"greator\"") << "the old fitting is not the user's choice";
    EXPECT_CONTAINS(text, "version = 2");
    EXPECT_FALSE(fs::exists(config / "selvarin-settings.lua")) << "moved into our folder";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTest, DamagedSettingsAreIgnoredAndKept)
{
    writeFile(pictures / "a.bmp", bmpBytes(4, 4));
    const std::string unreadable[] = {
        "-- Selvarin settings\nreturn {\n  startupOpenLastFile = true,\n  files = {\n    \"\\\\x",
        std::string("\x00\x01\x02\xFF garbage", 12),
        "return 42",
        "error('from a settings file')",
        "return { files = os.remove('x') }",
    };
    const std::string odd[] = {
        "return { version = 2, startupOpenLastFile = 1, scaling = 'big', wheelRate = -3, adjustMode = 'sideways',\n"
        "  background = 'pattern\\\"', window = 5, files = 7, position = 'x', linearFilter = 'no' }",
        "return { version = 2, sources = { 1, {}, true }, current = 5, startupOpenLastFile = true,\n"
        "  window = { x = 1e300, y = 0, cx = 500, cy = 400 }, wheelRate = 0/0 }",
    };
    auto check = [&](const std::string& content, bool kept) {
        SCOPED_TRACE(content);
        fs::remove(config / "selvarin" / "settings.damaged.lua");
        writeFile(settingsFile(), content);
        start({pictures / "a.bmp"});
        EXPECT_FALSE(checked(StopDialog));
        EXPECT_EQ(application->viewState().adjustMode, 0) << "a small picture at 100%";
        EXPECT_EQ(application->viewState().wheelRate, 4.0);
        EXPECT_EQ(application->backgroundImage(), nullptr);
        EXPECT_EQ(title(), "a.bmp (1/1) - Selvarin");
        EXPECT_EQ(boxes(), "") << "a damaged settings file is ignored quietly";
        stop();
        // Rewritten into a file that reads back; one that did not load is kept beside it.
        EXPECT_CONTAINS(readFile(settingsFile()), "version = 2");
        EXPECT_EQ(fs::exists(config / "selvarin" / "settings.damaged.lua"), kept);
        if (kept)
            EXPECT_EQ(readFile(config / "selvarin" / "settings.damaged.lua"), content);
    };
    for (const std::string& content : unreadable)
        check(content, true);
    for (const std::string& content : odd)
        check(content, false);
}

TEST_F(DefaultScriptTest, StrangeFileNamesSurviveTheSettingsFile)
{
    // A quote, a tab and a Japanese name whose second byte in code page 932 is a backslash (ソ).
    const std::string names[] = {"quote\"d.bmp", "tab\td.bmp", "\xE3\x82\xBD.bmp"};
    for (const std::string& n : names)
        writeFile(pictures / n, bmpBytes(3, 3));
    start({pictures / names[0], pictures / names[1], pictures / names[2]});
    ASSERT_EQ(title(), "quote\"d.bmp (1/3) - Selvarin");
    command(StartupOpenLast);
    command(NextImage);
    command(NextImage);
    stop();
    start();
    EXPECT_EQ(title(), "\xE3\x82\xBD.bmp (3/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 3);
    EXPECT_EQ(boxes(), "");
}

}  // namespace
