// Faults as a user meets them: each case starts Kadrix with a fault in place
// (or puts it there while it runs), does what the user does, and checks the
// one clear message, that nothing the user had is lost, and that once the
// fault is gone the next capture works.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <tlhelp32.h>

#include "core/Utf.h"
#include "e2e/E2e.h"
#include "support/UploadTestService.h"

using namespace e2e;
using kadrix::test::UploadTestService;
namespace answers = kadrix::test::answers;

namespace {

// What the user does once the fault is in place.
enum class Action {
    None,           // only the start-up
    Capture,        // Ctrl+P, a selection, Enter
    CloseSettings,  // opens the settings window from the tray and closes it
    CopyLast,       // a capture, then the tray's copy-last-screenshot with the fault in place
};

constexpr int kOtherProgramHotKey = 0x7301;

struct Trial {
    Kadrix k;
    std::wstring shots = k.Dir() + L"shots\\";
    std::unique_ptr<TestWindow> other = std::make_unique<TestWindow>(900, 600, 100, 100);
    HANDLE lock = INVALID_HANDLE_VALUE;
    bool holdingClipboard = false;
    bool holdingHotKey = false;
    std::string settingsBefore;

    ~Trial() { Release(); }

    void LockFile(const std::wstring& path) {
        lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Require(lock != INVALID_HANDLE_VALUE, "the test cannot lock " + Narrow(path));
    }
    void HoldClipboard() {
        Require(OpenClipboard(other->Handle()) != FALSE, "the test cannot open the clipboard");
        holdingClipboard = true;
    }
    // Another program takes the combination as its own hot key.
    void HoldHotKey(UINT modifiers = MOD_CONTROL, UINT vk = 'P') {
        Require(RegisterHotKey(nullptr, kOtherProgramHotKey, modifiers, vk) != FALSE, "the hot key is taken already");
        holdingHotKey = true;
    }
    // A press of the held combination reached the other program.
    bool HotKeyCameToTheOtherProgram() {
        MSG msg;
        return WaitFor([&] { return PeekMessageW(&msg, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE) != FALSE; });
    }
    // Undoes what the test holds; the case's own repair comes on top.
    void Release() {
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        lock = INVALID_HANDLE_VALUE;
        if (holdingClipboard) CloseClipboard();
        holdingClipboard = false;
        if (holdingHotKey) UnregisterHotKey(nullptr, kOtherProgramHotKey);
        holdingHotKey = false;
    }

    std::vector<std::wstring> Shots() const { return FolderEntries(shots); }
    // Screenshots wherever the settings in force put them.
    size_t Pictures() const {
        size_t count = 0;
        for (const std::wstring& folder : {shots, k.Dir()}) {
            for (const std::wstring& name : FolderEntries(folder)) {
                if (name.ends_with(L".jpg") || name.ends_with(L".bmp")) ++count;
            }
        }
        return count;
    }

