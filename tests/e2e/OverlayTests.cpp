#include <gtest/gtest.h>

#include <functional>

#include "e2e/E2e.h"

using namespace e2e;

namespace {

constexpr char kQuietSettings[] = "[Main]\r\nShowHint=0\r\n";

BYTE OverlayOpacity(HWND hwnd) {
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags);
    return alpha;
}


}  // namespace

TEST(Overlay, HotKeyOpensOverTheMonitorAndEscClosesIt) {
    Kadrix k;
    k.WriteSettings(kQuietSettings);
    k.StartAndWaitReady();
    TestWindow other(100, 100, 300, 200);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other.Handle(); }));
    MoveMouse(640, 480);

    Press('P', {VK_CONTROL});
    HWND overlay = k.MainWindow();
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }));
    RECT rc;
    GetWindowRect(overlay, &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rc.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(GetWindowLongPtrW(overlay, GWL_EXSTYLE), WS_EX_TOOLWINDOW | WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(overlay, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(0, 255, 0));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
    EXPECT_TRUE(WaitFor([&] { return OverlayOpacity(overlay) == 150; }));
    EXPECT_TRUE(HotKeyTaken(0, VK_ESCAPE)) << "plain Esc belongs to the open overlay";

    // A second Ctrl+P while open keeps the opacity at its target.
    Press('P', {VK_CONTROL});
    MoveMouse(700, 500);
    EXPECT_TRUE(WaitFor([&] { return OverlayOpacity(overlay) == 150; }));

    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));
    EXPECT_TRUE(WaitFor([] { return !HotKeyTaken(0, VK_ESCAPE); })) << "Esc was not given back";

    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other.Handle(); }));
    other.KeysDown.clear();
    Press(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] {
        other.Pump();
        return std::find(other.KeysDown.begin(), other.KeysDown.end(), VK_ESCAPE) != other.KeysDown.end();
    })) << "plain Esc does not reach other programs after closing";
}

TEST(Overlay, ShiftEscLeavesItOpen) {
    Kadrix k;
    k.WriteSettings(kQuietSettings);
    k.StartAndWaitReady();
    MoveMouse(500, 400);
    Press('P', {VK_CONTROL});
    HWND overlay = k.MainWindow();
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }));

    Press(VK_ESCAPE, {VK_SHIFT});
    // Kadrix handles input in order: once the guide line has followed a later
    // mouse move, the Shift+Esc before it has been dealt with.
    MoveMouse(777, 400);
    const RECT column{777, 600, 778, 601};
    ASSERT_TRUE(WaitFor([&] { return WindowPixels(overlay, column)[0] == RGB(255, 255, 255); }));
    EXPECT_TRUE(IsWindowVisible(overlay));
}

TEST(Overlay, AltF4GivesUpTheCaptureButNotTheProgram) {
    Kadrix k;
    k.WriteSettings(kQuietSettings);
    k.StartAndWaitReady();
    HWND overlay = k.MainWindow();
    MoveMouse(500, 400);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(PressCtrlPUntilShown(overlay)) << round;
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == overlay; })) << round;
        Press(VK_F4, {VK_MENU});
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); })) << round;
        EXPECT_TRUE(k.Running()) << round;
    }
}

TEST(Overlay, TrayClickAndTheMenusFirstItemOpenACapture) {
    Kadrix k;
    k.WriteSettings(kQuietSettings);
    k.StartAndWaitReady();
    HWND overlay = k.MainWindow();
    const std::function<void()> openers[] = {
        [] {
            std::optional<POINT> icon;
            ASSERT_TRUE(WaitFor([&] { return (icon = TrayIconPoint()).has_value(); }));
            LeftClick(icon->x, icon->y);
        },
        [] {
            HWND menu = OpenTrayMenu();
            ASSERT_NE(menu, nullptr);
            ClickMenuRow(menu, "i-ii-iii", 0);
        },
    };
    for (const auto& open : openers) {
        open();
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; }));
        EXPECT_TRUE(WaitFor([&] { return OverlayOpacity(overlay) == 150; }));
        Press(VK_ESCAPE);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));
    }
}

TEST(Overlay, TrayMenuExitEndsTheProgram) {
    Kadrix k;
    k.WriteSettings(kQuietSettings);
    k.StartAndWaitReady();
    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    ClickMenuRow(menu, "i-ii-iii", 7);  // Exit
    EXPECT_EQ(k.WaitExit(), std::optional<DWORD>(0));
}

TEST(Overlay, AutorunValueFollowsTheSetting) {
    const wchar_t* runKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    auto value = [&]() -> std::optional<std::wstring> {
        wchar_t data[1024] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, runKey, L"ProgramKadrix", RRF_RT_REG_SZ, &type, data, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::wstring(data);
    };
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegDeleteValueW(key, L"ProgramKadrix");
    RegFlushKey(key);
    RegCloseKey(key);
    auto boxes = [](const Kadrix& k) {
        std::string all;
        for (const auto& box : MessageBoxes(k.Pid())) all += std::string(box.text.begin(), box.text.end()) + "; ";
        return all;
    };

    {
        Kadrix k;
        k.WriteSettings("[Main]\r\nAutoRun=1\r\n");
        k.StartAndWaitReady();
        EXPECT_TRUE(WaitFor([&] { return value() == k.Exe(); }))
            << "Run value: " << (value() ? std::string(value()->begin(), value()->end()) : "(none)")
            << "; message boxes: " << boxes(k);
    }
    {
        Kadrix k;
        k.WriteSettings("[Main]\r\nAutoRun=0\r\n");
        k.StartAndWaitReady();
        EXPECT_TRUE(WaitFor([&] { return !value().has_value(); }));
    }
}
