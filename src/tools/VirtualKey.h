#pragma once

class QKeyEvent;

namespace tools {

// The Windows virtual-key code scripts know for a key press (letters 0x41-0x5A, digits
// 0x30-0x39, arrows 0x25-0x28, Return 0x0D, ...); 0 for a key that has none.
int virtualKeyCode(const QKeyEvent& event);

}  // namespace tools
