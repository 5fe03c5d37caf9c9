#include "about/About.h"

#include "win32/WinText.h"

using namespace kadrix::win;

void TForm_About::Create(HWND owner) {
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT rc{0, 0, 420, 200};
    AdjustWindowRectEx(&rc, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    CreateHandle({L"TForm_About", 0, GetSysColorBrush(COLOR_BTNFACE), LoadIconW(GetModuleHandleW(nullptr), L"MAINICON"),
                  nullptr},
                 WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, style, L"О программе", CW_USEDEFAULT, CW_USEDEFAULT,
                 rc.right - rc.left, rc.bottom - rc.top, owner);
    HWND hwnd = Handle();
    font_.Reset(CreateFontW(-Scale(hwnd, 11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                            0, L"Tahoma"));
    auto add = [&](const wchar_t* cls, const wchar_t* text, DWORD s, int x, int y, int w, int h, int id) {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | s, Scale(hwnd, x), Scale(hwnd, y),
                                 Scale(hwnd, w), Scale(hwnd, h), hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return c;
    };
    Label_NameProgram = add(L"STATIC", L"Kadrix", SS_LEFT, 16, 16, 380, 20, 0);
    Label_DescriptionProgram =
        add(L"STATIC", L"Kadrix - программа для быстрого снятия скриншотов с экрана.", SS_LEFT, 16, 48, 380, 40, 0);
    Button_Close = add(L"BUTTON", L"Закрыть", BS_DEFPUSHBUTTON | WS_TABSTOP, 324, 160, 80, 25, IDOK);
}

void TForm_About::Show() {
    if (!Visible()) {
        RECT rc;
        GetWindowRect(Handle(), &rc);
        SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Button_Close);
}

LRESULT TForm_About::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ShowWindow(Handle(), SW_HIDE);
            return 0;
        }
        break;
    case WM_CLOSE:
        ShowWindow(Handle(), SW_HIDE);
        return 0;
    }
    return Default(msg, wParam, lParam);
}
