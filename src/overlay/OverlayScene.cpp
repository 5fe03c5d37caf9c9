#include "overlay/OverlayScene.h"

#include <algorithm>
#include <cstdlib>

namespace kadrix {

namespace {

constexpr int kBaseDpi = 96;
constexpr uint8_t kFadeIncrement = 10;
constexpr int32_t kGuideLine = 1;  // hairlines at every DPI
// Room for the rectangles of a few moves or ticks between two paints; when the
// caller paints less often they merge into one, so the list never reallocates.
constexpr size_t kChangedCapacity = 256;
constexpr size_t kPanelChangedCapacity = 32;

// Rounds half away from zero, like Win32 MulDiv.
int32_t Scale(int32_t value, int dpi) {
    const int64_t product = static_cast<int64_t>(value) * dpi;
    const int64_t half = kBaseDpi / 2;
    return static_cast<int32_t>((product >= 0 ? product + half : product - half) / kBaseDpi);
}

// Up to four rectangles covering a minus b.
template <typename Add>
void Subtract(Rect a, Rect b, Add add) {
    if (a.Empty()) return;
    const Rect i = Intersect(a, b);
    if (i.Empty()) {
        add(a);
        return;
    }
    if (i.Top > a.Top) add({a.Left, a.Top, a.Width, i.Top - a.Top});
    if (i.Bottom() < a.Bottom()) add({a.Left, i.Bottom(), a.Width, a.Bottom() - i.Bottom()});
    if (i.Left > a.Left) add({a.Left, i.Top, i.Left - a.Left, i.Height});
    if (i.Right() < a.Right()) add({i.Right(), i.Top, a.Right() - i.Right(), i.Height});
}

// The four strips of a rectangle's outline drawn with a pen of the given width.
template <typename Add>
void Outline(Rect r, int32_t pen, Add add) {
    if (r.Empty()) return;
    if (r.Width <= 2 * pen || r.Height <= 2 * pen) {
        add(r);
        return;
    }
    add({r.Left, r.Top, r.Width, pen});
    add({r.Left, r.Bottom() - pen, r.Width, pen});
    add({r.Left, r.Top + pen, pen, r.Height - 2 * pen});
    add({r.Right() - pen, r.Top + pen, pen, r.Height - 2 * pen});
}

void AddTo(std::vector<Rect>& list, Rect r, size_t capacity) {
    if (r.Empty()) return;
    if (list.size() < capacity) {
        list.push_back(r);
        return;
    }
    Rect all = r;
    for (const Rect& each : list) all = Union(all, each);
    list.clear();
    list.push_back(all);
}

constexpr size_t LabelIndex(Item label) {
    return static_cast<size_t>(label) - static_cast<size_t>(Item::LabelTextY);
}

}  // namespace

std::optional<size_t> MonitorIndexForCursor(std::span<const MonitorBounds> monitors, Point cursor) {
    // By X alone, a monitor above or below the first one in the list could
    // never be chosen: the overlay would open on the wrong one and, the
    // cursor being off it, hop back and forth.
    auto holdsX = [&](const MonitorBounds& m) {
        return cursor.X >= m.Left && int64_t{cursor.X} < int64_t{m.Left} + m.Width;
    };
    auto holdsY = [&](const MonitorBounds& m) {
        return cursor.Y >= m.Top && int64_t{cursor.Y} < int64_t{m.Top} + m.Height;
    };
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (holdsX(monitors[i]) && holdsY(monitors[i])) return i;
    }
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (holdsX(monitors[i])) return i;
    }
    return std::nullopt;
}

FadeStep NextFadeStep(uint8_t opacity) {
    if (opacity >= kFadeTargetOpacity) return {opacity, true};
    const auto next = static_cast<uint8_t>(opacity + kFadeIncrement);
    return {next, next >= kFadeTargetOpacity};
}

