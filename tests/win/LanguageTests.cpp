// The language picker and ApplyLanguage in-process under Wine: every shipped
// language listed with its own flag, a damaged flag that costs only that
// flag, and the texts a language file puts on the settings window and the
// About box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "image/Png.h"
#include "image/Scale32.h"
#include "localisation/InterfaceTexts.h"
#include "overlay/HotKeys.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"
#include "support/WindowTree.h"
#include "win32/ErrorHandler.h"

namespace {

using testsupport::ClassOf;
using testsupport::DescendantOfClass;
using testsupport::Descendants;
using testsupport::Text;

using kadrix::InterfaceText;
using kadrix::kHotKeyEsc;
using kadrix::kHotKeyScreenshot;

std::wstring SourceLanguages() { return std::wstring(L"Z:") + _CRT_WIDE(KADRIX_SOURCE_DIR) + L"\\Languages\\"; }

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

// The shipped language files, as the program's folder search finds them.
std::vector<std::wstring> ShippedLanguages() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((SourceLanguages() + L"*.ini").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

// Copies language files and their flags into the test's own Languages folder.
void CopyLanguages(const testsupport::TempFolder& folder, const std::vector<std::wstring>& names) {
    const std::wstring to = folder.Path() + L"Languages\\";
    CreateDirectoryW(to.c_str(), nullptr);
    CreateDirectoryW((to + L"Flags\\").c_str(), nullptr);
    for (const std::wstring& name : names) {
        ASSERT_TRUE(CopyFileW((SourceLanguages() + name).c_str(), (to + name).c_str(), FALSE)) << Utf8(name);
        const std::wstring flag = L"Flags\\" + name.substr(0, name.size() - 4) + L".png";
        ASSERT_TRUE(CopyFileW((SourceLanguages() + flag).c_str(), (to + flag).c_str(), FALSE)) << Utf8(flag);
    }
}

void WriteSettings(const testsupport::TempFolder& folder, const std::string& languageFile) {
    WriteBytes(folder.Path() + L"Settings.ini", "\xEF\xBB\xBF[Main]\r\nLanguageFile=" + languageFile + "\r\n");
}

std::wstring ListText(HWND control, UINT lenMsg, UINT textMsg, int index) {
    const auto length = SendMessageW(control, lenMsg, index, 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(control, textMsg, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// Paints picker item `index` into a bitmap through the settings window's own
// handler and returns the pixel at (x, y).
COLORREF PaintedItemPixel(ProgramWindows& forms, HWND combo, int index, UINT state, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 212, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(combo));
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = combo;
    item.hDC = dc;
    item.rcItem = {0, 0, 212, 20};
    SendMessageW(forms.settings.Handle(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    const COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixel;
}

// The colour the flag's own picture has at (x, y) of the 24 x 20 cell.
COLORREF FlagPixel(const std::wstring& flagPath, int x, int y) {
    const kadrix::Image32 cell = kadrix::ScaleImage32(kadrix::DecodePng(ReadBytes(flagPath)), 24, 20);
    const std::uint8_t* p = cell.Pixel(x, y);
    return RGB(p[2], p[1], p[0]);
}

TEST(LanguagePicker, ListsEveryShippedLanguageWithItsOwnFlag) {
    const testsupport::TempFolder folder;
    const std::vector<std::wstring> shipped = ShippedLanguages();
    ASSERT_GE(shipped.size(), 6u);
    CopyLanguages(folder, shipped);
    // Neither a folder named like a language file nor a file of another
    // extension is a language; a file without its name is "Русский", flagless.
    CreateDirectoryW((folder.Path() + L"Languages\\Folder.ini").c_str(), nullptr);
    WriteBytes(folder.Path() + L"Languages\\Notes.ini.txt", "[Main]\r\nLanguage=Notes\r\n");
    WriteBytes(folder.Path() + L"Languages\\NONAME.INI", "\xEF\xBB\xBF[Hint]\r\nAllocateArea=x\r\n");
    WriteSettings(folder, "English.ini");
    ProgramWindows forms(folder.Path());
    HWND combo = DescendantOfClass(forms.settings.Handle(), L"ComboBox");
    HWND files = DescendantOfClass(forms.settings.Handle(), L"ListBox");
    ASSERT_TRUE(combo && files);
    EXPECT_TRUE(GetWindowLongPtrW(combo, GWL_STYLE) & CBS_OWNERDRAWFIXED);

    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ASSERT_EQ(count, static_cast<int>(shipped.size()) + 1);
    ASSERT_EQ(SendMessageW(files, LB_GETCOUNT, 0, 0), count) << "the two lists out of step";
    std::set<std::wstring> listed;
    for (int i = 0; i < count; ++i) {
        const std::wstring file = ListText(files, LB_GETTEXTLEN, LB_GETTEXT, i);
        const std::wstring name = ListText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i);
        SCOPED_TRACE(Utf8(file) + " as " + Utf8(name));
        listed.insert(file);
        const COLORREF flagSpot = PaintedItemPixel(forms, combo, i, 0, 12, 10);
        if (file == L"NONAME.INI") {
            EXPECT_EQ(name, L"Русский");
            EXPECT_EQ(flagSpot, GetSysColor(COLOR_WINDOW)) << "a flag drawn for a language without one";
            continue;
        }
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name == L"Русский", file == L"Russian.ini");
        const std::wstring flag = SourceLanguages() + L"Flags\\" + file.substr(0, file.size() - 4) + L".png";
        for (const POINT p : {POINT{3, 3}, POINT{12, 10}, POINT{20, 17}}) {
            EXPECT_EQ(PaintedItemPixel(forms, combo, i, 0, p.x, p.y), FlagPixel(flag, p.x, p.y))
                << "flag pixel " << p.x << "," << p.y;
        }
        // Right of the text: the item's background, highlighted when selected.
        EXPECT_EQ(PaintedItemPixel(forms, combo, i, 0, 210, 1), GetSysColor(COLOR_WINDOW));
        EXPECT_EQ(PaintedItemPixel(forms, combo, i, ODS_SELECTED, 210, 1), GetSysColor(COLOR_HIGHLIGHT));
    }
    for (const std::wstring& name : shipped) EXPECT_TRUE(listed.count(name)) << Utf8(name);
    EXPECT_EQ(Text(forms.settings.Handle()), L"Settings") << "English.ini, named in the settings, not applied";
}

// Closes every error box of the thread as it shows and keeps their texts.
std::vector<std::wstring> ShowAndCloseErrors() {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::vector<std::wstring> texts;
    std::thread observer([&] {
        while (!done) {
            HWND box = nullptr;
            EnumThreadWindows(
                self,
                [](HWND hwnd, LPARAM found) -> BOOL {
                    wchar_t cls[32] = {};
                    GetClassNameW(hwnd, cls, 32);
                    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
                    *reinterpret_cast<HWND*>(found) = hwnd;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&box));
            if (box) {
                wchar_t text[1024] = {};
                GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 1024);
                texts.push_back(text);
                SendMessageW(box, WM_COMMAND, IDOK, 0);
                while (IsWindow(box)) Sleep(5);
            }
            Sleep(10);
        }
    });
    kadrix::win::ShowPendingErrors();
    done = true;
    observer.join();
    return texts;
}

TEST(LanguagePicker, ADamagedFlagCostsOnlyThatFlag) {
    const testsupport::TempFolder folder;
    CopyLanguages(folder, {L"Russian.ini", L"German.ini", L"English.ini"});
    WriteBytes(folder.Path() + L"Languages\\Flags\\German.png", "\x89PNG\r\n\x1a\nthis is no picture");
    WriteSettings(folder, "English.ini");
    ProgramWindows forms(folder.Path());
    HWND combo = DescendantOfClass(forms.settings.Handle(), L"ComboBox");
    HWND files = DescendantOfClass(forms.settings.Handle(), L"ListBox");
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3) << "the languages after the damaged flag must stay";
    for (int i = 0; i < 3; ++i) {
        const std::wstring file = ListText(files, LB_GETTEXTLEN, LB_GETTEXT, i);
        const COLORREF spot = PaintedItemPixel(forms, combo, i, 0, 12, 10);
        if (file == L"German.ini") {
            EXPECT_EQ(ListText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i), L"Deutsch");
            EXPECT_EQ(spot, GetSysColor(COLOR_WINDOW));
        } else {
            EXPECT_NE(spot, GetSysColor(COLOR_WINDOW)) << Utf8(file);
        }
    }
    // The rest of the creation ran: settings loaded and applied, texts placed.
    EXPECT_EQ(Text(forms.settings.Handle()), L"Settings");
    EXPECT_FALSE(RegisterHotKey(nullptr, 0x7310, MOD_CONTROL, 'P')) << "no screenshot hot key";
    UnregisterHotKey(nullptr, 0x7310);
    const std::vector<std::wstring> errors = ShowAndCloseErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(L"German.png"), std::wstring::npos) << Utf8(errors[0]);
    EXPECT_NE(errors[0].find(L"PNG error"), std::wstring::npos) << Utf8(errors[0]);
}

