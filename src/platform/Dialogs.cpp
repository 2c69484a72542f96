#include "Dialogs.h"

#include "Environment.h"
#include "MessageLine.h"
#include "TextCodec.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>


namespace platform {
namespace {

QPointer<QWidget> g_mainWindow;

QMessageBox::StandardButtons standardButtons(Buttons b)
{
    switch (b) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer answerOf(int clicked, Buttons set)
{
    switch (clicked) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Ignore: return Answer::Ignore;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default:
        // Closed with the window's close button: the set's escape answer.
        switch (set) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::YesNo: return Answer::No;
        case Buttons::AbortRetryIgnore: return Answer::Abort;
        default: return Answer::Cancel;
        }
    }
}

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void setMainWindow(QWidget* window) { g_mainWindow = window; }

QWidget* mainWindow() { return g_mainWindow.data(); }

Answer firstButton(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
    case Buttons::YesNoCancel:
    case Buttons::YesNo: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    }
    return Answer::Ok;
}

Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon, Owner owner)
{
    if (nonInteractive() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        writeMessageLine(caption, text);
        return firstButton(buttons);
    }
    QWidget* parent = owner == Owner::MainWindow ? g_mainWindow.data() : nullptr;
    QMessageBox box(qtIcon(icon), cp932ToQString(caption), cp932ToQString(text), standardButtons(buttons), parent);
    return answerOf(box.exec(), buttons);
}

}  // namespace platform
