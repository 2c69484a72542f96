#include "Application.h"

#include "HostLibraries.h"
#include "MainFrame.h"

#include "engine/Messages.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"

#include <QAbstractEventDispatcher>
#include <QApplication>

#include <clocale>
#include <ctime>

namespace app {
namespace {

void failureBox(engine::msg::Id id)
{
    platform::messageBox(engine::msg::text(id), engine::msg::text(engine::msg::Id::ApplicationName),
                         platform::Buttons::Ok, platform::Icon::Warning, platform::Owner::None);
}

}  // namespace

Application::Application(CommandLine commandLine, std::string moduleFolder)
    : m_commandLine(std::move(commandLine)), m_moduleFolder(std::move(moduleFolder))
{
}

Application::~Application() { shutdown(); }

bool Application::start()
{
    // Qt sets the locale from the environment; scripts expect the C locale.
    std::setlocale(LC_ALL, "C");
    tzset();

    m_engine = std::make_unique<engine::ScriptEngine>(hostLibraries(), engine::ScriptEngine::Streams::Queued);
    if (!m_engine->open()) {
        failureBox(engine::msg::Id::EngineInitFailed);
        return false;
    }

    const std::string scriptFolder = platform::joinScriptPath(m_moduleFolder, "script");
    (void)platform::setCurrentDirectory(scriptFolder);
    if (!m_engine->runFile(platform::joinScriptPath(scriptFolder, "start.lua"))) {
        failureBox(engine::msg::Id::AppInitFailed);
        return false;
    }
    (void)platform::setCurrentDirectory(m_moduleFolder);

    m_frame = std::make_unique<MainFrame>();
    platform::setMainWindow(m_frame.get());

    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Application::idle);

    m_engine->callWithTable("onInitializeApp", m_commandLine.fileArguments);

    m_frame->show();
    m_frame->update();
    return true;
}

void Application::idle()
{
    if (!m_engine)
        return;
    std::string output = m_engine->takeOutput();
    if (output.empty())
        return;
    if (engine::Console* console = m_engine->console(false))
        console->appendText(output);
}

void Application::destroyMainFrame()
{
    if (!m_frame)
        return;
    if (m_engine)
        m_engine->callWithStrings("onReleaseApp");
    platform::setMainWindow(nullptr);
    m_frame.reset();
}

void Application::exitInstance()
{
    if (m_engine) {
        m_engine->close();
        m_engine.reset();
    }
}

void Application::shutdown()
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        disconnect(dispatcher, nullptr, this, nullptr);
    destroyMainFrame();
    exitInstance();
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
