#include <gtest/gtest.h>

#include "core/Utf.h"
#include "localisation/IniFile.h"
#include "shell/ProgramWindows.h"
#include "support/TempFolder.h"

namespace {

std::wstring Caption(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

}  // namespace

TEST(TrayMenu, HasEveryItemWithTheHotKeyAsShortcut) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    HMENU menu = forms.background.TrayMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 8);
    const std::wstring expected[] = {L"Сделать скриншот\tCtrl+P", L"", L"Поместить в буфер обмена",
                                     L"Открыть папку со скриншотами", L"", L"Настройки", L"О программе", L"Выход"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Caption(menu, i), expected[i]) << "item " << i;
    for (int separator : {1, 4}) {
        EXPECT_TRUE(GetMenuState(menu, separator, MF_BYPOSITION) & MF_SEPARATOR) << separator;
    }
    HMENU copy = GetSubMenu(menu, 2);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(GetMenuItemCount(copy), 2);
    EXPECT_EQ(Caption(copy, 0), L"URL последнего скриншота");
    EXPECT_EQ(Caption(copy, 1), L"Последний скриншот");
    for (int i : {0, 2, 3, 5, 6, 7}) {
        EXPECT_FALSE(GetMenuState(menu, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED)) << i;
    }
}

TEST(TrayMenu, ShortcutFollowsTheModifier) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    for (const wchar_t* shortcut : {L"Alt+S", L"Shift+Q", L"Ctrl+P"}) {
        forms.background.SetMakeScreenshotShortcut(shortcut);
        EXPECT_EQ(Caption(forms.background.TrayMenu(), 0), std::wstring(L"Сделать скриншот\t") + shortcut);
    }
}

TEST(TrayMenu, LanguageReplacesCaptionsAndKeepsTheShortcut) {
    const testsupport::TempFolder folder;
    ProgramWindows forms(folder.Path());
    const auto language = kadrix::IniFile::Parse(
        u"[PopupMenuTray]\nMakeScreenshot=Take</br>shot\nCopyInClipboard=Copy\nCopyInClipboard_LastURL=URL\n"
        u"Exit=Quit\n[CopyClipboardLastURL]\nCaption=None\nText=No upload</BR>yet\n");
    forms.background.ApplyLanguage(language);
    HMENU menu = forms.background.TrayMenu();
    EXPECT_EQ(Caption(menu, 0), L"Take</br>shot\tCtrl+P");
    EXPECT_EQ(Caption(menu, 2), L"Copy");
    EXPECT_EQ(Caption(GetSubMenu(menu, 2), 0), L"URL");
    EXPECT_EQ(Caption(GetSubMenu(menu, 2), 1), L"");
    EXPECT_EQ(Caption(menu, 7), L"Quit");
    EXPECT_EQ(forms.background.CopyClipboardLastURL_Caption, L"None");
    EXPECT_EQ(forms.background.CopyClipboardLastURL_Text, L"No upload\r\nyet");
    EXPECT_EQ(forms.background.CopyClipboardLastScreenshot_Text, L"");
}
