#pragma once

#include <Qt>
#include <QString>

#include <string>

namespace view {

// The name a script sees for a key: "Home", "PageDown", "F5", "a" ... "z", "0" ... "9", a
// printable ASCII character as itself; "" for keys that have no name (modifier keys alone).
// `text` is what the key typed; it names punctuation whatever keyboard layout made it.
std::string keyName(int key, const QString& text);

// Held modifiers as "Ctrl", "Shift", "Alt" and "Meta" joined by "+" in that order; "" for none.
std::string modifierText(Qt::KeyboardModifiers modifiers);

}  // namespace view
