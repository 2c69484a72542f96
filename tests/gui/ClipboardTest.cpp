#include "AppFixture.h"

#include "api/ScriptBuffer.h"

#include "platform/Clipboard.h"
#include "platform/TextCodec.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

namespace {

// The clipboard functions of `app` against the process's clipboard, filled by plain Qt code
// where another program would have put the data.
class ClipboardTest : public guitest::AppFixture {
protected:
    void SetUp() override
    {
        startWith(startScript());
        QGuiApplication::clipboard()->clear();
    }
    // The value of an expression as bytes, zero bytes included.
    std::string eval(const std::string& expression)
    {
        lua_State* L = application->engine()->state();
        const std::string code = "return tostring(" + expression + ")";
        if (luaL_dostring(L, code.c_str()) != 0) {
            std::string e = lua_tostring(L, -1);
            lua_pop(L, 1);
            return "error: " + e;
        }
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        std::string out(s, len);
        lua_pop(L, 1);
        return out;
    }
    // The kind of the Buffer in global `name`.
    std::string kindOf(const char* name)
    {
        lua_State* L = application->engine()->state();
        lua_getglobal(L, name);
        const api::BufferObject* object = api::testBuffer(L, -1);
        std::string kind = object && object->block ? object->block->kindName() : "no buffer";
        lua_pop(L, 1);
        return kind;
    }
    static void offer(QMimeData* data) { QGuiApplication::clipboard()->setMimeData(data); }
    static std::string bytes(const char* utf8) { return platform::utf8ToCp932(utf8); }
};

TEST_F(ClipboardTest, TextIsOfferedInTheSystemsTextFormats)
{
    EXPECT_EQ(eval("table.getn(app.enumClipboard())"), "0") << "an empty clipboard lists nothing";
    QGuiApplication::clipboard()->setText(QString::fromUtf8("AB写真\u00e9\U0001F600"));
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "CF_TEXT CF_OEMTEXT CF_UNICODETEXT CF_LOCALE");
    EXPECT_EQ(eval("app.getClipboardData('CF_TEXT')"), platform::qstringToCp932(QString::fromUtf8("AB写真\u00e9\U0001F600")));
    EXPECT_EQ(eval("app.getClipboardData('CF_OEMTEXT') == app.getClipboardData('CF_TEXT')"), "true");
    // The whole text as UTF-16LE with its terminating zero unit, as SJIS2Unicode gives it.
    EXPECT_EQ(eval("app.getClipboardData('CF_UNICODETEXT') == app.SJIS2Unicode('AB') .. ''"), "false");
    EXPECT_EQ(eval("string.len(app.getClipboardData('CF_UNICODETEXT'))"), std::to_string((4 + 1 + 2 + 1) * 2));
    EXPECT_EQ(eval("app.Unicode2SJIS(app.getClipboardData('CF_UNICODETEXT'))"), bytes("AB写真??") + std::string(1, '\0'));
    EXPECT_EQ(eval("app.getClipboardData('CF_LOCALE'):stringData(1, 4)"), std::string("\x11\x04\0\0", 4));
    EXPECT_EQ(eval("select('#', app.getClipboardData('CF_DIB'))"), "0") << "no picture on the clipboard";
    EXPECT_EQ(eval("select('#', app.getClipboardData('cf_text'))"), "0") << "names compare byte for byte";

    QGuiApplication::clipboard()->setText(QString::fromUtf8("ab\0cd", 5));
    EXPECT_EQ(eval("app.getClipboardData('CF_TEXT')"), "ab") << "text ends at its first zero";
    EXPECT_EQ(eval("app.getClipboardData('CF_UNICODETEXT')"), std::string("a\0b\0\0\0", 6));
}

TEST_F(ClipboardTest, SurfacesGoOutAsImagesAndComeBackAsSurfaces)
{
    // A 3 x 2 bottom-up surface: row y of the picture at buffer offset (1 - y) * pitch.
    run("s = app.createSurface(3, 2) b = s:buffer()\n"
        "b:setStringData(1, string.char(1,2,3,255, 4,5,6,128, 7,8,9,0, 10,11,12,255, 13,14,15,255, 16,17,18,255))\n"
        "app.setClipboardData(s)");
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 1), qRgba(3, 2, 1, 255)) << "the first memory row is the bottom row";
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 128) << "alpha is kept";
    EXPECT_EQ(image.pixel(2, 0), qRgba(18, 17, 16, 255));
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "CF_DIB");

    run("c = app.getClipboardData('CF_DIB')");
    EXPECT_EQ(eval("tostring(c):sub(1, 7)"), "Surface");
    EXPECT_EQ(eval("c:width() .. 'x' .. c:height() .. ' ' .. c:bpp()"), "3x2 32");
    EXPECT_EQ(eval("c:pitch()"), "-12") << "bottom-up, as a device-independent bitmap";
    EXPECT_EQ(eval("c:buffer():stringData(1, 24) == b:stringData(1, 24)"), "true");

    // A surface that was never given an alpha goes out opaque rather than invisible.
    run("z = app.createSurface(2, 2) z:buffer():setStringData(1, string.rep(string.char(50, 60, 70, 0), 4)) app.setClipboardData(z)");
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(1, 1), qRgba(70, 60, 50, 255));

    // Anything but an open Surface with pixels leaves the clipboard alone.
    run("z:release() app.setClipboardData(z) app.setClipboardData('text') app.setClipboardData()");
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(1, 1), qRgba(70, 60, 50, 255));
}

