// The shipped script/start.lua with the bundled plug-ins: every picture format, archives browsed
// as folders, natural order, the file list window, its keys, fitting and zoom, bad files.

#include "DefaultScriptFixture.h"

#include "platform/TextCodec.h"
#include "tools/FileListFrame.h"
#include "tools/GridView.h"
#include "tools/ProgressFrame.h"

#include <QBuffer>
#include <QTest>

#include <webp/encode.h>

#ifdef SELVARIN_HAVE_ARCHIVE_PLUGIN
#include "ArchiveFixtures.h"
#endif

namespace {

using namespace defaultscript;

std::string jpegBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG"));
    return bytes.toStdString();
}

// Enough detail that most of the file is picture data, not tables.
std::string detailedJpegBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 13) & 255, (x * x + y) & 255, (x ^ y) & 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG"));
    return bytes.toStdString();
}

std::string pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(200, 10, 30, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes.toStdString();
}

// One white pixel: header, a two-colour table, the image descriptor and its LZW codes.
std::string gifBytes()
{
    return std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00"
                       "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
                       35);
}

// An uncompressed RGB TIFF of width x height, one strip.
std::string tiffBytes(int width, int height)
{
    std::string s = "II";
    put16(s, 42);
    put32(s, 8);
    const int entries = 9;
    const std::uint32_t bitsAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t dataAt = bitsAt + 6;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(width * height * 3);
    put16(s, entries);
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        put16(s, tag);
        put16(s, type);
        put32(s, count);
        put32(s, value);
    };
    entry(256, 3, 1, static_cast<std::uint32_t>(width));
    entry(257, 3, 1, static_cast<std::uint32_t>(height));
    entry(258, 3, 3, bitsAt);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 2);
    entry(273, 4, 1, dataAt);
    entry(277, 3, 1, 3);
    entry(278, 3, 1, static_cast<std::uint32_t>(height));
    entry(279, 4, 1, dataSize);
    put32(s, 0);
    put16(s, 8);
    put16(s, 8);
    put16(s, 8);
    s.append(dataSize, '\x7F');
    return s;
}

std::string webpBytes(int width, int height)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3), 90);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGB(rgb.data(), width, height, width * 3, &out);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    WebPFree(out);
    return bytes;
}

class DefaultScriptFeaturesTest : public DefaultScriptTest {
protected:
    std::string name() { return title().substr(0, title().find(" (")); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(application->imageView(), k, m); }

    tools::CGridView* list() { return application->fileList()->view(); }
    int listId() { return list()->id(); }
    std::string cell(int row, const char* field)
    {
        return platform::cp932ToQString(eval("gridview.getCellData(" + std::to_string(listId()) + ", " + std::to_string(row) +
                                             ", 0)." + field))
            .toStdString();
    }
    void clickRow(int row)
    {
        tools::GridTable* table = list()->table();
        table->scrollTo(list()->model().index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(list()->model().index(row, 0)).center());
    }
};

