#include "win32/Dib.h"

#include "core/Error.h"

namespace kadrix::win {

namespace {

BITMAPINFO Header24(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

DibSection24::DibSection24(int width, int height) : width_(width), height_(height) {
    if (!IsImageSizeAllowed(width, height)) throw Error(u"The selected area is too large.");
    const BITMAPINFO info = Header24(width, height);
    bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    if (!bitmap_ || !bits_) throw Error(u"Not enough memory for the screenshot.");
}

Bitmap NewDeviceBitmap(int width, int height) {
    if (!IsImageSizeAllowed(width, height)) throw Error(u"The selected area is too large.");
    WindowDc screen(nullptr);
    Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!bitmap) throw Error(u"Not enough memory for the screenshot.");
    return bitmap;
}

Bitmap CreateDeviceBitmap(ConstImageView24 image) {
    WindowDc screen(nullptr);
    BITMAPINFO info = Header24(image.width, image.height);
    if (image.stride < 0) info.bmiHeader.biHeight = image.height;  // a bottom-up view starts at its last row
    const void* bits = image.stride < 0 ? image.Row(image.height - 1) : image.data;
    Bitmap bitmap(CreateDIBitmap(screen.Get(), &info.bmiHeader, CBM_INIT, bits, &info, DIB_RGB_COLORS));
    if (!bitmap) throw Error(u"Not enough memory for the screenshot.");
    return bitmap;
}

Image24 ReadDeviceBitmap(HBITMAP bitmap, int width, int height) {
    Image24 image(width, height);
    BITMAPINFO info = Header24(width, height);
    WindowDc screen(nullptr);
    if (GetDIBits(screen.Get(), bitmap, 0, height, image.Data(), &info, DIB_RGB_COLORS) == 0)
        throw Error(u"Not enough memory for the screenshot.");
    return image;
}

}  // namespace kadrix::win
