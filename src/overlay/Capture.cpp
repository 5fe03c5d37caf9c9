// Taking the screenshot, and the tray commands that reuse the last one.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <vector>

#include "core/Error.h"
#include "image/Bmp.h"
#include "image/Jpeg.h"
#include "image/ScreenshotFile.h"
#include "overlay/Background.h"
#include "overlay/CapturePlan.h"
#include "overlay/OverlayPaint.h"
#include "win32/ErrorHandler.h"
#include "win32/Clipboard.h"
#include "win32/Dib.h"
#include "win32/Files.h"
#include "win32/WinText.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr size_t kMaxPictureFileBytes = 1u << 30;

bool EndsWithIgnoreCase(const std::wstring& text, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return text.size() >= n && CompareStringOrdinal(text.c_str() + text.size() - n, static_cast<int>(n), suffix,
                                                    static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

}  // namespace

void TForm_Background::ScreenCaptureRect() {
    // Strokes still waiting for their frame are part of the picture.
    ApplySceneChanges();
    const Rect area = scene_->PaintBoxRect();
    // The strokes exist only as the overlay's own pixels; they are read
    // where strokes were drawn and where the eraser stands, not everywhere.
    std::vector<Rect> erasers;
    for (Item eraser : {Item::EraserWhite, Item::EraserBlack}) {
        if (scene_->Get(eraser).Visible) erasers.push_back(scene_->Get(eraser).Bounds);
    }
    const Rect marks = OverlayPixelsToRead(area, FromRECT(strokeArea_), erasers);

    const bool saveInFile = settings_.GetSaveInFile();
    const CapturePlan plan =
        PlanCapture(saveInFile, saveInFile ? settings_.GetFormatSaveInFile() : 0, settings_.GetUploadOnServer());

    // The clipboard wants a bitmap of the screen's own format, the file and the
    // upload 24-bit pixels. With the clipboard the grab goes into the former
    // and the pixels are read from it; without, straight into the latter.
    Bitmap bitmap;
    if (plan.Clipboard) {
        bitmap = NewDeviceBitmap(area.Width, area.Height);
        GrabArea(bitmap.Get(), area, marks);
    }
    if (plan.WriteFile || plan.Upload) {
        std::optional<DibSection24> grabbed;
        Image24 read;
        ConstImageView24 image;
        if (plan.Clipboard) {
            read = ReadDeviceBitmap(bitmap.Get(), area.Width, area.Height);
            image = read.View();
        } else {
            grabbed.emplace(area.Width, area.Height);
            GrabArea(grabbed->Handle(), area, marks);
            image = grabbed->View();
        }

        std::optional<std::string> jpeg;  // encoded once, shared by the file and the upload
        if (plan.NeedJpeg) jpeg = EncodeJpeg(image);

        if (plan.WriteFile) {
            const std::wstring savePath = settings_.GetSavePath();
            SYSTEMTIME now;
            GetLocalTime(&now);
            const LocalDateTime stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
            const bool asJpeg = plan.Format == ScreenshotFormat::Jpeg;
            // Never replaces a screenshot taken earlier in the same second.
            const std::wstring fileName = W(FreeScreenshotFileName(
                U(savePath), stamp, asJpeg ? 0 : 1, [](const std::u16string& path) {
                    return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) !=
                           INVALID_FILE_ATTRIBUTES;
                }));
            WriteFileSafely(fileName, asJpeg ? *jpeg : EncodeBmp(image));
            PathLastImage = fileName;
        }
        if (plan.Upload) StartUpload(*jpeg);
    }
    if (plan.Clipboard) {
        ClipboardSession clipboard(Handle());
        clipboard.Empty();
        clipboard.SetBitmap(bitmap.Release());
    }
}

// Copies the drawing area of the screen into target, a bitmap of the area's
// size not selected into any DC, and lays the strokes over it with the
// overlay's key colour see-through. The system does both; no pixel passes
// through the program.
void TForm_Background::GrabArea(HBITMAP target, const Rect& area, const Rect& marks) {
    const auto& overlay = scene_->Bounds();
    WindowDc screen(nullptr);
    MemoryDc memory(CreateCompatibleDC(screen.Get()));
    SelectObjectScope select(memory.Get(), target);
    BitBlt(memory.Get(), 0, 0, area.Width, area.Height, screen.Get(), overlay.Left + area.Left,
           overlay.Top + area.Top, SRCCOPY);
    if (!marks.Empty()) {
        WindowDc own(Handle());
        // gdi32's own function, which msimg32's TransparentBlt calls: no extra DLL.
        GdiTransparentBlt(memory.Get(), marks.Left - area.Left, marks.Top - area.Top, marks.Width, marks.Height,
                          own.Get(), marks.Left, marks.Top, marks.Width, marks.Height, kTransparentColor);
    }
    GdiFlush();  // a DIB section's bits are read next
}

void TForm_Background::StartUpload(const std::string& jpeg) {
    UploadJob job;
    job.lastAddress = LastURLAdress;
    job.clipboardWriter = Handle();
    // A copy: a language change later does not touch this upload.
    job.texts = uploadTexts_;
    // Read at each upload, so a host set while the program runs counts at once.
    try {
        job.host = settings_.GetUploadHost();
    } catch (...) {
        job.setupError = CurrentExceptionText();
    }
    auto* worker = new TThreadUploadImageOnServer(true, jpeg, std::move(job));
    worker->Start();
}

// Asked by an upload worker; the main window owns the clipboard session, so
// the text stays there after it closes.
bool TForm_Background::PutLastAddressOnClipboard() noexcept {
    try {
        ClipboardSession clipboard(Handle());
        clipboard.Empty();
        clipboard.SetText(GetLastURLAdress());
        return true;
    } catch (...) {
        return false;  // another program holds the clipboard: the address stays in the menu
    }
}

void TForm_Background::PopupMenu_CopyInClipboard_LastURLClick() {
    const std::wstring url = GetLastURLAdress();
    if (url.empty()) {
        MessageBoxW(nullptr, CopyClipboardLastURL_Text.c_str(), CopyClipboardLastURL_Caption.c_str(),
                    MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
        return;
    }
    ClipboardSession clipboard(Handle());
    clipboard.Empty();
    clipboard.SetText(url);
}

void TForm_Background::PopupMenu_CopyInClipboard_LastScreenshotClick() {
    if (PathLastImage.empty()) {
        MessageBoxW(nullptr, CopyClipboardLastScreenshot_Text.c_str(), CopyClipboardLastScreenshot_Caption.c_str(),
                    MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
        return;
    }
    const auto bytes = ReadFileBytes(PathLastImage, kMaxPictureFileBytes);
    if (!bytes) {
        throw Error(FormatText(u"Cannot open file \"%s\". %s",
                               {U(PathLastImage), U(SystemErrorText(ERROR_FILE_NOT_FOUND))}));
    }
    // Decoded before the clipboard is opened, so a broken file leaves it as it was.
    const Image24 picture = EndsWithIgnoreCase(PathLastImage, L".jpg") ? DecodeJpeg(*bytes) : DecodeBmp(*bytes);
    Bitmap bitmap = CreateDeviceBitmap(picture.View());
    ClipboardSession clipboard(Handle());
    clipboard.Empty();
    clipboard.SetBitmap(bitmap.Release());
}

void TForm_Background::PopupMenu_OpenFolderWithScreenshotsClick() {
    ShellExecuteW(Handle(), L"explore", settings_.GetSavePath().c_str(), nullptr, nullptr,
                  SW_SHOWMAXIMIZED);
}
