#pragma once

#include <QMainWindow>

#include <vector>

namespace tools {

// Base of the tool windows (file list, console, workspace): a top-level frame that stays above
// the main window and out of the task bar, listed process-wide from construction to destruction.
class CToolFrame : public QMainWindow {
    Q_OBJECT
public:
    // `owner` is the main window; the tool window is its transient (Qt::Tool) child.
    explicit CToolFrame(QWidget* owner);
    ~CToolFrame() override;

    // Every tool frame alive, in construction order.
    static const std::vector<CToolFrame*>& toolFrames() noexcept;

protected:
    // Focus given to the frame goes on to its view.
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace tools