TEST_F(DefaultScriptFeaturesTest, PicturesOfEveryBundledFormatInOneFolder)
{
    writeFile(pictures / "a.png", pngBytes(30, 20));
    writeFile(pictures / "b.gif", gifBytes());
    writeFile(pictures / "c.tif", tiffBytes(2, 3));
    writeFile(pictures / "d.webp", webpBytes(7, 5));
    writeFile(pictures / "e.jpg", jpegBytes(9, 9));
    writeFile(pictures / "f.bmp", bmpBytes(11, 4));
    writeFile(pictures / "g.txt", "not a picture");
    // A PNG under a name that says JPEG: decoding goes by content.
    writeFile(pictures / "h.jpg", pngBytes(13, 2));
    start({pictures});
    const struct {
        const char* name;
        int width;
        const char* format;
    } expected[] = {{"a.png", 30, "PNG"},  {"b.gif", 1, "GIF"},  {"c.tif", 2, "TIFF"}, {"d.webp", 7, "WebP"},
                    {"e.jpg", 9, "JPEG"},  {"f.bmp", 11, "BMP"}, {"h.jpg", 13, "ビット"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(name(), e.name);
        EXPECT_CONTAINS(title(), "/7) - Selvarin");
        EXPECT_EQ(shownWidth(), e.width);
        EXPECT_CONTAINS(status(), e.format);
        EXPECT_CONTAINS(status(), "100%") << "small pictures are never enlarged";
        EXPECT_EQ(status().find("読み込めなかった"), std::string::npos);
        command(NextImage);
    }
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, NaturalOrderOfNumbers)
{
    for (const char* n : {"img10.bmp", "img2.bmp", "IMG3.bmp", "img1.bmp", "img02b.bmp", "a100x.bmp", "a20x.bmp"})
        writeFile(pictures / n, bmpBytes(3, 3));
    start({pictures});
    std::vector<std::string> order;
    for (int i = 0; i < 7; ++i) {
        order.push_back(name());
        command(NextImage);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"a20x.bmp", "a100x.bmp", "img1.bmp", "img2.bmp", "img02b.bmp",
                                               "IMG3.bmp", "img10.bmp"}));
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, BadFilesSaySoAndTruncatedPicturesStillShow)
{
    writeFile(pictures / "1-empty.jpg", "");
    std::string cut = detailedJpegBytes(40, 40);
    cut.resize(cut.size() * 2 / 3);
    writeFile(pictures / "2-cut.jpg", cut);
    std::string bmp = bmpBytes(20, 20);
    bmp.resize(bmp.size() - 100);
    writeFile(pictures / "3-cut.bmp", bmp);
    writeFile(pictures / "4-fine.bmp", bmpBytes(8, 8));
    start({pictures / "1-empty.jpg"});
    // The empty one is passed over and says why; the cut JPEG shows what it has.
    EXPECT_EQ(name(), "2-cut.jpg");
    EXPECT_EQ(shownWidth(), 40);
    EXPECT_CONTAINS(status(), "1-empty.jpg（ファイルが空です）");
    EXPECT_CONTAINS(status(), "ファイルが途中までしかありません");
    command(NextImage);
    EXPECT_EQ(name(), "4-fine.bmp");
    EXPECT_CONTAINS(status(), "3-cut.bmp（ファイルが途中までしかありません）");
    EXPECT_EQ(status().find("途中までしかありません  "), std::string::npos) << "the fine picture has no note";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, APluginThatCrashesCostsOnlyItsPicture)
{
    fs::create_symlink(fs::path(SELVARIN_TEST_PLUGIN_DIR) / "test_faulty.spi", module / "plugins" / "zz_faulty.spi");
    writeFile(pictures / "a.bmp", bmpBytes(3, 3));
    writeFile(pictures / "b.png", "not a PNG at all, so only the faulty plug-in takes it");
    writeFile(pictures / "c.bmp", bmpBytes(5, 5));
    start({pictures / "a.bmp"});
    command(NextImage);
    EXPECT_EQ(boxes(), "");
    EXPECT_EQ(name(), "c.bmp");
    EXPECT_CONTAINS(status(), "b.png（画像が壊れています）");
    command(PrevImage);
    command(PrevImage);
    EXPECT_EQ(name(), "a.bmp");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, FittingNeverEnlargesAndZoomHoldsForOnePicture)
{
    writeFile(pictures / "1-big.jpg", jpegBytes(3000, 2000));
    writeFile(pictures / "2-small.bmp", bmpBytes(50, 40));
    writeFile(pictures / "3-big.jpg", jpegBytes(2000, 3000));
    start({pictures});
    frame()->resize(800, 600);
    QCoreApplication::processEvents();
    frame()->refreshStates();
    EXPECT_EQ(application->viewState().adjustMode, 2) << "the whole picture";
    EXPECT_LT(application->viewState().scaling, 1.0) << "the scale shown, so that zoom steps go from there";
    const double fitted = application->viewState().scaling;
    EXPECT_NE(status().find("%  3000 x 2000"), std::string::npos) << status();
    EXPECT_EQ(status().find("100%"), std::string::npos) << status();

    command(NextImage);
    EXPECT_EQ(application->viewState().adjustMode, 0);
    EXPECT_EQ(application->viewState().scaling, 1.0);
    EXPECT_CONTAINS(status(), "100%  50 x 40");

    // A zoom is for the shown picture: the next one is fitted again.
    command(ZoomIn);
    frame()->refreshStates();
    EXPECT_CONTAINS(status(), "150%");
    command(NextImage);
    EXPECT_EQ(application->viewState().adjustMode, 2);
    const double fittedTall = application->viewState().scaling;
    EXPECT_LT(fittedTall, fitted);
    command(ZoomIn);
    EXPECT_EQ(application->viewState().scaling, 0.25) << "one step up from what was shown";
    EXPECT_LT(application->viewState().scaling, 1.0);
    stop();
    EXPECT_CONTAINS(readFile(settingsFile()), "adjustMode = \"greator\"") << "the zoom did not switch fitting off";

    // A fitting the user chooses holds for the next pictures and the next start.
    start({pictures});
    command(FitWidth);
    frame()->refreshStates();
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(application->viewState().adjustMode, 3);
    stop();
    EXPECT_CONTAINS(readFile(settingsFile()), "adjustMode = \"width\"");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, TheFileListFollowsAndJumps)
{
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        writeFile(pictures / n, bmpBytes(2 + n[0] - 'a', 2));
    start({pictures / "b.bmp"});
    command(FileListWindow);
    QCoreApplication::processEvents();
    const std::string id = std::to_string(listId());
    EXPECT_EQ(eval("gridview.getRowCount(" + id + ")"), "5");
    EXPECT_EQ(cell(0, "text"), "ファイル名");
    EXPECT_EQ(cell(1, "text"), "a.bmp");
    EXPECT_EQ(cell(4, "text"), "d.bmp");
    EXPECT_EQ(cell(2, "imageIndex"), "1") << "the shown picture has the triangle";
    EXPECT_EQ(cell(1, "imageIndex"), "0");

    command(NextImage);
    EXPECT_EQ(cell(2, "imageIndex"), "0");
    EXPECT_EQ(cell(3, "imageIndex"), "1");
    EXPECT_EQ(eval("gridview.getFocus(" + id + ")"), "3");

    clickRow(1);
    EXPECT_EQ(title(), "a.bmp (1/4) - Selvarin");
    EXPECT_EQ(cell(1, "imageIndex"), "1");
    EXPECT_EQ(cell(3, "imageIndex"), "0");
    clickRow(0);
    EXPECT_EQ(title(), "a.bmp (1/4) - Selvarin") << "the heading is no picture";

    QTest::keyClick(list()->table(), Qt::Key_Down);
    QTest::keyClick(list()->table(), Qt::Key_Down);
    EXPECT_EQ(title(), "a.bmp (1/4) - Selvarin") << "moving the focus alone shows nothing";
    QTest::keyClick(list()->table(), Qt::Key_Return);
    EXPECT_EQ(title(), "c.bmp (3/4) - Selvarin");

    // A new list refills it.
    fs::create_directories(pictures / "other");
    writeFile(pictures / "other" / "x.bmp", bmpBytes(3, 3));
    drop({pictures / "other"});
    EXPECT_EQ(eval("gridview.getRowCount(" + id + ")"), "2");
    EXPECT_EQ(cell(1, "text"), "x.bmp");
    EXPECT_EQ(cell(1, "imageIndex"), "1");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, HomeEndAndReloadByKey)
{
    for (const char* n : {"1.bmp", "2.bmp", "3.bmp"})
        writeFile(pictures / n, bmpBytes(3, 3));
    start({pictures / "2.bmp"});
    key(Qt::Key_End);
    EXPECT_EQ(title(), "3.bmp (3/3) - Selvarin");
    key(Qt::Key_Home);
    EXPECT_EQ(title(), "1.bmp (1/3) - Selvarin");
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(title(), "1.bmp (1/3) - Selvarin") << "with a modifier the key is not ours";

    writeFile(pictures / "0.bmp", bmpBytes(3, 3));
    fs::remove(pictures / "3.bmp");
    key(Qt::Key_F5);
    EXPECT_EQ(title(), "1.bmp (2/3) - Selvarin") << "the same picture in the new list";
    EXPECT_CONTAINS(status(), "一覧を読み直しました");
    EXPECT_EQ(boxes(), "");
}

