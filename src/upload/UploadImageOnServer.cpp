#include "upload/UploadImageOnServer.h"

#include "core/Error.h"
#include "upload/UploadExchange.h"
#include "win32/ErrorHandler.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {
constexpr SIZE_T kStackBytes = 512 * 1024;
}  // namespace

TThreadUploadImageOnServer::TThreadUploadImageOnServer(bool CreateSuspend, std::string_view ImageJpeg, UploadJob job)
    : MS(ImageJpeg), job_(std::move(job)) {
    // A small stack: the exchange and the message box need far less than the
    // program's 2 MB default, and Wine commits a thread's whole stack and frees
    // it only when the next thread ends.
    thread_.Reset(CreateThread(nullptr, kStackBytes, ThreadProc, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION | (CreateSuspend ? CREATE_SUSPENDED : 0), nullptr));
    if (!thread_) throw Error(u"Cannot start the upload.");
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_ABOVE_NORMAL);
}

void TThreadUploadImageOnServer::Start() { ResumeThread(thread_.Get()); }

DWORD WINAPI TThreadUploadImageOnServer::ThreadProc(void* param) noexcept {
    auto* self = static_cast<TThreadUploadImageOnServer*>(param);
    try {
        self->Execute();
    } catch (...) {
        // Whatever escaped the exchange is still an upload that failed.
        const std::wstring text = CurrentExceptionText();
        try {
            self->ShowFailure(text);
        } catch (...) {
        }
    }
    delete self;
    return 0;
}

void TThreadUploadImageOnServer::ShowFailure(const std::wstring& error) const {
    const std::wstring text = job_.texts.ErrorUpload + L"\r\n" + error;
    MessageBoxW(nullptr, text.c_str(), job_.texts.Caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void TThreadUploadImageOnServer::Execute() {
    if (!job_.setupError.empty()) return ShowFailure(job_.setupError);
    const std::optional<UploadTarget> target = ParseUploadHost(U(job_.host));
    // Never a socket error against a host the user never chose.
    if (!target) return ShowFailure(job_.texts.NoHost);

    SYSTEMTIME now;
    GetLocalTime(&now);
    const LocalTime moment{{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, now.wMilliseconds};
    const auto connector = MakeSocketConnector();
    const UploadOutcome outcome = UploadJpeg(*target, MS, moment, *connector);
    MS = std::string();  // the JPEG is not kept while a box waits for the user

    switch (outcome.kind) {
    case UploadOutcome::Kind::Failure:
        ShowFailure(W(outcome.text));
        break;
    case UploadOutcome::Kind::Refusal:
        MessageBoxW(nullptr, W(outcome.text).c_str(), job_.texts.Caption.c_str(),
                    MB_OK | MB_ICONWARNING | MB_TASKMODAL);
        break;
    case UploadOutcome::Kind::Address: {
        // Stored first, so that it survives a clipboard held by another program.
        job_.lastAddress->Set(W(outcome.text));
        DWORD_PTR written = 0;
        if (!SendMessageTimeoutW(job_.clipboardWriter, kPutAddressOnClipboard, 0, 0,
                                 SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, 5000, &written) ||
            !written) {
            break;  // the clipboard could not be written: no message, as before
        }
        MessageBoxW(nullptr, job_.texts.SuccessfulUpload.c_str(), job_.texts.Caption.c_str(),
                    MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        break;
    }
    }
}
