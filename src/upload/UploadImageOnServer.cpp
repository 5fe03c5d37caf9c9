#include "upload/UploadImageOnServer.h"

#include "core/Error.h"

TThreadUploadImageOnServer::TThreadUploadImageOnServer(bool CreateSuspend, std::string_view ImageJpeg,
                                                       TForm_Background* P)
    : imageJpeg_(ImageJpeg), overlay_(P) {
    thread_ = CreateThread(nullptr, 0, ThreadProc, this, CreateSuspend ? CREATE_SUSPENDED : 0, nullptr);
    if (!thread_) throw kadrix::Error(u"Cannot start the upload.");
    SetThreadPriority(thread_, THREAD_PRIORITY_ABOVE_NORMAL);
}

TThreadUploadImageOnServer::~TThreadUploadImageOnServer() {
    if (thread_) CloseHandle(thread_);
}

void TThreadUploadImageOnServer::Start() { ResumeThread(thread_); }

DWORD WINAPI TThreadUploadImageOnServer::ThreadProc(void* param) {
    auto* self = static_cast<TThreadUploadImageOnServer*>(param);
    self->Execute();
    delete self;
    return 0;
}

void TThreadUploadImageOnServer::Execute() {
    // The HTTP exchange with the upload service is not built yet: the
    // screenshot is handed over and the worker ends without sending it.
    (void)overlay_;
}
