#pragma once
// What one capture does once the user presses Enter, decided from the
// settings and the overlay's state alone.
#include <span>

#include "overlay/OverlayScene.h"

namespace kadrix {

enum class ScreenshotFormat { Jpeg, Bmp };

struct CapturePlan {
    bool WriteFile = false;
    ScreenshotFormat Format = ScreenshotFormat::Jpeg;  // of the file, when one is written
    bool Upload = false;                               // always the JPEG, whatever the file's format
    bool Clipboard = false;                            // the image itself; only when not uploading
    bool NeedJpeg = false;                             // encoded once, shared by the file and the upload
};

// formatSetting 0 is JPEG; every other value, -1 (nothing chosen) included, is BMP.
CapturePlan PlanCapture(bool saveInFile, int formatSetting, bool uploadOnServer);

// The part of the drawing area whose overlay pixels the capture must read:
// where strokes were drawn since the last full repaint and where the eraser
// frames stand. Empty when there is nothing to read.
Rect OverlayPixelsToRead(Rect drawingArea, Rect strokes, std::span<const Rect> erasers);

}  // namespace kadrix
