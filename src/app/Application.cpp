#include "Application.h"

#include "Commands.h"
#include "HostLibraries.h"

#include "api/ToolCallbacks.h"
#include "engine/ErrorReporter.h"
#include "engine/Format.h"
#include "engine/Messages.h"
#include "image/ScriptSurface.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Locale.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "tools/FileListFrame.h"
#include "tools/ToolEvents.h"
#include "view/ImageView.h"
#include "view/KeyNames.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <cstdio>

namespace app {
namespace {

void failureBox(engine::msg::Id id)
{
    platform::messageBox(engine::msg::text(id), engine::msg::text(engine::msg::Id::ApplicationName),
                         platform::Buttons::Ok, platform::Icon::Warning, platform::Owner::None);
}

// Script errors are boxes owned by the main window; a command that could not start is a box
// of its own.
void showErrorBox(const engine::ErrorReport& report)
{
    const bool script = report.source == engine::ErrorSource::Script;
    platform::messageBox(report.text, report.caption, platform::Buttons::Ok,
                         script ? platform::Icon::None : platform::Icon::Information,
                         script ? platform::Owner::MainWindow : platform::Owner::None);
}

bool isTurnCommand(int id) { return id == commands::NextImage || id == commands::PrevImage; }

// Shows a tool window in front of the others.
void showTool(QWidget* window)
{
    window->showNormal();
    window->raise();
    window->activateWindow();
}

}  // namespace

// What `print` and os.execute reach: the console window while it exists.
class Application::ConsoleBridge : public engine::Console {
public:
    explicit ConsoleBridge(Application& app) : m_app(app) {}

    void appendText(std::string_view text) override
    {
        if (m_app.m_console)
            m_app.m_console->appendText(text);
    }
    void showWindow() override { m_app.openConsole(true); }
    void drainOutput() override
    {
        m_app.drainOutput();
        // The event loop waits for the child process: show what came now and then.
        if (m_app.m_console && m_app.m_console->isVisible() && (!m_painted.isValid() || m_painted.elapsed() >= 100)) {
            m_app.m_console->repaint();
            m_painted.start();
        }
    }

private:
    Application& m_app;
    QElapsedTimer m_painted;
};

Application::Application(CommandLine commandLine, std::string moduleFolder)
    : m_commandLine(std::move(commandLine)),
      m_moduleFolder(std::move(moduleFolder)),
      m_frameTitle(engine::msg::text(engine::msg::Id::ApplicationName))
{
}

Application::~Application() { shutdown(); }

bool Application::start()
{
    // Qt sets the locale from the environment; scripts expect the C locale.
    platform::useScriptLocale();
    platform::installQtTranslations();
    platform::useJapaneseInterfaceFont();

    api::setViewHost(this);
    engine::setErrorReporter(showErrorBox);
    // Scripts keep their settings there; a failure only means they cannot.
    (void)platform::ensureConfigFolder();
    m_engine = std::make_unique<engine::ScriptEngine>(hostLibraries(), engine::ScriptEngine::Streams::Queued);
    if (!m_engine->open()) {
        failureBox(engine::msg::Id::EngineInitFailed);
        return false;
    }
    watchForStalls();
    // Tool-window callbacks reach this engine; the start-up script may already make windows.
    m_toolCallbacks = std::make_unique<api::ToolCallbacks>(*m_engine);
    m_consoleBridge = std::make_unique<ConsoleBridge>(*this);
    m_engine->setConsoleProvider([this](bool create) -> engine::Console* {
        if (create)
            openConsole(false);
        return m_console ? m_consoleBridge.get() : nullptr;
    });
    tools::setScriptListener(m_toolCallbacks.get());
    tools::setWindowsAvailable(true);

    const std::string scriptFolder = platform::joinScriptPath(m_moduleFolder, "script");
    (void)platform::setCurrentDirectory(scriptFolder);
    if (!m_engine->runFile(platform::joinScriptPath(scriptFolder, "start.lua"))) {
        failureBox(engine::msg::Id::AppInitFailed);
        return false;
    }
    (void)platform::setCurrentDirectory(m_moduleFolder);

    createMainFrame();
    createToolWindows();

    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Application::idle);