OverlayMetrics OverlayMetrics::ForDpi(int dpi) {
    OverlayMetrics m;
    if (dpi <= 0 || dpi == kBaseDpi) return m;
    for (int32_t* field : {&m.BoxHeight, &m.LabelInset, &m.EdgeInset, &m.Gap, &m.TextPad, &m.EdgeMargin,
                           &m.InsideGap, &m.FramePen, &m.SizeMinimum, &m.PanelWidth, &m.PanelHeight, &m.HintLeft,
                           &m.HintTop, &m.HintWidth, &m.HintHeight, &m.HintStep, &m.EraserOuter, &m.EraserInner,
                           &m.PenWidth, &m.ReadoutFontHeight, &m.HintFontHeight}) {
        *field = std::max(1, Scale(*field, dpi));
    }
    return m;
}

OverlayScene::OverlayScene(const TextMeasurer& measure, OverlayMetrics metrics)
    : measure_(&measure), metrics_(metrics) {
    changed_.reserve(kChangedCapacity);
    panelChanged_.reserve(kPanelChangedCapacity);

    const OverlayMetrics& m = metrics_;
    panel_ = {{0, 0, m.PanelWidth, m.PanelHeight}, false};
    panelItems_[static_cast<size_t>(PanelItem::HintBackground)] = {{0, 0, m.PanelWidth, m.PanelHeight}, true};
    for (int32_t i = 0; i < 5; ++i) {
        panelItems_[static_cast<size_t>(PanelItem::Hint1) + i] = {
            {m.HintLeft, m.HintTop + i * m.HintStep, m.HintWidth, m.HintHeight}, true};
    }
    panelItems_[static_cast<size_t>(PanelItem::LineHintX)] = {{0, 0, m.PanelWidth, kGuideLine}, false};
    panelItems_[static_cast<size_t>(PanelItem::LineHintY)] = {{0, 0, kGuideLine, m.PanelHeight}, false};
    State(Item::EraserWhite).Bounds = {0, 0, m.EraserOuter, m.EraserOuter};
    State(Item::EraserBlack).Bounds = {0, 0, m.EraserInner, m.EraserInner};
}

void OverlayScene::Create(int32_t virtualWidth, int32_t virtualHeight) {
    SetItem(Item::LineX, {0, Get(Item::LineX).Bounds.Top, virtualWidth, kGuideLine}, false);
    SetItem(Item::LineY, {Get(Item::LineY).Bounds.Left, 0, kGuideLine, virtualHeight}, false);
    ShowHideLinesAndCoordinates(false);
    ShowHideSizeScreenshot(false);
    SetVisible(Item::EraserWhite, false);
    SetVisible(Item::EraserBlack, false);
    RequestFullRepaint();
}

bool OverlayScene::Place(std::span<const MonitorBounds> monitors, Point cursor) {
    const std::optional<size_t> index = MonitorIndexForCursor(monitors, cursor);
    if (!index) return false;
    if (!(bounds_ == monitors[*index])) {
        bounds_ = monitors[*index];
        RequestFullRepaint();
    }
    return true;
}

void OverlayScene::Reset(Point cursor, bool showLine, bool showHint) {
    cursor = ClampToMonitor(cursor);
    if (showLine) ChangeLinesAndCoordinates(cursor);
    ShowHideLinesAndCoordinates(showLine);
    screenRegion_ = {};
    for (Item item : {Item::Screen, Item::PaintBox}) {
        const Rect b = Get(item).Bounds;
        SetItem(item, {b.Left, b.Top, 0, 0}, false);
    }
    SetVisible(Item::EraserWhite, false);
    SetVisible(Item::EraserBlack, false);
    if (showHint) CenterHintPanel();
    SetPanel(panel_.Bounds, showHint);
    RequestFullRepaint();
}

void OverlayScene::CenterHintPanel() {
    const OverlayMetrics& m = metrics_;
    SetPanel({(bounds_.Width - m.PanelWidth) / 2, (bounds_.Height - m.PanelHeight) / 2, m.PanelWidth, m.PanelHeight},
             panel_.Visible);
    // The panel's own lines continue the guide lines across it wherever it stands.
    PlaceHintLines();
}