#ifdef SELVARIN_HAVE_ARCHIVE_PLUGIN

fixtures::Member member(const std::string& name, const std::string& bytes)
{
    return fixtures::Member{name, fixtures::Bytes(bytes.begin(), bytes.end())};
}

void writeBytes(const fs::path& p, const fixtures::Bytes& bytes)
{
    writeFile(p, std::string(bytes.begin(), bytes.end()));
}

TEST_F(DefaultScriptFeaturesTest, ArchivesAreBrowsedAsFoldersInOrder)
{
    // Folders first, then the files; names in natural order at every level; only pictures.
    const std::vector<fixtures::Member> members = {
        member("cover.jpg", jpegBytes(5, 5)), member("b/10.jpg", jpegBytes(13, 5)),
        member("b/2.png", pngBytes(12, 5)),   member("a/1.bmp", bmpBytes(11, 5)),
        member("notes.txt", "text"),          member("a/deeper/0.jpg", jpegBytes(10, 5)),
    };
    const std::vector<std::pair<std::string, std::string>> formats = {
        {"comic.cbz", "zip"}, {"comic.cb7", "7zip"}, {"comic.tar", "ustar"}};
    for (const auto& [file, format] : formats) {
        SCOPED_TRACE(file);
        writeBytes(pictures / file, fixtures::writeArchive(format, "", members));
        start({pictures / file});
        const std::vector<std::pair<std::string, int>> expected = {
            {"0.jpg", 10}, {"1.bmp", 11}, {"2.png", 12}, {"10.jpg", 13}, {"cover.jpg", 5}};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(title(), file + " / " + expected[i].first + " (" + std::to_string(i + 1) + "/5) - Selvarin");
            EXPECT_EQ(shownWidth(), expected[i].second);
            command(NextImage);
        }
        EXPECT_CONTAINS(status(), "最後の画像です");
        EXPECT_EQ(boxes(), "");
        stop();
    }
}

