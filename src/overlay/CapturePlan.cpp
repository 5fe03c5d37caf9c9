#include "overlay/CapturePlan.h"

#include <algorithm>

namespace kadrix {

CapturePlan PlanCapture(bool saveInFile, int formatSetting, bool uploadOnServer) {
    CapturePlan plan;
    plan.WriteFile = saveInFile;
    plan.Format = formatSetting == 0 ? ScreenshotFormat::Jpeg : ScreenshotFormat::Bmp;
    plan.Upload = uploadOnServer;
    plan.Clipboard = !uploadOnServer;
    plan.NeedJpeg = uploadOnServer || (saveInFile && plan.Format == ScreenshotFormat::Jpeg);
    return plan;
}

namespace {

Rect Union(Rect a, Rect b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    const int32_t left = std::min(a.Left, b.Left), top = std::min(a.Top, b.Top);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

Rect Intersection(Rect a, Rect b) {
    const int32_t left = std::max(a.Left, b.Left), top = std::max(a.Top, b.Top);
    const int32_t right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

}  // namespace

Rect OverlayPixelsToRead(Rect drawingArea, Rect strokes, std::span<const Rect> erasers) {
    Rect marks = strokes;
    for (const Rect& eraser : erasers) marks = Union(marks, eraser);
    if (marks.Empty() || drawingArea.Empty()) return {};
    return Intersection(marks, drawingArea);
}

}  // namespace kadrix
