// The settings window and the About box in-process under Wine: the hot-key
// letter, the format group, every way of closing, the folder chooser's
// result, the link's hover state, and the layout at several display scales
// with the texts of every shipped language.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "support/WindowTree.h"
#include "win32/ErrorHandler.h"

namespace {

using testsupport::ClassOf;
using testsupport::Descendants;
using testsupport::Text;

HWND FindControl(HWND root, const std::function<bool(HWND)>& match) {
    for (HWND c : Descendants(root)) {
        if (match(c)) return c;
    }
    return nullptr;
}

HWND ByText(HWND root, const wchar_t* cls, const std::wstring& text) {
    return FindControl(root, [&](HWND c) { return lstrcmpiW(ClassOf(c).c_str(), cls) == 0 && Text(c) == text; });
}

HWND HotKeyEdit(HWND settings) {
    return FindControl(settings, [](HWND c) {
        return lstrcmpiW(ClassOf(c).c_str(), L"Edit") == 0 && !(GetWindowLongPtrW(c, GWL_STYLE) & ES_READONLY);
    });
}

// Runs the messages waiting, the way the program's loop does.
void Pump(ProgramWindows& forms) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(forms.settings.Handle(), &msg) && !IsDialogMessageW(forms.about.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::string SettingsFile(const testsupport::TempFolder& folder) {
    std::string bytes;
    HANDLE file = CreateFileW((folder.Path() + L"Settings.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// Every shipped language file; returns how many.
int CopyLanguages(const testsupport::TempFolder& folder) {
    const std::wstring from = std::wstring(L"Z:") + _CRT_WIDE(KADRIX_SOURCE_DIR) + L"\\Languages\\";
    const std::wstring to = folder.Path() + L"Languages\\";
    CreateDirectoryW(to.c_str(), nullptr);
    int copied = 0;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((from + L"*.ini").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (CopyFileW((from + found.cFileName).c_str(), (to + found.cFileName).c_str(), FALSE)) ++copied;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return copied;
}

TEST(SettingsWindow, HotKeyEditTakesOnlyTheLettersOfTheKeys) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND edit = HotKeyEdit(forms.settings.Handle());
    ASSERT_NE(edit, nullptr);
    struct Case {
        const char* name;
        WPARAM key;      // 0: no key-down, only the character
        wchar_t typed;   // 0: no character follows
        const wchar_t* shown;
    } cases[] = {
        {"k gives K", 'K', L'k', L"K"},
        {"5 changes nothing", '5', L'5', L"K"},
        {"Backspace changes nothing", VK_BACK, L'\b', L"K"},
        {"Delete changes nothing", VK_DELETE, 0, L"K"},
        {"arrows change nothing", VK_LEFT, 0, L"K"},
        {"a function key changes nothing", VK_F5, 0, L"K"},
        {"a Cyrillic layout still gives the Latin letter", 'D', L'\x0432', L"D"},
        {"a typed character alone changes nothing", 0, L'z', L"D"},
        {"a pasted text changes nothing", 0, 0x16, L"D"},
    };
    for (const Case& c : cases) {
        if (c.key) SendMessageW(edit, WM_KEYDOWN, c.key, 1);
        if (c.typed) SendMessageW(edit, WM_CHAR, c.typed, 1);
        EXPECT_EQ(Text(edit), c.shown) << c.name;
    }
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(edit), L"D");
    EXPECT_EQ(forms.settings.GetHotKey2(), 'D');
}

TEST(SettingsWindow, EnterInTheHotKeyEditClosesAndApplies) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    forms.settings.Show();
    HWND edit = HotKeyEdit(forms.settings.Handle());
    SetFocus(edit);
    PostMessageW(edit, WM_KEYDOWN, 'J', 1);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    Pump(forms);
    EXPECT_FALSE(forms.settings.Visible());
    EXPECT_NE(SettingsFile(folder).find("HotKey2=74"), std::string::npos) << SettingsFile(folder);
    // Applied: the system holds Ctrl+J for the overlay now.
    EXPECT_FALSE(RegisterHotKey(nullptr, 0x7300, MOD_CONTROL, 'J'));
    UnregisterHotKey(nullptr, 0x7300);
}

TEST(SettingsWindow, FormatGroupEnabledExactlyWhileSavingToFile) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND settings = forms.settings.Handle();
    HWND saveInFile = ByText(settings, L"Button", L"Сохранять скриншот в файл");
    HWND bmp = ByText(settings, L"Button", L"Bmp");
    HWND jpeg = ByText(settings, L"Button", L"Jpeg");
    HWND group = ByText(settings, L"Button", L" Формат для сохранения в файл ");
    ASSERT_TRUE(saveInFile && bmp && jpeg && group);
    ASSERT_TRUE(forms.settings.GetSaveInFile());
    SendMessageW(bmp, BM_CLICK, 0, 0);
    EXPECT_EQ(forms.settings.GetFormatSaveInFile(), 1);

    SendMessageW(saveInFile, BM_CLICK, 0, 0);
    EXPECT_FALSE(forms.settings.GetSaveInFile());
    for (HWND c : {group, jpeg, bmp}) EXPECT_FALSE(IsWindowEnabled(c));
    EXPECT_EQ(forms.settings.GetFormatSaveInFile(), 1) << "the choice stays while the group is off";
    forms.settings.Close();
    const std::string file = SettingsFile(folder);
    EXPECT_NE(file.find("SaveInFile=0"), std::string::npos) << file;
    EXPECT_NE(file.find("FormatSaveInFile=1"), std::string::npos) << file;

    SendMessageW(saveInFile, BM_CLICK, 0, 0);
    for (HWND c : {group, jpeg, bmp}) EXPECT_TRUE(IsWindowEnabled(c));
}

TEST(SettingsWindow, EveryWayOfClosingAppliesAndSavesLikeClose) {
    struct Way {
        const char* name;
        std::function<void(ProgramWindows&)> close;
    } ways[] = {
        {"Close button", [](ProgramWindows& f) {
             SendMessageW(ByText(f.settings.Handle(), L"Button", L"Закрыть"), BM_CLICK, 0, 0);
         }},
        {"close box", [](ProgramWindows& f) { SendMessageW(f.settings.Handle(), WM_CLOSE, 0, 0); }},
        {"system close command", [](ProgramWindows& f) {
             SendMessageW(f.settings.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
         }},
    };
    std::string first;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const testsupport::TempFolder folder;
        ProgramWindows forms(folder.Path());
        forms.settings.Show();
        HWND settings = forms.settings.Handle();
        SendMessageW(ByText(settings, L"Button", L"Показывать направляющие линии"), BM_CLICK, 0, 0);
        SendMessageW(ByText(settings, L"Button", L"Shift"), BM_CLICK, 0, 0);
        SendMessageW(HotKeyEdit(settings), WM_KEYDOWN, 'Q', 1);
        way.close(forms);
        Pump(forms);
        EXPECT_FALSE(forms.settings.Visible());
        std::string file = SettingsFile(folder);
        EXPECT_NE(file.find("ShowLine=0"), std::string::npos) << file;
        EXPECT_NE(file.find("HotKey2=81"), std::string::npos) << file;
        EXPECT_FALSE(RegisterHotKey(nullptr, 0x7301, MOD_SHIFT, 'Q')) << "Shift+Q not applied";
        UnregisterHotKey(nullptr, 0x7301);
        // Each run has its own folder, the default save path.
        const size_t path = file.find("SavePath=");
        ASSERT_NE(path, std::string::npos);
        file.erase(path, file.find('\r', path) - path);
        if (first.empty()) first = file;
        EXPECT_EQ(file, first);
    }
}

TEST(SettingsWindow, FolderChooserResultGetsOneTrailingBackslash) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    struct Case {
        std::optional<std::wstring> chosen;
        const wchar_t* path;
    } cases[] = {
        {L"C:\\Shots", L"C:\\Shots\\"},
        {L"D:\\", L"D:\\"},
        {std::nullopt, L"D:\\"},  // cancelled: nothing changes
        {L"C:\\My Shots\\2025", L"C:\\My Shots\\2025\\"},
    };
    for (const Case& c : cases) {
        forms.settings.TakeSelectedFolder(c.chosen);
        EXPECT_EQ(forms.settings.GetSavePath(), c.path);
    }
}

TEST(SettingsWindow, ShowingAgainKeepsThePageAndCentres) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    forms.settings.Show();
    HWND tabs = FindControl(forms.settings.Handle(), [](HWND c) { return ClassOf(c) == L"SysTabControl32"; });
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(forms.settings.VisiblePage(), 0);
    SendMessageW(tabs, TCM_SETCURSEL, 1, 0);
    NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(forms.settings.Handle(), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    ASSERT_EQ(forms.settings.VisiblePage(), 1);
    forms.settings.Close();
    SetWindowPos(forms.settings.Handle(), nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    forms.settings.Show();
    EXPECT_EQ(forms.settings.VisiblePage(), 1);
    RECT rc;
    GetWindowRect(forms.settings.Handle(), &rc);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2);
    EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2);
    EXPECT_EQ(GetFocus(), ByText(forms.settings.Handle(), L"Button", L"Закрыть"));
}

