#include "ConsoleFrame.h"

#include "SciEdit.h"

#include "platform/Sjis.h"

#include <Qsci/qsciscintillabase.h>

#include <memory>

namespace tools {
namespace {

using Sci = QsciScintillaBase;

CConsoleFrame* g_console = nullptr;

// A line start this close after the cut is worth keeping the older text for.
constexpr long kLineStartReach = 64 * 1024;

// The newest part of code page 932 text that fits the console, cut between characters and,
// where one begins soon after, at the start of a line.
std::string_view newestPart(std::string_view text)
{
    if (text.size() <= CConsoleFrame::kKeptBytes)
        return text;
    std::size_t cut = platform::sjis::wholePrefix(text, text.size() - CConsoleFrame::kKeptBytes).size();
    const std::size_t lineEnd = text.substr(cut, kLineStartReach).find('\n');
    if (lineEnd != std::string_view::npos)
        cut += lineEnd + 1;
    return text.substr(cut);
}

// `text` with a line feed put wherever a line would grow past kLongestLine bytes; `column` is
// the length of the line it continues. Breaks fall between UTF-8 sequences.
QByteArray brokenLines(const QByteArray& text, std::size_t column)
{
    constexpr std::size_t longest = CConsoleFrame::kLongestLine;
    QByteArray out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            column = 0;
            continue;
        }
        if (column >= longest && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            if (out.isEmpty())
                out.reserve(text.size() + text.size() / static_cast<qsizetype>(longest) + 1);
            out.append(text.constData() + copied, i - copied).append('\n');
            copied = i;
            column = 0;
        }
        ++column;
    }
    if (copied == 0)
        return text;
    return out.append(text.constData() + copied, text.size() - copied);
}

}  // namespace

CConsoleFrame::CConsoleFrame(QWidget* owner) : CToolFrame(owner), m_view(new CSciEdit(this))
{
    g_console = this;
    setObjectName(QStringLiteral("consoleFrame"));
    setWindowTitle(QString::fromUtf8("コンソール"));
    resize(560, 360);
    setCentralWidget(m_view);
}

CConsoleFrame::~CConsoleFrame()
{
    if (g_console == this)
        g_console = nullptr;
}

CConsoleFrame* CConsoleFrame::create(QWidget* owner)
{
    std::unique_ptr<CConsoleFrame> frame(new CConsoleFrame(owner));
    if (!frame->m_view->createComponent())
        return nullptr;
    return frame.release();  // the owner's child
}

CConsoleFrame* CConsoleFrame::instance() noexcept { return g_console; }

void CConsoleFrame::appendText(std::string_view text)
{
    appendShown(platform::cp932ToQString(newestPart(text)));
}

void CConsoleFrame::appendOutput(std::string_view piece)
{
    const std::string_view kept = newestPart(piece);
    if (kept.size() < piece.size())
        (void)m_output.finish();  // what it held belongs to the dropped part
    appendShown(m_output.decode(kept));
}

void CConsoleFrame::appendShown(const QString& text)
{
    if (text.isEmpty())
        return;
    const long length = m_view->send(Sci::SCI_GETLENGTH);
    const long lastLine = m_view->send(Sci::SCI_GETLINECOUNT) - 1;
    const long column = length - m_view->send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(lastLine));
    m_view->appendUtf8(brokenLines(text.toUtf8(), static_cast<std::size_t>(column)));
    trim();
    m_view->scrollToEnd();
}

void CConsoleFrame::trim()
{
    const long length = m_view->send(Sci::SCI_GETLENGTH);
    if (length <= static_cast<long>(kKeptBytes + kTrimSlack))
        return;
    long cut = length - static_cast<long>(kKeptBytes);
    const long line = m_view->send(Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(cut));
    if (m_view->send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)) != cut) {
        const long next = m_view->send(Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + 1));
        if (next > cut && next - cut <= kLineStartReach)
            cut = next;
        // Never inside a UTF-8 sequence.
        while (cut < length && (m_view->send(Sci::SCI_GETCHARAT, static_cast<unsigned long>(cut)) & 0xC0) == 0x80)
            ++cut;
    }
    m_view->send(Sci::SCI_SETUNDOCOLLECTION, 0);
    m_view->send(Sci::SCI_DELETERANGE, 0, cut);
    m_view->send(Sci::SCI_SETUNDOCOLLECTION, 1);
    // The user's undo steps point at positions that have moved.
    m_view->send(Sci::SCI_EMPTYUNDOBUFFER);
}

}  // namespace tools
