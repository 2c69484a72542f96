#include "app/Application.h"
#include "app/Batch.h"
#include "app/CommandLine.h"

#include "platform/Allocator.h"
#include "platform/Environment.h"
#include "platform/Paths.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    platform::keepLargeBlocksInHeap();
    // Taken before Qt removes the parameters it understands.
    const std::vector<std::string> args(argv, argv + argc);
    const app::CommandLine commandLine = app::parseCommandLine(args);

    // Batch runs need no display.
    platform::prepareSession(commandLine.batch);
    if (commandLine.batch) {
        QApplication qt(argc, argv);
        return app::runBatch(commandLine);
    }

    QApplication qt(argc, argv);
    app::Application application(commandLine, platform::moduleFolder());
    return application.run();
}
