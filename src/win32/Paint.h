#pragma once
// Double-buffered painting of one rectangle: paint draws in the window's
// coordinates into a buffer the size of clip, which then goes to the target.
#include <windows.h>

#include <functional>

namespace kadrix::win {

void PaintBuffered(HDC target, const RECT& clip, const std::function<void(HDC)>& paint);

}  // namespace kadrix::win
