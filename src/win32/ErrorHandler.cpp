#include "win32/ErrorHandler.h"

#include <windows.h>

namespace kadrix::win {

void ShowErrorMessage(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), L"Kadrix", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace kadrix::win
