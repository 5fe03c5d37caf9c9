#pragma once
// Device bitmaps, the clipboard's picture format, and the 24-bit images core
// works on.
#include <windows.h>

#include "image/Image24.h"
#include "win32/Handles.h"

namespace kadrix::win {

// A device-dependent bitmap of the screen's format holding the image, as the
// clipboard's CF_BITMAP format wants it.
Bitmap CreateDeviceBitmap(ConstImageView24 image);

// The pixels of a device bitmap, which no DC may have selected, as a 24-bit image.
Image24 ReadDeviceBitmap(HBITMAP bitmap, int width, int height);

}  // namespace kadrix::win