TEST_F(DefaultScriptFeaturesTest, PageKeysGoToTheFoldersAndArchivesBeside)
{
    fs::create_directories(pictures / "a");
    fs::create_directories(pictures / "b-empty");
    fs::create_directories(pictures / "d");
    writeFile(pictures / "a" / "1.bmp", bmpBytes(3, 3));
    writeBytes(pictures / "c.cbz", fixtures::writeArchive("zip", "", {member("p.jpg", jpegBytes(6, 6))}));
    writeFile(pictures / "d" / "2.bmp", bmpBytes(7, 7));
    writeFile(pictures / "e.txt", "text");
    start({pictures / "a" / "1.bmp"});
    key(Qt::Key_PageDown);
    EXPECT_EQ(title(), "c.cbz / p.jpg (1/1) - Selvarin") << "the empty folder is passed over";
    key(Qt::Key_PageDown);
    EXPECT_EQ(title(), "2.bmp (1/1) - Selvarin");
    key(Qt::Key_PageDown);
    EXPECT_EQ(title(), "2.bmp (1/1) - Selvarin");
    EXPECT_CONTAINS(status(), "次のフォルダはありません");
    key(Qt::Key_PageUp);
    key(Qt::Key_PageUp);
    EXPECT_EQ(title(), "1.bmp (1/1) - Selvarin");
    key(Qt::Key_PageUp);
    EXPECT_CONTAINS(status(), "前のフォルダはありません");
    EXPECT_EQ(boxes(), "");
}

// Presses Cancel on the progress window as soon as one shows, and counts the windows it saw.
class CancelPresser {
public:
    explicit CancelPresser(bool press) : m_press(press)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* f = qobject_cast<tools::CProgressFrame*>(w);
                if (!f || f->isGone() || !f->isVisible() || f == m_last)
                    continue;
                m_last = f;
                ++m_seen;
                if (m_press)
                    f->view()->cancelButton()->click();
            }
        });
        m_timer.start();
    }
    int seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_press;
    int m_seen = 0;
    QPointer<tools::CProgressFrame> m_last;
};

bool progressWindowVisible()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<tools::CProgressFrame*>(w); f && !f->isGone() && f->isVisible())
            return true;
    return false;
}

