#include <gtest/gtest.h>

#include "e2e/E2e.h"

using namespace e2e;

TEST(Startup, FirstStartWritesBomOnlySettingsAndShowsNothing) {
    Kadrix k;
    ASSERT_FALSE(FileExists(k.SettingsPath()));
    k.StartAndWaitReady();
    ASSERT_TRUE(WaitFor([&] { return ReadFile(k.SettingsPath()) == "\xEF\xBB\xBF"; }));
    HWND main = k.MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(main, GWL_EXSTYLE) & ~WS_EX_LAYERED, WS_EX_TOOLWINDOW);
    EXPECT_TRUE(Kadrix::ProcessWindows(k.Pid(), nullptr, true).empty()) << "a window of Kadrix is visible";
    EXPECT_TRUE(MessageBoxes(k.Pid()).empty());
    EXPECT_TRUE(k.Running());
}

TEST(Startup, SecondCopyWarnsInTheSelectedLanguageAndLeavesTheFirstAlone) {
    Kadrix k;
    WriteFile(k.Dir() + L"Languages\\Test.ini",
              "\xEF\xBB\xBF[ProgramAlreadyRunning]\r\nCaption=Already here\r\nText=First line</BR>second</br>third\r\n");
    k.WriteSettings("[Main]\r\nLanguageFile=Test.ini\r\n");
    k.StartAndWaitReady();

    const PROCESS_INFORMATION second = k.Start();
    ASSERT_NE(second.hProcess, nullptr);
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(second.dwProcessId)).empty(); }));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Already here");
    EXPECT_EQ(boxes[0].text, L"First line\r\nsecond\r\nthird");
    EXPECT_TRUE(Kadrix::FindProcessWindow(second.dwProcessId, L"TForm_Background") == nullptr);

    SetForegroundWindow(boxes[0].hwnd);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == boxes[0].hwnd; }));
    Press(VK_RETURN);
    ASSERT_EQ(WaitForSingleObject(second.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(second.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);

    EXPECT_TRUE(k.Running());
    EXPECT_FALSE(IsWindowVisible(k.MainWindow())) << "the running copy's overlay opened";
}

TEST(Startup, NewCopyStartsNormallyAfterTheFirstEnds) {
    Kadrix k;
    k.StartAndWaitReady();
    PostMessageW(k.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_EQ(k.WaitExit(), std::optional<DWORD>(0));

    Kadrix again;
    again.StartAndWaitReady();
    ASSERT_NE(again.MainWindow(), nullptr);
    EXPECT_TRUE(MessageBoxes(again.Pid()).empty());
    EXPECT_TRUE(again.Running());
}

TEST(Startup, BrokenSettingsFallBackToDefaultsAndAreRewritten) {
    Kadrix k;
    WriteFile(k.SettingsPath(), std::string("\xFF\xFE[\0M\0a\0i\0n\0]\0\n\0H\0o\0t\0K\0e\0y\0" "1\0=\0z\0\n\0", 40) +
                                    std::string(1000, '\x80'));
    k.StartAndWaitReady();
    ASSERT_TRUE(WaitFor([&] { return ReadFile(k.SettingsPath()).starts_with("\xEF\xBB\xBF[Main]\r\nHotKey1=z\r\n"); }));
    EXPECT_TRUE(MessageBoxes(k.Pid()).empty());
    EXPECT_TRUE(k.Running());
}

TEST(Startup, AnUnwritableSettingsFileIsReportedAndTheProgramRuns) {
    Kadrix k;
    // A folder where the file should be: it can be neither read nor replaced.
    CreateDirectoryW(k.SettingsPath().c_str(), nullptr);
    k.Start();
    std::vector<MessageBoxInfo> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = MessageBoxes(k.Pid())).empty(); }));
    EXPECT_TRUE(boxes[0].text.starts_with(L"Cannot create file \"" + k.SettingsPath() + L"\". ")) << "box text";
    SendMessageW(boxes[0].hwnd, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return MessageBoxes(k.Pid()).empty(); }));
    EXPECT_TRUE(k.Running());
    EXPECT_NE(k.MainWindow(), nullptr);
    EXPECT_TRUE(Kadrix::ProcessWindows(k.Pid(), nullptr, true).empty());
}
