#pragma once

#include <QMainWindow>
#include <QRect>

#include <QPointer>

#include <map>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace app {

// What carries out the commands the frame does not handle itself, and answers their states.
class CommandTarget {
public:
    struct State {
        bool enabled = false;
        bool checked = false;
    };
    virtual ~CommandTarget() = default;
    // False when the command has no handler.
    virtual bool execute(int id) = 0;
    // Starts from the item's current state; a command without a handler stays disabled.
    virtual void update(int id, State& state) = 0;
};

// The main window: menu, toolbar, status bar, the central view and the window modes.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(CommandTarget* target, QWidget* parent = nullptr);

    QAction* action(int id) const;
    QToolBar* toolBar() const { return m_toolBar; }

    // Runs a command as the menu would.
    void runCommand(int id);
    // Refreshes the enabled and checked states of the given commands (all when empty).
    void refreshStates(const QList<QAction*>& actions = {});
    // The toolbar's states, refreshed on every idle pass.
    void refreshToolBar();

    // Escape: leaves full screen, or asks whether to quit and posts a close request on Yes.
    void requestExit();
    void showAbout();

    bool isFullScreenMode() const noexcept { return m_fullScreen; }
signals:
    // Entering or leaving full screen (the view hides or shows its cursor).
    void fullScreenChanged(bool on);

public:
    void setFullScreenMode(bool on);
    QRect restoreRect() const noexcept { return m_restoreRect; }
    void setRestoreRect(const QRect& rect) { m_restoreRect = rect; }
    // The window frame's thickness around the client area in a normal window (kept from before
    // full screen while in it).
    QMargins normalFrameMargins() const;
    // Places the normal window so that its frame (outer) rectangle is `outer`, the rectangle
    // scripts read back. Until the window manager has framed the window its frame is unknown:
    // the frame's corner is placed then, and the size corrected when the frame appears.
    void setNormalFrameRect(const QRect& outer);
    // Corrects the size set by setNormalFrameRect once the frame is known (a no-op otherwise).
    void applyPendingFrameRect();
    // The outer rectangle asked for and not placed yet: the window has not been framed in its
    // normal state (it may have started maximised).
    std::optional<QRect> pendingFrameRect() const { return m_pendingFrameRect; }
    // The full-screen menu bar follows the pointer near the top edge.
    void setMenuByMouse(bool on);
    bool menuRequested() const noexcept { return m_menuByMouse || m_menuBySysCommand; }

    // Tool windows (file list, console, workspace) follow the frame: minimising it hides the
    // visible ones, restoring it shows them again; activation brings them forward together.
    void addToolWindow(QWidget* window);
    void bringWindowsForward();

    // The text of the stretching status pane; the idle text is a single blank.
    void setStatusText(const QString& text);
    QString statusText() const;

    // The command of a character accelerator ("+", "-") the key types, else 0.
    static int characterCommand(const QKeyEvent& event);

protected:
    void changeEvent(QEvent* event) override;
    // "+" and "-" are character accelerators: whatever keys type them, Shift or keypad.
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void applyFullScreenBars();

    CommandTarget* m_target;
    std::map<int, QAction*> m_actions;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusPane = nullptr;
    bool m_fullScreen = false;
    QRect m_restoreRect{0, 0, 320, 240};
    QMargins m_restoreMargins;
    std::optional<QRect> m_pendingFrameRect;
    bool m_statusBarWasVisible = true;
    bool m_toolBarWasVisible = true;
    bool m_menuByMouse = false;
    bool m_menuBySysCommand = false;
    struct ToolWindow {
        QPointer<QWidget> window;
        bool hiddenByMinimise = false;
    };
    std::vector<ToolWindow> m_toolWindows;
};

}  // namespace app