TEST_F(ClipboardTest, ImagesFromOtherProgramsBecome32BitSurfaces)
{
    QImage rgb(5, 4, QImage::Format_RGB888);
    rgb.fill(QColor(200, 100, 50));
    rgb.setPixel(4, 0, qRgb(1, 2, 3));
    QGuiApplication::clipboard()->setImage(rgb);
    run("c = app.getClipboardData('CF_DIB')");
    EXPECT_EQ(eval("c:width() .. 'x' .. c:height() .. ' ' .. c:bpp()"), "5x4 32");
    // Row 0 (top) is the last memory row of a bottom-up surface.
    EXPECT_EQ(eval("c:buffer():stringData(3 * 20 + 4 * 4 + 1, 4)"), std::string("\x03\x02\x01\xff", 4));
    EXPECT_EQ(eval("c:buffer():stringData(1, 4)"), std::string("\x32\x64\xc8\xff", 4));

    // Only PNG bytes, as a browser offers a copied picture: read both ways.
    QImage picture(2, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 40));
    QByteArray png;
    QBuffer device(&png);
    ASSERT_TRUE(picture.save(&device, "PNG"));
    auto* data = new QMimeData;
    data->setData("image/png", png);
    offer(data);
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "CF_DIB image/png");
    EXPECT_EQ(eval("app.getClipboardData('CF_DIB'):height()"), "3");
    EXPECT_EQ(eval("app.getClipboardData('image/png'):size()"), std::to_string(png.size()));

    // A picture too large to decode is refused, without a crash.
    QByteArray bomb = png;
    bomb[16] = bomb[17] = bomb[20] = bomb[21] = char(0x7f);  // width and height near 2^31
    auto* huge = new QMimeData;
    huge->setData("image/png", bomb);
    offer(huge);
    EXPECT_EQ(eval("select('#', app.getClipboardData('CF_DIB'))"), "0");
}

TEST_F(ClipboardTest, FileListsBecomeAFileDropBlock)
{
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromUtf8("/tmp/a b/写真.jpg")), QUrl("https://example.org/x.jpg"),
                   QUrl::fromLocalFile("/c")});
    offer(data);
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "CF_HDROP");
    run("d = app.getClipboardData('CF_HDROP')");
    EXPECT_EQ(kindOf("d"), "GlobalHeap");
    std::string expected("\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0", 20);
    for (const QString& path : {QString::fromUtf8("\\tmp\\a b\\写真.jpg"), QStringLiteral("\\c")}) {
        for (const QChar c : path) {
            expected += static_cast<char>(c.unicode() & 0xFF);
            expected += static_cast<char>(c.unicode() >> 8);
        }
        expected.append(2, '\0');
    }
    expected.append(2, '\0');
    EXPECT_EQ(eval("d:stringData(1, d:size())"), expected);

    // Without a local file the list is just another MIME type.
    auto* remote = new QMimeData;
    remote->setUrls({QUrl("https://example.org/x.jpg")});
    offer(remote);
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "text/uri-list");
}

TEST_F(ClipboardTest, OtherTypesAreRegisteredFormatsReadAsBuffers)
{
    auto* data = new QMimeData;
    data->setData("application/x-selvarin-test", QByteArray("a\0b\xff", 4));
    data->setData("TARGETS", QByteArray("plumbing"));
    data->setData("MULTIPLE", QByteArray());
    data->setData(QString(300, u'x') + "/y", QByteArray("nameless"));
    data->setData("text/html", QByteArray("<b>x</b>"));
    offer(data);
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "application/x-selvarin-test text/html");
    run("b = app.getClipboardData('application/x-selvarin-test')");
    EXPECT_EQ(kindOf("b"), "GlobalHeap");
    EXPECT_EQ(eval("b:size()"), "4");
    EXPECT_EQ(eval("b:stringData(1, 4)"), std::string("a\0b\xff", 4));
    // A format whose name is too long has none: the empty name reaches it.
    EXPECT_EQ(eval("app.getClipboardData(''):stringData(1, 8)"), "nameless");
    EXPECT_EQ(eval("select('#', app.getClipboardData('TARGETS'))"), "0");
    EXPECT_EQ(eval("select('#', app.getClipboardData('image/none'))"), "0");
}

TEST_F(ClipboardTest, DataOfAHundredMegabytesIsRefused)
{
    auto* data = new QMimeData;
    data->setData("application/x-big", QByteArray(static_cast<qsizetype>(platform::clipboard::kMaxDataBytes), 'x'));
    offer(data);
    EXPECT_EQ(eval("table.concat(app.enumClipboard(), ' ')"), "application/x-big") << "listed, but not copied";
    EXPECT_EQ(eval("select('#', app.getClipboardData('application/x-big'))"), "0");
    QGuiApplication::clipboard()->clear();
}

}  // namespace
