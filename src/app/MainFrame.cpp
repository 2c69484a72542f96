#include "MainFrame.h"

#include "Commands.h"
#include "Icons.h"
#include "Version.h"

#include "engine/Format.h"
#include "engine/Messages.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QWindowStateChangeEvent>

namespace app {
namespace {

QString catalogue(engine::msg::Id id) { return platform::cp932ToQString(engine::msg::text(id)); }

// Commands the frame carries out itself.
bool isFrameCommand(int id)
{
    switch (id) {
    case commands::ExitRequest:
    case commands::About:
    case commands::AppExit:
    case commands::FullScreen:
    case commands::ViewToolBar:
    case commands::ViewStatusBar:
        return true;
    default:
        return false;
    }
}

}  // namespace

MainFrame::MainFrame(CommandTarget* target, QWidget* parent) : QMainWindow(parent), m_target(target)
{
    setObjectName("mainFrame");
    setWindowTitle(catalogue(engine::msg::Id::ApplicationName));
    setMinimumSize(320, 240);
    resize(800, 600);
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    // All windows of the program come forward together when it is activated.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            bringWindowsForward();
    });
    // Accelerators of commands without a handler must not fire before any menu was opened.
    refreshStates();
}

QAction* MainFrame::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainFrame::createActions()
{
    std::map<int, QList<QKeySequence>> keys;
    for (const commands::Accelerator& a : commands::accelerators())
        keys[a.id].append(a.keys);

    for (int id : commands::all()) {
        auto* a = new QAction(this);
        a->setData(id);
        if (const commands::CommandStrings* s = commands::stringsOf(id)) {
            a->setText(QString::fromUtf8(s->tooltip));
            a->setToolTip(QString::fromUtf8(s->tooltip));
            a->setStatusTip(QString::fromUtf8(s->prompt));
        }
        if (const auto k = keys.find(id); k != keys.end()) {
            a->setShortcuts(k->second);
            // Accelerators work wherever the focus is in the frame, menus shown or not.
            a->setShortcutContext(Qt::WindowShortcut);
            addAction(a);
        }
        connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
        m_actions[id] = a;
    }
    // A check mark needs a checkable item; which are checkable is fixed by their states.
    for (int id : {commands::OperatePager, commands::AdjustLessor, commands::AdjustGreator, commands::AdjustWidth,
                   commands::AdjustHeight, commands::AdjustNone, commands::Scale25, commands::Scale50, commands::Scale75,
                   commands::Scale100, commands::Scale150, commands::Scale200, commands::Scale400, commands::LinearFilter,
                   commands::BgWhite, commands::BgBlack, commands::BgPattern, commands::WheelSlow, commands::WheelNormal,
                   commands::WheelFast, commands::StartupOpenLastFile, commands::ShowStopDialog, commands::EditCopy,
                   commands::FileList, commands::Console, commands::Workspace,
                   commands::ViewToolBar, commands::ViewStatusBar})
        m_actions[id]->setCheckable(true);
}

void MainFrame::createMenus()
{
    QList<QMenu*> open;  // the submenu at each depth
    for (const commands::MenuRow& row : commands::menu()) {
        open.resize(row.depth);
        QMenu* parentMenu = row.depth > 0 ? open.back() : nullptr;
        if (row.id == 0) {
            QMenu* menu = parentMenu ? parentMenu->addMenu(QString::fromUtf8(row.caption))
                                     : menuBar()->addMenu(QString::fromUtf8(row.caption));
            // Item states are asked for when a menu is about to show.
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { refreshStates(menu->actions()); });
            open.append(menu);
        } else if (row.id < 0) {
            parentMenu->addSeparator();
        } else {
            QAction* a = m_actions.at(row.id);
            a->setText(QString::fromUtf8(row.caption));
            parentMenu->addAction(a);
        }
    }
}

