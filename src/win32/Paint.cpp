#include "win32/Paint.h"

#include <algorithm>

#include "core/Error.h"
#include "win32/Handles.h"

namespace kadrix::win {

void PaintBuffered(HDC target, const RECT& clip, const std::function<void(HDC)>& paint) {
    const int width = clip.right - clip.left;
    const int height = clip.bottom - clip.top;
    if (width <= 0 || height <= 0) return;
    MemoryDc buffer(CreateCompatibleDC(target));
    Bitmap bitmap(CreateCompatibleBitmap(target, width, height));
    SelectObjectScope select(buffer.Get(), bitmap.Get());
    SetViewportOrgEx(buffer.Get(), -clip.left, -clip.top, nullptr);
    paint(buffer.Get());
    SetViewportOrgEx(buffer.Get(), 0, 0, nullptr);
    BitBlt(target, clip.left, clip.top, width, height, buffer.Get(), 0, 0, SRCCOPY);
}

}  // namespace kadrix::win

namespace kadrix::win {

HDC BackBuffer::Ensure(HDC dc, int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (bitmap_ && size_.cx == width && size_.cy == height) return dc_.Get();
    Release();
    dc_.Reset(CreateCompatibleDC(dc));
    bitmap_.Reset(CreateCompatibleBitmap(dc, width, height));
    if (!dc_ || !bitmap_) {
        Release();
        throw Error(u"Not enough memory to show the overlay.");
    }
    old_ = SelectObject(dc_.Get(), bitmap_.Get());
    size_ = SIZE{width, height};
    return dc_.Get();
}

void BackBuffer::Release() {
    if (dc_ && old_) SelectObject(dc_.Get(), old_);
    old_ = nullptr;
    bitmap_.Reset();
    dc_.Reset();
    size_ = SIZE{};
}

}  // namespace kadrix::win