TEST(AboutBox, LinkUnderlinesAndShowsTheHandOnlyWhileTheMouseIsOver) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    forms.about.Show();
    HWND link = ByText(forms.about.Handle(), L"Static", TForm_About::HomePageHost());
    ASSERT_NE(link, nullptr);
    auto underlined = [&] {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font.lfUnderline != 0;
    };
    EXPECT_FALSE(underlined());
    SendMessageW(link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_TRUE(forms.about.LinkHovered());
    EXPECT_TRUE(underlined());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SendMessageW(link, WM_MOUSELEAVE, 0, 0);
    SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_FALSE(forms.about.LinkHovered());
    EXPECT_FALSE(underlined());
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST(AboutBox, VersionAndDateLines) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HWND about = forms.about.Handle();
    // The test executable carries no version resource: an empty version.
    EXPECT_NE(ByText(about, L"Static", L"Версия  (64-бит)"), nullptr);
    forms.about.SetDateBuild(L"D");
    EXPECT_NE(FindControl(about, [](HWND c) { return Text(c).rfind(L"D ", 0) == 0 && Text(c).size() == 21; }),
              nullptr);
}

// ---- layout at several scales ---------------------------------------------

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// Every control inside its parent's client area and the window's; every
// caption no wider than its control.
std::vector<std::wstring> LayoutProblems(HWND window, UINT dpi) {
    std::vector<std::wstring> problems;
    RECT client;
    GetClientRect(window, &client);
    for (HWND c : Descendants(window)) {
        RECT rc;
        GetWindowRect(c, &rc);
        // Never shown: the list of language files, the page control's scroll arrows.
        if (!(GetWindowLongPtrW(c, GWL_STYLE) & WS_VISIBLE)) continue;
        const std::wstring name = ClassOf(c) + L" \"" + Text(c) + L"\"";
        RECT inParent = rc;
        MapWindowPoints(HWND_DESKTOP, GetParent(c), reinterpret_cast<POINT*>(&inParent), 2);
        RECT parent;
        GetClientRect(GetParent(c), &parent);
        RECT inWindow = rc;
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&inWindow), 2);
        const bool isCombo = ClassOf(c) == L"ComboBox";  // its height counts the closed box only
        if (inParent.left < 0 || inParent.top < 0 || inParent.right > parent.right ||
            (!isCombo && inParent.bottom > parent.bottom) || inWindow.right > client.right ||
            (!isCombo && inWindow.bottom > client.bottom)) {
            problems.push_back(name + L" lies outside");
        }
        const std::wstring text = Text(c);
        if (text.empty() || ClassOf(c) == L"Edit") continue;
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        // A word-wrapping label may take more lines, as long as they all show.
        const LONG staticStyle = GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK;
        bool wrappedWhole = false;
        if (ClassOf(c) == L"Static" && (staticStyle == SS_LEFT || staticStyle == SS_CENTER)) {
            RECT wrapped{0, 0, rc.right - rc.left, 0};
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            wrappedWhole = wrapped.right <= rc.right - rc.left && wrapped.bottom <= rc.bottom - rc.top;
        }
        SelectObject(dc, old);
        ReleaseDC(c, dc);
        const LONG style = GetWindowLongPtrW(c, GWL_STYLE) & BS_TYPEMASK;
        const bool check = ClassOf(c) == L"Button" &&
                           (style == BS_AUTOCHECKBOX || style == BS_AUTORADIOBUTTON || style == BS_CHECKBOX);
        const LONG room = (rc.right - rc.left) - (check ? MulDiv(13, static_cast<int>(dpi), 96) : 0);
        if (extent.cx > room && !wrappedWhole) problems.push_back(name + L" cut off: " + std::to_wstring(extent.cx) + L" > " +
                                                 std::to_wstring(room));
    }
    return problems;
}

