#pragma once
// Geometry and state of the capture overlay, without a window. The overlay
// window feeds it the cursor and the mouse and key state, paints the items as
// they stand here and invalidates only the rectangles reported as changed.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kadrix {

struct Point {
    int32_t X = 0, Y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    // Right and bottom are exclusive, as Win32 rectangles are.
    int32_t Right() const { return Left + Width; }
    int32_t Bottom() const { return Top + Height; }
    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool Contains(Point p) const { return p.X >= Left && p.X < Right() && p.Y >= Top && p.Y < Bottom(); }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Where a and b overlap; empty when they do not.
inline Rect Intersect(Rect a, Rect b) {
    const int32_t left = std::max(a.Left, b.Left), top = std::max(a.Top, b.Top);
    const int32_t right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
}

// The smallest rectangle holding a and b; an empty one adds nothing.
inline Rect Union(Rect a, Rect b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    const int32_t left = std::min(a.Left, b.Left), top = std::min(a.Top, b.Top);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

enum TStateRegion : uint8_t { srNone = 0, srStarted = 1, srFinished = 2 };

// The selection in overlay coordinates; Right and Bottom are the last column
// and row inside it. All zero is the empty selection.
struct TScreenshotRegion {
    int32_t Top = 0, Right = 0, Bottom = 0, Left = 0, Width = 0, Height = 0;
    TStateRegion State = srNone;
    friend bool operator==(const TScreenshotRegion&, const TScreenshotRegion&) = default;
};

// A whole monitor (not its work area) in screen coordinates.
struct MonitorBounds {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    friend bool operator==(const MonitorBounds&, const MonitorBounds&) = default;
};

// The monitor that holds the cursor. Should none hold it (the list changed
// under us), the first whose horizontal span holds cursor.X.
std::optional<size_t> MonitorIndexForCursor(std::span<const MonitorBounds> monitors, Point cursor);

inline constexpr uint8_t kFadeTargetOpacity = 150;

// One step of the fade-in. An opacity already at the target (a capture opened
// again while shown) is left alone so that it cannot wrap past 255.
struct FadeStep {
    uint8_t Opacity;
    bool Stop;
};
FadeStep NextFadeStep(uint8_t opacity);

// Pixel sizes of the overlay's items; the defaults are those at 96 DPI.
struct OverlayMetrics {
    int32_t BoxHeight = 21;       // read-out boxes
    int32_t LabelInset = 4;       // read-out text inside its box
    int32_t EdgeInset = 4;        // Y box from the right edge of the monitor
    int32_t Gap = 5;              // read-out boxes from their line or edge
    int32_t TextPad = 8;          // box width over the text width; room the H box needs right of the selection
    int32_t EdgeMargin = 10;      // nearer than box size plus this to an edge, a read-out moves over
    int32_t InsideGap = 3;        // H box inside the selection, from its right edge
    int32_t FramePen = 1;         // selection frame line
    int32_t SizeMinimum = 50;     // smallest inside of the frame that shows the size read-outs
    int32_t PanelWidth = 625, PanelHeight = 300;
    int32_t HintLeft = 14, HintTop = 11, HintWidth = 597, HintHeight = 50, HintStep = 56;
    int32_t EraserOuter = 22, EraserInner = 20;
    int32_t PenWidth = 4;
    int32_t ReadoutFontHeight = 11, HintFontHeight = 21;

    // Scaled with MulDiv rounding; a DPI of 0 or less (no monitor answered) counts as 96.
    static OverlayMetrics ForDpi(int dpi);
};

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    virtual int32_t Width(std::u16string_view text) const = 0;
};

// The overlay's painted items, bottom to top.
enum class Item : uint8_t {
    LineX, LineY, Screen, PaintBox, EraserWhite, EraserBlack, TextY, TextX, TextW, TextH,
    LabelTextY, LabelTextX, LabelTextW, LabelTextH, Count
};
// Items on the hint panel, in panel coordinates, bottom to top.
enum class PanelItem : uint8_t { HintBackground, Hint1, Hint2, Hint3, Hint4, Hint5, LineHintX, LineHintY, Count };

struct ItemState {
    Rect Bounds;
    bool Visible = false;
};

enum class MouseButton { Left, Right, Middle };
enum class MouseEvent { Press, Move, Release, Leave };
enum class Release { Ignored, Finished, Dropped };

// One drawing tick: a segment From -> To when Draw, else the pen just moved
// to To. Coordinates are relative to the drawing area's top-left corner.
struct DrawTick {
    bool Draw = false;
    Point From, To;
};

class OverlayScene {
public:
    OverlayScene(const TextMeasurer& measure, OverlayMetrics metrics);