TEST_F(DefaultScriptFeaturesTest, CancelStopsReadingAnArchiveAndKeepsTheShownList)
{
    // An archive this large shows the progress window before it is read.
    std::vector<fixtures::ZipMember> members = {{"p.jpg", fixtures::Bytes()}, {"padding.bin", fixtures::Bytes(33u << 20, 0)}};
    const std::string page = jpegBytes(6, 6);
    members[0].data.assign(page.begin(), page.end());
    fs::create_directories(pictures / "a");
    writeFile(pictures / "a" / "1.bmp", bmpBytes(3, 3));
    writeFile(pictures / "a" / "2.bmp", bmpBytes(4, 4));
    writeBytes(pictures / "b.cbz", fixtures::writeZip(members));
    start({pictures / "a" / "1.bmp"});
    ASSERT_EQ(title(), "1.bmp (1/2) - Selvarin");
    {
        CancelPresser presser(true);
        key(Qt::Key_PageDown);
        EXPECT_EQ(presser.seen(), 1);
    }
    EXPECT_CONTAINS(status(), "読み込みを中止しました");
    EXPECT_EQ(title(), "1.bmp (1/2) - Selvarin");
    EXPECT_FALSE(progressWindowVisible());
    command(NextImage);
    EXPECT_EQ(title(), "2.bmp (2/2) - Selvarin") << "the list is still the folder's";
    EXPECT_EQ(shownWidth(), 4);

    // Left alone, the same archive opens and its window goes away.
    {
        CancelPresser watcher(false);
        key(Qt::Key_PageDown);
        EXPECT_EQ(watcher.seen(), 1);
    }
    EXPECT_EQ(title(), "b.cbz / p.jpg (1/1) - Selvarin");
    EXPECT_FALSE(progressWindowVisible());
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, AnArchiveRemovedAfterListingSaysSo)
{
    writeBytes(pictures / "c.cbz",
               fixtures::writeArchive("zip", "", {member("1.jpg", jpegBytes(5, 5)), member("2.jpg", jpegBytes(7, 7))}));
    start({pictures / "c.cbz"});
    ASSERT_EQ(title(), "c.cbz / 1.jpg (1/2) - Selvarin");
    fs::remove(pictures / "c.cbz");
    command(NextImage);
    EXPECT_EQ(title(), "c.cbz / 1.jpg (1/2) - Selvarin") << "the shown page stays";
    EXPECT_EQ(shownWidth(), 5);
    EXPECT_CONTAINS(status(), "2.jpg（アーカイブが見つかりません）");
    // Reading the list again finds nothing and says why.
    key(Qt::Key_F5);
    EXPECT_CONTAINS(status(), "c.cbz（ファイルが見つかりません）");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, AnArchiveOfTenThousandPages)
{
    const std::string page = jpegBytes(4, 4);
    std::vector<fixtures::Member> members;
    char n[32];
    for (int i = 10000; i >= 1; --i) {
        std::snprintf(n, sizeof n, "p/%d.jpg", i);
        members.push_back(member(n, page));
    }
    writeBytes(pictures / "big.zip", fixtures::writeArchive("zip", "", members, "zip:compression=store"));
    start({pictures / "big.zip"});
    EXPECT_EQ(title(), "big.zip / 1.jpg (1/10000) - Selvarin");
    key(Qt::Key_End);
    EXPECT_EQ(title(), "big.zip / 10000.jpg (10000/10000) - Selvarin");
    EXPECT_EQ(eval("gridview.getRowCount(" + std::to_string(listId()) + ")"), "10001");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptFeaturesTest, AMemberIsSavedAsItsBytesOrAsABitmapAndTheFilterNamesEveryFormat)
{
    const std::string page = jpegBytes(6, 4);
    writeBytes(pictures / "c.cbz", fixtures::writeArchive("zip", "", {member("in/p.jpg", page)}));
    start({pictures / "c.cbz"});
    ASSERT_EQ(shownWidth(), 6);
    platform::setNonInteractive(false);
    const auto type = [](QFileDialog& d, const QString& text) {
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(text);
        QMetaObject::invokeMethod(&d, "accept");
    };
    {
        guitest::DialogDriver driver;
        driver.then<QFileDialog>([&](QFileDialog& d) {
            const QString filters = d.nameFilters().join("|");
            for (const char* pattern : {"*.jpg", "*.png", "*.gif", "*.webp", "*.tif", "*.cbz", "*.7z", "*.tar"})
                EXPECT_TRUE(filters.contains(pattern)) << pattern << " in " << filters.toStdString();
            QMetaObject::invokeMethod(&d, "reject");
        });
        command(OpenFile);
        EXPECT_EQ(driver.stepsLeft(), 0);

        driver.then<QFileDialog>([&](QFileDialog& d) {
            EXPECT_EQ(d.directory().absolutePath(), QString::fromStdString(pictures.string())) << "beside the archive";
            type(d, "copy.jpg");
        });
        command(SaveAs);
        EXPECT_EQ(readFile(pictures / "copy.jpg"), page) << "the member's own bytes";
        driver.then<QFileDialog>([&](QFileDialog& d) { type(d, "shown.bmp"); });
        command(SaveAs);
        const std::string bmp = readFile(pictures / "shown.bmp");
        ASSERT_GE(bmp.size(), 54u);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(bmp.size(), 54u + 6 * 4 * 4) << "32-bit rows of the picture";
        EXPECT_EQ(driver.stepsLeft(), 0);
    }
    platform::setNonInteractive(true);
    EXPECT_EQ(boxes(), "");
}

#endif

}  // namespace