Point OverlayScene::ClampToMonitor(Point cursor) const {
    // The cursor confinement can be lost (another program, a desktop switch):
    // no point the scene works with may lie off its monitor.
    const int64_t right = int64_t{bounds_.Left} + std::max<int32_t>(bounds_.Width, 1) - 1;
    const int64_t bottom = int64_t{bounds_.Top} + std::max<int32_t>(bounds_.Height, 1) - 1;
    return {static_cast<int32_t>(std::clamp<int64_t>(cursor.X, bounds_.Left, right)),
            static_cast<int32_t>(std::clamp<int64_t>(cursor.Y, bounds_.Top, bottom))};
}

bool OverlayScene::ShouldFollowCursor(Point cursor) const {
    if (screenRegion_.State != srNone) return false;
    const int64_t right = int64_t{bounds_.Left} + bounds_.Width - 1;
    const int64_t bottom = int64_t{bounds_.Top} + bounds_.Height - 1;
    return cursor.X < bounds_.Left || cursor.X > right || cursor.Y < bounds_.Top || cursor.Y > bottom;
}

bool OverlayScene::MouseDown(MouseButton button, Point cursor) {
    if (button != MouseButton::Left || screenRegion_.State != srNone) return false;
    cursor = ClampToMonitor(cursor);
    screenRegion_.State = srStarted;
    SetPanel(panel_.Bounds, false);
    startPoint_ = {cursor.X - bounds_.Left, cursor.Y - bounds_.Top};
    const Rect frame = Get(Item::Screen).Bounds;
    SetItem(Item::Screen, {frame.Left, frame.Top, 0, 0}, true);
    RequestFullRepaint();
    return true;
}

void OverlayScene::MouseMove(Point cursor, bool leftHeld, bool showSize) {
    if (screenRegion_.State == srFinished) return;
    cursor = ClampToMonitor(cursor);
    // Only a drag that an accepted press began moves the frame: a press the
    // routing refused leaves a stale start point behind.
    if (leftHeld && screenRegion_.State == srStarted) {
        endPoint_ = {cursor.X - bounds_.Left, cursor.Y - bounds_.Top};
        const Point s = startPoint_, e = endPoint_;
        TScreenshotRegion& r = screenRegion_;
        // In the start point's row or column the edges stay as they were.
        if (s.X != e.X && s.Y != e.Y) {
            r.Left = std::min(s.X, e.X);
            r.Right = std::max(s.X, e.X);
            r.Top = std::min(s.Y, e.Y);
            r.Bottom = std::max(s.Y, e.Y);
        }
        r.Width = r.Right - r.Left + 1;
        r.Height = r.Bottom - r.Top + 1;
        SetItem(Item::Screen, {r.Left, r.Top, r.Width, r.Height}, Get(Item::Screen).Visible);
    }
    ChangeLinesAndCoordinates(cursor);
    if (showSize) {
        UpdateSize();
    } else {
        ShowHideSizeScreenshot(false);
    }
}

Release OverlayScene::MouseUp(MouseButton button, [[maybe_unused]] Point cursor) {
    // Only a selection that a press started (or one already finished) can be finished.
    if (button != MouseButton::Left || screenRegion_.State == srNone) return Release::Ignored;
    const Rect frame = Get(Item::Screen).Bounds;
    const int32_t minimum = 2 * metrics_.FramePen;
    if (std::abs(frame.Width) > minimum && std::abs(frame.Height) > minimum) {
        FinishSelection();
        return Release::Finished;
    }
    SetVisible(Item::Screen, false);
    screenRegion_ = {};
    return Release::Dropped;
}

