#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tools {

// The form of the progress window: a message, a bar from 0 to 100 and a Cancel button. Every
// view takes a serial number from a process-wide counter (0, 1, ...), which names its cancel
// registration.
class CProgressView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCancelId = 2;
    static constexpr int kProgressId = 1004;
    static constexpr int kMessageId = 1005;

    explicit CProgressView(QWidget* parent = nullptr);

    int serial() const noexcept { return m_serial; }
    // The serial the next view will get.
    static int nextSerial() noexcept;

    QLabel* message() const noexcept { return m_message; }
    QProgressBar* progress() const noexcept { return m_progress; }
    QPushButton* cancelButton() const noexcept { return m_cancel; }

    // True while the cancel function runs: the window must not be deleted under it.
    bool dispatching() const noexcept { return m_dispatching > 0; }

private:
    void cancel();

    int m_serial;
    int m_dispatching = 0;
    QLabel* m_message;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
};

// The progress window: a small top-level window with a plain frame, no title bar and no task-bar
// entry, made hidden. A window closed by any means counts as gone at once, though the widget
// itself is deleted only when no handler of it is running.
class CProgressFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 340;
    static constexpr int kClientHeight = 116;

    CProgressFrame();

    CProgressView* view() const noexcept { return m_view; }
    bool isGone() const noexcept { return m_gone; }

    // Hides the window and deletes it, now or (inside one of its handlers) from the event loop.
    void dispose();

    int progressPos() const;
    // Clamped to the bar's range 0 to 100.
    void setProgressPos(long long pos);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CProgressView* m_view;
    bool m_gone = false;
};

}  // namespace tools
