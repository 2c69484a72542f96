// Start-up with the shipped script on a large folder: the picture the list starts with is on
// the screen before the rest of the folder has been listed, and the list is then the usual one.

#include "DefaultScriptFixture.h"

#include "gfx/NxSurface.h"
#include "view/ImageView.h"

#include <QEvent>

#include <functional>

namespace {

using namespace defaultscript;

// What the window showed when the view first painted a picture, and how many sorts the
// script had made by then; whether the window first appeared with a picture.
class FirstPicturePaint : public QObject {
public:
    std::function<std::string()> sorts;
    bool seen = false;
    int width = -1;
    std::string sortsBefore;

    bool frameShown = false;
    bool pictureWhenShown = false;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!frameShown && event->type() == QEvent::Show && watched && watched->inherits("app::MainFrame")) {
            frameShown = true;
            const auto* view = watched->findChild<view::ImageView*>();
            pictureWhenShown = view && view->frontImage();
        }
        if (!seen && event->type() == QEvent::Paint) {
            auto* view = watched ? dynamic_cast<view::ImageView*>(watched->parent()) : nullptr;
            if (view && view->frontImage()) {
                seen = true;
                width = view->frontImage()->width();
                sortsBefore = sorts();
            }
        }
        return false;
    }
};

class DefaultScriptStartUpTest : public DefaultScriptTest {
protected:
    FirstPicturePaint paint;

    void SetUp() override
    {
        DefaultScriptTest::SetUp();
        // The script's sorts are counted: a list in natural order needs one here.
        const fs::path script = module / "script" / "start.lua";
        const std::string shipped = readFile(script);
        writeFile(script, "sortCalls = 0\n"
                          "local sort = table.sort\n"
                          "table.sort = function(t, f) sortCalls = sortCalls + 1 return sort(t, f) end\n" +
                              shipped);
        paint.sorts = [this] { return eval("sortCalls"); };
        qApp->installEventFilter(&paint);
    }
    void TearDown() override
    {
        qApp->removeEventFilter(&paint);
        DefaultScriptTest::TearDown();
    }

    // p2.bmp ... p<count+1>.bmp: the host lists p10 before p2, natural order p2 first. p2 and
    // p500 are told apart by their widths.
    void writeFolder(int count)
    {
        writeFile(pictures / "p2.bmp", bmpBytes(7, 2));
        writeFile(pictures / "p500.bmp", bmpBytes(9, 2));
        writeFile(pictures / "other.bmp", bmpBytes(3, 2));
        for (int i = 3; i <= count + 1; ++i)
            if (i != 500)
                fs::create_hard_link(pictures / "other.bmp", pictures / ("p" + std::to_string(i) + ".bmp"));
        fs::remove(pictures / "other.bmp");
    }
};

TEST_F(DefaultScriptStartUpTest, TheFirstPictureOfAFolderIsShownBeforeTheFolderIsListed)
{
    writeFolder(2000);
    start({pictures});
    ASSERT_TRUE(paint.seen);
    EXPECT_EQ(paint.width, 7) << "the first picture in natural order";
    EXPECT_EQ(paint.sortsBefore, "0") << "painted before the list was sorted";
    EXPECT_EQ(eval("sortCalls"), "1");

    EXPECT_EQ(title(), "p2.bmp (1/2000) - Selvarin");
    EXPECT_EQ(shownWidth(), 7);
    command(PrevImage);
    EXPECT_EQ(title(), "p2.bmp (1/2000) - Selvarin") << "the start of the list holds";
    command(NextImage);
    EXPECT_EQ(title(), "p3.bmp (2/2000) - Selvarin");
    EXPECT_EQ(boxes(), "");
}

// Restored maximised, the window appears maximised with its first picture, not empty while
// that picture is read.
TEST_F(DefaultScriptStartUpTest, AMaximisedWindowFirstAppearsWithItsPicture)
{
    writeFolder(20);
    fs::create_directories(settingsFile().parent_path());
    writeFile(settingsFile(), "return { version = 2, windowMode = \"maximized\" }\n");
    start({pictures});
    ASSERT_TRUE(paint.frameShown);
    EXPECT_TRUE(paint.pictureWhenShown);
    EXPECT_TRUE(frame()->isMaximized());
    EXPECT_EQ(eval("app.getMainWindowMode()"), "maximized");
    EXPECT_EQ(title(), "p2.bmp (1/21) - Selvarin");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptStartUpTest, AFileOfALargeFolderIsShownBeforeItsFolderIsListed)
{
    writeFolder(2000);
    start({pictures / "p500.bmp"});
    ASSERT_TRUE(paint.seen);
    EXPECT_EQ(paint.width, 9);
    EXPECT_EQ(paint.sortsBefore, "0");

    EXPECT_EQ(title(), "p500.bmp (499/2000) - Selvarin");
    command(PrevImage);
    EXPECT_EQ(title(), "p499.bmp (498/2000) - Selvarin");
    command(NextImage);
    command(NextImage);
    EXPECT_EQ(title(), "p501.bmp (500/2000) - Selvarin");
    EXPECT_EQ(boxes(), "");
}

TEST_F(DefaultScriptStartUpTest, AFirstPictureThatCannotBeReadLeavesTheListToFindOne)
{
    writeFolder(20);
    writeFile(pictures / "p2.bmp", "not a picture");
    start({pictures});
    EXPECT_EQ(title(), "p3.bmp (2/21) - Selvarin");
    EXPECT_EQ(shownWidth(), 3);
    EXPECT_CONTAINS(status(), "p2.bmp");
}

}  // namespace
