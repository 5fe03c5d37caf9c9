#pragma once
// Double-buffered painting.
#include <windows.h>

#include <functional>

#include "win32/Handles.h"

namespace kadrix::win {

// Paints one rectangle: paint draws in the window's coordinates into a buffer
// the size of clip, which then goes to the target.
void PaintBuffered(HDC target, const RECT& clip, const std::function<void(HDC)>& paint);

// A window-sized back buffer kept between paints. Its bitmap is selected into
// its DC while it lives and deselected before either is deleted.
class BackBuffer {
public:
    BackBuffer() = default;
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    ~BackBuffer() { Release(); }

    // A buffer of the given size compatible with dc, made anew when the size changed.
    HDC Ensure(HDC dc, int width, int height);
    void Release();
    bool Held() const { return static_cast<bool>(bitmap_); }

private:
    MemoryDc dc_;
    Bitmap bitmap_;
    HGDIOBJ old_ = nullptr;
    SIZE size_{};
};

}  // namespace kadrix::win
