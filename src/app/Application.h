#pragma once

#include "CommandLine.h"
#include "MainFrame.h"
#include "WindowPlacement.h"

#include "api/ViewHost.h"
#include "engine/ScriptEngine.h"
#include "tools/ConsoleFrame.h"
#include "tools/FileListFrame.h"
#include "tools/WorkSpaceFrame.h"
#include "view/ViewLayout.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace gfx {
class NxSurface;
}

namespace view {
class ImageView;
}

namespace api {
class ToolCallbacks;
}

namespace app {

// The application object: start-up, commands, the view state, the idle pass and shut-down.
class Application : public QObject, public CommandTarget, public api::ViewHost {
    Q_OBJECT
public:
    // `moduleFolder` is the folder of the executable in script form; its `script` folder holds
    // start.lua.
    Application(CommandLine commandLine, std::string moduleFolder);
    ~Application() override;

    // Start-up up to the shown main window; false when the program must end.
    bool start();
    // Raises onReleaseApp while the main window still exists, destroys it, then releases the
    // engine. Safe to call more than once.
    void shutdown();
    // start(), the event loop, shutdown(); the process's exit code.
    int run();
    // How long a script may run inside one event without the event loop turning before the
    // viewer offers to stop it; set before start().
    void setStallInterval(std::chrono::milliseconds interval) noexcept { m_stallInterval = interval; }
    static constexpr std::chrono::milliseconds kDefaultStallInterval{10000};

    engine::ScriptEngine* engine() const noexcept { return m_engine.get(); }
    MainFrame* mainFrame() const noexcept { return m_frame.get(); }
    view::ImageView* imageView() const noexcept { return m_view; }
    // The file list window (a child of the main frame), or null.
    tools::CFileListFrame* fileList() const noexcept { return m_fileList; }
    // The console and the workspace (children of the main frame), or null.
    tools::CConsoleFrame* console() const noexcept { return m_console; }
    tools::CWorkSpaceFrame* workspace() const noexcept { return m_workspace; }
    const std::string& moduleFolder() const noexcept { return m_moduleFolder; }

    // One idle pass: script output goes to the console, or is dropped while there is none;
    // the toolbar's states are refreshed.
    void idle();
    // The script output waiting in the engine's queue goes to the console (dropped without one).
    void drainOutput();

    // CommandTarget
    bool execute(int id) override;
    void update(int id, State& state) override;

    // The view state, and the operations that change it and lay the view out again.
    const view::ViewState& viewState() const noexcept { return m_viewState; }
    void setAdjustMode(int mode) override;
    int adjustMode() const override { return m_viewState.adjustMode; }
    void setScaling(double scaling) override;
    double scaling() const override { return m_viewState.scaling; }
    void setLinearFilter(bool on) override;
    bool linearFilter() const override { return m_viewState.linearFilter; }
    void setWheelRate(double rate) override;
    double wheelRate() const override { return m_viewState.wheelRate; }
    void setBackgroundColour(uint32_t colour) override;
    uint32_t backgroundColour() const override { return m_viewState.backgroundColour; }
    void setFrontImage(gfx::NxSurface* surface) override;
    void setBackgroundImage(gfx::NxSurface* surface) override;
    gfx::NxSurface* frontImage() const;
    gfx::NxSurface* backgroundImage() const;

    // The frame and windows as scripts reach them.
    bool setStatusText(std::string_view text) override;
    void setFrameTitle(std::string_view text) override;
    std::string frameTitle() const override { return m_frameTitle; }
    std::optional<std::string> mainWindowMode() const override;
    void setMainWindowMode(std::string_view mode) override;
    std::optional<api::WindowRect> windowRect(std::string_view name) const override;
    void setWindowRect(std::string_view name, const api::WindowRect& rect) override;
    bool drawScreen(const gfx::NxSurface& surface) override;

private:
    struct Command;
    class ConsoleBridge;
    static std::span<const Command> commandTable();
    static const Command* findCommand(int id);

    void createMainFrame();
    void createToolWindows();
    void createFileList();
    void toggleFileList();
    // Creates the console or the workspace when it does not exist yet (a failure is shown once
    // and disables both), and shows it when asked.
    template <typename Frame>
    void openEditorFrame(QPointer<Frame>& frame, std::string_view name, bool show);
    template <typename Frame>
    void toggleEditorFrame(QPointer<Frame>& frame, std::string_view name);
    void openConsole(bool show);
    void watchForStalls();
    void showHelp();
    void reportStartAndQuit();
    // Shows the hidden main window for the first picture of start-up, once framed and placed.
    void showFrameEarly();
    // How long that waits for a window manager at most.
    static constexpr std::chrono::milliseconds kExposeWait{500};
    void destroyMainFrame();
    void exitInstance();
    void raise(const char* event, std::optional<std::string_view> text = std::nullopt);
    // Page turns (the view's own, and the commands from menus, toolbar and accelerators) wait in
    // a queue until the input that came with them has been handled; each then reaches the script
    // with the number of turns still queued behind it, so that it need not decode a picture the
    // user is only passing over. Any other event or command first delivers them (the event
    // filter sees input elsewhere).
    void queueTurn(const char* event);
    void deliverTurns();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Input the view handles first (its own, or what it passed on to its window).
    bool isViewInput(QObject* watched, QEvent* event) const;
    // An accelerator or a toolbar button of a page turn: it joins the queue.
    static bool isTurnInput(QObject* watched, QEvent* event);

    CommandLine m_commandLine;
    std::string m_moduleFolder;
    std::unique_ptr<engine::ScriptEngine> m_engine;
    std::chrono::milliseconds m_stallInterval = kDefaultStallInterval;
    view::ViewState m_viewState;
    std::string m_frameTitle;  // code page 932
    // Top-level window without a Qt parent, so this owner is its only one.
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<WindowPlacement> m_placement;  // lives as long as the frame
    view::ImageView* m_view = nullptr;  // owned by the frame
    QPointer<tools::CFileListFrame> m_fileList;  // owned by the frame
    QPointer<tools::CConsoleFrame> m_console;    // owned by the frame
    QPointer<tools::CWorkSpaceFrame> m_workspace;  // owned by the frame
    // False once the editing component could not be made: the console and workspace commands
    // stay disabled and script output is dropped.
    bool m_editorAvailable = true;
    std::unique_ptr<ConsoleBridge> m_consoleBridge;
    std::unique_ptr<api::ToolCallbacks> m_toolCallbacks;
    std::deque<const char*> m_turns;
    bool m_turnsPosted = false;
    bool m_deliveringTurns = false;
    bool m_initializing = false;  // onInitializeApp is running
};

}  // namespace app
