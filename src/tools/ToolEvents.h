#pragma once

// What the tool windows report to the script layer. The windows are plain widgets; whoever runs
// the scripts installs a listener, and without one (no interpreter) every report is dropped.
namespace tools {

enum class GridEvent {
    Click,        // left button released after a press on a cell
    DoubleClick,  // a cell double-clicked
    RightClick,   // right button on a cell, or (-1, -1) outside all cells
    Key,          // a key went down while a focus cell exists
};

class ScriptListener {
public:
    virtual ~ScriptListener() = default;
    // True when a script function received the notification.
    virtual bool gridNotify(int viewId, GridEvent event, int row, int col, int key) = 0;
    // The Cancel button of progress view `serial`; true when the cancel function ran without error.
    virtual bool progressCancel(int serial) = 0;
};

// The listener, or null (none installed).
void setScriptListener(ScriptListener* listener) noexcept;
ScriptListener* scriptListener() noexcept;

// Whether tool windows may be made at all: false until the interactive application enables it,
// so batch runs make none.
void setWindowsAvailable(bool available) noexcept;
bool windowsAvailable() noexcept;

}  // namespace tools
