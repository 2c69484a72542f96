#pragma once

#include <string_view>

namespace engine {

// Where `print` writes and what `os.execute` shows: the script console window in the GUI,
// standard output in batch mode.
class Console {
public:
    virtual ~Console() = default;
    // Appends code page 932 text at the end and keeps the end visible.
    virtual void appendText(std::string_view text) = 0;
    virtual void showWindow() = 0;
    // Takes the output waiting in the engine's queue now, while a host call (os.execute) keeps
    // the event loop from running its idle passes.
    virtual void drainOutput() {}
};

}  // namespace engine
