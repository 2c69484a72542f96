#pragma once

#include <QKeySequence>

#include <span>

// The main window's commands: their numbers, menu, toolbar, accelerators and strings.
namespace app::commands {

enum Id : int {
    OperatePager = 32773,
    OperateViewer = 32774,
    AdjustLessor = 32775,
    AdjustGreator = 32776,
    AdjustWidth = 32777,
    AdjustHeight = 32778,
    AdjustNone = 32779,
    Scale50 = 32780,
    Scale25 = 32781,
    Scale75 = 32782,
    Scale100 = 32783,
    Scale150 = 32784,
    Scale200 = 32785,
    Scale400 = 32786,
    NextImage = 32787,
    PrevImage = 32788,
    LinearFilter = 32789,
    FileList = 32790,
    FullScreen = 32792,
    ImageOnlyInFullScreen = 32795,
    OpenFolder = 32798,
    ExitRequest = 32803,
    BgWhite = 32804,
    BgBlack = 32805,
    BgPattern = 32806,
    Console = 32807,
    Workspace = 32808,
    WheelSlow = 32809,
    WheelNormal = 32810,
    WheelFast = 32811,
    StartupOpenLastFile = 32814,
    ZoomIn = 32826,
    ZoomOut = 32827,
    HelpContents = 32828,
    ShowStopDialog = 32829,
    FileNew = 57600,
    FileOpen = 57601,
    FileSaveAs = 57604,
    PrintSetup = 57606,
    Print = 57607,
    PrintPreview = 57609,
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
    About = 57664,
    AppExit = 57665,
    NextPane = 57680,
    PrevPane = 57681,
    ViewToolBar = 59392,
    ViewStatusBar = 59393,
};

// One command's string-table entry: the status-bar prompt and the tooltip (UTF-8).
struct CommandStrings {
    int id;
    const char* prompt;
    const char* tooltip;
};

// A row of the menu: a submenu opens (id 0, caption), closes (id 0, no caption), a separator
// (id -1) or an item.
struct MenuRow {
    int depth;
    int id;
    const char* caption;
};

struct Accelerator {
    QKeySequence keys;
    int id;
};

// Strings of the table that belong to no command.
enum StringId : int {
    IdleMessage = 57345,
    IndicatorCaps = 59137,
    IndicatorNum = 59138,
    IndicatorScroll = 59139,
    IndicatorPages = 59142,
};
// The UTF-8 text of string `id`.
const char* text(StringId id);
// The status bar's panes after the stretching message pane, in order.
std::span<const StringId> indicators();

std::span<const CommandStrings> strings();
const CommandStrings* stringsOf(int id);
std::span<const MenuRow> menu();
// Toolbar buttons in order; 0 is a separator.
std::span<const int> toolbar();
std::span<const Accelerator> accelerators();
// Every command the main window knows, menu or not.
std::span<const int> all();

}  // namespace app::commands
