#include "ProgressFrame.h"

#include "ToolEvents.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace tools {
namespace {

int g_nextSerial = 0;

// The form is laid out in dialog units (187 x 54) scaled to the window's client size.
QRect dialogRect(int x, int y, int cx, int cy)
{
    constexpr double sx = CProgressFrame::kClientWidth / 187.0;
    constexpr double sy = CProgressFrame::kClientHeight / 54.0;
    return QRect(static_cast<int>(x * sx), static_cast<int>(y * sy), static_cast<int>(cx * sx),
                 static_cast<int>(cy * sy));
}

}  // namespace

CProgressView::CProgressView(QWidget* parent) : QWidget(parent), m_serial(g_nextSerial++)
{
    setObjectName("progressView");
    m_cancel = new QPushButton(QString::fromUtf8("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName("cancelButton");
    m_cancel->setGeometry(dialogRect(130, 7, 50, 14));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progressBar");
    m_progress->setGeometry(dialogRect(7, 35, 173, 12));
    m_progress->setTextVisible(false);
    m_message = new QLabel(this);
    m_message->setObjectName("messageText");
    m_message->setGeometry(dialogRect(7, 7, 117, 21));
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setWordWrap(true);

    m_message->setText(QString::fromUtf8("処理中です..."));
    m_progress->setRange(0, 100);
    m_progress->setValue(10);
    // Enabled by whoever registers a cancel function.
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressView::cancel);
}

int CProgressView::nextSerial() noexcept { return g_nextSerial; }

void CProgressView::cancel()
{
    ScriptListener* listener = scriptListener();
    if (!listener)
        return;
    QPointer<QPushButton> button = m_cancel;
    ++m_dispatching;
    const bool ran = listener->progressCancel(m_serial);
    --m_dispatching;
    // The function runs at most once per successful call.
    if (ran && button)
        button->setEnabled(false);
}

CProgressFrame::CProgressFrame() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName("progressFrame");
    setWindowTitle(QString::fromUtf8("Selvarin"));
    setFixedSize(kClientWidth, kClientHeight);
    m_view = new CProgressView(this);
    m_view->setGeometry(0, 0, kClientWidth, kClientHeight);
    // The plain dialog frame: a raised border around the form.
    setStyleSheet("#progressFrame { border: 1px solid palette(dark); }");
    setAttribute(Qt::WA_StyledBackground);
    // Without a title bar nobody can move it: it starts in the middle of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CProgressFrame::dispose()
{
    m_gone = true;
    hide();
    if (m_view->dispatching())
        deleteLater();
    else
        delete this;
}

int CProgressFrame::progressPos() const { return m_view->progress()->value(); }

void CProgressFrame::setProgressPos(long long pos)
{
    m_view->progress()->setValue(static_cast<int>(std::clamp(pos, 0LL, 100LL)));
}

void CProgressFrame::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_gone = true;
    deleteLater();
}

}  // namespace tools
