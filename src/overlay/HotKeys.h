#pragma once
// Identifiers of the system-wide hot keys registered on the overlay's window.
namespace kadrix {

inline constexpr int kHotKeyScreenshot = 1;  // from the settings; opens a capture
inline constexpr int kHotKeyEnter = 2;       // while a selection is finished: take the screenshot
inline constexpr int kHotKeyEsc = 3;         // while a capture is open: close it

}  // namespace kadrix
