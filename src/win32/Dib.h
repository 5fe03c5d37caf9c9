#pragma once
// 24-bit top-down DIB sections whose memory core reads directly; device
// bitmaps, the clipboard's picture format.
#include <windows.h>

#include "image/Image24.h"
#include "win32/Handles.h"

namespace kadrix::win {

class DibSection24 {
public:
    DibSection24(int width, int height);
    HBITMAP Handle() const { return bitmap_.Get(); }
    ImageView24 View() const { return {static_cast<std::uint8_t*>(bits_), width_, height_, Stride24(width_)}; }

private:
    Bitmap bitmap_;
    void* bits_ = nullptr;
    int width_;
    int height_;
};

// An uninitialised bitmap of the screen's format.
Bitmap NewDeviceBitmap(int width, int height);

// A device-dependent bitmap of the screen's format holding the image, as the
// clipboard's CF_BITMAP format wants it.
Bitmap CreateDeviceBitmap(ConstImageView24 image);

// The pixels of a device bitmap, which no DC may have selected, as a 24-bit image.
Image24 ReadDeviceBitmap(HBITMAP bitmap, int width, int height);

}  // namespace kadrix::win
