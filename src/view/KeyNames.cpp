#include "KeyNames.h"

#include <array>
#include <utility>

namespace view {
namespace {

constexpr std::pair<int, const char*> kNamedKeys[] = {
    {Qt::Key_Home, "Home"},        {Qt::Key_End, "End"},           {Qt::Key_PageUp, "PageUp"},
    {Qt::Key_PageDown, "PageDown"}, {Qt::Key_Insert, "Insert"},    {Qt::Key_Delete, "Delete"},
    {Qt::Key_Backspace, "Backspace"}, {Qt::Key_Tab, "Tab"},        {Qt::Key_Backtab, "Tab"},
    {Qt::Key_Return, "Return"},    {Qt::Key_Enter, "Return"},      {Qt::Key_Escape, "Escape"},
    {Qt::Key_Space, "Space"},      {Qt::Key_Left, "Left"},         {Qt::Key_Right, "Right"},
    {Qt::Key_Up, "Up"},            {Qt::Key_Down, "Down"},         {Qt::Key_Pause, "Pause"},
    {Qt::Key_Print, "PrintScreen"}, {Qt::Key_Menu, "Menu"},
};

}  // namespace

std::string keyName(int key, const QString& text)
{
    for (const auto& [k, name] : kNamedKeys)
        if (k == key)
            return name;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return "F" + std::to_string(key - Qt::Key_F1 + 1);
    // Letters by key, not by what they typed, so that Ctrl+A and Shift+A both say "a".
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::string(1, static_cast<char>('a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return std::string(1, static_cast<char>('0' + (key - Qt::Key_0)));
    if (text.size() == 1 && text[0].unicode() > 0x20 && text[0].unicode() < 0x7F)
        return std::string(1, static_cast<char>(text[0].unicode()));
    if (key > 0x20 && key < 0x7F)
        return std::string(1, static_cast<char>(key));
    return {};
}

std::string modifierText(Qt::KeyboardModifiers modifiers)
{
    static constexpr std::array<std::pair<Qt::KeyboardModifier, const char*>, 4> kOrder = {{
        {Qt::ControlModifier, "Ctrl"},
        {Qt::ShiftModifier, "Shift"},
        {Qt::AltModifier, "Alt"},
        {Qt::MetaModifier, "Meta"},
    }};
    std::string out;
    for (const auto& [m, name] : kOrder) {
        if (!(modifiers & m))
            continue;
        if (!out.empty())
            out += '+';
        out += name;
    }
    return out;
}

}  // namespace view
