#pragma once

#include <string_view>

class QWidget;

// Modal dialogs. Texts are code page 932. In non-interactive mode nothing waits for a person:
// a message box writes one line to standard error and answers with the first button of its set.
namespace platform {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
enum class Owner { None, MainWindow };

// The window that owns dialogs asked for with Owner::MainWindow; null when there is none.
void setMainWindow(QWidget* window);
QWidget* mainWindow();

Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon, Owner owner);

// The answer a non-interactive run gives for a button set.
Answer firstButton(Buttons buttons);

}  // namespace platform