void OverlayScene::FinishSelection() {
    screenRegion_.State = srFinished;
    // Push the frame's line off the monitor where the selection touches an
    // edge, so the drawing area (and the capture) reaches the edge pixels.
    // Running this again on a finished frame changes nothing.
    const int32_t p = metrics_.FramePen;
    Rect f = Get(Item::Screen).Bounds;
    if (f.Left == 0) {
        f.Left = -p;
        f.Width += p;
    }
    if (f.Left + f.Width == bounds_.Width) f.Width += p;
    if (f.Top == 0) {
        f.Top = -p;
        f.Height += p;
    }
    if (f.Top + f.Height == bounds_.Height) f.Height += p;
    SetItem(Item::Screen, f, Get(Item::Screen).Visible);
    ShowHideLinesAndCoordinates(false);
    ShowHideSizeScreenshot(false);
    SetItem(Item::PaintBox, {f.Left + p, f.Top + p, f.Width - 2 * p, f.Height - 2 * p}, true);
    RequestFullRepaint();
}

DrawTick OverlayScene::Tick(Point cursor, bool shift, bool ctrl) {
    // The window runs the timer only on a finished selection; before that Shift and Ctrl do nothing.
    if (screenRegion_.State != srFinished) return {false, penPosition_, penPosition_};
    cursor = ClampToMonitor(cursor);
    const int32_t cx = cursor.X - bounds_.Left, cy = cursor.Y - bounds_.Top;
    const Rect area = PaintBoxRect();
    const DrawTick tick{shift, penPosition_, {cx - area.Left, cy - area.Top}};
    penPosition_ = tick.To;
    const int32_t outer = metrics_.EraserOuter, inner = metrics_.EraserInner;
    SetItem(Item::EraserWhite, ctrl ? Rect{cx - outer / 2 + 1, cy - outer / 2 + 1, outer, outer}
                                    : Get(Item::EraserWhite).Bounds, ctrl);
    SetItem(Item::EraserBlack, ctrl ? Rect{cx - inner / 2 + 1, cy - inner / 2 + 1, inner, inner}
                                    : Get(Item::EraserBlack).Bounds, ctrl);
    return tick;
}

bool OverlayScene::Routes(Point overlayPoint, MouseEvent event) const {
    // The panel is a child window above every item.
    if (panel_.Visible && panel_.Bounds.Contains(overlayPoint)) {
        return RoutesOnPanel({overlayPoint.X - panel_.Bounds.Left, overlayPoint.Y - panel_.Bounds.Top}, event);
    }
    for (size_t i = items_.size(); i-- > 0;) {
        if (!items_[i].Visible || !items_[i].Bounds.Contains(overlayPoint)) continue;
        switch (static_cast<Item>(i)) {
            case Item::LineX:
            case Item::LineY:
                return true;
            case Item::TextX:
            case Item::TextY:
            case Item::LabelTextX:
            case Item::LabelTextY:
                return event == MouseEvent::Leave;
            default:
                return false;
        }
    }
    return true;
}

bool OverlayScene::RoutesOnPanel(Point panelPoint, MouseEvent event) const {
    for (size_t i = panelItems_.size(); i-- > 0;) {
        if (!panelItems_[i].Visible || !panelItems_[i].Bounds.Contains(panelPoint)) continue;
        const auto item = static_cast<PanelItem>(i);
        if (item == PanelItem::LineHintX || item == PanelItem::LineHintY) return true;
        return event != MouseEvent::Release;
    }
    return false;  // the bare panel; its background covers it whole anyway
}

std::u16string_view OverlayScene::Text(Item label) const {
    switch (label) {
        case Item::LabelTextY:
        case Item::LabelTextX:
        case Item::LabelTextW:
        case Item::LabelTextH:
            return texts_[LabelIndex(label)].View();
        default:
            return {};
    }
}

void OverlayScene::ClearChanges() {
    changed_.clear();
    panelChanged_.clear();
    panelMovedOrToggled_ = false;
    fullRepaint_ = false;
}

