#include "MessageLine.h"

#include "TextCodec.h"

#include <cstdio>
#include <string>

namespace platform {

void writeMessageLine(std::string_view caption, std::string_view text)
{
    // Through the UI's text, so that the line is UTF-8 even where an escape stands for bytes
    // that are not.
    const auto utf8 = [](std::string_view t) { return cp932ToQString(t).toStdString(); };
    std::string line = "MessageBox[" + utf8(caption) + "]: ";
    for (char c : utf8(text)) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform
