// Entry point: one copy per log-on, the three windows in their fixed order,
// then the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>

#include "localisation/InterfaceTexts.h"
#include "localisation/LineBreakMarkup.h"
#include "shell/ProgramWindows.h"
#include "win32/AppFiles.h"
#include "win32/ErrorHandler.h"
#include "win32/Handles.h"
#include "win32/WinText.h"

namespace {

constexpr wchar_t kMutexName[] = L"3a8G5q9B6k8S4h0E1m52";

// Held until the process ends; the system drops it then.
HANDLE SingleInstanceMutex = nullptr;

void WarnProgramAlreadyRunning() {
    using kadrix::InterfaceText;
    std::wstring caption;
    std::wstring text;
    kadrix::win::Guarded([&] {
        const auto reader = kadrix::win::NewLanguageReader(kadrix::win::ExeDirectory());
        const auto read = [&](InterfaceText key) {
            return reader.ReadLanguageLine(kadrix::KeyOf(key).Section, kadrix::KeyOf(key).Key, u"");
        };
        caption = kadrix::win::W(read(InterfaceText::ProgramAlreadyRunning_Caption));
        text = kadrix::win::W(kadrix::ReplaceLineBreakMarkup(read(InterfaceText::ProgramAlreadyRunning_Text)));
    });
    kadrix::win::ShowPendingErrors();
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SingleInstanceMutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        WarnProgramAlreadyRunning();
        return 0;
    }

    const kadrix::win::ComApartment com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    return RunProgram(kadrix::win::ExeDirectory());
}
