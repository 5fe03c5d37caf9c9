// The Win32 layer under faults: errors reach the user one box at a time from
// the top of the message loop, stale or unexpected messages open nothing,
// and nothing monitor-sized outlives a capture.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/Error.h"
#include "overlay/HotKeys.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "win32/ErrorHandler.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

struct FakeSettings : CaptureSettings {
    bool GetSaveInFile() const override { return false; }
    std::wstring GetSavePath() const override { return L""; }
    int GetFormatSaveInFile() const override { return 0; }
    bool GetShowLine() const override { return true; }
    bool GetShowSize() const override { return true; }
    bool GetFormHint() const override { return false; }
    bool GetUploadOnServer() const override { return false; }
    std::wstring GetUploadHost() const override { return L""; }
    IniFile GetLanguage() const override { return {}; }
};

// Closing the settings window raises once, as ApplySettings does when the
// autorun value cannot be written.
struct RaisingWindows : WindowCommands {
    void ShowSettings() override { ++shown; }
    void ShowAbout() override { ++shown; }
    void CloseSettingsAndAbout() override {
        if (raise) {
            raise = false;
            throw Error(u"Failed to set data for 'ProgramKadrix'");
        }
    }
    bool raise = true;
    std::atomic<int> shown{0};
};

struct BoxInfo {
    HWND hwnd;
    std::wstring text;
};

std::vector<BoxInfo> ThreadBoxes(DWORD thread) {
    std::vector<BoxInfo> boxes;
    EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(hwnd, name, 32);
            if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd)) {
                wchar_t text[1024] = {};
                GetWindowTextW(GetDlgItem(hwnd, 0xFFFF), text, 1024);
                reinterpret_cast<std::vector<BoxInfo>*>(param)->push_back({hwnd, text});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// Runs body on another thread once an error box of this thread shows, then
// closes that box; meanwhile this thread sits in the box's own message loop.
template <typename Body>
void WhileTheBoxIsUp(Body body) {
    const DWORD self = GetCurrentThreadId();
    std::thread observer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::vector<BoxInfo> boxes;
        while ((boxes = ThreadBoxes(self)).empty() && std::chrono::steady_clock::now() < deadline) Sleep(10);
        body(boxes);
        for (const auto& box : boxes) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    });
    ShowPendingErrors();  // what the top of the message loop does
    observer.join();
}

}  // namespace

TEST(ErrorBox, OneBoxFromTheLoopAndNothingOpensWhileItIsUp) {
    FakeSettings settings;
    RaisingWindows windows;
    TForm_Background overlay(settings, windows);
    overlay.Create();
    HWND hwnd = overlay.Handle();

    // The press raises inside the tray handler: the error waits for the loop.
    SendMessageW(hwnd, TTrayIcon::kMessage, 1, WM_LBUTTONDOWN);
    ASSERT_TRUE(ErrorsPending());
    EXPECT_TRUE(ThreadBoxes(GetCurrentThreadId()).empty()) << "no box from inside the handler";

    const DWORD mainThread = GetCurrentThreadId();
    std::vector<BoxInfo> seen;
    bool opened = true;
    WhileTheBoxIsUp([&](const std::vector<BoxInfo>&) {
        // What the box's own message loop dispatches while it is up.
        SendMessageW(hwnd, TTrayIcon::kMessage, 1, WM_LBUTTONUP);
        SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
        SendMessageW(hwnd, WM_COMMAND, PopupMenu_MakeScreenshot, 0);
        SendMessageW(hwnd, WM_COMMAND, PopupMenu_SettingsProgram, 0);
        opened = IsWindowVisible(hwnd) || windows.shown > 0;
        seen = ThreadBoxes(mainThread);
    });
    EXPECT_FALSE(opened) << "a capture or a window opened under the error box";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Failed to set data for 'ProgramKadrix'");
    EXPECT_FALSE(ErrorsPending());

    // With the box gone, the same click opens a capture.
    SendMessageW(hwnd, TTrayIcon::kMessage, 1, WM_LBUTTONDOWN);
    SendMessageW(hwnd, TTrayIcon::kMessage, 1, WM_LBUTTONUP);
    EXPECT_TRUE(overlay.Visible());
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyEsc, 0);
}

