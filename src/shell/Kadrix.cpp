// Entry point: one copy per log-on, the three windows in their fixed order,
// then the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>

#include "localisation/LineBreakMarkup.h"
#include "shell/Forms.h"
#include "win32/AppFiles.h"
#include "win32/ErrorHandler.h"
#include "win32/WinText.h"

namespace {

constexpr wchar_t kMutexName[] = L"3a8G5q9B6k8S4h0E1m52";

// Held until the process ends; the system drops it then.
HANDLE SingleInstanceMutex = nullptr;

void WarnProgramAlreadyRunning() {
    std::wstring caption;
    std::wstring text;
    kadrix::win::Guarded([&] {
        const auto reader = kadrix::win::NewLanguageReader();
        caption = kadrix::win::W(reader.ReadLanguageLine(u"ProgramAlreadyRunning", u"Caption", u""));
        text = kadrix::win::W(
            kadrix::ReplaceLineBreakMarkup(reader.ReadLanguageLine(u"ProgramAlreadyRunning", u"Text", u"")));
    });
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SingleInstanceMutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        WarnProgramAlreadyRunning();
        return 0;
    }

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    // The windows are destroyed when this goes out of scope, after the loop.
    ProgramWindows windows;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(windows.settings.Handle(), &msg)) continue;
        if (IsDialogMessageW(windows.about.Handle(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