void MainFrame::createToolBar()
{
    m_toolBar = addToolBar(QString());
    m_toolBar->setObjectName("toolBar");
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : commands::toolbar()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = m_actions.at(id);
        a->setIcon(commandIcon(id));
        m_toolBar->addAction(a);
    }
}

void MainFrame::createStatusBar()
{
    m_statusPane = new QLabel(QString::fromUtf8(commands::text(commands::IdleMessage)), this);
    m_statusPane->setObjectName("statusText");
    statusBar()->addWidget(m_statusPane, 1);
    for (const commands::StringId id : commands::indicators()) {
        auto* pane = new QLabel(QString::fromUtf8(commands::text(id)), this);
        if (id == commands::IndicatorPages)
            pane->setObjectName("pageIndicator");
        else
            pane->setEnabled(false);  // lock keys are not a state this platform reports: shown as off
        statusBar()->addPermanentWidget(pane);
    }
}

void MainFrame::setStatusText(const QString& text) { m_statusPane->setText(text); }

QString MainFrame::statusText() const { return m_statusPane->text(); }

void MainFrame::refreshStates(const QList<QAction*>& actions)
{
    const QList<QAction*> list = actions.isEmpty() ? findChildren<QAction*>() : actions;
    for (QAction* a : list) {
        bool isInt = false;
        const int id = a->data().toInt(&isInt);
        if (!isInt || id <= 0)
            continue;
        CommandTarget::State state{a->isEnabled(), a->isChecked()};
        switch (id) {
        case commands::ExitRequest:
        case commands::About:
        case commands::AppExit:
        case commands::FullScreen:
            state.enabled = true;
            break;
        case commands::ViewToolBar:
            state = {true, m_fullScreen ? m_toolBarWasVisible : m_toolBar->isVisible()};
            break;
        case commands::ViewStatusBar:
            state = {true, m_fullScreen ? m_statusBarWasVisible : statusBar()->isVisible()};
            break;
        default:
            if (m_target)
                m_target->update(id, state);
            else
                state.enabled = false;
            break;
        }
        a->setEnabled(state.enabled);
        if (a->isCheckable())
            a->setChecked(state.checked);
    }
}

void MainFrame::refreshToolBar() { refreshStates(m_toolBar->actions()); }

void MainFrame::runCommand(int id)
{
    if (!isFrameCommand(id)) {
        if (m_target)
            m_target->execute(id);
        return;
    }
    switch (id) {
    case commands::ExitRequest:
        requestExit();
        break;
    case commands::About:
        showAbout();
        break;
    case commands::AppExit:
        close();
        break;
    case commands::FullScreen:
        setFullScreenMode(!m_fullScreen);
        break;
    case commands::ViewToolBar:
        m_toolBar->setVisible(!m_toolBar->isVisible());
        break;
    case commands::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    }
}