TEST(Overlay, AStaleMouseLeaveDoesNotReopenACancelledCapture) {
    FakeSettings settings;
    RaisingWindows windows;
    windows.raise = false;
    TForm_Background overlay(settings, windows);
    // Two monitors side by side on the one screen of the test display.
    overlay.SetMonitorSource([] { return std::vector<MonitorBounds>{{0, 0, 960, 1080}, {960, 0, 960, 1080}}; });
    overlay.Create();
    HWND hwnd = overlay.Handle();
    auto left = [&] {
        RECT rc;
        GetWindowRect(hwnd, &rc);
        return rc.left;
    };

    // With the capture open, leaving for the other monitor moves it there.
    SetCursorPos(300, 300);
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
    ASSERT_TRUE(overlay.Visible());
    ASSERT_EQ(left(), 0);
    SetCursorPos(1500, 300);
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(overlay.Visible());
    EXPECT_EQ(left(), 960);

    // A leave that was queued behind Esc finds the capture closed.
    SetCursorPos(300, 300);
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyEsc, 0);
    ASSERT_FALSE(overlay.Visible());
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(overlay.Visible());
}

TEST(Overlay, EscAndEnterWorkAsKeysWhenAnotherProgramHeldThem) {
    FakeSettings settings;
    RaisingWindows windows;
    windows.raise = false;
    TForm_Background overlay(settings, windows);
    overlay.Create();
    HWND hwnd = overlay.Handle();
    constexpr int kOtherProgram = 0x7100;

    // Esc belongs to someone else when the capture opens, and is let go later.
    ASSERT_TRUE(RegisterHotKey(nullptr, kOtherProgram, 0, VK_ESCAPE));
    SetCursorPos(200, 200);
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
    UnregisterHotKey(nullptr, kOtherProgram);
    ASSERT_TRUE(overlay.Visible());
    SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(overlay.Visible()) << "Esc as a key press must close the capture";

    // The same for Enter on a finished selection: the screenshot is taken.
    ASSERT_TRUE(RegisterHotKey(nullptr, kOtherProgram, 0, VK_RETURN));
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
    ASSERT_TRUE(overlay.Visible());
    SetCursorPos(100, 100);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    SetCursorPos(300, 250);
    SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 250));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(300, 250));
    UnregisterHotKey(nullptr, kOtherProgram);
    ASSERT_EQ(overlay.Scene().ScreenRegion().State, srFinished);
    const DWORD before = GetClipboardSequenceNumber();
    SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(overlay.Visible());
    EXPECT_NE(GetClipboardSequenceNumber(), before) << "the screenshot went to the clipboard";
}

TEST(Overlay, AltF4GivesUpTheCaptureAndKeepsTheProgram) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND hwnd = forms.background.Handle();
    SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
    ASSERT_TRUE(forms.background.Visible());
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(forms.background.Visible());
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "Alt+F4 must not end the program";
}

TEST(Overlay, TheBackBufferLivesOnlyWhileACaptureIsShown) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND hwnd = forms.background.Handle();
    for (int i = 0; i < 3; ++i) {
        SetCursorPos(400 + i, 300);
        SendMessageW(hwnd, WM_HOTKEY, kHotKeyScreenshot, 0);
        // The first frame is painted while the overlay is still fully
        // transparent, straight into the window.
        UpdateWindow(hwnd);
        EXPECT_FALSE(forms.background.HoldsBackBuffer());
        // Once the fade-in has begun, paints go through the back buffer.
        SendMessageW(hwnd, WM_TIMER, TForm_Background::kTimerFormAppearance, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        ASSERT_TRUE(forms.background.HoldsBackBuffer());
        SendMessageW(hwnd, WM_HOTKEY, kHotKeyEsc, 0);
        EXPECT_FALSE(forms.background.HoldsBackBuffer());
    }
}

TEST(Startup, AWindowThatCannotBeCreatedGivesOneBoxAndAFailingExit) {
    // A class of the same name whose windows refuse to be created stands in
    // for a system out of window resources.
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    UnregisterClassW(L"TForm_About", instance);
    WNDCLASSEXW refusing{};
    refusing.cbSize = sizeof refusing;
    refusing.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        return msg == WM_NCCREATE ? FALSE : DefWindowProcW(hwnd, msg, w, l);
    };
    refusing.hInstance = instance;
    refusing.lpszClassName = L"TForm_About";
    ASSERT_TRUE(RegisterClassExW(&refusing));

    const testsupport::TempFolder folder;
    const DWORD mainThread = GetCurrentThreadId();
    std::vector<BoxInfo> seen;
    int exitCode = 0;
    std::thread observer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((seen = ThreadBoxes(mainThread)).empty() && std::chrono::steady_clock::now() < deadline) Sleep(10);
        for (const auto& box : seen) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    });
    exitCode = RunProgram(folder.Path());
    observer.join();
    UnregisterClassW(L"TForm_About", instance);

    EXPECT_NE(exitCode, 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find(L"TForm_About"), std::wstring::npos) << std::string(seen[0].text.begin(), seen[0].text.end());
    EXPECT_EQ(FindWindowW(L"TForm_Background", nullptr), nullptr) << "the windows made before are gone";
}
