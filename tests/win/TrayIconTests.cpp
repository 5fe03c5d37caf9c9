#include <gtest/gtest.h>

#include "overlay/HotKeys.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "win32/Files.h"
#include "win32/WinText.h"

namespace {

void TrayEvent(HWND overlay, UINT mouseMessage) { SendMessageW(overlay, TTrayIcon::kMessage, 1, mouseMessage); }

}  // namespace

TEST(TrayIcon, AnyPressClosesTheSettingsWindowThroughItsClosingSequence) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND overlay = forms.background.Handle();
    const std::wstring settingsPath = folder.Path() + L"Settings.ini";
    for (UINT press : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        forms.settings.Show();
        forms.about.Show();
        ASSERT_TRUE(forms.settings.Visible() && forms.about.Visible());
        DeleteFileW(settingsPath.c_str());
        TrayEvent(overlay, press);
        EXPECT_FALSE(forms.settings.Visible()) << press;
        EXPECT_FALSE(forms.about.Visible()) << press;
        // Closing stores the settings: all eleven keys are written.
        const auto bytes = kadrix::win::ReadFileBytes(settingsPath);
        ASSERT_TRUE(bytes.has_value()) << press;
        EXPECT_NE(bytes->find("FormatSaveInFile=0"), std::string::npos);
        EXPECT_NE(bytes->find("HotKey2=80"), std::string::npos);
    }
}

TEST(TrayIcon, ADoubleClickOpensOneCaptureForItsFirstClick) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND overlay = forms.background.Handle();
    TrayEvent(overlay, WM_LBUTTONDOWN);
    TrayEvent(overlay, WM_LBUTTONUP);
    ASSERT_TRUE(forms.background.Visible());
    SendMessageW(overlay, WM_HOTKEY, kadrix::kHotKeyEsc, 0);
    ASSERT_FALSE(forms.background.Visible());
    // The second click of a double click comes as a double-click message:
    // its release must not open the overlay again.
    TrayEvent(overlay, WM_LBUTTONDBLCLK);
    TrayEvent(overlay, WM_LBUTTONUP);
    EXPECT_FALSE(forms.background.Visible());
    // A middle press only closes windows; its release does nothing.
    TrayEvent(overlay, WM_MBUTTONDOWN);
    TrayEvent(overlay, WM_MBUTTONUP);
    EXPECT_FALSE(forms.background.Visible());
}

TEST(TrayIcon, SettingsAndAboutOpenOnceAndCentred) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    for (int i = 0; i < 2; ++i) {
        SendMessageW(forms.background.Handle(), WM_COMMAND, PopupMenu_SettingsProgram, 0);
        SendMessageW(forms.background.Handle(), WM_COMMAND, PopupMenu_AboutProgram, 0);
    }
    EXPECT_TRUE(forms.settings.Visible());
    EXPECT_TRUE(forms.about.Visible());
    int settingsWindows = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM count) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (lstrcmpW(name, L"TForm_SettingsProgram") == 0 && IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&settingsWindows));
    EXPECT_EQ(settingsWindows, 1);
    // Owned by the hidden main window: no taskbar buttons of their own.
    for (HWND window : {forms.settings.Handle(), forms.about.Handle()}) {
        EXPECT_EQ(GetWindow(window, GW_OWNER), forms.background.Handle());
        EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    }
    RECT rc;
    GetWindowRect(forms.settings.Handle(), &rc);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2);
    EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2);
}
