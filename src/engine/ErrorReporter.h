#pragma once

#include <functional>
#include <string_view>

// Failures that no script can catch (a script error at the top, os.execute unable to start its
// command) reach the user through the reporter the program installs: the application shows a
// message box, batch mode writes to standard error. The engine never shows a dialog itself.
namespace engine {

enum class ErrorSource { Script, Process };

struct ErrorReport {
    ErrorSource source;
    std::string_view caption;  // code page 932
    std::string_view text;     // code page 932
};

using ErrorReporter = std::function<void(const ErrorReport&)>;

// Installs `reporter` for the whole program; an empty function puts the standard-error one back.
void setErrorReporter(ErrorReporter reporter);

// Hands `report` to the installed reporter. A reporter may run an event loop (a modal box), so
// callers leave the interpreter's stack as other events may find it.
void reportError(const ErrorReport& report);

// The standard-error reporter: one UTF-8 line "MessageBox[<caption>]: <text>".
void reportToStandardError(const ErrorReport& report);

}  // namespace engine
