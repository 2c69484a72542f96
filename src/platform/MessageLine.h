#pragma once

#include <string_view>

namespace platform {

// What a message box says when nobody is there to answer it: one UTF-8 line
// "MessageBox[<caption>]: <text>" on standard error, line feeds written as "\n". Texts are code
// page 932.
void writeMessageLine(std::string_view caption, std::string_view text);

}  // namespace platform
