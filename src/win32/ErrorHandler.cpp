#include "win32/ErrorHandler.h"

#include <windows.h>

#include <algorithm>
#include <deque>

#include "core/Utf.h"

namespace kadrix::win {

namespace {

std::deque<std::wstring> gPending;
bool gBoxShown = false;

}  // namespace

void ReportError(std::wstring text) noexcept {
    try {
        if (std::find(gPending.begin(), gPending.end(), text) == gPending.end()) gPending.push_back(std::move(text));
    } catch (...) {
        return;  // no memory even for the text: nothing sensible is left to show
    }
    // Wakes the message loop, which shows the box once the handler under way has returned.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void ShowPendingErrors() noexcept {
    if (gBoxShown) return;
    while (!gPending.empty()) {
        const std::wstring text = std::move(gPending.front());
        gPending.pop_front();
        gBoxShown = true;
        MessageBoxW(nullptr, text.c_str(), L"Kadrix", MB_OK | MB_ICONERROR | MB_TASKMODAL);
        gBoxShown = false;
    }
}

bool ErrorBoxShown() noexcept { return gBoxShown; }
bool ErrorsPending() noexcept { return !gPending.empty(); }

std::wstring CurrentExceptionText() noexcept {
    try {
        try {
            throw;
        } catch (const Error& e) {
            return std::wstring(e.Message().begin(), e.Message().end());
        } catch (const std::bad_alloc&) {
            return L"Not enough memory.";
        } catch (const std::exception& e) {
            const std::u16string text = Utf8ToUtf16(e.what());
            return std::wstring(text.begin(), text.end());
        }
    } catch (...) {
        // Anything else, or a failure while describing it.
    }
    return L"An unexpected error occurred.";
}

}  // namespace kadrix::win
