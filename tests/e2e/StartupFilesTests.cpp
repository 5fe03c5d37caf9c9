// A bad file or a taken hot key at start-up costs one clear message, never
// the program's hot key, its texts or the user's settings.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "e2e/E2e.h"

using namespace e2e;

namespace {

// Waits for the one box the program shows, returns its text and closes it.
std::wstring TakeTheOneBox(const Kadrix& k) {
    std::vector<MessageBoxInfo> boxes;
    if (!WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); })) return L"(no box)";
    const std::wstring text = boxes.size() == 1 ? boxes[0].text : L"(" + std::to_wstring(boxes.size()) + L" boxes)";
    for (const auto& box : boxes) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return MessageBoxes(k.Pid()).empty(); });
    return text;
}


bool ComboCount(HWND settings, int expected) {
    struct Search {
        int count = -1;
    } search;
    EnumChildWindows(
        settings,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            if (lstrcmpiW(name, L"ComboBox") == 0) {
                reinterpret_cast<Search*>(param)->count = static_cast<int>(SendMessageW(child, CB_GETCOUNT, 0, 0));
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count == expected;
}

// How many language files the installed program has.
int LanguageFileCount(const Kadrix& k) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((k.Dir() + L"Languages\\*.ini").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

// The screenshot hot key works: Ctrl+P opens the overlay and Esc closes it.
void ExpectHotKeyWorks(const Kadrix& k) {
    HWND overlay = k.MainWindow();
    MoveMouse(500, 400);
    ASSERT_TRUE(PressCtrlPUntilShown(overlay)) << "Ctrl+P opened no capture";
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));
}

}  // namespace

TEST(StartupFiles, ABadFileCostsOneMessageAndNothingElse) {
    struct Case {
        const char* name;
        std::function<void(Kadrix&)> spoil;  // returns with the bad file in place
        const wchar_t* inTheBox;             // nullptr: no box at all
    };
    HANDLE lock = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"Settings.ini locked",
         [&](Kadrix& k) {
             k.WriteSettings("[Main]\r\nShowHint=0\r\n");
             lock = CreateFileW(k.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         L"Settings.ini"},
        {"Settings.ini a folder", [](Kadrix& k) { CreateDirectoryW(k.SettingsPath().c_str(), nullptr); },
         L"Settings.ini"},
        {"an unselected language file locked",
         [&](Kadrix& k) {
             lock = CreateFileW((k.Dir() + L"Languages\\English.ini").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Kadrix k;
        c.spoil(k);
        k.Start();
        ASSERT_TRUE(WaitFor([&] { return k.MainWindow() && Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram"); }));
        if (c.inTheBox) {
            const std::wstring text = TakeTheOneBox(k);
            EXPECT_NE(text.find(c.inTheBox), std::wstring::npos) << Narrow(text);
        } else {
            // The languages that can be read are listed; the locked one is not.
            const int readable = LanguageFileCount(k) - 1;
            EXPECT_TRUE(WaitFor(
                [&] { return ComboCount(Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram"), readable); }));
            EXPECT_TRUE(MessageBoxes(k.Pid()).empty());
        }
        ExpectHotKeyWorks(k);
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        lock = INVALID_HANDLE_VALUE;
    }
}

TEST(StartupFiles, SettingsThatCouldNotBeReadAreNeverOverwritten) {
    Kadrix k;
    const std::string original = "\xEF\xBB\xBF[Main]\r\nShowHint=0\r\nHotKey2=81\r\n[Screenshot]\r\nSaveInFile=0\r\n";
    WriteFile(k.SettingsPath(), original);
    HANDLE lock = CreateFileW(k.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    k.Start();
    ASSERT_TRUE(WaitFor([&] { return Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram") != nullptr; }));
    TakeTheOneBox(k);
    CloseHandle(lock);  // the file is readable again, but the window holds defaults

    HWND settings = Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram");
    PostMessageW(settings, WM_CLOSE, 0, 0);
    const std::wstring text = TakeTheOneBox(k);
    EXPECT_NE(text.find(L"not saved"), std::wstring::npos) << Narrow(text);
    EXPECT_EQ(ReadFile(k.SettingsPath()), original);
    EXPECT_FALSE(IsWindowVisible(settings));
}

TEST(StartupFiles, ATakenHotKeyIsSaidOnceAndTakenBackWhenFree) {
    constexpr int kOtherProgram = 0x7200;
    ASSERT_TRUE(RegisterHotKey(nullptr, kOtherProgram, MOD_CONTROL, 'P'));
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\n");
    k.Start();
    const std::wstring text = TakeTheOneBox(k);
    EXPECT_NE(text.find(L"Ctrl+P"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"taken"), std::wstring::npos) << Narrow(text);

    // Let it go; opening the tray menu takes it back.
    UnregisterHotKey(nullptr, kOtherProgram);
    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    Press(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
    EXPECT_TRUE(MessageBoxes(k.Pid()).empty());
    ExpectHotKeyWorks(k);
}
