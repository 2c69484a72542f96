#pragma once

// What the viewer benchmarks share: a scratch folder, the program's folder as installed, the
// viewer started on a file or folder, and a main that runs the benchmarks under Qt.

#include "app/Application.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace benchmark {
class State;
}

namespace bench {

// A folder of this process's own under the system's temporary folder, removed by runViewerBenchmarks.
const std::filesystem::path& benchRoot();

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The shipped start-up script, with the bundled plug-ins beside it when the benchmark was
// built with SELVARIN_PLUGIN_DIR; settings go to a folder of benchRoot().
std::filesystem::path moduleFolder();

// The viewer as started on `argument`; nullptr when start-up failed.
std::unique_ptr<app::Application> startViewer(const std::filesystem::path& argument);
void stopViewer(std::unique_ptr<app::Application>& application);

// The view at width x height, with the events that makes handled.
void setFrame(app::Application& application, int width, int height);

// From nothing to the viewer started on `argument` with its picture painted; the counter
// first_paint_ms tells when the first paint of a picture began. The shutdown is outside the
// measurement.
void measureStartUp(benchmark::State& state, const std::filesystem::path& argument);

// Runs the benchmarks named on the command line offscreen (unless told otherwise), as the
// program itself sets up memory; `beforeQtEnds` ends what still needs Qt.
int runViewerBenchmarks(int argc, char** argv, const std::function<void()>& beforeQtEnds);

}  // namespace bench
