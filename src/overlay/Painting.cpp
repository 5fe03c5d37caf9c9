// The overlay's pixels: painting its items, the strokes drawn on it, and
// the pacing that puts both on the window at most once per display frame.
#include "overlay/Background.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "overlay/OverlayPaint.h"
#include "win32/Clock.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

// A rectangle shape: a 1-pixel frame in one colour around a fill in another.
// pen: the frame's line width, which for the selection frame must equal the
// drawing area's inset, or a clear ring inside the frame escapes the capture.
void FramedRect(HDC dc, const Rect& r, COLORREF frame, COLORREF fill, int32_t pen = 1) {
    if (r.Empty()) return;
    FillSolid(dc, ToRECT(r), frame);
    if (r.Width > 2 * pen && r.Height > 2 * pen) {
        FillSolid(dc, RECT{r.Left + pen, r.Top + pen, r.Right() - pen, r.Bottom() - pen}, fill);
    }
}

unsigned long long RectPixels(const RECT& r) {
    return static_cast<unsigned long long>(r.right - r.left) * static_cast<unsigned long long>(r.bottom - r.top);
}

unsigned long long RegionPixels(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size == 0) return 0;
    std::vector<unsigned char> data(size);
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    if (!GetRegionData(region, size, header)) return 0;
    const auto* rects = reinterpret_cast<const RECT*>(header->Buffer);
    unsigned long long pixels = 0;
    for (DWORD i = 0; i < header->rdh.nCount; ++i) pixels += RectPixels(rects[i]);
    return pixels;
}

}  // namespace

// ---- presenting -------------------------------------------------------------

bool TForm_Background::SceneChanged() const {
    return scene_->FullRepaint() || scene_->PanelMovedOrToggled() || !scene_->Changed().empty() ||
           !scene_->PanelChanged().empty();
}

void TForm_Background::ApplySceneChanges() {
    DropPendingFrame();
    if (!SceneChanged() && pendingStrokes_.empty()) return;
    pacer_.Presented(NowMs());
    ++painted_.Presents;
    // Strokes before the changes: a change that came first was put out
    // before its stroke was queued (see the drawing timer).
    DrawPendingStrokes();
    InvalidateSceneChanges();
}

void TForm_Background::PaceSceneChanges() {
    if (!SceneChanged() && pendingStrokes_.empty()) return;
    const int delay = pacer_.Delay(NowMs());
    if (delay == 0) {
        ApplySceneChanges();
    } else if (!framePending_) {
        framePending_ = SetTimer(Handle(), kTimerFrame, static_cast<UINT>(delay), nullptr) != 0;
        if (!framePending_) ApplySceneChanges();  // no timer to wait for
    }
}

void TForm_Background::DropPendingFrame() {
    if (framePending_) KillTimer(Handle(), kTimerFrame);
    framePending_ = false;
}

void TForm_Background::UseFramePeriodOf(const MonitorBounds& monitor) {
    const RECT rc{monitor.Left, monitor.Top, monitor.Left + monitor.Width, monitor.Top + monitor.Height};
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    int hertz = 0;
    if (GetMonitorInfoW(MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &info) &&
        EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) {
        hertz = static_cast<int>(mode.dmDisplayFrequency);
    }
    pacer_.SetPeriod(FramePacer::PeriodForRefresh(hertz));
    pacer_.Reset();
}

