// Switching the language in the open settings window of the real Kadrix.exe,
// with the keyboard, and a damaged flag picture in the install folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/E2e.h"
#include "support/WindowTree.h"

using namespace e2e;

namespace {

using testsupport::DescendantOfClass;
using testsupport::Descendants;
using testsupport::Text;


bool HasChildWithText(HWND window, const std::wstring& text) {
    for (HWND c : Descendants(window)) {
        if (Text(c) == text) return true;
    }
    return false;
}

// The picker's entries as the user reads them.
std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_BLOCK, 2000, &count);
    for (int i = 0; i < static_cast<int>(count); ++i) {
        wchar_t text[256] = {};
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000, &ignored);
        items.push_back(text);
    }
    return items;
}


TEST(LanguageSwitch, ThePickerChangesEveryWindowAtOnceAndTheFileOnClose) {
    Kadrix k;
    k.WriteSettings("[Main]\r\nShowHint=0\r\nLanguageFile=Russian.ini\r\n");
    k.StartAndWaitReady();
    HWND settings = OpenSettingsFromTray(k);
    ASSERT_NE(settings, nullptr);
    HWND about = Kadrix::FindProcessWindow(k.Pid(), L"TForm_About");
    ASSERT_NE(about, nullptr);
    ASSERT_EQ(Text(settings), L"Настройки");
    ASSERT_EQ(Text(about), L"О программе");

    HWND combo = DescendantOfClass(settings, L"ComboBox");
    ASSERT_NE(combo, nullptr);
    const std::vector<std::wstring> items = ComboItems(combo);
    ASSERT_GE(items.size(), 6u);
    int english = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == L"English") english = static_cast<int>(i);
    }
    ASSERT_GE(english, 0);
    const int start = ComboSelection(combo);
    ASSERT_GE(start, 0);
    ASSERT_NE(items[static_cast<size_t>(start)], L"English");

    // Step through the closed box with the arrow keys to English; each step
    // applies the language passed.
    FocusPicker(combo);
    const WORD key = english > start ? VK_DOWN : VK_UP;
    for (int i = start; i != english; i += english > start ? 1 : -1) {
        const int next = i + (english > start ? 1 : -1);
        Press(key);
        ASSERT_TRUE(WaitFor([&] { return ComboSelection(combo) == next; })) << "the arrow key did not move the choice";
    }
    EXPECT_TRUE(WaitFor([&] { return Text(settings) == L"Settings"; })) << "the settings window kept its title";
    EXPECT_TRUE(HasChildWithText(settings, L" Interface language "));
    EXPECT_TRUE(HasChildWithText(settings, L"Close"));
    EXPECT_EQ(Text(about), L"About Kadrix") << "the About box did not follow";
    EXPECT_TRUE(HasChildWithText(about, L"Close"));
    const std::vector<HWND> aboutControls = Descendants(about);
    EXPECT_TRUE(std::any_of(aboutControls.begin(), aboutControls.end(), [](HWND c) { return Text(c).rfind(L"Version 2.4.0.1049 (64-", 0) == 0; }))
        << "the version line was not composed again";
    EXPECT_NE(ReadFile(k.SettingsPath()).find("LanguageFile=Russian.ini"), std::string::npos)
        << "the choice must reach the file only when the window closes";

    Press(VK_RETURN);  // the default button, Close
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
    EXPECT_TRUE(WaitFor([&] { return ReadFile(k.SettingsPath()).find("LanguageFile=English.ini") != std::string::npos; }))
        << ReadFile(k.SettingsPath());

    // A second copy now warns in the new language.
    const PROCESS_INFORMATION second = k.Start();
    ASSERT_NE(second.hProcess, nullptr);
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(second.dwProcessId)).empty(); }));
    EXPECT_EQ(boxes[0].title, L"Kadrix is already running");
    PostMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);

    // An upload started now explains itself in the new language too; with
    // no upload service set, its box says so.
    SelectAndEnter(k.MainWindow());
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }, 20s)) << "no upload box";
    EXPECT_EQ(boxes[0].title, L"Screenshot upload");
    EXPECT_EQ(boxes[0].text.rfind(L"The screenshot could not be uploaded", 0), 0u) << Narrow(boxes[0].text);
    EXPECT_NE(boxes[0].text.find(L"No upload service is set"), std::wstring::npos) << Narrow(boxes[0].text);
    PostMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return MessageBoxes(k.Pid()).empty(); }));
}

TEST(LanguageSwitch, ADamagedFlagLeavesItsLanguageListedAndTheHotKeyWorking) {
    Kadrix k;
    WriteFile(k.Dir() + L"Languages\\Flags\\German.png", "\x89PNG\r\n\x1a\nno picture here");
    k.WriteSettings("[Main]\r\nShowHint=0\r\nLanguageFile=English.ini\r\n");
    k.StartAndWaitReady();  // the hot key is taken

    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); })) << "the damaged flag was not reported";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(L"German.png"), std::wstring::npos);
    PostMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return MessageBoxes(k.Pid()).empty(); }));

    HWND overlay = k.MainWindow();
    EXPECT_TRUE(PressCtrlPUntilShown(overlay)) << "Ctrl+P opened no capture";
    Press(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(overlay); }));

    // The hidden settings window holds the list and the applied texts.
    HWND settings = Kadrix::FindProcessWindow(k.Pid(), L"TForm_SettingsProgram");
    ASSERT_NE(settings, nullptr);
    // Hiding the overlay may keep Kadrix busy for a moment: wait for its answers.
    EXPECT_TRUE(WaitFor([&] { return Text(settings) == L"Settings"; }))
        << "the texts were not applied after the damaged flag";
    std::vector<std::wstring> items;
    EXPECT_TRUE(WaitFor([&] { return (items = ComboItems(DescendantOfClass(settings, L"ComboBox"))).size() >= 6; }))
        << "languages after the damaged flag are missing";
    EXPECT_NE(std::find(items.begin(), items.end(), L"Deutsch"), items.end());
    EXPECT_TRUE(MessageBoxes(k.Pid()).empty()) << "the error was shown more than once";
}

}  // namespace