    qApp->installEventFilter(this);
    m_initializing = true;
    m_engine->callWithTable("onInitializeApp", m_commandLine.fileArguments);
    m_initializing = false;

    m_frame->show();
    m_frame->update();
    if (!platform::environmentValue("SELVARIN_REPORT_START").value_or("").empty())
        reportStartAndQuit();
    return true;
}

void Application::reportStartAndQuit()
{
    // A check of an installed program without a screen: what start-up showed goes to standard
    // output, then the program closes as at a normal exit. Pictures loaded later by the script
    // (a folder listing) are waited for a while.
    auto* timer = new QTimer(this);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    connect(timer, &QTimer::timeout, this, [this, timer, waited] {
        const gfx::NxSurface* shown = frontImage();
        if (!shown && waited->elapsed() < 10000)
            return;
        timer->stop();
        std::printf("title: %s\n", m_frame ? m_frame->windowTitle().toUtf8().constData() : "");
        if (shown)
            std::printf("image: %dx%d\n", shown->width(), shown->height());
        else
            std::printf("image: none\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    timer->start(50);
}

void Application::watchForStalls()
{
    const std::chrono::milliseconds interval = m_stallInterval;
    m_engine->setStallCheck(interval, [interval]() -> std::optional<std::string> {
        const int seconds = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(interval).count());
        const platform::Answer answer = platform::messageBox(
            engine::format(engine::msg::text(engine::msg::Id::ScriptStalled), {seconds}),
            engine::msg::text(engine::msg::Id::ApplicationName), platform::Buttons::YesNo, platform::Icon::Warning,
            platform::Owner::MainWindow);
        if (answer != platform::Answer::Yes)
            return std::nullopt;
        return engine::msg::text(engine::msg::Id::ScriptStopped);
    });
    // Every turn of any event loop (a dialog's, a script pumping messages) restarts the clock.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        auto turned = [this] {
            if (m_engine)
                m_engine->noteEventLoop();
        };
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, turned);
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, turned);
    }
}

void Application::createMainFrame()
{
    m_frame = std::make_unique<MainFrame>(this);
    m_placement = std::make_unique<WindowPlacement>(*m_frame);
    m_frame->setWindowTitle(platform::cp932ToQString(m_frameTitle));
    platform::setMainWindow(m_frame.get());

    view::ImageView::Callbacks callbacks;
    callbacks.nextImage = [this] { queueTurn("onNextImage"); };
    callbacks.previousImage = [this] { queueTurn("onPrevImage"); };
    callbacks.filesDropped = [this](const std::vector<std::string>& paths) {
        raise("onNewFileList");
        if (m_engine)
            m_engine->callWithTable("onAddFile", paths);
    };
    MainFrame* frame = m_frame.get();
    callbacks.fullScreenPointer = [frame](int y) {
        const bool atTop = y < frame->menuBar()->sizeHint().height();
        frame->setMenuByMouse(atTop);
        return atTop;
    };
    callbacks.ignoreSizeChanges = [frame] { return frame->isFullScreenMode() && frame->menuRequested(); };
    callbacks.fullScreen = [frame] { return frame->isFullScreenMode(); };
    // Keys the frame's accelerators take never reach the script.
    callbacks.keyDown = [this](const QKeyEvent& event) {
        const std::string name = view::keyName(event.key(), event.text());
        if (!m_engine || name.empty() || MainFrame::characterCommand(event) != 0)
            return false;
        deliverTurns();
        bool handled = false;
        return m_engine->queryBool("onKeyDown", handled, {name, view::modifierText(event.modifiers())}) && handled;
    };
    m_view = new view::ImageView(m_viewState, std::move(callbacks), m_frame.get());
    m_frame->setCentralWidget(m_view);
    connect(m_frame.get(), &MainFrame::fullScreenChanged, m_view, &view::ImageView::setCursorHidden);
    m_view->initialUpdate(platform::readProfileInt(platform::profilePath(), "Setting", "OperateMode", 0));
    m_view->setFocus();
    m_frame->refreshStates();

    // A script that releases a picture the view shows: the view lets go of it first.
    image::setSurfaceReleaseHook([this](const gfx::NxSurface& surface) {
        if (frontImage() == &surface)
            setFrontImage(nullptr);
        if (backgroundImage() == &surface)
            setBackgroundImage(nullptr);
    });
}