    std::wstring TakeBox(std::chrono::milliseconds timeout = 20s) {
        std::vector<MessageBoxInfo> boxes;
        if (!WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }, timeout)) return L"(no box)";
        const std::wstring text = boxes.size() == 1 ? boxes[0].text : L"(" + std::to_wstring(boxes.size()) + L" boxes)";
        for (const auto& box : boxes) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return MessageBoxes(k.Pid()).empty(); });
        return text;
    }

    void Capture(int shift = 0) { SelectAndEnter(k.MainWindow(), shift); }

    void Open() {
        HWND overlay = k.MainWindow();
        MoveMouse(700, 700);
        Require(PressCtrlPUntilShown(overlay), "Ctrl+P opened no capture");
        Require(WaitFor([&] { return GetForegroundWindow() == overlay; }), "the capture did not take the keyboard");
    }

    // Picks another folder for the screenshots in the settings window, as the user does.
    void SaveInto(const std::wstring& folder) {
        HWND settings = OpenSettingsFromTray(k);
        Require(settings != nullptr, "no settings window");
        HWND edit = FindChildWithText(settings, SavePath());
        Require(edit != nullptr, "no edit holds the save folder");
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        PostMessageW(settings, WM_CLOSE, 0, 0);
        Require(WaitFor([&] { return !IsWindowVisible(settings); }), "the settings window did not close");
        Require(WaitFor([&] { return ReadFile(k.SettingsPath()).find(Narrow(folder)) != std::string::npos; }),
                "the new folder was not saved");
        savePath = folder;
    }
    std::wstring SavePath() const { return savePath.empty() ? shots : savePath; }
    std::wstring savePath;  // when not shots
    // The folder a failed save must leave as it was, and what it held.
    std::wstring faultFolder;
    std::vector<std::wstring> faultFolderBefore;

    static HWND FindChildWithText(HWND parent, const std::wstring& text) {
        struct Search {
            const std::wstring& text;
            HWND found = nullptr;
        } search{text};
        EnumChildWindows(
            parent,
            [](HWND child, LPARAM p) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(p);
                wchar_t buffer[1024] = {};
                SendMessageW(child, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
                if (s.text != buffer) return TRUE;
                s.found = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void ChooseFromTray(int row, int subRow = -1) {
        HWND menu = OpenTrayMenu();
        Require(menu != nullptr, "the tray menu did not open");
        ClickMenuRow(menu, "i-ii-iii", row);
        if (subRow < 0) return;
        Require(WaitFor([] { return OpenMenus() == 2; }), "the submenu did not open");
        ClickMenuRow(NewestMenu(), "ii", subRow);
    }
};

struct Case {
    const char* name;
    std::string screenshot;                    // the [Screenshot] lines (and any more sections)
    std::function<void(Trial&)> before;          // the fault before start-up
    const wchar_t* atStart;                    // text of the box at start-up; nullptr: none
    Action action;
    std::function<void(Trial&)> during;          // the fault put in place after start-up
    const wchar_t* afterAction;                // text of the box the action brings; nullptr: none
    std::function<void(Trial&)> nothingLost;     // what the user had is still there
    std::function<void(Trial&)> repair;          // takes the fault away (after Trial::Release)
    // Settings.ini could not be read: Kadrix runs on its defaults (screenshots
    // beside the program, JPEG, uploads on without a host).
    bool onDefaults = false;
    // The variable naming the folder the screenshots go to, a Unix path the
    // test script prepares; nullptr: the trial's own folder.
    const char* folderVariable = nullptr;
};

const std::string kSaveBmp = "SaveInFile=1\r\nUploadOnServer=0\r\nFormatSaveInFile=1\r\n";
const std::string kClipboardOnly = "SaveInFile=0\r\nUploadOnServer=0\r\n";

void SpoilLanguage(Trial& r, const std::string& bytes) { WriteFile(r.k.Dir() + L"Languages\\English.ini", bytes); }

std::string Garbage(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) c = static_cast<char>((x = x * 1103515245 + 12345) >> 23);
    return bytes;
}

void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : FolderEntries(folder + L"\\")) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

size_t ThreadsOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

void ExpectSettingsUnchanged(Trial& r) {
    const std::string now = ReadFile(r.k.SettingsPath());
    EXPECT_TRUE(now == r.settingsBefore) << "Settings.ini changed: " << now.size() << " bytes, " << r.settingsBefore.size()
                                         << " before";
}
void ExpectNoShots(Trial& r) { EXPECT_TRUE(r.Shots().empty()) << "a file was left: " << Narrow(r.Shots().front()); }

// A failed save leaves no file in the folder (beside what was there) and no
// last screenshot to copy again.
void ExpectNothingSaved(Trial& r) {
    EXPECT_EQ(FolderEntries(r.faultFolder), r.faultFolderBefore) << "a file was left in " << Narrow(r.faultFolder);
    r.ChooseFromTray(2, 1);
    const std::wstring text = r.TakeBox();
    EXPECT_NE(text.find(L"No screenshot has been saved"), std::wstring::npos) << "copy-last: " << Narrow(text);
}

