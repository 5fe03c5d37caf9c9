#pragma once
// The clipboard, opened for one operation. Another program may hold it for a
// moment, so opening retries briefly before it gives up with
// "Cannot open clipboard: %s".
#include <windows.h>

#include <string>

namespace kadrix::win {

class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner);
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession() { CloseClipboard(); }

    void Empty() { EmptyClipboard(); }
    // The clipboard takes ownership of the bitmap.
    void SetBitmap(HBITMAP bitmap);
    void SetText(const std::wstring& text);
};

}  // namespace kadrix::win
