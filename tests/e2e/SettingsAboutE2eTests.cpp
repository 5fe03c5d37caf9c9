// The settings window and the About box driven like a person would: tray
// menu, clicks and key presses on the real Kadrix.exe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/PeImage.h"
#include "about/VersionInfo.h"
#include "e2e/E2e.h"
#include "support/WindowTree.h"

using namespace e2e;

namespace {

using testsupport::Text;

constexpr int kSettingsRow = 5;
constexpr int kAboutRow = 6;
constexpr char kTrayLayout[] = "i-ii-iii";

// A control of the window whose text satisfies match.
template <typename Match>
HWND Control(HWND window, Match match) {
    struct Search {
        Match* match;
        HWND found = nullptr;
    } search{&match};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if ((*s->match)(child, Text(child))) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ControlWithText(HWND window, const std::wstring& text) {
    return Control(window, [&](HWND, const std::wstring& t) { return t == text; });
}

void ClickControl(HWND control) {
    RECT rc;
    GetWindowRect(control, &rc);
    LeftClick((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

// Opens a window from the tray menu and waits until it shows.
HWND OpenFromTray(Kadrix& k, int row, const wchar_t* cls) {
    HWND menu = OpenTrayMenu();
    if (!menu) return nullptr;
    ClickMenuRow(menu, kTrayLayout, row);
    HWND window = nullptr;
    WaitFor([&] { return (window = Kadrix::FindProcessWindow(k.Pid(), cls, true)) != nullptr; });
    return window;
}

bool InsideClient(HWND window, HWND control) {
    RECT client, rc;
    GetClientRect(window, &client);
    GetWindowRect(control, &rc);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rc), 2);
    return rc.left >= 0 && rc.top >= 0 && rc.right <= client.right && rc.bottom <= client.bottom &&
           rc.right > rc.left && rc.bottom > rc.top;
}

constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

bool RunValuePresent() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool present = RegQueryValueExW(key, L"ProgramKadrix", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

void DeleteRunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"ProgramKadrix");
        RegCloseKey(key);
    }
}

TEST(SettingsDialog, ChosenHotKeyReplacesCtrlP) {
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.StartAndWaitReady();
    HWND settings = OpenFromTray(k, kSettingsRow, L"TForm_SettingsProgram");
    ASSERT_NE(settings, nullptr);
    ClickControl(ControlWithText(settings, L"Shift"));
    HWND edit = ControlWithText(settings, L"P");
    ASSERT_NE(edit, nullptr);
    ClickControl(edit);
    Press('S');
    ASSERT_TRUE(WaitFor([&] { return Text(edit) == L"S"; }));
    Press(VK_RETURN);  // the default button, Close
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));

    ASSERT_TRUE(WaitFor([] { return HotKeyTaken(MOD_SHIFT, 'S'); }));
    EXPECT_FALSE(HotKeyTaken(MOD_CONTROL, 'P'));
    HWND overlay = k.MainWindow();
    Press('S', {VK_SHIFT});
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(overlay) != FALSE; })) << "Shift+S opened no capture";
    Press(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));
    const std::string file = ReadFile(k.SettingsPath());
    EXPECT_NE(file.find("HotKey1=4"), std::string::npos) << file;
    EXPECT_NE(file.find("HotKey2=83"), std::string::npos) << file;
}

TEST(SettingsDialog, TickingAutorunWritesTheRunValueOnClose) {
    DeleteRunValue();
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\nAutoRun=0\r\n");
    k.StartAndWaitReady();
    ASSERT_FALSE(RunValuePresent());
    HWND settings = OpenFromTray(k, kSettingsRow, L"TForm_SettingsProgram");
    ASSERT_NE(settings, nullptr);
    HWND autorun =
        Control(settings, [](HWND, const std::wstring& t) { return t.find(L"Kadrix") != std::wstring::npos &&
                                                                   t.find(L"(") != std::wstring::npos; });
    ASSERT_NE(autorun, nullptr);
    ClickControl(autorun);
    ClickControl(ControlWithText(settings, L"Закрыть"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
    EXPECT_TRUE(WaitFor(RunValuePresent)) << "no Run value after closing";
    DeleteRunValue();
}

TEST(AboutDialog, ShowsTheVersionAndThisBuildsDate) {
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.StartAndWaitReady();
    HWND about = OpenFromTray(k, kAboutRow, L"TForm_About");
    ASSERT_NE(about, nullptr);
    HWND version = Control(about, [](HWND, const std::wstring& t) { return t.find(L"2.4.0.1049") != std::wstring::npos; });
    ASSERT_NE(version, nullptr);
    EXPECT_NE(Text(version).find(L"(64-"), std::wstring::npos);

    const std::string exe = ReadFile(k.Exe());
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(exe.data()), exe.size());
    const auto stamp = kadrix::ResourceTimeDateStamp(bytes, kadrix::PeLayout::File);
    ASSERT_TRUE(stamp);
    const kadrix::DateTime built = kadrix::DecodeDosDateTime(*stamp);
    ASSERT_NE(built, kadrix::kZeroDateTime);
    wchar_t separator[8] = L":";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, separator, 8);
    const std::u16string line = kadrix::DateBuildLine(u"", built, std::u16string(separator, separator + wcslen(separator)));
    const std::wstring date(line.begin() + 1, line.end());  // without the leading blank
    HWND dateLabel = Control(about, [&](HWND, const std::wstring& t) {
        return t.size() >= date.size() && t.compare(t.size() - date.size(), date.size(), date) == 0;
    });
    EXPECT_NE(dateLabel, nullptr) << "no label ends with this build's date";
    ClickControl(ControlWithText(about, L"Закрыть"));
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(about); }));
}

// At 144 DPI both windows are sized for it: their Close buttons lie inside
// them and a click on them closes.
TEST(DialogsAtHighDpi, CloseButtonsVisibleAndClickableAt144Dpi) {
    HKEY desktop = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_READ | KEY_SET_VALUE, &desktop),
              ERROR_SUCCESS);
    DWORD old = 0, size = sizeof old;
    const bool hadValue = RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS;
    const DWORD dpi = 144;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    struct Restore {
        HKEY key;
        bool had;
        DWORD value;
        ~Restore() {
            if (had) {
                RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
            } else {
                RegDeleteValueW(key, L"LogPixels");
            }
            RegCloseKey(key);
        }
    } restore{desktop, hadValue, old};

    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.StartAndWaitReady();
    struct Window {
        int row;
        const wchar_t* cls;
        int clientWidth96;
    } windows[] = {{kSettingsRow, L"TForm_SettingsProgram", 674}, {kAboutRow, L"TForm_About", 420}};
    for (const Window& w : windows) {
        SCOPED_TRACE(std::string(w.cls, w.cls + wcslen(w.cls)));
        HWND window = OpenFromTray(k, w.row, w.cls);
        ASSERT_NE(window, nullptr);
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, w.clientWidth96 * 3 / 2) << "not laid out for 144 DPI";
        HWND close = ControlWithText(window, L"Закрыть");
        ASSERT_NE(close, nullptr);
        EXPECT_TRUE(InsideClient(window, close));
        ClickControl(close);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(window); })) << "the Close button took no click";
    }
}

}  // namespace