void Application::createToolWindows()
{
    openConsole(false);
    openEditorFrame(m_workspace, "workspace", false);
    createFileList();
}

template <typename Frame>
void Application::openEditorFrame(QPointer<Frame>& frame, std::string_view name, bool show)
{
    if (!frame) {
        if (!m_frame || !m_editorAvailable)
            return;
        frame = Frame::create(m_frame.get());
        if (!frame) {
            m_editorAvailable = false;
            platform::messageBox(engine::msg::text(engine::msg::Id::EditorInitFailed),
                                 engine::msg::text(engine::msg::Id::EditorErrorCaption), platform::Buttons::Ok,
                                 platform::Icon::Error, platform::Owner::None);
            return;
        }
        // Made hidden; the frame hides and shows it with itself.
        m_frame->addToolWindow(frame);
        m_placement->setToolWindow(name, frame);
    }
    if (show)
        showTool(frame);
}

template <typename Frame>
void Application::toggleEditorFrame(QPointer<Frame>& frame, std::string_view name)
{
    if (frame && frame->isVisible() && !frame->isMinimized())
        frame->hide();
    else
        openEditorFrame(frame, name, true);
}

void Application::openConsole(bool show) { openEditorFrame(m_console, "console", show); }

void Application::createFileList()
{
    // Made hidden; the frame hides and shows them with itself.
    m_fileList = new tools::CFileListFrame(m_frame.get());
    m_frame->addToolWindow(m_fileList);
    m_placement->setToolWindow("filelist", m_fileList);
    m_fileList->setCopyCommand([this] { m_frame->runCommand(commands::EditCopy); },
                               [this] {
                                   State state{true, false};
                                   update(commands::EditCopy, state);
                                   return state.enabled;
                               });
}

void Application::toggleFileList()
{
    if (!m_frame)
        return;
    if (!m_fileList)
        createFileList();
    if (m_fileList->isVisible() && !m_fileList->isMinimized()) {
        m_fileList->hide();
        return;
    }
    showTool(m_fileList);
}

void Application::raise(const char* event, std::optional<std::string_view> text)
{
    deliverTurns();
    if (m_engine)
        m_engine->callWithStrings(event, {text});
}

void Application::queueTurn(const char* event)
{
    // Presses that pile up while a picture is decoded (a held key's repeats, or many presses
    // at once) are worked off together once the input already waiting has been handled.
    m_turns.push_back(event);
    if (m_turnsPosted)
        return;
    m_turnsPosted = true;
    // A posted call runs after the input that is already waiting has been handled: key repeats
    // that piled up while a picture was decoded all join the queue first.
    QMetaObject::invokeMethod(this, [this] {
        m_turnsPosted = false;
        deliverTurns();
    }, Qt::QueuedConnection);
}

bool Application::isViewInput(QObject* watched, QEvent* event) const
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!m_view || !widget)
        return false;
    if (widget == m_view || m_view->isAncestorOf(widget))
        return true;
    if (!widget->isAncestorOf(m_view))
        return false;
    // What the view left to its window on the way up.
    if (event->type() == QEvent::KeyPress) {
        const QWidget* focus = QApplication::focusWidget();
        return focus && (focus == m_view || m_view->isAncestorOf(focus));
    }
    if (const auto* pointer = dynamic_cast<const QSinglePointEvent*>(event))
        return m_view->rect().contains(m_view->mapFromGlobal(pointer->globalPosition().toPoint()));
    return false;
}

