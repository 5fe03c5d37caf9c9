#pragma once
// UTF-16 between core (std::u16string) and the W APIs (std::wstring), and the
// few system texts the program needs.
#include <windows.h>

#include <string>
#include <string_view>

namespace kadrix::win {

inline std::wstring W(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string U(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

// The system's description of an error code, without the trailing line break.
std::wstring SystemErrorText(DWORD code);

// Full path of the running executable, and its folder ending with a backslash.
std::wstring ExePath();
std::wstring ExeDirectory();

}  // namespace kadrix::win
