#include "win32/Paint.h"

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