void ChangeDpi(HWND window, UINT dpi) {
    RECT rc;
    GetWindowRect(window, &rc);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rc));
}

TEST(DialogLayout, NothingClippedOrOutsideAtEveryScaleInEveryLanguage) {
    const testsupport::TempFolder folder;
    const int shipped = CopyLanguages(folder);
    ASSERT_GE(shipped, 6);
    ProgramWindows forms(folder.Path());
    HWND settings = forms.settings.Handle();
    HWND combo = FindControl(settings, [](HWND c) { return ClassOf(c) == L"ComboBox"; });
    ASSERT_NE(combo, nullptr);
    const int languages = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ASSERT_EQ(languages, shipped);
    for (int language = 0; language < languages; ++language) {
        SendMessageW(combo, CB_SETCURSEL, language, 0);
        SendMessageW(settings, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        for (UINT dpi : {96u, 120u, 144u, 192u}) {
            for (const auto& [window, width, height] :
                 {std::tuple{settings, 674, 406}, std::tuple{forms.about.Handle(), 420, 266}}) {
                wchar_t name[64] = {};
                SendMessageW(combo, CB_GETLBTEXT, language, reinterpret_cast<LPARAM>(name));
                SCOPED_TRACE(Utf8(name) + ", " + std::to_string(dpi) + " DPI, " +
                             (window == settings ? "settings" : "About"));
                ChangeDpi(window, dpi);
                RECT client;
                GetClientRect(window, &client);
                EXPECT_EQ(client.right, MulDiv(width, static_cast<int>(dpi), 96));
                EXPECT_EQ(client.bottom, MulDiv(height, static_cast<int>(dpi), 96));
                for (const std::wstring& p : LayoutProblems(window, dpi)) {
                    ADD_FAILURE() << Utf8(p);
                }
            }
        }
    }
}

}  // namespace