void OverlayScene::ChangeLinesAndCoordinates(Point cursor) {
    const OverlayMetrics& m = metrics_;
    const int32_t ow = bounds_.Width, oh = bounds_.Height, h = m.BoxHeight;
    const int32_t lx = cursor.X - bounds_.Left, ly = cursor.Y - bounds_.Top;
    const ItemState& lineX = Get(Item::LineX);
    const ItemState& lineY = Get(Item::LineY);
    SetItem(Item::LineY, {lx, 0, lineY.Bounds.Width, lineY.Bounds.Height}, lineY.Visible);
    SetItem(Item::LineX, {0, ly, lineX.Bounds.Width, lineX.Bounds.Height}, lineX.Visible);
    PlaceHintLines();

    // Along the left edge below the horizontal line; to the right edge when the
    // cursor comes near the box, above the line near the bottom.
    const int32_t wy = SetLabel(Item::LabelTextY, u"Y: ", int64_t{cursor.Y} + 1) + m.TextPad;
    PlaceReadout(Item::TextY, Item::LabelTextY,
                 {lx > wy + m.EdgeMargin ? m.Gap : ow - wy - m.EdgeInset,
                  ly + h + m.EdgeMargin < oh ? ly + m.Gap : ly - h - m.Gap, wy, h});

    // Along the top edge right of the vertical line; likewise mirrored.
    const int32_t wx = SetLabel(Item::LabelTextX, u"X: ", int64_t{cursor.X} + 1) + m.TextPad;
    PlaceReadout(Item::TextX, Item::LabelTextX,
                 {lx + wx + m.EdgeMargin <= ow ? lx + m.Gap : lx - wx - m.Gap,
                  ly > h + m.EdgeMargin ? m.Gap : oh - h - m.Gap, wx, h});
}

void OverlayScene::PlaceHintLines() {
    const Rect lineX = Get(Item::LineX).Bounds, lineY = Get(Item::LineY).Bounds;
    const ItemState& hintX = Get(PanelItem::LineHintX);
    const ItemState& hintY = Get(PanelItem::LineHintY);
    SetPanelItem(PanelItem::LineHintY, {lineY.Left - panel_.Bounds.Left, 0, hintY.Bounds.Width, hintY.Bounds.Height},
                 hintY.Visible);
    SetPanelItem(PanelItem::LineHintX, {0, lineX.Top - panel_.Bounds.Top, hintX.Bounds.Width, hintX.Bounds.Height},
                 hintX.Visible);
}

void OverlayScene::ShowHideLinesAndCoordinates(bool visible) {
    for (Item item : {Item::LineX, Item::LineY, Item::TextY, Item::TextX, Item::LabelTextY, Item::LabelTextX}) {
        SetVisible(item, visible);
    }
    for (PanelItem item : {PanelItem::LineHintX, PanelItem::LineHintY}) {
        SetPanelItem(item, Get(item).Bounds, visible);
    }
}

void OverlayScene::UpdateSize() {
    const OverlayMetrics& m = metrics_;
    const TScreenshotRegion& r = screenRegion_;
    const int32_t ow = bounds_.Width, oh = bounds_.Height, h = m.BoxHeight, p = m.FramePen;
    // The drawing area that finishing now would give: the inside of the frame,
    // reaching the monitor's edge where the frame touches it.
    const int64_t insideWidth = int64_t{r.Width} - 2 * p, insideHeight = int64_t{r.Height} - 2 * p;
    // Finishing pushes the frame's whole line off the monitor at an edge, so
    // an edge gives back p pixels, not one, above 96 DPI.
    const int64_t wValue = insideWidth + (r.Left == 0 ? p : 0) + (r.Right == ow - 1 ? p : 0);
    const int64_t hValue = insideHeight + (r.Top == 0 ? p : 0) + (r.Bottom == oh - 1 ? p : 0);
    const bool visible = insideWidth >= m.SizeMinimum && insideHeight >= m.SizeMinimum && Get(Item::Screen).Visible;

    const int32_t ww = SetLabel(Item::LabelTextW, u"W: ", wValue) + m.TextPad;
    PlaceReadout(Item::TextW, Item::LabelTextW,
                 {r.Left + (r.Width - ww) / 2, r.Bottom + h + m.EdgeMargin < oh ? r.Bottom + m.Gap : r.Bottom - p - h - m.Gap,
                  ww, h},
                 visible);

    const int32_t wh = SetLabel(Item::LabelTextH, u"H: ", hValue) + m.TextPad;
    PlaceReadout(Item::TextH, Item::LabelTextH,
                 {ow - r.Right >= wh + m.TextPad ? r.Right + m.Gap : r.Right - p - wh - m.InsideGap,
                  r.Top + (r.Height - h) / 2, wh, h},
                 visible);
}

