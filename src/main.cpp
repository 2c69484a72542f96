#include "app/Application.h"
#include "app/Batch.h"
#include "app/CommandLine.h"

#include "platform/Allocator.h"
#include "platform/Paths.h"

#include <QApplication>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Batch runs need no display; without one, Qt's offscreen platform stands in.
void chooseHeadlessPlatform()
{
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace

int main(int argc, char** argv)
{
    platform::keepLargeBlocksInHeap();
    // Taken before Qt removes the parameters it understands.
    const std::vector<std::string> args(argv, argv + argc);
    const app::CommandLine commandLine = app::parseCommandLine(args);

    if (commandLine.batch) {
        chooseHeadlessPlatform();
        QApplication qt(argc, argv);
        return app::runBatch(commandLine);
    }

    QApplication qt(argc, argv);
    app::Application application(commandLine, platform::moduleFolder());
    return application.run();
}
