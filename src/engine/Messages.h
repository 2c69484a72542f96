#pragma once

#include <string>

// The catalogue of the system's own texts. The table holds them in UTF-8 so the source stays
// readable; callers get code page 932, the form scripts and the string table use.
namespace engine::msg {

enum class Id {
    ApplicationName,
    ArgBad,
    ArgBadSelf,
    ArgTypeMismatch,
    ArgValueExpected,
    StackOverflow,
    CannotReadFile,
    ToStringNotText,
    NotEnoughMemory,
    ScriptErrorCaption,
    ErrorWithNoMessage,
    SyntaxErrorReport,
    MemoryErrorReport,
    RuntimeErrorReport,
    EngineInitFailed,
    AppInitFailed,
    ExitConfirm,
    ExitConfirmCaption,
    AboutCaption,
    AboutText,
    AboutNotice,
    ErrorCaption,
    MenuHelp,
    MenuAbout,
    BatchUsage,
    BatchScriptMissing,
    InvalidBufferHandle,
    BufferNotOpen,
    InvalidSurfaceHandle,
    SurfaceNotOpen,
    InvalidFile,
    FileNotOpen,
    Count
};

// The text in code page 932.
const std::string& text(Id id);
// The text in UTF-8, as written in the table.
const char* utf8(Id id);

}  // namespace engine::msg
