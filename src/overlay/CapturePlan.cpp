#include "overlay/CapturePlan.h"

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

Rect OverlayPixelsToRead(Rect drawingArea, Rect strokes, std::span<const Rect> erasers) {
    Rect marks = strokes;
    for (const Rect& eraser : erasers) marks = Union(marks, eraser);
    if (marks.Empty() || drawingArea.Empty()) return {};
    return Intersect(marks, drawingArea);
}

}  // namespace kadrix
