#pragma once

#include "ToolFrame.h"

#include <functional>

class QAction;
class QLabel;

namespace tools {

class CGridView;

// The file list window: menu, a status bar of a message pane and the kana-lock indicator, and
// one grid view. At most one exists at a time.
class CFileListFrame : public CToolFrame {
    Q_OBJECT
public:
    explicit CFileListFrame(QWidget* owner);
    ~CFileListFrame() override;

    // The one file list window, or null.
    static CFileListFrame* instance() noexcept;

    CGridView* view() const noexcept { return m_view; }
    QAction* copyAction() const noexcept { return m_copy; }

    // The menu's Copy runs the application's copy command and is enabled as that command is;
    // every other item has no handler and stays disabled.
    void setCopyCommand(std::function<void()> run, std::function<bool()> enabled);

private:
    void createMenu();
    void refreshCopy();

    CGridView* m_view = nullptr;  // owned by the frame
    QAction* m_copy = nullptr;
    QLabel* m_message = nullptr;
    std::function<void()> m_runCopy;
    std::function<bool()> m_copyEnabled;
};

}  // namespace tools
