#pragma once
// Reading windows and their controls in tests, in-process and across
// processes alike.
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// WM_GETTEXT, not GetWindowText: across processes that reads only the text
// given at creation, and an edit keeps its own.
inline std::wstring Text(HWND hwnd) {
    wchar_t buffer[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 2000, &copied);
    return buffer;
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

// Every window below root, children of children included.
inline std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> all;
    EnumChildWindows(
        root,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// The first window below root of that class (letter case ignored).
inline HWND DescendantOfClass(HWND root, const wchar_t* cls) {
    for (HWND c : Descendants(root)) {
        if (lstrcmpiW(ClassOf(c).c_str(), cls) == 0) return c;
    }
    return nullptr;
}

}  // namespace testsupport