// A folder the test script prepared, in Windows form; empty when it did not.
std::wstring FolderFromEnvironment(const char* variable) {
    const char* unix = std::getenv(variable);
    if (!unix || !*unix) return {};
    const std::u16string wide = kadrix::Utf8ToUtf16(unix);
    std::wstring path = L"Z:" + std::wstring(wide.begin(), wide.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path + L"\\";
}

}  // namespace

TEST(Fault, EachFaultIsSaidClearlyLosesNothingAndLeavesKadrixWorking) {
    UploadTestService service;
    const std::string upload = "SaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=1\r\n[Upload]\r\nHost=127.0.0.1:" +
                               std::to_string(service.Port()) + "\r\n";
    const std::string oversized(17u << 20, ';');
    const auto nothing = [](Trial&) {};

    const Case cases[] = {
        {"save folder missing", kSaveBmp, [](Trial& r) { RemoveDirectoryW(r.shots.c_str()); }, nullptr, Action::Capture,
         nothing, L"Cannot create file", ExpectNothingSaved,
         [](Trial& r) { CreateDirectoryW(r.shots.c_str(), nullptr); }},
        {"save folder read-only", kSaveBmp, nothing, nullptr, Action::Capture, nothing, L"Cannot create file",
         ExpectNothingSaved, [](Trial& r) { r.SaveInto(r.shots); }, false, "KADRIX_READONLY_FOLDER"},
        {"save folder on a full disk", kSaveBmp, nothing, nullptr, Action::Capture, nothing, L"Cannot create file",
         ExpectNothingSaved, [](Trial& r) { r.SaveInto(r.shots); }, false, "KADRIX_FULL_FOLDER"},
        {"Settings.ini read-only at start-up", kSaveBmp,
         [](Trial& r) { SetFileAttributesW(r.k.SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY); }, L"Settings.ini",
         Action::None, nothing, nullptr, ExpectSettingsUnchanged,
         [](Trial& r) { SetFileAttributesW(r.k.SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL); }},
        {"Settings.ini read-only at closing the settings window", kSaveBmp, nothing, nullptr, Action::CloseSettings,
         [](Trial& r) {
             r.settingsBefore = ReadFile(r.k.SettingsPath());
             SetFileAttributesW(r.k.SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY);
         },
         L"Settings.ini", ExpectSettingsUnchanged,
         [](Trial& r) { SetFileAttributesW(r.k.SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL); }},
        {"Settings.ini locked at start-up", kSaveBmp, [](Trial& r) { r.LockFile(r.k.SettingsPath()); }, L"Settings.ini",
         Action::CloseSettings, nothing, L"not saved", ExpectSettingsUnchanged, nothing, true},
        {"Settings.ini locked at closing the settings window", kSaveBmp, nothing, nullptr, Action::CloseSettings,
         [](Trial& r) {
             r.settingsBefore = ReadFile(r.k.SettingsPath());
             r.LockFile(r.k.SettingsPath());
         },
         L"Settings.ini", ExpectSettingsUnchanged, nothing},
        {"Settings.ini a folder", kSaveBmp,
         [](Trial& r) {
             DeleteFileW(r.k.SettingsPath().c_str());
             CreateDirectoryW(r.k.SettingsPath().c_str(), nullptr);
         },
         L"Settings.ini", Action::CloseSettings, nothing, L"Settings.ini",
         [](Trial& r) { EXPECT_TRUE(GetFileAttributesW(r.k.SettingsPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY); },
         nothing, true},
        {"Settings.ini over the cap", kSaveBmp,
         [&](Trial& r) {
             r.settingsBefore = "\xEF\xBB\xBF[Main]\r\nShowHint=0\r\n" + oversized;
             WriteFile(r.k.SettingsPath(), r.settingsBefore);
         },
         L"Settings.ini", Action::CloseSettings, nothing, L"not saved", ExpectSettingsUnchanged, nothing, true},
        {"clipboard held during a capture", kClipboardOnly, nothing, nullptr, Action::Capture,
         [](Trial& r) {
             PutTextOnClipboard(L"the user's text");
             r.HoldClipboard();
         },
         L"clipboard", [](Trial&) { EXPECT_EQ(ClipboardText(), L"the user's text"); }, nothing},
        {"clipboard held during copy-last", kSaveBmp, nothing, nullptr, Action::CopyLast,
         [](Trial& r) {
             PutTextOnClipboard(L"the user's text");
             r.HoldClipboard();
         },
         L"clipboard",
         [](Trial& r) {
             EXPECT_EQ(ClipboardText(), L"the user's text");
             EXPECT_EQ(r.Shots().size(), 1u) << "the screenshot is gone";
         },
         nothing},
        {"Languages missing", kSaveBmp, [](Trial& r) { RemoveTree(r.k.Dir() + L"Languages"); }, nullptr, Action::None,
         nothing, nullptr, nothing, nothing},
        {"Languages empty", kSaveBmp,
         [](Trial& r) {
             RemoveTree(r.k.Dir() + L"Languages");
             CreateDirectoryW((r.k.Dir() + L"Languages").c_str(), nullptr);
         },
         nullptr, Action::None, nothing, nullptr, nothing, nothing},
        {"language file of binary garbage", kSaveBmp, [](Trial& r) { SpoilLanguage(r, Garbage(4096)); }, nullptr,
         Action::None, nothing, nullptr, nothing, nothing},
        // A language file that cannot be read only drops out of the list, without a word.
        {"language file over the cap", kSaveBmp, [&](Trial& r) { SpoilLanguage(r, "[Main]\r\n" + oversized); },
         nullptr, Action::CloseSettings, nothing, nullptr, nothing, nothing},
        // The flag is named once; its language stays listed and usable.
        {"flag that is not a PNG", kSaveBmp,
         [](Trial& r) { WriteFile(r.k.Dir() + L"Languages\\Flags\\English.png", "not a picture"); }, L"English.png",
         Action::CloseSettings, nothing, nullptr, nothing, nothing},
        {"upload refused", upload, [&](Trial&) { service.Answer(answers::RefusalUtf8("Файл не принят")); }, nullptr,
         Action::Capture, nothing, L"Файл не принят", [](Trial& r) { EXPECT_EQ(r.Shots().size(), 1u); },
         [&](Trial&) { service.Answer(answers::Address("http://127.0.0.1/shots/after.jpg")); }},
        {"upload reply cut off", upload,
         [&](Trial&) { service.Answer(answers::ClosesEarly("http://127.0.0.1/shots/cut.jpg")); }, nullptr,
         Action::Capture, nothing, L"could not be uploaded", [](Trial& r) { EXPECT_EQ(r.Shots().size(), 1u); },
         [&](Trial&) { service.Answer(answers::Address("http://127.0.0.1/shots/after.jpg")); }},
        // About 130 bytes, 40 ms apart: five seconds for the whole answer.
        {"upload answered byte by byte", upload,
         [&](Trial&) { service.Answer(answers::Slowly(answers::Address("http://127.0.0.1/shots/slow.jpg"), 40ms)); },
         nullptr, Action::Capture, nothing, L"uploaded",
         [](Trial& r) {
             EXPECT_EQ(r.Shots().size(), 1u);
             EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"http://127.0.0.1/shots/slow.jpg"; }));
         },
         [&](Trial&) { service.Answer(answers::Address("http://127.0.0.1/shots/after.jpg")); }},
        // The address is kept: no box, the user's clipboard untouched, and
        // the tray's copy-last-address puts it there once the clipboard is free.
        {"clipboard held when an upload finishes", upload, nothing, nullptr, Action::None,
         [&](Trial& r) {
             service.Answer(answers::Address("http://127.0.0.1/shots/held.jpg"));
             PutTextOnClipboard(L"the user's text");
             r.HoldClipboard();
             const size_t threads = ThreadsOf(r.k.Pid()), requests = service.Requests().size();
             r.Capture();
             EXPECT_TRUE(service.WaitForRequests(requests + 1, 20s)) << "no upload came";
             EXPECT_TRUE(WaitFor([&] { return ThreadsOf(r.k.Pid()) <= threads; })) << "the upload did not end";
             EXPECT_TRUE(MessageBoxes(r.k.Pid()).empty());
         },
         nullptr,
         [](Trial& r) {
             EXPECT_EQ(ClipboardText(), L"the user's text");
             EXPECT_EQ(r.Shots().size(), 1u);
             r.ChooseFromTray(2, 0);
             EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"http://127.0.0.1/shots/held.jpg"; }))
                 << "the address was lost";
         },
         [&](Trial&) { service.Answer(answers::Address("http://127.0.0.1/shots/after.jpg")); }},
        {"upload never answered", upload, [&](Trial&) { service.Answer(answers::Silent()); }, nullptr, Action::Capture,
         nothing, nullptr,
         [&](Trial& r) {
             EXPECT_TRUE(WaitFor([&] { return r.Shots().size() == 1; })) << "the screenshot was not saved";
             EXPECT_TRUE(MessageBoxes(r.k.Pid()).empty());
         },
         [&](Trial&) { service.Answer(answers::Address("http://127.0.0.1/shots/after.jpg")); }},
        {"screenshot hot key held by another program", kSaveBmp, [](Trial& r) { r.HoldHotKey(); }, L"taken",
         Action::None, nothing, nullptr, nothing, nothing},
        // A key another program holds goes to that program: Esc does nothing
        // here, and Alt+F4 still gives up the capture.
        {"Esc held by another program", kSaveBmp, nothing, nullptr, Action::None,
         [](Trial& r) {
             r.HoldHotKey(0, VK_ESCAPE);
             r.Open();
             Press(VK_ESCAPE);
             EXPECT_TRUE(r.HotKeyCameToTheOtherProgram()) << "Esc did not reach the program that holds it";
             EXPECT_TRUE(IsWindowVisible(r.k.MainWindow())) << "Esc reached the capture";
             Press(VK_F4, {VK_MENU});
             EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(r.k.MainWindow()); })) << "Alt+F4 left the capture open";
         },
         nullptr, ExpectNoShots, nothing},
        // Enter does nothing here; Esc gives up the capture.
        {"Enter held by another program", kSaveBmp, nothing, nullptr, Action::None,
         [](Trial& r) {
             r.HoldHotKey(0, VK_RETURN);
             r.Open();
             Drag(r.k.MainWindow(), 250, 250, 450, 400);
             Press(VK_RETURN);
             EXPECT_TRUE(r.HotKeyCameToTheOtherProgram()) << "Enter did not reach the program that holds it";
             EXPECT_TRUE(IsWindowVisible(r.k.MainWindow())) << "Enter reached the capture";
             Press(VK_ESCAPE);
             EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(r.k.MainWindow()); })) << "Esc left the capture open";
         },
         nullptr, ExpectNoShots, nothing},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::printf("[ fault    ] %s\n", c.name);
        std::fflush(stdout);
        Trial r;
        CreateDirectoryW(r.shots.c_str(), nullptr);
        r.faultFolder = r.shots;
        if (c.folderVariable) {
            r.faultFolder = r.savePath = FolderFromEnvironment(c.folderVariable);
            if (r.savePath.empty()) {
                std::printf("[ fault    ] %s: skipped, %s names no folder\n", c.name, c.folderVariable);
                continue;
            }
            r.faultFolderBefore = FolderEntries(r.faultFolder);
        }
        r.k.WriteSettings("[Main]\r\nShowHint=0\r\nLanguageFile=English.ini\r\n[Screenshot]\r\nSavePath=" +
                          Narrow(r.SavePath()) + "\r\n" + c.screenshot);
        r.settingsBefore = ReadFile(r.k.SettingsPath());
        PutTextOnClipboard(L"before");
        c.before(r);
        r.k.Start();
        ASSERT_TRUE(WaitFor([&] { return r.k.MainWindow() != nullptr; }, 20s)) << "Kadrix did not start";
        if (c.atStart) {
            const std::wstring text = r.TakeBox();
            EXPECT_NE(text.find(c.atStart), std::wstring::npos) << "at start-up: " << Narrow(text);
            std::printf("[ fault    ] %s, at start-up: %s\n", c.name, Narrow(text).c_str());
        }
        ASSERT_TRUE(WaitFor([] { return TrayIconPoint().has_value(); }, 20s)) << "no tray icon";
        // Start-up goes on after the icon shows (Settings.ini written back,
        // the settings window made last): the fault comes after it.
        ASSERT_TRUE(WaitFor([&] { return r.k.WindowsCreated(); }, 20s)) << "start-up did not finish";

        if (c.action == Action::CopyLast) {
            r.Capture();
            ASSERT_TRUE(WaitFor([&] { return r.Shots().size() == 1; })) << "the first capture saved nothing";
        }
        c.during(r);
        switch (c.action) {
            case Action::None:
                break;
            case Action::Capture:
            case Action::CopyLast:
                if (c.action == Action::Capture) {
                    r.Capture();
                } else {
                    r.ChooseFromTray(2, 1);
                }
                break;
            case Action::CloseSettings: {
                r.ChooseFromTray(5);
                HWND settings = Kadrix::FindProcessWindow(r.k.Pid(), L"TForm_SettingsProgram");
                ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(settings) != FALSE; })) << "no settings window";
                PostMessageW(settings, WM_CLOSE, 0, 0);
                if (!c.afterAction) {
                    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
                }
                break;
            }
        }
        if (c.afterAction) {
            const std::wstring text = r.TakeBox();
            EXPECT_NE(text.find(c.afterAction), std::wstring::npos) << "after the action: " << Narrow(text);
            std::printf("[ fault    ] %s, after the action: %s\n", c.name, Narrow(text).c_str());
        }
        // No temporary file of a failed write stays behind in the program's folder.
        for (const std::wstring& name : FolderEntries(r.k.Dir())) {
            EXPECT_EQ(GetFileAttributesW((r.k.Dir() + name).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u)
                << "left behind: " << Narrow(name);
        }

        // Once the fault is gone: what the user had is all there, and the next
        // capture works (a file, or the bitmap on the clipboard).
        r.Release();
        c.repair(r);
        c.nothingLost(r);
        if (c.action == Action::None && c.atStart && std::wstring(c.atStart) == L"taken") {
            // Opening the tray menu takes a freed hot key back.
            HWND menu = OpenTrayMenu();
            ASSERT_NE(menu, nullptr);
            Press(VK_ESCAPE);
            ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
        }
        ASSERT_TRUE(MessageBoxes(r.k.Pid()).empty()) << "a box is still up";
        const size_t picturesBefore = r.Pictures();
        PutTextOnClipboard(L"before");
        r.Capture(20);
        if (c.screenshot == kClipboardOnly) {
            EXPECT_TRUE(WaitFor([] { return IsClipboardFormatAvailable(CF_BITMAP) != FALSE; }))
                << "the capture after the fault did not reach the clipboard";
        } else {
            EXPECT_TRUE(WaitFor([&] { return r.Pictures() == picturesBefore + 1; }))
                << "the capture after the fault saved nothing";
        }
        if (c.screenshot == upload || c.onDefaults) r.TakeBox();  // the upload's own answer
    }
}