// ---- ApplyLanguage ----------------------------------------------------------

bool SettingsOrAboutText(InterfaceText key) {
    const std::u16string_view section = kadrix::KeyOf(key).Section;
    return section == u"SettingsProgram" || section == kadrix::kParametersProgram ||
           section == kadrix::kParametersScreenshot || section == u"AboutProgram";
}

bool GroupText(InterfaceText key) {
    return key == InterfaceText::ParametersProgram_LanguageInterface || key == InterfaceText::ParametersProgram_HotKey ||
           key == InterfaceText::ParametersScreenshot_PathSaveScreenshot ||
           key == InterfaceText::ParametersScreenshot_FormatSaveInFile;
}

// A distinct text for each key: "t" and its place in the table.
std::wstring Marker(InterfaceText key) { return L"t" + std::to_wstring(static_cast<int>(key)); }

// Every text both windows show: titles, controls, tabs.
std::multiset<std::wstring> ShownTexts(ProgramWindows& forms) {
    std::multiset<std::wstring> texts;
    for (HWND window : {forms.settings.Handle(), forms.about.Handle()}) {
        texts.insert(Text(window));
        for (HWND c : Descendants(window)) {
            texts.insert(Text(c));
            if (ClassOf(c) == L"SysTabControl32") {
                for (int i = 0; i < TabCtrl_GetItemCount(c); ++i) {
                    wchar_t tab[256] = {};
                    TCITEMW item{};
                    item.mask = TCIF_TEXT;
                    item.pszText = tab;
                    item.cchTextMax = 256;
                    TabCtrl_GetItem(c, i, &item);
                    texts.insert(tab);
                }
            }
        }
    }
    return texts;
}

