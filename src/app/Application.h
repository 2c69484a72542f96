#pragma once

#include "CommandLine.h"

#include "engine/ScriptEngine.h"

#include <QObject>

#include <memory>
#include <string>

namespace app {

class MainFrame;

// The application object: start-up, the event loop's idle pass, and shut-down.
class Application : public QObject {
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
    const std::string& moduleFolder() const noexcept { return m_moduleFolder; }

    // One idle pass: script output goes to the console, or is dropped while there is none.
    void idle();

private:
    void destroyMainFrame();
    void exitInstance();

    CommandLine m_commandLine;
    std::string m_moduleFolder;
    std::unique_ptr<engine::ScriptEngine> m_engine;
    // Top-level window without a Qt parent, so this owner is its only one.
    std::unique_ptr<MainFrame> m_frame;
};

}  // namespace app
