#pragma once

#include "CommandLine.h"
#include "MainFrame.h"

#include "engine/ScriptEngine.h"
#include "view/ViewLayout.h"

#include <QObject>

#include <memory>
#include <string>

namespace gfx {
class NxSurface;
}

namespace view {
class ImageView;
}

namespace app {

// The application object: start-up, commands, the view state, the idle pass and shut-down.
class Application : public QObject, public CommandTarget {
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

    engine::ScriptEngine* engine() const noexcept { return m_engine.get(); }
    MainFrame* mainFrame() const noexcept { return m_frame.get(); }
    view::ImageView* imageView() const noexcept { return m_view; }
    const std::string& moduleFolder() const noexcept { return m_moduleFolder; }

    // One idle pass: script output goes to the console, or is dropped while there is none;
    // the toolbar's states are refreshed.
    void idle();

    // CommandTarget
    bool execute(int id) override;
    void update(int id, State& state) override;

    // The view state, and the operations that change it and lay the view out again.
    const view::ViewState& viewState() const noexcept { return m_viewState; }
    void setAdjustMode(int mode);
    void setScaling(double scaling);
    void setLinearFilter(bool on);
    void setWheelRate(double rate);
    void setBackgroundColour(uint32_t colour);
    void setFrontImage(gfx::NxSurface* surface);
    void setBackgroundImage(gfx::NxSurface* surface);
    gfx::NxSurface* frontImage() const;
    gfx::NxSurface* backgroundImage() const;

private:
    void createMainFrame();
    void destroyMainFrame();
    void exitInstance();
    void raise(const char* event);

    CommandLine m_commandLine;
    std::string m_moduleFolder;
    std::unique_ptr<engine::ScriptEngine> m_engine;
    view::ViewState m_viewState;
    // Top-level window without a Qt parent, so this owner is its only one.
    std::unique_ptr<MainFrame> m_frame;
    view::ImageView* m_view = nullptr;  // owned by the frame
};

}  // namespace app