void OverlayScene::ShowHideSizeScreenshot(bool visible) {
    for (Item item : {Item::TextH, Item::TextW, Item::LabelTextH, Item::LabelTextW}) SetVisible(item, visible);
}

int32_t OverlayScene::SetLabel(Item label, std::u16string_view prefix, int64_t value) {
    LabelText text;
    for (char16_t c : prefix) text.Chars[text.Length++] = c;
    if (value < 0) text.Chars[text.Length++] = u'-';
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const size_t firstDigit = text.Length;
    do {
        text.Chars[text.Length++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::reverse(text.Chars.begin() + firstDigit, text.Chars.begin() + text.Length);

    LabelText& current = texts_[LabelIndex(label)];
    if (current.View() != text.View()) {
        current = text;
        labelTextChanged_[LabelIndex(label)] = true;
    }
    return measure_->Width(current.View());
}

void OverlayScene::PlaceReadout(Item box, Item label, Rect bounds, std::optional<bool> visible) {
    const bool show = visible.value_or(Get(box).Visible);
    SetItem(box, bounds, show);
    const int32_t inset = metrics_.LabelInset;
    bool& textChanged = labelTextChanged_[LabelIndex(label)];
    SetItem(label, {bounds.Left + inset, bounds.Top + inset, bounds.Width - metrics_.TextPad, bounds.Height - 2 * inset},
            visible.value_or(Get(label).Visible), textChanged);
    textChanged = false;
}

void OverlayScene::SetItem(Item item, Rect bounds, bool visible, bool contentChanged) {
    ItemState& s = State(item);
    const bool sameBounds = s.Bounds == bounds;
    if (sameBounds && s.Visible == visible && !contentChanged) return;
    if (item == Item::Screen && s.Visible && visible) {
        // The frame is a thin outline around a see-through inside: repaint the
        // two outlines and only the strip of inside that was gained or lost.
        AddFrameChange(s.Bounds, bounds);
    } else {
        if (s.Visible) AddChanged(s.Bounds);
        if (visible && !(s.Visible && sameBounds)) AddChanged(bounds);
    }
    s = {bounds, visible};
}

void OverlayScene::SetPanelItem(PanelItem item, Rect bounds, bool visible) {
    ItemState& s = panelItems_[static_cast<size_t>(item)];
    if (s.Bounds == bounds && s.Visible == visible) return;
    if (s.Visible) AddPanelChanged(s.Bounds);
    if (visible) AddPanelChanged(bounds);
    s = {bounds, visible};
}

void OverlayScene::SetPanel(Rect bounds, bool visible) {
    if (panel_.Bounds == bounds && panel_.Visible == visible) return;
    panel_ = {bounds, visible};
    panelMovedOrToggled_ = true;
}

void OverlayScene::AddChanged(Rect r) {
    if (fullRepaint_) return;
    AddTo(changed_, Intersect(r, {0, 0, bounds_.Width, bounds_.Height}), kChangedCapacity);
}

void OverlayScene::AddFrameChange(Rect oldBounds, Rect newBounds) {
    const auto add = [this](Rect r) { AddChanged(r); };
    Outline(oldBounds, metrics_.FramePen, add);
    Outline(newBounds, metrics_.FramePen, add);
    Subtract(oldBounds, newBounds, add);
    Subtract(newBounds, oldBounds, add);
}

void OverlayScene::AddPanelChanged(Rect r) {
    if (fullRepaint_) return;
    AddTo(panelChanged_, Intersect(r, {0, 0, panel_.Bounds.Width, panel_.Bounds.Height}), kPanelChangedCapacity);
}

void OverlayScene::RequestFullRepaint() {
    fullRepaint_ = true;
    changed_.clear();
    panelChanged_.clear();
}

}  // namespace kadrix
