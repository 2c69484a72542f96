#include "Clipboard.h"

#include "Paths.h"
#include "TextCodec.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

#include <cstring>

namespace platform::clipboard {
namespace {

constexpr std::size_t kMaxNameBytes = 255;

// Where the data of a listed format comes from.
enum class Source { Text, OemText, Dib, UnicodeText, Hdrop, Locale, Tiff, Mime };

struct Entry {
    std::string name;  // empty: a format without a name
    Source source;
    QString mime;
};

QClipboard* systemClipboard()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::clipboard();
}

// Qt's own image type and X11 selection atoms (TARGETS, MULTIPLE, SAVE_TARGETS, UTF8_STRING,
// ...) are plumbing, not data anybody offered.
bool isPlumbing(const QString& format)
{
    if (format == QLatin1String("application/x-qt-image"))
        return true;
    if (format.isEmpty() || format.contains(u'/'))
        return false;
    for (const QChar c : format) {
        if (!(c.isUpper() || c.isDigit() || c == u'_'))
            return false;
    }
    return true;
}

bool isPlainText(const QString& format) { return format.startsWith(QLatin1String("text/plain")); }

bool decodableImageType(const QString& format)
{
    return format.startsWith(QLatin1String("image/")) && QImageReader::supportedMimeTypes().contains(format.toLatin1());
}

bool hasLocalFiles(const QMimeData& data)
{
    if (!data.hasUrls())
        return false;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            return true;
    }
    return false;
}

bool hasImage(const QMimeData& data)
{
    if (data.hasImage())
        return true;
    for (const QString& format : data.formats()) {
        if (decodableImageType(format))
            return true;
    }
    return false;
}

std::vector<Entry> entries(const QMimeData& data)
{
    const QStringList formats = data.formats();
    bool text = false;
    for (const QString& f : formats)
        text = text || isPlainText(f);
    const bool files = hasLocalFiles(data);
    const bool image = hasImage(data);
    const bool tiff = formats.contains(QLatin1String("image/tiff"));

    std::vector<Entry> out;
    if (text)
        out.push_back({"CF_TEXT", Source::Text, {}});
    if (tiff)
        out.push_back({"CF_TIFF", Source::Tiff, QStringLiteral("image/tiff")});
    if (text)
        out.push_back({"CF_OEMTEXT", Source::OemText, {}});
    if (image)
        out.push_back({"CF_DIB", Source::Dib, {}});
    if (text)
        out.push_back({"CF_UNICODETEXT", Source::UnicodeText, {}});
    if (files)
        out.push_back({"CF_HDROP", Source::Hdrop, {}});
    if (text)
        out.push_back({"CF_LOCALE", Source::Locale, {}});
    for (const QString& f : formats) {
        if (isPlumbing(f) || isPlainText(f) || (tiff && f == QLatin1String("image/tiff")) ||
            (files && f == QLatin1String("text/uri-list")))
            continue;
        const QByteArray name = f.toUtf8();
        out.push_back({name.size() <= static_cast<qsizetype>(kMaxNameBytes) ? name.toStdString() : std::string(), Source::Mime, f});
    }
    return out;
}

void appendUnits(std::string& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    out.append(2, '\0');
}

Data bytesOf(Kind kind, std::string bytes)
{
    if (bytes.size() >= kMaxDataBytes)
        return {};
    return {kind, std::move(bytes)};
}

Data unicodeText(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    const QString whole = zero < 0 ? text : text.left(zero);
    if (static_cast<std::size_t>(whole.size()) >= kMaxDataBytes / 2)
        return {};
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(whole.size()) * 2 + 2);
    appendUnits(bytes, whole);
    return {Kind::Text, std::move(bytes)};
}

Data fileDrop(const QMimeData& data)
{
    // DROPFILES: offset of the list, drop point, not in the client area, wide characters.
    std::string block(20, '\0');
    block[0] = 20;
    block[16] = 1;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        appendUnits(block, url.toLocalFile().replace(u'/', u'\\'));
        if (block.size() >= kMaxDataBytes)
            return {};
    }
    block.append(2, '\0');
    return {Kind::Bytes, std::move(block)};
}

QImage clipboardImage(const QMimeData& data)
{
    if (data.hasImage()) {
        QImage image = qvariant_cast<QImage>(data.imageData());
        if (!image.isNull())
            return image;
    }
    for (const QString& format : data.formats()) {
        if (!decodableImageType(format))
            continue;
        const QByteArray bytes = data.data(format);
        if (static_cast<std::size_t>(bytes.size()) >= kMaxDataBytes)
            continue;
        QImage image = QImage::fromData(bytes);
        if (!image.isNull())
            return image;
    }
    return {};
}

Data image(const QMimeData& data, const ImageTarget& target)
{
    QImage picture = clipboardImage(data);
    if (picture.isNull() || !target)
        return {};
    std::ptrdiff_t pitch = 0;
    // The target decides (and allocates) before the picture is converted, so a picture beyond
    // what a surface may hold costs no second copy.
    std::uint8_t* firstRow = target(picture.width(), picture.height(), pitch);
    if (!firstRow)
        return {};
    if (picture.format() != QImage::Format_ARGB32 && picture.format() != QImage::Format_RGB32)
        picture.convertTo(QImage::Format_ARGB32);
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 4;
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(firstRow + y * pitch, picture.constScanLine(y), rowBytes);
    return {Kind::Image, {}};
}

}  // namespace

std::optional<std::vector<std::string>> formatNames()
{
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return std::nullopt;
    std::vector<std::string> names;
    const QMimeData* data = clipboard->mimeData();
    if (!data)
        return names;
    for (Entry& e : entries(*data)) {
        if (!e.name.empty())
            names.push_back(std::move(e.name));
    }
    return names;
}

Data read(std::string_view name, const ImageTarget& target)
{
    QClipboard* clipboard = systemClipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data)
        return {};
    for (const Entry& e : entries(*data)) {
        if (e.name != name)
            continue;
        switch (e.source) {
        case Source::Text:
        case Source::OemText: return bytesOf(Kind::Text, std::string(untilZero(qstringToCp932(data->text()))));
        case Source::UnicodeText: return unicodeText(data->text());
        case Source::Locale: return {Kind::Bytes, std::string("\x11\x04\0\0", 4)};
        case Source::Dib: return image(*data, target);
        case Source::Hdrop: return fileDrop(*data);
        case Source::Tiff:
        case Source::Mime: {
            const QByteArray bytes = data->data(e.mime);
            return bytesOf(Kind::Bytes, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        }
        }
    }
    return {};
}

bool writeImage(const std::uint8_t* firstRow, std::int32_t width, std::int32_t height, std::ptrdiff_t pitch,
                int bitsPerPixel)
{
    if (!firstRow || width <= 0 || height <= 0 || (bitsPerPixel != 32 && bitsPerPixel != 8))
        return false;
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return false;
    QImage picture(width, height, bitsPerPixel == 32 ? QImage::Format_ARGB32 : QImage::Format_Grayscale8);
    if (picture.isNull())
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    bool anyAlpha = bitsPerPixel != 32;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = firstRow + y * pitch;
        std::memcpy(picture.scanLine(y), source, rowBytes);
        for (std::size_t x = 3; !anyAlpha && x < rowBytes; x += 4)
            anyAlpha = source[x] != 0;
    }
    if (!anyAlpha) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < width; ++x)
                row[x] |= 0xFF000000u;
        }
        picture.reinterpretAsFormat(QImage::Format_RGB32);
    }
    clipboard->setImage(picture);
    return true;
}

}  // namespace platform::clipboard