TEST(ApplyLanguage, EveryKeyOfTheTableReachesItsControl) {
    const testsupport::TempFolder folder;
    CreateDirectoryW((folder.Path() + L"Languages").c_str(), nullptr);
    // One file holding every key of the table, each with its own text.
    std::string file = "\xEF\xBB\xBF";
    std::u16string_view section;
    for (size_t i = 0; i < kadrix::kInterfaceTexts.size(); ++i) {
        const auto key = static_cast<InterfaceText>(i);
        const kadrix::TextKey& k = kadrix::KeyOf(key);
        if (k.Section != section) {
            section = k.Section;
            file += '[';
            file += Utf8(std::wstring(section.begin(), section.end()));
            file += "]\r\n";
        }
        file += Utf8(std::wstring(k.Key.begin(), k.Key.end())) + "=" + Utf8(Marker(key)) + "\r\n";
    }
    WriteBytes(folder.Path() + L"Languages\\Every.ini", file);
    WriteSettings(folder, "Every.ini");
    ProgramWindows forms(folder.Path());

    const std::multiset<std::wstring> shown = ShownTexts(forms);
    using T = InterfaceText;
    for (size_t i = 0; i < kadrix::kInterfaceTexts.size(); ++i) {
        const auto key = static_cast<InterfaceText>(i);
        if (!SettingsOrAboutText(key)) continue;
        const kadrix::TextKey& k = kadrix::KeyOf(key);
        SCOPED_TRACE(Utf8(std::wstring(k.Section.begin(), k.Section.end()) + L"/" +
                          std::wstring(k.Key.begin(), k.Key.end())));
        if (key == T::ParametersScreenshot_SelectDirectory) {
            EXPECT_EQ(forms.settings.TitleSelectDirectory, Marker(key));
        } else if (key == T::AboutProgram_Version || key == T::AboutProgram_Bit) {
            // The test executable has no version resource: an empty version.
            EXPECT_EQ(shown.count(Marker(T::AboutProgram_Version) + L"  (64-" + Marker(T::AboutProgram_Bit) + L")"), 1u);
        } else if (key == T::AboutProgram_DataBuild) {
            const std::wstring start = Marker(key) + L" ";
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [&](const std::wstring& t) {
                return t.rfind(start, 0) == 0 && t.size() == start.size() + 19;
            }));
        } else if (GroupText(key)) {
            EXPECT_EQ(shown.count(L" " + Marker(key) + L" "), 1u);
        } else {
            EXPECT_EQ(shown.count(Marker(key)), 1u);
        }
    }
    // The hint panel is made at the first capture, after the language was
    // applied: it shows the language's texts all the same.
    SetCursorPos(5, 5);
    SendMessageW(forms.background.Handle(), WM_HOTKEY, kHotKeyScreenshot, 0);
    ASSERT_TRUE(forms.background.Visible());
    const InterfaceText hints[] = {T::Hint_AllocateArea, T::Hint_DrawInArea, T::Hint_EraseDrawn, T::Hint_SaveScreenshot,
                                   T::Hint_CancelMakeScreenshot};
    for (size_t i = 0; i < 5; ++i) {
        const std::wstring marker = Marker(hints[i]);
        EXPECT_EQ(forms.background.HintPanel().Hint(i), u"\u2981 " + std::u16string(marker.begin(), marker.end()));
    }
    SendMessageW(forms.background.Handle(), WM_HOTKEY, kHotKeyEsc, 0);

    // No built-in text is left anywhere, the picker's own entry aside.
    for (const std::wstring& t : shown) {
        const bool cyrillic = std::any_of(t.begin(), t.end(), [](wchar_t c) { return c >= 0x400 && c < 0x500; });
        EXPECT_FALSE(cyrillic) << Utf8(t);
    }
}

