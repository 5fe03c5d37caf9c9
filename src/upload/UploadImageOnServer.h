#pragma once
// The background upload of one screenshot. The worker copies the JPEG bytes
// when it is created, runs on its own thread one step above normal priority,
// frees itself when it ends, and hands the returned address to the overlay.
#include <windows.h>

#include <string>
#include <string_view>

#include "win32/Handles.h"

class TForm_Background;

class TThreadUploadImageOnServer {
public:
    TThreadUploadImageOnServer(bool CreateSuspend, std::string_view ImageJpeg, TForm_Background* P);
    TThreadUploadImageOnServer(const TThreadUploadImageOnServer&) = delete;
    TThreadUploadImageOnServer& operator=(const TThreadUploadImageOnServer&) = delete;

    // Lets the thread run; from here on the worker owns and frees itself.
    void Start();

private:
    ~TThreadUploadImageOnServer() = default;
    static DWORD WINAPI ThreadProc(void* self) noexcept;
    void Execute();

    std::string imageJpeg_;
    TForm_Background* overlay_;
    kadrix::win::Handle thread_;
};
