#include "upload/UploadImageOnServer.h"

#include "core/Error.h"

TThreadUploadImageOnServer::TThreadUploadImageOnServer(bool CreateSuspend, std::string_view ImageJpeg,
                                                       TForm_Background* P)
    : imageJpeg_(ImageJpeg), overlay_(P) {
    thread_.Reset(CreateThread(nullptr, 0, ThreadProc, this, CreateSuspend ? CREATE_SUSPENDED : 0, nullptr));
    if (!thread_) throw kadrix::Error(u"Cannot start the upload.");
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_ABOVE_NORMAL);
}

void TThreadUploadImageOnServer::Start() { ResumeThread(thread_.Get()); }

DWORD WINAPI TThreadUploadImageOnServer::ThreadProc(void* param) noexcept {
    auto* self = static_cast<TThreadUploadImageOnServer*>(param);
    try {
        self->Execute();
    } catch (...) {
        // The exchange reports its own failures; nothing may leave the thread.
    }
    delete self;
    return 0;
}

void TThreadUploadImageOnServer::Execute() {
    // The HTTP exchange with the upload service is not built yet: the
    // screenshot is handed over and the worker ends without sending it.
    (void)overlay_;
}
