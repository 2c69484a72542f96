// The shipped script turning pages: presses that wait together are worked off at once and only
// the picture they land on is read, the picture ahead is decoded in the background and used
// only while its bytes are the file's, and input elsewhere comes after the turns before it.

#include "DefaultScriptFixture.h"

#include "api/AppPrefetch.h"
#include "image/PrefetchCache.h"
#include "tools/FileListFrame.h"
#include "tools/GridView.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>

#ifdef SELVARIN_HAVE_ARCHIVE_PLUGIN
#include "ArchiveFixtures.h"
#endif

#include <chrono>
#include <cstdio>

namespace {

using namespace defaultscript;

std::string pictureName(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "p%02d.bmp", i);
    return name;
}

class DefaultScriptTurnsTest : public DefaultScriptTest {
protected:
    // `count` pictures p01.bmp... of widths 10 + their number.
    void writePictures(int count)
    {
        for (int i = 1; i <= count; ++i)
            writeFile(pictures / pictureName(i), bmpBytes(10 + i, 3));
    }

    // Full reads of files by the script (what it shows), from here on; the host's own reads
    // ahead do not go through it.
    void logReads()
    {
        EXPECT_EQ(eval("(function() reads = {}\n"
                       "  local create = app.createFileBuffer\n"
                       "  app.createFileBuffer = function(path, size)\n"
                       "    local _, _, name = string.find(path, '([^/\\\\]*)$')\n"
                       "    if size == nil then table.insert(reads, name) end\n"
                       "    return create(path, size)\n"
                       "  end\n"
                       "  return true end)()"),
                  "true");
    }
    std::string takeReads() { return eval("(function() local r = table.concat(reads, ' ') reads = {} return r end)()"); }

    // Presses waiting in the event queue at once, as when the user is quicker than the decoder.
    void press(Qt::Key key, int times, bool autoRepeat = false)
    {
        for (int i = 0; i < times; ++i)
            QCoreApplication::postEvent(application->imageView(),
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat));
    }
    void handleInput()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    image::PrefetchCache* prefetch() { return api::prefetchCache(application->engine()->state()); }
    void waitForTheDecodeAhead()
    {
        ASSERT_NE(prefetch(), nullptr) << "the script decodes ahead";
        prefetch()->waitIdle();
    }
    std::string at(const std::string& name, int position, int count)
    {
        return name + " (" + std::to_string(position) + "/" + std::to_string(count) + ") - Selvarin";
    }
};

TEST_F(DefaultScriptTurnsTest, FiftyWaitingPressesReadOnlyThePictureTheyLandOn)
{
    writePictures(60);
    start({pictures / pictureName(1)});
    logReads();

    press(Qt::Key_Right, 50);
    handleInput();
    EXPECT_EQ(title(), at("p51.bmp", 51, 60));
    EXPECT_EQ(shownWidth(), 61);
    EXPECT_EQ(takeReads(), "p51.bmp");

    // Held-key repeats, both ways: the way back ends where it started.
    press(Qt::Key_Left, 30, true);
    press(Qt::Key_Right, 10, true);
    handleInput();
    EXPECT_EQ(title(), at("p31.bmp", 31, 60));
    EXPECT_EQ(takeReads(), "p31.bmp");

    // Past the end: the last picture, and the end is told as after a single turn.
    press(Qt::Key_Right, 40);
    handleInput();
    EXPECT_EQ(title(), at("p60.bmp", 60, 60));
    EXPECT_EQ(takeReads(), "p60.bmp");
    EXPECT_CONTAINS(status(), "最後の画像です");

    press(Qt::Key_Left, 1);
    handleInput();
    EXPECT_EQ(title(), at("p59.bmp", 59, 60)) << "a single press turns one page";
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTurnsTest, TheLandingPictureHasItsNeighbourDecodedAhead)
{
    writePictures(30);
    start({pictures / pictureName(1)});
    waitForTheDecodeAhead();

    press(Qt::Key_Right, 1);
    handleInput();
    EXPECT_EQ(title(), at("p02.bmp", 2, 30));
    EXPECT_EQ(prefetch()->stats().hits, 1u) << "the picture after the first was ready";

    // Repeats pass over the picture ahead; the one they land on is read, then its neighbour is ahead.
    press(Qt::Key_Right, 20, true);
    handleInput();
    EXPECT_EQ(title(), at("p22.bmp", 22, 30));
    EXPECT_EQ(shownWidth(), 32);
    EXPECT_EQ(prefetch()->stats().hits, 1u);
    waitForTheDecodeAhead();
    press(Qt::Key_Right, 1);
    handleInput();
    EXPECT_EQ(title(), at("p23.bmp", 23, 30));
    EXPECT_EQ(shownWidth(), 33);
    EXPECT_EQ(prefetch()->stats().hits, 2u);

    // Going back has the picture before ahead.
    press(Qt::Key_Left, 1);
    handleInput();
    waitForTheDecodeAhead();
    press(Qt::Key_Left, 1);
    handleInput();
    EXPECT_EQ(title(), at("p21.bmp", 21, 30));
    EXPECT_EQ(shownWidth(), 31);
    EXPECT_EQ(prefetch()->stats().hits, 3u);

    // A picture changed after it was decoded ahead is shown as it is now.
    waitForTheDecodeAhead();
    writeFile(pictures / pictureName(20), bmpBytes(5, 3));
    press(Qt::Key_Left, 1);
    handleInput();
    EXPECT_EQ(title(), at("p20.bmp", 20, 30));
    EXPECT_EQ(shownWidth(), 5);
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptTurnsTest, InputElsewhereComesAfterTheTurnsWaitingBeforeIt)
{
    writePictures(5);
    start({pictures / pictureName(1)});
    command(FileListWindow);
    QCoreApplication::processEvents();
    tools::GridTable* table = application->fileList()->view()->table();

    // Three turns, then in the list: up a row and open it. Worked off in that order, the list
    // starts from the third turn's picture; the other way round, the turns would follow.
    press(Qt::Key_Right, 3);
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Return})
        QCoreApplication::postEvent(table, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    handleInput();
    EXPECT_EQ(title(), at("p03.bmp", 3, 5));
    EXPECT_EQ(boxes(), "");
}