void MainFrame::requestExit()
{
    if (m_fullScreen) {
        setFullScreenMode(false);
        return;
    }
    const std::string text = engine::format(engine::msg::text(engine::msg::Id::ExitConfirm), {version().productName});
    const platform::Answer answer = platform::messageBox(text, engine::msg::text(engine::msg::Id::ExitConfirmCaption),
                                                         platform::Buttons::YesNo, platform::Icon::Question,
                                                         platform::Owner::MainWindow);
    if (answer == platform::Answer::Yes)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainFrame::showAbout()
{
    // A parent-owned dialog: modal for a person, merely shown when nobody may be waited for.
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName("aboutBox");
    dialog->setWindowTitle(catalogue(engine::msg::Id::AboutCaption));
    auto* layout = new QGridLayout(dialog);
    auto* icon = new QLabel(dialog);
    icon->setPixmap(windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                                          : windowIcon().pixmap(32, 32));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    auto* text = new QLabel(platform::cp932ToQString(versionText()), dialog);
    text->setObjectName("versionText");
    layout->addWidget(text, 0, 1);
    layout->addWidget(new QLabel(catalogue(engine::msg::Id::AboutNotice), dialog), 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons, 2, 0, 1, 2, Qt::AlignRight);
    if (platform::nonInteractive())
        dialog->show();
    else
        dialog->exec();
}

void MainFrame::setFullScreenMode(bool on)
{
    if (on == m_fullScreen)
        return;
    if (on) {
        m_pendingFrameRect.reset();
        m_restoreMargins = normalFrameMargins();
        m_fullScreen = true;
        m_restoreRect = normalGeometry();
        m_statusBarWasVisible = statusBar()->isVisible();
        m_toolBarWasVisible = m_toolBar->isVisible();
        menuBar()->hide();
        statusBar()->hide();
        m_toolBar->hide();
        emit fullScreenChanged(true);
        // The window manager keeps a full-screen window above desktop panels.
        showFullScreen();
        activateWindow();
        return;
    }
    m_menuByMouse = false;
    m_menuBySysCommand = false;
    m_fullScreen = false;
    menuBar()->show();
    statusBar()->setVisible(m_statusBarWasVisible);
    m_toolBar->setVisible(m_toolBarWasVisible);
    emit fullScreenChanged(false);
    showNormal();
    setGeometry(m_restoreRect);
    activateWindow();
}

QMargins MainFrame::normalFrameMargins() const
{
    if (m_fullScreen)
        return m_restoreMargins;
    const QRect outer = frameGeometry(), inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

void MainFrame::setNormalFrameRect(const QRect& outer)
{
    const QMargins m = normalFrameMargins();
    m_pendingFrameRect.reset();
    if (m.isNull())
        m_pendingFrameRect = outer;
    // A move places the frame's corner (the window manager adds the frame below and right of
    // it); the size is the client's.
    move(outer.topLeft());
    resize(std::max(0, outer.width() - m.left() - m.right()), std::max(0, outer.height() - m.top() - m.bottom()));
}

void MainFrame::applyPendingFrameRect()
{
    if (!m_pendingFrameRect || m_fullScreen || isMaximized() || isMinimized() || normalFrameMargins().isNull())
        return;
    const QRect outer = *m_pendingFrameRect;
    setNormalFrameRect(outer);
}

void MainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    applyPendingFrameRect();
}

void MainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyPendingFrameRect();
}

void MainFrame::setMenuByMouse(bool on)
{
    if (!m_fullScreen || on == m_menuByMouse)
        return;
    m_menuByMouse = on;
    applyFullScreenBars();
}

void MainFrame::applyFullScreenBars()
{
    const bool show = menuRequested();
    menuBar()->setVisible(show);
    m_toolBar->setVisible(show && m_toolBarWasVisible);
}

int MainFrame::characterCommand(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return 0;
    const QString text = event.text();
    return text == "+" ? commands::ZoomIn : text == "-" ? commands::ZoomOut : 0;
}

void MainFrame::keyPressEvent(QKeyEvent* event)
{
    const int id = characterCommand(*event);
    if (id != 0) {
        QAction* a = action(id);
        refreshStates({a});
        if (a->isEnabled())
            runCommand(id);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainFrame::addToolWindow(QWidget* window) { m_toolWindows.push_back({window, false}); }

void MainFrame::bringWindowsForward()
{
    for (ToolWindow& t : m_toolWindows) {
        if (t.window && t.window->isVisible())
            t.window->raise();
    }
    raise();
}

void MainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized()) {
        for (ToolWindow& t : m_toolWindows) {
            if (t.window && t.window->isVisible()) {
                t.window->hide();
                t.hiddenByMinimise = true;
            }
        }
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (!(change->oldState() & Qt::WindowMinimized))
        return;
    for (ToolWindow& t : m_toolWindows) {
        if (t.window && t.hiddenByMinimise) {
            t.window->setAttribute(Qt::WA_ShowWithoutActivating);
            t.window->show();
        }
        t.hiddenByMinimise = false;
    }
    raise();
}

}  // namespace app
