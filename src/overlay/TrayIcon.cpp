#include "overlay/TrayIcon.h"

#include <shellapi.h>
#include <commctrl.h>

#include "win32/WinText.h"

using namespace kadrix::win;

namespace {

constexpr UINT kTrayId = 1;

// "Kadrix.exe" gives "Kadrix": the file name up to its first dot, every
// letter after the first in lower case.
std::wstring ApplicationTitle() {
    std::wstring name = ExePath();
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find(L'.'));
    if (name.size() > 1) CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
}

}  // namespace

TTrayIcon::TTrayIcon()
    : captions_{L"Сделать скриншот",
                L"Поместить в буфер обмена",
                L"URL последнего скриншота",
                L"Последний скриншот",
                L"Открыть папку со скриншотами",
                L"Настройки",
                L"О программе",
                L"Выход"} {}

void TTrayIcon::Create(HWND owner) {
    owner_ = owner;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    menu_.Reset(CreatePopupMenu());
    copySubmenu_ = CreatePopupMenu();
    HMENU menu = menu_.Get();
    AppendMenuW(menu, MF_STRING, PopupMenu_MakeScreenshot, L"");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(copySubmenu_), L"");
    AppendMenuW(copySubmenu_, MF_STRING, PopupMenu_CopyInClipboard_LastURL, L"");
    AppendMenuW(copySubmenu_, MF_STRING, PopupMenu_CopyInClipboard_LastScreenshot, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_OpenFolderWithScreenshots, L"");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, PopupMenu_SettingsProgram, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_AboutProgram, L"");
    AppendMenuW(menu, MF_STRING, PopupMenu_Exit, L"");
    UpdateCaptions();
}

void TTrayIcon::UpdateCaptions() {
    HMENU menu = menu_.Get();
    auto set = [](HMENU m, UINT item, BOOL byPosition, const std::wstring& text) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(text.c_str());
        SetMenuItemInfoW(m, item, byPosition, &info);
    };
    set(menu, PopupMenu_MakeScreenshot, FALSE, shortcut_.empty() ? captions_[0] : captions_[0] + L"\t" + shortcut_);
    set(menu, 2, TRUE, captions_[1]);
    set(copySubmenu_, PopupMenu_CopyInClipboard_LastURL, FALSE, captions_[2]);
    set(copySubmenu_, PopupMenu_CopyInClipboard_LastScreenshot, FALSE, captions_[3]);
    set(menu, PopupMenu_OpenFolderWithScreenshots, FALSE, captions_[4]);
    set(menu, PopupMenu_SettingsProgram, FALSE, captions_[5]);
    set(menu, PopupMenu_AboutProgram, FALSE, captions_[6]);
    set(menu, PopupMenu_Exit, FALSE, captions_[7]);
}

void TTrayIcon::SetCaptions(const std::array<std::wstring, 8>& captions) {
    captions_ = captions;
    UpdateCaptions();
}

void TTrayIcon::SetShortcut(const std::wstring& shortcut) {
    shortcut_ = shortcut;
    UpdateCaptions();
}

void TTrayIcon::Add() {
    if (!icon_) {
        // The image of the icon file drawn for the tray's size at this DPI
        // (16, 20, 24 or 32 pixels), not a scaled copy of another.
        HICON icon = nullptr;
        if (FAILED(LoadIconMetric(GetModuleHandleW(nullptr), L"MAINICON", LIM_SMALL, &icon)) || !icon) {
            const int size = GetSystemMetrics(SM_CXSMICON);
            icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        }
        icon_.Reset(icon);
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kTrayId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kMessage;
    data.hIcon = icon_.Get();
    lstrcpynW(data.szTip, ApplicationTitle().c_str(), ARRAYSIZE(data.szTip));
    added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TTrayIcon::Remove() {
    if (added_) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = owner_;
        data.uID = kTrayId;
        Shell_NotifyIconW(NIM_DELETE, &data);
        added_ = false;
    }
    menu_.Reset();  // destroys the submenu with it
    copySubmenu_ = nullptr;
}

void TTrayIcon::ShowMenu() {
    POINT at{};
    GetCursorPos(&at);
    // Without this the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner_);
    TrackPopupMenuEx(menu_.Get(), TPM_RIGHTBUTTON, at.x, at.y, owner_, nullptr);
    PostMessageW(owner_, WM_NULL, 0, 0);
}
