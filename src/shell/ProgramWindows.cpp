#include "shell/ProgramWindows.h"

#include <memory>

#include "win32/ErrorHandler.h"
#include "win32/Files.h"

using namespace kadrix::win;

ProgramWindows::ProgramWindows(const std::wstring& appFolder)
    : background(settings, *this), settings(background, about, appFolder) {
    background.Create();
    // The settings first, without their window: the hot key is taken and the
    // tray icon shows before the About box and the settings window, which
    // the first capture does not need, are made.
    settings.Load();
    background.ShowTrayIcon();
    settings.FinishLoad();
    about.Create(background.Handle());
    settings.Create(background.Handle());
}

ProgramWindows::~ProgramWindows() {
    settings.DestroyHandle();
    about.DestroyHandle();
    background.DestroyHandle();
}

int ProgramWindows::Run() {
    MSG msg;
    ShowPendingErrors();
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(settings.Handle(), &msg) && !IsDialogMessageW(about.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ShowPendingErrors();
    }
    return 0;
}

void ProgramWindows::ShowSettings() { settings.Show(); }
void ProgramWindows::ShowAbout() { about.Show(); }

void ProgramWindows::CloseSettingsAndAbout() {
    if (settings.Visible()) settings.Close();
    if (about.Visible()) about.Close();
}

int RunProgram(const std::wstring& appFolder) noexcept {
    try {
        // What an interrupted write of an earlier run left beside Settings.ini.
        Guarded([&] { RemoveStaleTemporaries(appFolder); });
        const auto windows = std::make_unique<ProgramWindows>(appFolder);
        return windows->Run();
    } catch (...) {
        ReportError(L"Kadrix cannot start.\r\n" + CurrentExceptionText());
    }
    ShowPendingErrors();
    return 1;
}
