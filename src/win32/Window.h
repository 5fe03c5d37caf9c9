#pragma once
// Base of every window of the program: registers the class, binds the C++
// object to its HWND from WM_NCCREATE to WM_NCDESTROY and runs each message
// handler under the general error handler.
#include <windows.h>

namespace kadrix::win {

struct WindowClass {
    const wchar_t* Name;
    UINT Style = 0;
    HBRUSH Background = nullptr;
    HICON Icon = nullptr;
    HICON SmallIcon = nullptr;
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }
    bool Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }
    void DestroyHandle();

protected:
    void CreateHandle(const WindowClass& cls, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                      int width, int height, HWND parent, HMENU id = nullptr);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd_, msg, wParam, lParam); }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// A plain child window that hands the notifications of its controls to its
// top-level window, so controls can be grouped on pages and in panels.
HWND CreateContainer(HWND parent, int x, int y, int width, int height);

// Scales a size given at 96 DPI to the DPI of a window.
int Scale(HWND hwnd, int value);

}  // namespace kadrix::win
