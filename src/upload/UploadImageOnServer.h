#pragma once
// The background upload of one screenshot. The worker copies the JPEG bytes
// and its texts when it is created on the main thread, runs on its own thread
// one step above normal priority, frees itself when it ends and tells the
// user the outcome in a message box. It shares nothing with the windows but
// the last address, which it owns a share of, and the main window's handle,
// through which it has the clipboard written.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "win32/Handles.h"

// The address of the last successful upload: written by workers on their own
// threads, read by the copy-last-address command on the main thread.
class LastAddress {
public:
    std::wstring Get() const {
        std::lock_guard lock(lock_);
        return address_;
    }
    void Set(const std::wstring& address) {
        std::lock_guard lock(lock_);
        address_ = address;
    }

private:
    mutable std::mutex lock_;
    std::wstring address_;
};

// The texts of one upload's message boxes, in the language applied when
// the worker is made; a language change later does not change them.
struct UploadTexts {
    std::wstring Caption;
    std::wstring ErrorUpload;       // line breaks already in place
    std::wstring SuccessfulUpload;  // shown as it stands
    std::wstring NoHost;            // line breaks already in place
};

// What the worker needs besides the JPEG.
struct UploadJob {
    std::shared_ptr<LastAddress> lastAddress;
    UploadTexts texts;
    std::wstring host;        // the Host value under [Upload] in Settings.ini
    std::wstring setupError;  // why the host could not be read; shown as the failure
    HWND clipboardWriter = nullptr;  // answers kPutAddressOnClipboard
};

class TThreadUploadImageOnServer {
public:
    // Sent by a worker to the main window, which puts the last address on the
    // clipboard and answers nonzero when it did: a clipboard opened on the
    // worker's thread with no window cannot be written after it is emptied.
    static constexpr UINT kPutAddressOnClipboard = WM_APP + 2;

    TThreadUploadImageOnServer(bool CreateSuspend, std::string_view ImageJpeg, UploadJob job);
    TThreadUploadImageOnServer(const TThreadUploadImageOnServer&) = delete;
    TThreadUploadImageOnServer& operator=(const TThreadUploadImageOnServer&) = delete;

    // Lets the thread run; from here on the worker owns and frees itself.
    void Start();

private:
    ~TThreadUploadImageOnServer() = default;
    static DWORD WINAPI ThreadProc(void* self) noexcept;
    void Execute();
    void ShowFailure(const std::wstring& error) const;

    std::string MS;
    UploadJob job_;
    kadrix::win::Handle thread_;
};