TEST(ApplyLanguage, MissingSectionsGiveEmptyTextsAndNoLanguageKeepsTheBuiltInOnes) {
    const testsupport::TempFolder folder;
    CreateDirectoryW((folder.Path() + L"Languages").c_str(), nullptr);
    WriteBytes(folder.Path() + L"Languages\\Partial.ini",
               "\xEF\xBB\xBF[Main]\r\nLanguage=Partial\r\n[SettingsProgram]\r\nCaption=Only this\r\n");
    {
        WriteSettings(folder, "Partial.ini");
        ProgramWindows forms(folder.Path());
        HWND settings = forms.settings.Handle();
        HWND about = forms.about.Handle();
        EXPECT_EQ(Text(settings), L"Only this");
        EXPECT_EQ(Text(about), L"");
        const std::multiset<std::wstring> shown = ShownTexts(forms);
        EXPECT_EQ(shown.count(L"  "), 4u) << "four group boxes with only their spaces";
        EXPECT_EQ(shown.count(L"  (64-)"), 1u) << "the version line around empty texts";
        for (const std::wstring& t : shown) {
            EXPECT_TRUE(t.find(L"Закрыть") == std::wstring::npos && t.find(L"Настройки") == std::wstring::npos)
                << Utf8(t);
        }
    }
    {
        // A language the folder does not hold: nothing selected, nothing replaced.
        WriteSettings(folder, "Gone.ini");
        ProgramWindows forms(folder.Path());
        EXPECT_EQ(Text(forms.settings.Handle()), L"Настройки");
        EXPECT_EQ(Text(forms.about.Handle()), L"О программе");
        const std::multiset<std::wstring> shown = ShownTexts(forms);
        EXPECT_EQ(shown.count(L"Закрыть"), 2u);
        EXPECT_EQ(shown.count(L" Язык интерфейса "), 1u);
        EXPECT_EQ(shown.count(L"Параметры скриншота"), 1u);
    }
}

}  // namespace