void TForm_Background::InvalidateSceneChanges() {
    HWND hwnd = Handle();
    const auto& panel = scene_->Panel();
    if (scene_->PanelMovedOrToggled()) {
        SetWindowPos(Panel_Hint.Handle(), HWND_TOP, panel.Bounds.Left, panel.Bounds.Top, panel.Bounds.Width,
                     panel.Bounds.Height, SWP_NOACTIVATE | (panel.Visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
    if (scene_->FullRepaint()) {
        strokeArea_ = RECT{};  // a whole repaint wipes every stroke
        InvalidateRect(hwnd, nullptr, FALSE);
        InvalidateRect(Panel_Hint.Handle(), nullptr, FALSE);
    } else {
        // One invalidation call for all of them: each call is a trip to the
        // window manager, the region is built locally.
        const auto changed = scene_->Changed();
        if (!changed.empty()) {
            Region region(CreateRectRgn(0, 0, 0, 0));
            for (const Rect& r : changed) {
                Region piece(CreateRectRgn(r.Left, r.Top, r.Right(), r.Bottom()));
                CombineRgn(region.Get(), region.Get(), piece.Get(), RGN_OR);
            }
            InvalidateRgn(hwnd, region.Get(), FALSE);
        }
        for (const Rect& r : scene_->PanelChanged()) {
            const RECT rc = ToRECT(r);
            InvalidateRect(Panel_Hint.Handle(), &rc, FALSE);
        }
    }
    scene_->ClearChanges();
    // Painted now, at the frame, not whenever the queue next runs dry.
    if (Visible()) {
        UpdateWindow(hwnd);
        UpdateWindow(Panel_Hint.Handle());
    }
}

// ---- drawing and eraser ---------------------------------------------------

void TForm_Background::Timer_DrawingTimer() {
    const bool shift = ShiftDown(), ctrl = CtrlDown();
    // What changed before this tick (the eraser moving away) goes out before
    // a stroke drawn now, or it would be painted over the stroke.
    if (shift && SceneChanged()) ApplySceneChanges();
    // Sampled at every tick, presented at the next frame: no point of a
    // stroke is lost however slowly the window's pixels reach the screen.
    const DrawTick tick = scene_->Tick(Cursor(), shift, ctrl);
    if (tick.Draw) {
        const Rect area = scene_->PaintBoxRect();
        pendingStrokes_.push_back({{area.Left + tick.From.X, area.Top + tick.From.Y},
                                   {area.Left + tick.To.X, area.Top + tick.To.Y}});
    }
    PaceSceneChanges();
}

void TForm_Background::DrawPendingStrokes() {
    if (pendingStrokes_.empty()) return;
    const Rect area = scene_->PaintBoxRect();
    WindowDc dc(Handle());
    IntersectClipRect(dc.Get(), area.Left, area.Top, area.Right(), area.Bottom());
    SelectObjectScope pen(dc.Get(), drawingPen_.Get());
    const int reach = scene_->Metrics().PenWidth;
    for (const Segment& s : pendingStrokes_) {
        MoveToEx(dc.Get(), s.From.x, s.From.y, nullptr);
        LineTo(dc.Get(), s.To.x, s.To.y);
        const RECT segment{std::min(s.From.x, s.To.x) - reach, std::min(s.From.y, s.To.y) - reach,
                           std::max(s.From.x, s.To.x) + reach + 1, std::max(s.From.y, s.To.y) + reach + 1};
        UnionRect(&strokeArea_, &strokeArea_, &segment);
    }
    pendingStrokes_.clear();
}

// ---- painting -------------------------------------------------------------

void TForm_Background::PaintTo(HDC dc, const RECT& clip) {
    FillSolid(dc, clip, GetSysColor(COLOR_APPWORKSPACE));
    SetBkMode(dc, TRANSPARENT);
    SelectObjectScope font(dc, readoutFont_.Get());
    SetTextColor(dc, kWhite);
    for (int i = 0; i < static_cast<int>(Item::Count); ++i) {
        const auto item = static_cast<Item>(i);
        const ItemState& state = scene_->Get(item);
        if (!state.Visible || state.Bounds.Empty()) continue;
        RECT rc = ToRECT(state.Bounds);
        RECT visible;
        if (!IntersectRect(&visible, &rc, &clip)) continue;
        switch (item) {
        case Item::LineX:
        case Item::LineY:
            FillSolid(dc, visible, kWhite);
            break;
        case Item::Screen:
            FramedRect(dc, state.Bounds, kRed, kTransparentColor, scene_->Metrics().FramePen);
            break;
        case Item::PaintBox:
            break;  // shows the frame's see-through fill; strokes are drawn straight onto the window
        case Item::EraserWhite:
            FramedRect(dc, state.Bounds, kWhite, kTransparentColor);
            break;
        case Item::EraserBlack:
            FramedRect(dc, state.Bounds, kBlack, kTransparentColor);
            break;
        case Item::TextX:
        case Item::TextY:
        case Item::TextW:
        case Item::TextH:
            FillSolid(dc, visible, kBlack);
            break;
        default: {
            const auto text = scene_->Text(item);
            ExtTextOutW(dc, rc.left, rc.top, 0, nullptr, reinterpret_cast<const wchar_t*>(text.data()),
                        static_cast<UINT>(text.size()), nullptr);
            break;
        }
        }
    }
}

void TForm_Background::OnPaint() {
    // Read before BeginPaint empties it. The update region may be a few thin
    // strips far apart (two guide lines, a frame's edges), whose bounding box
    // could be the whole monitor: only the strips are painted.
    Region update(CreateRectRgn(0, 0, 0, 0));
    const bool strips = GetUpdateRgn(Handle(), update.Get(), FALSE) > NULLREGION;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    struct EndPaintScope {
        HWND hwnd;
        PAINTSTRUCT* ps;
        ~EndPaintScope() { EndPaint(hwnd, ps); }
    } endPaint{Handle(), &ps};
    const RECT box = ps.rcPaint;
    if (IsRectEmpty(&box)) return;
    ++painted_.Paints;
    painted_.Pixels += strips ? RegionPixels(update.Get()) : RectPixels(box);
    // While the overlay is fully transparent (the first frame of a capture,
    // painted before the fade-in starts) a half-painted frame cannot show:
    // paint straight into the window, whose DC BeginPaint clipped to the
    // strips. Otherwise through one back buffer the size of the overlay,
    // clipped to the same strips, made at the first paint that needs it and
    // reused by every paint until the capture closes.
    if (opacity_ == 0) {
        PaintTo(dc, box);
        return;
    }
    RECT client;
    GetClientRect(Handle(), &client);
    HDC buffer = backBuffer_.Ensure(dc, client.right, client.bottom);
    SelectClipRgn(buffer, strips ? update.Get() : nullptr);
    PaintTo(buffer, box);
    SelectClipRgn(buffer, nullptr);
    BitBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, buffer, box.left, box.top, SRCCOPY);
}
