#include "Scanner.h"

#include "engine/Format.h"
#include "engine/Messages.h"

#include "platform/Sjis.h"

#include <cstring>

namespace engine::profile {

namespace {

constexpr bool isDigit(unsigned char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool isAlpha(unsigned char c) noexcept { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
constexpr bool isNameChar(unsigned char c) noexcept { return isAlpha(c) || isDigit(c) || c == '_'; }
// Control characters of the C locale that are not white space.
constexpr bool isBadControl(unsigned char c) noexcept
{
    return (c < 0x20 && !(c >= '\t' && c <= '\r')) || c == 0x7F;
}

struct LexicalError {
    msg::Id message;
    std::string token;  // the text near which the error was found
    int line;
};

// One pass over the source. Output is built lazily: bytes the runtime reads the same way are
// copied in runs, and only the places that need another spelling are written piecewise.
class Scanner {
public:
    Scanner(std::string_view source, std::string& out) : m_src(source), m_out(out)
    {
        m_out.clear();
        m_out.reserve(source.size() + source.size() / 16 + 16);
    }

    // Throws LexicalError.
    void run()
    {
        // A first line starting with "#" is skipped, its line end kept.
        if (!m_src.empty() && m_src[0] == '#') {
            while (m_pos < m_src.size() && m_src[m_pos] != '\n')
                ++m_pos;
            m_copied = m_pos;
        }
        const std::size_t n = m_src.size();
        while (m_pos < n) {
            const unsigned char c = at(m_pos);
            switch (c) {
            case '\n':
                ++m_line;
                ++m_pos;
                break;
            case '\r':
                // Only "\n" ends a line here; the runtime would count a lone "\r" as one.
                replace(m_pos, 1, " ");
                ++m_pos;
                break;
            case '-':
                if (at(m_pos + 1) == '-')
                    comment();
                else
                    ++m_pos;
                break;
            case '[':
                if (at(m_pos + 1) == '[') {
                    longString();
                } else {
                    ++m_pos;
                    // "[=" would open a long bracket of the runtime's syntax.
                    if (at(m_pos) == '=')
                        replace(m_pos, 0, " ");
                }
                break;
            case '"':
            case '\'':
                quotedString(static_cast<char>(c));
                break;
            case '.':
                if (at(m_pos + 1) == '.')
                    m_pos += at(m_pos + 2) == '.' ? 3 : 2;
                else if (isDigit(at(m_pos + 1)))
                    numeral();
                else
                    ++m_pos;
                break;
            default:
                if (isDigit(c)) {
                    numeral();
                } else if (isAlpha(c) || c == '_') {
                    do
                        ++m_pos;
                    while (m_pos < n && isNameChar(at(m_pos)));
                } else if (isBadControl(c)) {
                    throw LexicalError{msg::Id::LexControlChar,
                                       format(msg::text(msg::Id::LexCharCode), {static_cast<int>(c)}), m_line};
                } else {
                    ++m_pos;
                }
            }
        }
        flush(n);
    }

private:
    unsigned char at(std::size_t i) const noexcept
    {
        return i < m_src.size() ? static_cast<unsigned char>(m_src[i]) : 0;
    }
    bool atEnd(std::size_t i) const noexcept { return i >= m_src.size(); }

    void flush(std::size_t upTo)
    {
        if (upTo > m_copied)
            m_out.append(m_src.data() + m_copied, upTo - m_copied);
        m_copied = upTo;
    }

    // Writes `text` in place of the `length` source bytes at `pos`.
    void replace(std::size_t pos, std::size_t length, std::string_view text)
    {
        flush(pos);
        m_out.append(text);
        m_copied = pos + length;
    }

    [[noreturn]] void fail(msg::Id message, std::string token) const
    {
        // The near text is read as a C string, so it ends at a zero byte.
        if (const std::size_t zero = token.find('\0'); zero != std::string::npos)
            token.resize(zero);
        throw LexicalError{message, std::move(token), m_line};
    }

    void numeral()
    {
        const std::size_t start = m_pos;
        const std::size_t n = m_src.size();
        // A number that starts with its decimal point and has a second one cannot be read.
        bool malformed = false;
        if (at(m_pos) == '.')
            ++m_pos;
        while (m_pos < n && isDigit(at(m_pos)))
            ++m_pos;
        if (at(m_pos) == '.') {
            malformed = at(start) == '.';
            ++m_pos;
            if (at(m_pos) == '.') {
                ++m_pos;
                fail(msg::Id::LexAmbiguousNumber, std::string(m_src.substr(start, m_pos - start)));
            }
        }
        while (m_pos < n && isDigit(at(m_pos)))
            ++m_pos;
        if ((at(m_pos) | 0x20) == 'e') {
            ++m_pos;
            if (at(m_pos) == '+' || at(m_pos) == '-')
                ++m_pos;
            const std::size_t digits = m_pos;
            while (m_pos < n && isDigit(at(m_pos)))
                ++m_pos;
            if (m_pos == digits)
                malformed = true;
        }
        if (malformed)
            fail(msg::Id::LexMalformedNumber, std::string(m_src.substr(start, m_pos - start)));
        // The runtime reads letters, digits and dots that follow as part of the number.
        const unsigned char next = at(m_pos);
        if (!atEnd(m_pos) && (isNameChar(next) || next == '.'))
            replace(m_pos, 0, " ");
    }

    void comment()
    {
        const std::size_t start = m_pos;
        m_pos += 2;
        if (at(m_pos) == '[' && at(m_pos + 1) == '[') {
            m_pos += 2;
            flush(start);
            m_out += ' ';
            longBracket(nullptr);
            m_copied = m_pos;
            return;
        }
        // A line comment in this dialect can look like a long comment to the runtime.
        const void* end = std::memchr(m_src.data() + m_pos, '\n', m_src.size() - m_pos);
        m_pos = end ? static_cast<std::size_t>(static_cast<const char*>(end) - m_src.data()) : m_src.size();
        replace(start, m_pos - start, " ");
    }

    void longString()
    {
        flush(m_pos);
        m_pos += 2;
        m_out += '"';
        longBracket(&m_out);
        m_out += '"';
        m_copied = m_pos;
    }

    // Reads the body of "[[ ... ]]" after the opening brackets, nesting counted among
    // single-byte characters only. With `literal`, appends the body as the inside of a quoted
    // string; without, only the line ends (a comment).
    void longBracket(std::string* literal)
    {
        const std::size_t n = m_src.size();
        if (at(m_pos) == '\n') {
            // A line end right after the opening brackets is not part of the string; write it
            // before the literal so that the line count stays.
            if (literal)
                literal->insert(literal->size() - 1, 1, '\n');
            else
                m_out += '\n';
            ++m_line;
            ++m_pos;
        }
        int depth = 0;
        std::size_t run = m_pos;  // start of bytes that need no escaping
        auto flushRun = [&](std::size_t upTo) {
            if (literal && upTo > run)
                literal->append(m_src.data() + run, upTo - run);
            run = upTo;
        };
        for (;;) {
            if (m_pos >= n)
                fail(literal ? msg::Id::LexUnfinishedLongString : msg::Id::LexUnfinishedLongComment, "<eof>");
            const unsigned char c = at(m_pos);
            if (platform::sjis::isLeadByte(c) && m_pos + 1 < n && at(m_pos + 1) != '\n') {
                const unsigned char trail = at(m_pos + 1);
                if (literal && (trail == '\\' || trail == '"' || trail == '\r')) {
                    flushRun(m_pos + 1);
                    appendEscaped(*literal, static_cast<char>(trail), '"');
                    run = m_pos + 2;
                }
                m_pos += 2;
                continue;
            }
            switch (c) {
            case '[':
                ++m_pos;
                if (at(m_pos) == '[') {
                    ++depth;
                    ++m_pos;
                }
                break;
            case ']':
                ++m_pos;
                if (at(m_pos) == ']') {
                    if (depth == 0) {
                        flushRun(m_pos - 1);
                        ++m_pos;
                        return;
                    }
                    --depth;
                    ++m_pos;
                }
                break;
            case '\n':
                flushRun(m_pos);
                if (literal)
                    literal->append("\\\n");
                else
                    m_out += '\n';
                ++m_line;
                run = ++m_pos;
                break;
            case '\\':
            case '"':
            case '\r':
                flushRun(m_pos);
                if (literal)
                    appendEscaped(*literal, static_cast<char>(c), '"');
                run = ++m_pos;
                break;
            default:
                ++m_pos;
            }
        }
    }

    // One byte that cannot stand for itself inside a quoted string of the runtime.
    static void appendEscaped(std::string& out, char c, char delimiter)
    {
        switch (c) {
        case '\r':
            out.append("\\r");
            break;
        case '\\':
            out.append("\\\\");
            break;
        default:
            (void)delimiter;
            out += '\\';
            out += c;
        }
    }

    void quotedString(char delimiter)
    {
        const std::size_t n = m_src.size();
        // The lexer's buffer: the opening delimiter and the bytes read so far, for messages.
        std::string& value = m_value;
        value.assign(1, delimiter);
        ++m_pos;
        for (;;) {
            if (m_pos >= n)
                fail(msg::Id::LexUnfinishedString, "<eof>");
            const unsigned char c = at(m_pos);
            if (c == static_cast<unsigned char>(delimiter)) {
                ++m_pos;
                return;
            }
            if (platform::sjis::isLeadByte(c)) {
                pair(delimiter, value);
                continue;
            }
            switch (c) {
            case '\n':
                fail(msg::Id::LexUnfinishedString, value);
            case '\r':
                replace(m_pos, 1, "\\r");
                value += '\r';
                ++m_pos;
                break;
            case '\\':
                escape(delimiter, value);
                break;
            default:
                value += static_cast<char>(c);
                ++m_pos;
            }
        }
    }

    // A lead byte and the byte after it, stored together whatever that byte is.
    void pair(char delimiter, std::string& value)
    {
        const std::size_t n = m_src.size();
        // Nothing follows the lead byte on its line: the string cannot be finished.
        if (m_pos + 1 >= n)
            fail(msg::Id::LexUnfinishedString, "<eof>");
        const unsigned char trail = at(m_pos + 1);
        if (trail == '\n') {
            value += m_src[m_pos];
            fail(msg::Id::LexUnfinishedString, value);
        }
        value.append(m_src.data() + m_pos, 2);
        if (trail == '\\' || trail == static_cast<unsigned char>(delimiter) || trail == '\r') {
            flush(m_pos + 1);
            appendEscaped(m_out, static_cast<char>(trail), delimiter);
            m_copied = m_pos + 2;
        }
        m_pos += 2;
    }

    void escape(char delimiter, std::string& value)
    {
        const std::size_t backslash = m_pos;
        ++m_pos;
        if (m_pos >= m_src.size())
            return;  // the loop reports the unfinished string
        const unsigned char c = at(m_pos);
        switch (c) {
        case 'a': value += '\a'; ++m_pos; return;
        case 'b': value += '\b'; ++m_pos; return;
        case 'f': value += '\f'; ++m_pos; return;
        case 'n': value += '\n'; ++m_pos; return;
        case 'r': value += '\r'; ++m_pos; return;
        case 't': value += '\t'; ++m_pos; return;
        case 'v': value += '\v'; ++m_pos; return;
        case '\n':
            value += '\n';
            ++m_line;
            ++m_pos;
            return;
        case '\r':
            // An escaped carriage return is that byte; the runtime would read a line end.
            replace(backslash, 2, "\\r");
            value += '\r';
            ++m_pos;
            return;
        default:
            break;
        }
        if (isDigit(c)) {
            int code = 0;
            int digits = 0;
            do {
                code = 10 * code + (at(m_pos) - '0');
                ++m_pos;
            } while (++digits < 3 && isDigit(at(m_pos)) && m_pos < m_src.size());
            if (code > 255)
                fail(msg::Id::LexEscapeTooLarge, value);
            value += static_cast<char>(code);
            return;
        }
        if (platform::sjis::isLeadByte(c)) {
            // An escaped double-byte character stands for itself, both bytes.
            pair(delimiter, value);
            return;
        }
        value += static_cast<char>(c);
        ++m_pos;
    }

    std::string_view m_src;
    std::string& m_out;
    std::size_t m_pos = 0;
    std::size_t m_copied = 0;
    int m_line = 1;
    std::string m_value;
};

}  // namespace

std::string chunkId(std::string_view chunkName, std::size_t size)
{
    // Names are C strings to the runtime.
    if (const std::size_t zero = chunkName.find('\0'); zero != std::string_view::npos)
        chunkName = chunkName.substr(0, zero);
    if (!chunkName.empty() && chunkName.front() == '=')
        return std::string(chunkName.substr(1, size - 1));
    if (!chunkName.empty() && chunkName.front() == '@') {
        std::string_view name = chunkName.substr(1);
        const std::size_t room = size - sizeof(" '...' ");
        if (name.size() > room)
            return "..." + std::string(name.substr(name.size() - room));
        return std::string(name);
    }
    const std::size_t room = size - sizeof(" [string \"...\"] ");
    std::size_t len = chunkName.find_first_of("\n\r");
    if (len == std::string_view::npos)
        len = chunkName.size();
    if (len > room)
        len = room;
    std::string out = "[string \"";
    out.append(chunkName.substr(0, len));
    if (len < chunkName.size())
        out += "...";
    out += "\"]";
    return out;
}

void readAsTextFile(std::string& bytes)
{
    if (!bytes.empty()) {
        const unsigned char first = static_cast<unsigned char>(bytes.front());
        const bool text = (first >= 0x20 && first <= 0x7E) || (first >= '\t' && first <= '\r');
        if (!text)
            return;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        bytes[out++] = bytes[i];
    }
    bytes.resize(out);
}

bool translateSource(std::string_view source, std::string_view chunkName, std::string& out)
{
    Scanner scanner(source, out);
    try {
        scanner.run();
        return true;
    } catch (const LexicalError& e) {
        out = format(msg::text(msg::Id::SyntaxNear), {chunkId(chunkName, kSyntaxIdSize), e.line, e.token, msg::text(e.message)});
        return false;
    }
}

}  // namespace engine::profile
