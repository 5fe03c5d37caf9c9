#pragma once
// The screenshot hot key as the tray menu shows it, e.g. "Ctrl+P".
#include <cstdint>
#include <string>

namespace kadrix {

// modifier is the HotKey1 setting (1 Alt, 2 Ctrl, 4 Shift), key the HotKey2 character.
std::u16string ShortcutText(int32_t modifier, char16_t key);

}  // namespace kadrix
