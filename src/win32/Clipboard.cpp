#include "win32/Clipboard.h"

#include <cstring>

#include "core/Error.h"
#include "win32/WinText.h"

namespace kadrix::win {

ClipboardSession::ClipboardSession(HWND owner) {
    for (int attempt = 0;; ++attempt) {
        if (OpenClipboard(owner)) return;
        const DWORD code = GetLastError();
        if (attempt == 20) throw Error(FormatText(u"Cannot open clipboard: %s", {U(SystemErrorText(code))}));
        Sleep(10);
    }
}

void ClipboardSession::SetBitmap(HBITMAP bitmap) {
    if (!SetClipboardData(CF_BITMAP, bitmap)) {
        DeleteObject(bitmap);
        throw Error(FormatText(u"Cannot open clipboard: %s", {U(SystemErrorText(GetLastError()))}));
    }
}

void ClipboardSession::SetText(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) throw Error(u"Not enough memory for the clipboard.");
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        GlobalFree(memory);
        throw Error(FormatText(u"Cannot open clipboard: %s", {U(SystemErrorText(GetLastError()))}));
    }
}

}  // namespace kadrix::win
