#include "win32/Window.h"

#include "win32/ErrorHandler.h"
#include "win32/WinText.h"

namespace kadrix::win {

Window::~Window() { DestroyHandle(); }

void Window::DestroyHandle() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Window::CreateHandle(const WindowClass& cls, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                          int width, int height, HWND parent, HMENU id) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, cls.Name, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.style = cls.Style;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = cls.Background;
        wc.hIcon = cls.Icon;
        wc.hIconSm = cls.SmallIcon;
        wc.lpszClassName = cls.Name;
        RegisterClassExW(&wc);
    }
    CreateWindowExW(exStyle, cls.Name, title, style, x, y, width, height, parent, id, instance, this);
    if (!hwnd_) {
        // A window procedure that refused its creation leaves no system error behind.
        const DWORD code = GetLastError();
        const std::wstring reason = code ? SystemErrorText(code) : L"The window refused to be created.";
        throw Error(FormatText(u"Cannot create the window \"%s\". %s", {U(cls.Name), U(reason)}));
    }
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);

    LRESULT result = 0;
    if (!Guarded([&] { result = self->HandleMessage(msg, wParam, lParam); })) result = 0;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

namespace {

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

HWND CreateContainer(HWND parent, int x, int y, int width, int height) {
    constexpr wchar_t kClass[] = L"KadrixContainer";
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(instance, kClass, &wc)) {
        wc.lpfnWndProc = ContainerProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        RegisterClassExW(&wc);
    }
    return CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width,
                           height, parent, nullptr, instance, nullptr);
}

int Scale(HWND hwnd, int value) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = (getDpi && hwnd) ? getDpi(hwnd) : 96;
    return MulDiv(value, dpi ? dpi : 96, 96);
}

}  // namespace kadrix::win