    // Once at start-up: guide-line lengths from the virtual desktop, everything hidden.
    void Create(int32_t virtualWidth, int32_t virtualHeight);
    // Covers the monitor under the cursor; false when none matches and the bounds stay.
    bool Place(std::span<const MonitorBounds> monitors, Point cursor);
    const MonitorBounds& Bounds() const { return bounds_; }
    // A new capture: everything but the opacity, which the window fades itself.
    void Reset(Point cursor, bool showLine, bool showHint);
    void CenterHintPanel();
    // The mouse left the overlay with no selection under way and the cursor off this monitor.
    bool ShouldFollowCursor(Point cursor) const;

    // Cursor positions are in screen coordinates; points off the overlay's
    // monitor are taken as the nearest point on it.
    // True for an accepted press: the caller confines the cursor and holds the mouse until the release.
    bool MouseDown(MouseButton button, Point cursor);
    void MouseMove(Point cursor, bool leftHeld, bool showSize);
    // Finished: register Enter, start the drawing timer. Finished and Dropped: lift the confinement.
    Release MouseUp(MouseButton button, Point cursor);
    // One tick of the drawing timer; allocates nothing.
    DrawTick Tick(Point cursor, bool shift, bool ctrl);

    // Whether an event over the topmost visible item at the point reaches the
    // overlay's handlers; a point on no item is the overlay itself and does.
    bool Routes(Point overlayPoint, MouseEvent event) const;
    bool RoutesOnPanel(Point panelPoint, MouseEvent event) const;

    const ItemState& Get(Item item) const { return items_[static_cast<size_t>(item)]; }
    const ItemState& Get(PanelItem item) const { return panelItems_[static_cast<size_t>(item)]; }
    // The hint panel's bounds in overlay coordinates and whether it shows.
    const ItemState& Panel() const { return panel_; }
    // Texts of LabelTextX/Y/W/H; empty for every other item.
    std::u16string_view Text(Item label) const;
    const TScreenshotRegion& ScreenRegion() const { return screenRegion_; }
    Point StartPoint() const { return startPoint_; }
    Point EndPoint() const { return endPoint_; }
    Rect PaintBoxRect() const { return Get(Item::PaintBox).Bounds; }
    Point PenPosition() const { return penPosition_; }
    const OverlayMetrics& Metrics() const { return metrics_; }

    // What changed since the last ClearChanges(). Rectangles are clipped to
    // the overlay (panel items to the panel). While FullRepaint() is true the
    // lists stay empty: the overlay and its panel are to be repainted whole, at once.
    std::span<const Rect> Changed() const { return changed_; }
    std::span<const Rect> PanelChanged() const { return panelChanged_; }
    bool PanelMovedOrToggled() const { return panelMovedOrToggled_; }
    bool FullRepaint() const { return fullRepaint_; }
    void ClearChanges();

private:
    // Read-out text without heap use, so that mouse moves do not allocate.
    struct LabelText {
        std::array<char16_t, 24> Chars{};
        size_t Length = 0;
        std::u16string_view View() const { return {Chars.data(), Length}; }
    };

    ItemState& State(Item item) { return items_[static_cast<size_t>(item)]; }
    void SetItem(Item item, Rect bounds, bool visible, bool contentChanged = false);
    void SetVisible(Item item, bool visible) { SetItem(item, Get(item).Bounds, visible); }
    void SetPanelItem(PanelItem item, Rect bounds, bool visible);
    void SetPanel(Rect bounds, bool visible);
    void AddChanged(Rect r);
    void AddFrameChange(Rect oldBounds, Rect newBounds);
    void AddPanelChanged(Rect r);
    void RequestFullRepaint();

    // The guide lines with the X and Y read-outs at a screen position.
    void ChangeLinesAndCoordinates(Point cursor);
    void PlaceHintLines();
    void ShowHideLinesAndCoordinates(bool visible);
    void UpdateSize();
    void ShowHideSizeScreenshot(bool visible);
    // Sets a read-out's text (prefix and number) and returns its measured width.
    int32_t SetLabel(Item label, std::u16string_view prefix, int64_t value);
    // A read-out box and its label inside it; visibility kept unless given.
    void PlaceReadout(Item box, Item label, Rect bounds, std::optional<bool> visible = std::nullopt);
    void FinishSelection();
    Point ClampToMonitor(Point cursor) const;

    const TextMeasurer* measure_;
    OverlayMetrics metrics_;
    MonitorBounds bounds_;
    std::array<ItemState, static_cast<size_t>(Item::Count)> items_{};
    std::array<ItemState, static_cast<size_t>(PanelItem::Count)> panelItems_{};
    std::array<LabelText, 4> texts_{};
    std::array<bool, 4> labelTextChanged_{};
    ItemState panel_;
    TScreenshotRegion screenRegion_;
    Point startPoint_, endPoint_, penPosition_;
    std::vector<Rect> changed_, panelChanged_;
    bool panelMovedOrToggled_ = false;
    bool fullRepaint_ = false;
};

}  // namespace kadrix
