#pragma once

#include "ToolFrame.h"

#include "platform/TextCodec.h"

#include <cstddef>
#include <string_view>

namespace tools {

class CSciEdit;

// The script console: everything scripts print or write, in a Lua editor the user may also
// edit. At most one exists; closing it only hides it, so its text stays.
class CConsoleFrame : public CToolFrame {
    Q_OBJECT
public:
    // The console keeps the newest 8 MiB of text (counted in its UTF-8 form) and drops older
    // text once another MiB has arrived, so endless output cannot exhaust memory.
    static constexpr std::size_t kKeptBytes = std::size_t{8} << 20;
    static constexpr std::size_t kTrimSlack = std::size_t{1} << 20;
    // Longer lines are continued on the next line: the editor lays out a whole line each time
    // it paints one, and a line of megabytes would stall it for seconds.
    static constexpr std::size_t kLongestLine = 4096;  // UTF-8 bytes

    // Made hidden; null when the editing component cannot be created.
    static CConsoleFrame* create(QWidget* owner);
    ~CConsoleFrame() override;

    // The one console, or null.
    static CConsoleFrame* instance() noexcept;

    CSciEdit* view() const noexcept { return m_view; }

    // Code page 932 text appended whole, the end kept visible (`print`).
    void appendText(std::string_view text);
    // The next piece of the script's output stream: a character split between two pieces is
    // shown whole once its rest arrives.
    void appendOutput(std::string_view piece);

private:
    explicit CConsoleFrame(QWidget* owner);
    void appendShown(const QString& text);
    void trim();

    CSciEdit* m_view;  // owned by the frame
    platform::ScriptTextStream m_output;
};

}  // namespace tools
