// The yardstick for start-up and idle memory: a program that does nothing
// but show a tray icon, built and started the same way as Kadrix. What
// Kadrix takes beyond it is Kadrix's own share.
#include <windows.h>
#include <shellapi.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = Proc;
    cls.hInstance = instance;
    cls.lpszClassName = L"TForm_Background";  // found by the benchmark as Kadrix's is
    RegisterClassW(&cls);
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, cls.lpszClassName, L"tray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = hwnd;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    lstrcpyW(icon.szTip, L"tray");
    Shell_NotifyIconW(NIM_ADD, &icon);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    Shell_NotifyIconW(NIM_DELETE, &icon);
    return 0;
}
