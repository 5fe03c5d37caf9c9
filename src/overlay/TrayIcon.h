#pragma once
// The notification-area icon and its menu, owned by the overlay window, which
// receives their messages and runs the commands.
#include <windows.h>

#include <array>
#include <string>

#include "win32/Handles.h"

// Command ids of the tray menu's items.
enum TrayMenuId : UINT {
    PopupMenu_MakeScreenshot = 201,
    PopupMenu_CopyInClipboard_LastURL,
    PopupMenu_CopyInClipboard_LastScreenshot,
    PopupMenu_OpenFolderWithScreenshots,
    PopupMenu_SettingsProgram,
    PopupMenu_AboutProgram,
    PopupMenu_Exit,
};

class TTrayIcon {
public:
    // The message the icon's mouse events arrive with at the owner window.
    static constexpr UINT kMessage = WM_APP + 1;

    TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // Builds the menu; the icon shows once Add is called.
    void Create(HWND owner);
    // Adds the icon; again after the shell restarted (the TaskbarCreated message).
    void Add();
    void Remove();
    bool IsTaskbarCreated(UINT msg) const { return taskbarCreated_ != 0 && msg == taskbarCreated_; }

    // The eight captions top to bottom: make screenshot, copy submenu, last
    // address, last screenshot, open folder, settings, about, exit.
    void SetCaptions(const std::array<std::wstring, 8>& captions);
    // The shortcut shown beside the first item; empty for none.
    void SetShortcut(const std::wstring& shortcut);
    // Opens the menu at the cursor; its command arrives as WM_COMMAND.
    void ShowMenu();
    HMENU Menu() const { return menu_.Get(); }

private:
    void UpdateCaptions();

    HWND owner_ = nullptr;
    kadrix::win::Menu menu_;
    HMENU copySubmenu_ = nullptr;  // destroyed with menu_
    kadrix::win::Icon icon_;
    UINT taskbarCreated_ = 0;
    bool added_ = false;
    std::array<std::wstring, 8> captions_;
    std::wstring shortcut_;
};
