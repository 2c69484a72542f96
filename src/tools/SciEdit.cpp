#include "SciEdit.h"

#include <Qsci/qsciscintilla.h>
#include <Qsci/qsciscintillabase.h>

#include <QFontDatabase>
#include <QResizeEvent>

#include <atomic>
#include <cstdint>

namespace tools {
namespace {

using Sci = QsciScintillaBase;

std::atomic<bool> g_componentFails{false};

constexpr const char* kKeywords[4] = {
    "and break do else elseif end false for function if in local nil not or repeat return then true until while",
    // "unpack_G" and "rawegal" are the words the lexer has always been given.
    "_VERSION assert collectgarbage dofile error gcinfo loadfile loadstring print tonumber tostring type "
    "unpack_G getfenv getmetatable ipairs loadlib next pairs pcall rawegal rawget rawset require setfenv "
    "setmetatable xpcall string table math coroutine io os debug",
    "string.byte string.char string.dump string.find string.len string.lower string.rep string.sub "
    "string.upper string.format string.gfind string.gsub table.concat table.foreach table.foreachi "
    "table.getn table.sort table.insert table.remove table.setn math.abs math.acos math.asin math.atan "
    "math.atan2 math.ceil math.cos math.deg math.exp math.floor math.frexp math.ldexp math.log math.log10 "
    "math.max math.min math.mod math.pi math.rad math.random math.randomseed math.sin math.sqrt math.tan",
    "coroutine.create coroutine.resume coroutine.status coroutine.wrap coroutine.yield io.close io.flush "
    "io.input io.lines io.open io.output io.read io.tmpfile io.type io.write io.stdin io.stdout io.stderr "
    "os.clock os.date os.difftime os.execute os.exit os.getenv os.remove os.rename os.setlocale os.time "
    "os.tmpname",
};

// Lua lexer styles with their text and background colours, red-green-blue.
struct StyleColours {
    int style;
    std::uint32_t fore;
    std::uint32_t back;
};

constexpr StyleColours kStyleColours[] = {
    {0, 0x000000, 0xFFFFFF},  {1, 0x007F00, 0xD0F0F0},  {2, 0x007F00, 0xFFFFFF},
    {3, 0x3F703F, 0xFFFFFF},  {4, 0x007F7F, 0xFFFFFF},  {5, 0x00007F, 0xFFFFFF},
    {6, 0x7F007F, 0xFFFFFF},  {7, 0x7F007F, 0xFFFFFF},  {8, 0x007F00, 0xE0FFFF},
    {9, 0x7F7F00, 0xFFFFFF},  {10, 0x000000, 0xFFFFFF}, {12, 0xFFFFFF, 0xE0C0E0},
    {13, 0x00007F, 0xD0FFD0}, {14, 0x00007F, 0xD0D0FF}, {15, 0x00007F, 0xFFD0D0},
    {16, 0x00007F, 0xFFD0FF}, {17, 0x00007F, 0xFFFFD0}, {18, 0x00007F, 0xFFA0A0},
    {19, 0x00007F, 0xFFD0D0},
};

constexpr int kLuaLexer = 15;
constexpr int kShiftJisCharset = 128;

// The component takes colours as 0x00BBGGRR.
long componentColour(std::uint32_t rgb)
{
    return static_cast<long>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

// A Japanese monospace font of the desktop, or the system's fixed font.
const QByteArray& fontName()
{
    static const QByteArray name = [] {
        for (const char* family : {"IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic", "TakaoGothic"}) {
            if (QFontDatabase::hasFamily(QString::fromUtf8(family)))
                return QByteArray(family);
        }
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family().toUtf8();
    }();
    return name;
}

}  // namespace

const char* consoleKeywords(int set) { return set >= 0 && set < 4 ? kKeywords[set] : ""; }

CSciEdit::CSciEdit(QWidget* parent) : QWidget(parent) {}

CSciEdit::~CSciEdit() = default;

void CSciEdit::setComponentFailsForTesting(bool fails) noexcept { g_componentFails = fails; }

bool CSciEdit::createComponent()
{
    if (m_component)
        return true;
    if (g_componentFails)
        return false;
    m_component = new QsciScintilla(this);
    m_component->setObjectName(QStringLiteral("Source"));
    m_component->setGeometry(rect());
    if (!setupEditor()) {
        delete m_component;
        m_component = nullptr;
        return false;
    }
    m_component->show();
    setFocusProxy(m_component);
    return true;
}

long CSciEdit::send(unsigned int message, unsigned long wParam, long lParam) const
{
    return m_component ? m_component->SendScintilla(message, wParam, lParam) : 0;
}

long CSciEdit::send(unsigned int message, unsigned long wParam, const char* lParam) const
{
    return m_component ? m_component->SendScintilla(message, wParam, lParam) : 0;
}

bool CSciEdit::setupEditor() { return setup(true); }

bool CSciEdit::setup(bool keywords)
{
    const auto sendKeywords = [this] {
        for (unsigned long set = 0; set < 4; ++set)
            send(Sci::SCI_SETKEYWORDS, set, kKeywords[set]);
    };
    if (keywords)
        sendKeywords();
    send(Sci::SCI_STYLESETFORE, Sci::STYLE_DEFAULT, componentColour(0x000000));
    send(Sci::SCI_STYLESETBACK, Sci::STYLE_DEFAULT, componentColour(0xFFFFFF));
    send(Sci::SCI_STYLESETSIZE, Sci::STYLE_DEFAULT, 10);
    send(Sci::SCI_STYLESETFONT, Sci::STYLE_DEFAULT, fontName().constData());
    send(Sci::SCI_STYLECLEARALL);
    send(Sci::SCI_STYLESETVISIBLE, 33, 1);
    send(Sci::SCI_STYLESETVISIBLE, 37, 1);
    // The Qt port draws only UTF-8 correctly; text is converted from code page 932 on the way in.
    send(Sci::SCI_SETCODEPAGE, Sci::SC_CP_UTF8);
    send(Sci::SCI_SETLEXER, kLuaLexer);
    // This component keeps keyword sets only once a lexer is set: give them again.
    if (keywords)
        sendKeywords();
    send(Sci::SCI_SETSTYLEBITS, 7);
    for (unsigned long style = 0; style < 32; ++style) {
        send(Sci::SCI_STYLESETCHARACTERSET, style, kShiftJisCharset);
        send(Sci::SCI_STYLESETFONT, style, fontName().constData());
        send(Sci::SCI_STYLESETSIZE, style, 9);
    }
    send(Sci::SCI_SETTABWIDTH, 4);
    send(Sci::SCI_SETINDENT, 4);
    send(Sci::SCI_SETUSETABS, 1);
    for (const StyleColours& s : kStyleColours) {
        send(Sci::SCI_STYLESETFORE, static_cast<unsigned long>(s.style), componentColour(s.fore));
        send(Sci::SCI_STYLESETBACK, static_cast<unsigned long>(s.style), componentColour(s.back));
    }
    // A component that did not take the lexer or the code page would show the text wrongly.
    return send(Sci::SCI_GETLEXER) == kLuaLexer && send(Sci::SCI_GETCODEPAGE) == Sci::SC_CP_UTF8;
}

bool CWorkspaceEdit::setupEditor() { return setup(false); }

void CSciEdit::appendUtf8(const QByteArray& text)
{
    if (!m_component || text.isEmpty())
        return;
    // Output is not an edit of the user's: undo must not take it away again. Nor is it told
    // as a modification: the component answers each one by counting the characters before
    // it, which made appending to a long console quadratic.
    const long events = send(Sci::SCI_GETMODEVENTMASK);
    send(Sci::SCI_SETMODEVENTMASK, 0);
    send(Sci::SCI_SETUNDOCOLLECTION, 0);
    send(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    send(Sci::SCI_SETUNDOCOLLECTION, 1);
    send(Sci::SCI_SETMODEVENTMASK, static_cast<unsigned long>(events));
}

void CSciEdit::scrollToEnd() { send(Sci::SCI_LINESCROLL, 0, send(Sci::SCI_GETLINECOUNT)); }

void CSciEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_component)
        m_component->setGeometry(rect());
}

}  // namespace tools
