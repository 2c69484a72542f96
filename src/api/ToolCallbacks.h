#pragma once

#include "tools/ToolEvents.h"

namespace engine {
class ScriptEngine;
}

namespace api {

// Delivers the tool windows' notifications to the script: grid callbacks from the table in the
// registry under "gridview-<id>", cancel functions under "pvcancel-<serial>". Nothing is
// delivered once a callback has failed (the engine's error latch) or while the engine is closed.
class ToolCallbacks final : public tools::ScriptListener {
public:
    explicit ToolCallbacks(engine::ScriptEngine& engine) : m_engine(engine) {}

    bool gridNotify(int viewId, tools::GridEvent event, int row, int col, int key) override;
    bool progressCancel(int serial) override;

private:
    engine::ScriptEngine& m_engine;
};

// The registry keys of the callbacks of grid view `id` and of progress view `serial`.
const char* gridCallbackKey(int id, char (&buffer)[32]);
const char* cancelKey(int serial, char (&buffer)[32]);

}  // namespace api