bool Application::isTurnInput(QObject* watched, QEvent* event)
{
    const QAction* action = nullptr;
    if (event->type() == QEvent::Shortcut)
        action = qobject_cast<QAction*>(watched);
    else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        if (const auto* button = qobject_cast<QToolButton*>(watched))
            action = button->defaultAction();
    }
    return action && isTurnCommand(action->data().toInt());
}

bool Application::eventFilter(QObject* watched, QEvent* event)
{
    // Input anywhere but the view (where the turns come from, and whose other events deliver
    // them on their own way to the script) first works off the queued turns, so that none of
    // them happens after what the user did next.
    if (!m_turns.empty()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::Drop:
        case QEvent::Close:
            // A held accelerator's repeats, like the view's keys, pile up behind the turn
            // being decoded instead of each delivering the one before it.
            if (!isViewInput(watched, event) && !isTurnInput(watched, event))
                deliverTurns();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void Application::deliverTurns()
{
    // A script that pumps messages inside a turn adds to the queue this loop is working off.
    if (m_deliveringTurns)
        return;
    m_deliveringTurns = true;
    while (!m_turns.empty()) {
        const char* event = m_turns.front();
        m_turns.pop_front();
        // The turn the user lands on is raised without arguments, as a lone press always was,
        // so scripts that take none see no difference.
        if (!m_engine)
            continue;
        if (m_turns.empty())
            m_engine->callWithStrings(event, {});
        else
            m_engine->callWithNumber(event, static_cast<double>(m_turns.size()));
    }
    m_deliveringTurns = false;
}

void Application::drainOutput()
{
    if (!m_engine)
        return;
    const std::string output = m_engine->takeOutput();
    if (!output.empty() && m_console)
        m_console->appendOutput(output);
}

void Application::idle()
{
    if (!m_engine)
        return;
    drainOutput();
    if (m_frame)
        m_frame->refreshToolBar();
}

// One row per command of the application: what running it does and how its menu state is
// found. A command without a row, or a row without a state, leaves its item disabled.
struct Application::Command {
    int id;
    void (*execute)(Application& app, const Command& command);
    void (*update)(Application& app, const Command& command, State& state) = nullptr;
    const char* event = nullptr;     // the event execute raises
    const char* argument = nullptr;  // its text argument
    const char* query = nullptr;     // the script's state query
    double value = 0;                // the view-state value a choice sets
};

std::span<const Application::Command> Application::commandTable()
{
    using namespace commands;
    using C = const Command&;
    constexpr auto raiseEvent = [](Application& a, C c) {
        a.raise(c.event, c.argument ? std::optional<std::string_view>(c.argument) : std::nullopt);
    };
    constexpr auto queueTurn = [](Application& a, C c) { a.queueTurn(c.event); };
    constexpr auto enabled = [](Application&, C, State& s) { s.enabled = true; };
    // onUpdate_…() gives enabled.
    constexpr auto queryEnabled = [](Application& a, C c, State& s) {
        bool on = false;
        if (a.m_engine && a.m_engine->queryBool(c.query, on))
            s.enabled = on;
    };
    // onUpdate…() gives enabled and checked; enabled when the script says nothing.
    constexpr auto queryEnabledChecked = [](Application& a, C c, State& s) {
        bool on = false, checked = false;
        s.enabled = true;
        if (a.m_engine && a.m_engine->queryTwoBools(c.query, on, checked))
            s = {on, checked};
    };
    constexpr auto setAdjust = [](Application& a, C c) { a.setAdjustMode(static_cast<int>(c.value)); };
    constexpr auto adjustState = [](Application& a, C c, State& s) {
        s = {true, a.m_viewState.adjustMode == static_cast<int>(c.value)};
    };
    constexpr auto setScale = [](Application& a, C c) { a.setScaling(c.value); };
    constexpr auto scaleState = [](Application& a, C c, State& s) {
        s = {true, a.m_viewState.adjustMode == 0 && a.m_viewState.scaling == c.value};
    };
    constexpr auto setWheel = [](Application& a, C c) { a.setWheelRate(c.value); };
    constexpr auto wheelState = [](Application& a, C c, State& s) { s = {true, a.m_viewState.wheelRate == c.value}; };
    constexpr auto operate = [](Application& a, C c) {
        if (a.m_view)
            a.m_view->setOperateMode(static_cast<int>(c.value));
    };

    static constexpr Command kTable[] = {
        {AdjustLessor, setAdjust, adjustState, nullptr, nullptr, nullptr, 1},
        {AdjustGreator, setAdjust, adjustState, nullptr, nullptr, nullptr, 2},
        {AdjustWidth, setAdjust, adjustState, nullptr, nullptr, nullptr, 3},
        {AdjustHeight, setAdjust, adjustState, nullptr, nullptr, nullptr, 4},
        {AdjustNone, setAdjust, adjustState, nullptr, nullptr, nullptr, 0},
        {Scale25, setScale, scaleState, nullptr, nullptr, nullptr, 0.25},
        {Scale50, setScale, scaleState, nullptr, nullptr, nullptr, 0.5},
        {Scale75, setScale, scaleState, nullptr, nullptr, nullptr, 0.75},
        {Scale100, setScale, scaleState, nullptr, nullptr, nullptr, 1.0},
        {Scale150, setScale, scaleState, nullptr, nullptr, nullptr, 1.5},
        {Scale200, setScale, scaleState, nullptr, nullptr, nullptr, 2.0},
        {Scale400, setScale, scaleState, nullptr, nullptr, nullptr, 4.0},
        {WheelSlow, setWheel, wheelState, nullptr, nullptr, nullptr, 1.0},
        {WheelNormal, setWheel, wheelState, nullptr, nullptr, nullptr, 4.0},
        {WheelFast, setWheel, wheelState, nullptr, nullptr, nullptr, 8.0},
        {OpenFolder, raiseEvent, enabled, "onOpenFolder"},
        {FileOpen, raiseEvent, enabled, "onOpenFile"},
        {FileSaveAs, raiseEvent, queryEnabled, "onSaveFile", nullptr, "onUpdate_saveFile"},
        {EditCopy, raiseEvent, queryEnabledChecked, "onEditCopy", nullptr, "onUpdateEditCopy"},
        {NextImage, queueTurn, enabled, "onNextImage"},
        {PrevImage, queueTurn, enabled, "onPrevImage"},
        {StartupOpenLastFile, raiseEvent, queryEnabledChecked, "onStartupOpenLastFile", nullptr,
         "onUpdate_startupOpenLastFile"},
        {ShowStopDialog, raiseEvent, queryEnabledChecked, "onShowStopdialog", nullptr, "onUpdate_showStopdialog"},
        {BgPattern, raiseEvent, [](Application& a, C, State& s) { s = {true, a.backgroundImage() != nullptr}; },
         "onSetBgCheckMenu"},
        {BgWhite, raiseEvent,
         [](Application& a, C, State& s) {
             s = {true, !a.backgroundImage() && a.m_viewState.backgroundColour == 0xFFFFFF};
         },
         "onSetBgColor", "FFFFFF"},
        {BgBlack, raiseEvent,
         [](Application& a, C, State& s) { s = {true, !a.backgroundImage() && a.m_viewState.backgroundColour == 0}; },
         "onSetBgColor", "000000"},
        {ZoomIn, [](Application& a, C) { a.setScaling(view::zoomIn(a.m_viewState.scaling)); }, enabled},
        {ZoomOut, [](Application& a, C) { a.setScaling(view::zoomOut(a.m_viewState.scaling)); }, enabled},
        {LinearFilter, [](Application& a, C) { a.setLinearFilter(!a.m_viewState.linearFilter); },
         [](Application& a, C, State& s) { s = {true, a.m_viewState.linearFilter}; }},
        {OperatePager, operate, [](Application& a, C, State& s) { s = {true, a.m_view && a.m_view->operateMode() == 0}; },
         nullptr, nullptr, nullptr, 0},
        {FileList, [](Application& a, C) { a.toggleFileList(); },
         [](Application& a, C, State& s) {
             s = {true, a.m_fileList && a.m_fileList->isVisible() && !a.m_fileList->isMinimized()};
         }},
        {Console, [](Application& a, C) { a.toggleEditorFrame(a.m_console, "console"); },
         [](Application& a, C, State& s) {
             s = {a.m_editorAvailable, a.m_console && a.m_console->isVisible() && !a.m_console->isMinimized()};
         }},
        {Workspace, [](Application& a, C) { a.toggleEditorFrame(a.m_workspace, "workspace"); },
         [](Application& a, C, State& s) {
             s = {a.m_editorAvailable, a.m_workspace && a.m_workspace->isVisible() && !a.m_workspace->isMinimized()};
         }},
        // Runs, but has no state handler: its item stays disabled.
        {OperateViewer, operate, nullptr, nullptr, nullptr, nullptr, 1},
        // A new document runs the view's first update again.
        {FileNew,
         [](Application& a, C) {
             if (a.m_view)
                 a.m_view->initialUpdate(platform::readProfileInt(platform::profilePath(), "Setting", "OperateMode", 0));
         },
         enabled},
        {HelpContents, [](Application& a, C) { a.showHelp(); }, enabled},
    };
    return kTable;
}

void Application::showHelp()
{
    const std::string document = platform::helpDocument(m_moduleFolder);
    std::string message;
    if (document.empty())
        message = engine::format(engine::msg::text(engine::msg::Id::HelpMissing), {platform::htmlHelpPath(m_moduleFolder)});
    else if (!platform::openWithDesktop(document))
        message = engine::format(engine::msg::text(engine::msg::Id::HelpOpenFailed), {document});
    if (!message.empty())
        platform::messageBox(message, engine::msg::text(engine::msg::Id::ApplicationName), platform::Buttons::Ok,
                             platform::Icon::Warning, platform::Owner::MainWindow);
}

const Application::Command* Application::findCommand(int id)
{
    for (const Command& c : commandTable()) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

bool Application::execute(int id)
{
    const Command* command = findCommand(id);
    if (!command)
        return false;
    // A zoom or a mode change typed after some page turns applies to the page they land on.
    if (!isTurnCommand(id))
        deliverTurns();
    command->execute(*this, *command);
    return true;
}

void Application::update(int id, State& state)
{
    const Command* command = findCommand(id);
    if (command && command->update)
        command->update(*this, *command, state);
    else
        state.enabled = false;
}

void Application::setAdjustMode(int mode)
{
    m_viewState.adjustMode = mode;
    if (m_view)
        m_view->relayout();
}

void Application::setScaling(double scaling)
{
    m_viewState.scaling = scaling;
    m_viewState.adjustMode = view::AdjustNone;
    if (m_view)
        m_view->relayout();
}

void Application::setLinearFilter(bool on)
{
    m_viewState.linearFilter = on;
    // Attaching the same image again rebuilds its drawing parameters.
    if (m_view)
        m_view->setFrontImage(m_view->frontImage());
}

void Application::setWheelRate(double rate) { m_viewState.wheelRate = view::clampWheelRate(rate); }

void Application::setBackgroundColour(uint32_t colour)
{
    setBackgroundImage(nullptr);
    m_viewState.backgroundColour = colour;
}

void Application::setFrontImage(gfx::NxSurface* surface)
{
    if (!m_view)
        return;
    m_view->setFrontImage(surface);
    // The first picture a script shows at start-up is on the screen at once, while the script
    // goes on (listing the rest of a large folder), instead of when it has finished.
    if (surface && m_initializing && m_frame && !m_frame->isVisible())
        showFrameEarly();
}

void Application::showFrameEarly()
{
    m_frame->show();
    // A window manager frames the window before it is exposed: the size the script's outer
    // rectangle asked for is corrected then, so the picture is painted once, in a window of
    // the size it keeps, not in an empty one that changes size when the script has finished.
    // Input waits until the script has finished.
    QWindow* window = m_frame->windowHandle();
    QElapsedTimer waited;
    waited.start();
    QTimer wake;  // so that the wait below looks at the clock now and then
    wake.start(10);
    while (window && !window->isExposed() && !m_frame->isMinimized() && waited.elapsed() < kExposeWait.count())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    m_frame->applyPendingFrameRect();
    // The paint of what exposure or the correction left to do.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Application::setBackgroundImage(gfx::NxSurface* surface)
{
    if (m_view)
        m_view->setBackgroundImage(surface);
}

gfx::NxSurface* Application::frontImage() const { return m_view ? m_view->frontImage() : nullptr; }

gfx::NxSurface* Application::backgroundImage() const { return m_view ? m_view->backgroundImage() : nullptr; }

bool Application::setStatusText(std::string_view text)
{
    if (!m_frame)
        return false;
    m_frame->setStatusText(platform::cp932ToQString(text));
    m_frame->statusBar()->repaint();
    return true;
}

void Application::setFrameTitle(std::string_view text)
{
    m_frameTitle = text;
    if (m_frame)
        m_frame->setWindowTitle(platform::cp932ToQString(m_frameTitle));
}

std::optional<std::string> Application::mainWindowMode() const
{
    if (!m_placement)
        return std::nullopt;
    return m_placement->mainWindowMode();
}

void Application::setMainWindowMode(std::string_view mode)
{
    if (m_placement)
        m_placement->setMainWindowMode(mode);
}

std::optional<api::WindowRect> Application::windowRect(std::string_view name) const
{
    // The picture's area, so that a script can tell whether a picture fits.
    if (name == "view") {
        if (!m_view)
            return std::nullopt;
        const QWidget* area = m_view->viewport();
        const QPoint origin = area->mapToGlobal(QPoint(0, 0));
        return api::WindowRect{origin.x(), origin.y(), area->width(), area->height()};
    }
    return m_placement ? m_placement->windowRect(name) : std::nullopt;
}

void Application::setWindowRect(std::string_view name, const api::WindowRect& rect)
{
    if (m_placement)
        m_placement->setWindowRect(name, rect);
}

bool Application::drawScreen(const gfx::NxSurface& surface)
{
    return m_view && m_view->drawScreen(surface);
}

void Application::destroyMainFrame()
{
    if (!m_frame)
        return;
    if (m_engine)
        m_engine->callWithStrings("onReleaseApp");
    platform::setMainWindow(nullptr);
    image::setSurfaceReleaseHook({});
    m_view = nullptr;
    m_placement.reset();
    m_frame.reset();
}

void Application::exitInstance()
{
    // The view lets go of the pictures before the script objects that own them are collected.
    setFrontImage(nullptr);
    setBackgroundImage(nullptr);
    if (m_engine) {
        m_engine->close();
        tools::setScriptListener(nullptr);
        tools::setWindowsAvailable(false);
        m_toolCallbacks.reset();
        m_engine.reset();
    }
}

void Application::shutdown()
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        disconnect(dispatcher, nullptr, this, nullptr);
    if (qApp)
        qApp->removeEventFilter(this);
    // Turns still queued are the user's last input before quitting: they are dropped.
    m_turns.clear();
    // onReleaseApp still reaches the window and the view state through the host.
    destroyMainFrame();
    if (&api::viewHost() == this)
        api::setViewHost(nullptr);
    exitInstance();
    engine::setErrorReporter({});
}

int Application::run()
{
    if (!start()) {
        shutdown();
        return 1;
    }
    const int code = QApplication::exec();
    shutdown();
    return code;
}

}  // namespace app
