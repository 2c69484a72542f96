#pragma once

#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

// Modal dialogs. Texts and paths are code page 932, paths in script form. In non-interactive
// mode nothing waits for a person: a message box writes one line to standard error and answers
// with the first button of its set, file and folder dialogs count as cancelled and the
// four-button dialog as cancelled.
namespace platform {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
enum class Owner { None, MainWindow };

// The window that owns dialogs asked for with Owner::MainWindow; null when there is none.
void setMainWindow(QWidget* window);
QWidget* mainWindow();

// Loads Qt's own Japanese texts (standard buttons, file dialogs) once; the interface is
// Japanese whatever the session's locale. Nothing happens when they are not installed.
void installQtTranslations();

// Makes a proportional Japanese font of the desktop the interface font, so that Latin letters
// and digits beside Japanese text come from the same font instead of a monospace fallback.
// Nothing happens when none is installed.
void useJapaneseInterfaceFont();

Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon, Owner owner);

// The answer a non-interactive run gives for a button set.
Answer firstButton(Buttons buttons);

// Qt name filters for a filter text "description|pattern|description|pattern||":
// - parts end at each single-byte "|" (a double-byte character whose second byte is "|" stays
//   whole) and the list ends at the first empty part, so everything after "||" is ignored;
// - patterns are separated by ";", and "*.*" stands for every name, as "*";
// - a description without its pattern (an odd number of parts) lists every file;
// - no pair at all gives no filter.
QStringList nameFilters(std::string_view filter);

// A folder chosen in a folder dialog whose window shows `title`, opened at `initialFolder`
// (the current directory when empty). Nothing when cancelled.
std::optional<std::string> chooseFolder(std::string_view title, std::string_view initialFolder);

// Full paths of files chosen to open, in the dialog's order; nothing when cancelled.
// `filter` is read by nameFilters; an empty `initialFolder` is the current directory.
std::optional<std::vector<std::string>> chooseFilesToOpen(std::string_view initialFolder, std::string_view filter,
                                                          bool multiSelect);

struct SaveDialogOptions {
    std::string initialFolder;   // empty: the current directory
    std::string fileName;        // shown at first
    std::string defaultSuffix;   // added to a name typed without an extension
    std::string filter;          // empty: every file
};
// The full path to save to, confirmed by the person when the file exists; nothing when cancelled.
std::optional<std::string> chooseFileToSave(const SaveDialogOptions& options);

// The dialog with OK, Cancel and two buttons whose clicks the caller handles.
struct OptionalDialogTexts {
    std::string caption;
    std::string message;
    std::string cancel;
    std::string first;
    std::string second;
};
enum class OptionalResult { Ok, Cancel, ClosedByButton };
// `onButton` is told 1 or 2 for a click on the first or second extra button and returns whether
// the dialog closes (ClosedByButton). While it runs, further clicks and closing are ignored, so
// it may open dialogs of its own.
OptionalResult optionalDialog(const OptionalDialogTexts& texts, const std::function<bool(int button)>& onButton);

}  // namespace platform