#ifdef SELVARIN_HAVE_ARCHIVE_PLUGIN

// The picture ahead in an archive is used only while the member's bytes are the same, even
// when the archive was rewritten within its time stamp's resolution at the same size.
TEST_F(DefaultScriptTurnsTest, AMemberRewrittenInTheSameSecondIsShownAfresh)
{
    auto member = [](const std::string& name, const std::string& bytes) {
        return fixtures::ZipMember{name, fixtures::Bytes(bytes.begin(), bytes.end())};
    };
    auto write = [&](const std::string& second) {
        const fixtures::Bytes zip =
            fixtures::writeZip({member("a.bmp", bmpBytes(4, 4)), member("b.bmp", second), member("c.bmp", bmpBytes(6, 4))});
        writeFile(pictures / "comic.cbz", std::string(zip.begin(), zip.end()));
    };
    // 4 x 4 and 8 x 2 pictures of 24 bits have the same number of bytes.
    write(bmpBytes(4, 4));
    const auto written = fs::last_write_time(pictures / "comic.cbz");
    const auto size = fs::file_size(pictures / "comic.cbz");
    start({pictures / "comic.cbz"});
    EXPECT_EQ(title(), "comic.cbz / a.bmp (1/3) - Selvarin");
    waitForTheDecodeAhead();

    // Rewritten within the same second of its time stamp.
    write(bmpBytes(8, 2));
    const auto second = std::chrono::floor<std::chrono::seconds>(written);
    const auto within = written - second < std::chrono::milliseconds(500) ? written + std::chrono::milliseconds(100)
                                                                           : written - std::chrono::milliseconds(100);
    fs::last_write_time(pictures / "comic.cbz", within);
    ASSERT_EQ(fs::file_size(pictures / "comic.cbz"), size);
    press(Qt::Key_Right, 1);
    handleInput();
    EXPECT_EQ(title(), "comic.cbz / b.bmp (2/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 8) << "the member as it is now";

    // Unchanged, the member decoded ahead is what is shown.
    waitForTheDecodeAhead();
    const auto hits = prefetch()->stats().hits;
    press(Qt::Key_Right, 1);
    handleInput();
    EXPECT_EQ(title(), "comic.cbz / c.bmp (3/3) - Selvarin");
    EXPECT_EQ(shownWidth(), 6);
    EXPECT_EQ(prefetch()->stats().hits, hits + 1);
    EXPECT_EQ(boxes(), "");
}

#endif

}  // namespace
