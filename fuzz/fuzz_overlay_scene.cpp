// The overlay scene under any sequence of mouse and timer events, on any
// monitor layout and display scale. The input is read as a small header
// (monitors, scale, text width) followed by five-byte events (kind, x, y);
// after every event the scene must hold what the window relies on: changed
// rectangles inside the overlay (panel rectangles inside the panel), no
// growth of the change lists, a selection and a drawing area on the monitor,
// pen positions inside the drawing area's monitor.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "overlay/OverlayScene.h"

namespace {

using kadrix::Item;
using kadrix::Point;
using kadrix::Rect;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int16_t I16() {
        const auto low = U8();
        return static_cast<std::int16_t>(low | U8() << 8);
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(I16()); }

private:
    const std::uint8_t* data_;
    std::size_t size_, pos_ = 0;
};

class Measurer final : public kadrix::TextMeasurer {
public:
    explicit Measurer(int32_t perUnit) : perUnit_(perUnit) {}
    int32_t Width(std::u16string_view text) const override { return static_cast<int32_t>(text.size()) * perUnit_; }

private:
    int32_t perUnit_;
};

// Names the broken invariant in the crash report.
#define Check(condition)                                                      \
    do {                                                                      \
        if (!(condition)) {                                                   \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__); \
            std::abort();                                                     \
        }                                                                     \
    } while (false)

bool Inside(Rect inner, Rect outer) {
    return !inner.Empty() && inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

void CheckScene(const kadrix::OverlayScene& scene) {
    const kadrix::MonitorBounds& m = scene.Bounds();
    const Rect overlay{0, 0, m.Width, m.Height};
    Check(scene.Changed().size() <= 256 && scene.PanelChanged().size() <= 32);
    if (scene.FullRepaint()) Check(scene.Changed().empty() && scene.PanelChanged().empty());
    for (const Rect& r : scene.Changed()) Check(Inside(r, overlay));
    const Rect panel = scene.Panel().Bounds;
    for (const Rect& r : scene.PanelChanged()) Check(Inside(r, {0, 0, panel.Width, panel.Height}));

    const kadrix::TScreenshotRegion& region = scene.ScreenRegion();
    if (region.State != kadrix::srNone) {
        Check(region.Left >= 0 && region.Top >= 0 && region.Right < m.Width && region.Bottom < m.Height);
        Check(region.Left <= region.Right && region.Top <= region.Bottom);
        // All zero from the press until the first move.
        Check((region.Width == 0 && region.Height == 0) ||
              (region.Width == region.Right - region.Left + 1 && region.Height == region.Bottom - region.Top + 1));
    }
    if (region.State == kadrix::srFinished) {
        // The capture grabs exactly the drawing area: it must be on the monitor.
        Check(scene.Get(Item::PaintBox).Visible);
        Check(Inside(scene.PaintBoxRect(), overlay));
    }
    for (Item label : {Item::LabelTextX, Item::LabelTextY, Item::LabelTextW, Item::LabelTextH}) {
        Check(scene.Text(label).size() <= 24);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    // Up to three monitors anywhere a virtual desktop can reach.
    std::vector<kadrix::MonitorBounds> monitors(1 + in.U8() % 3);
    for (auto& monitor : monitors) {
        monitor.Left = in.I16();
        monitor.Top = in.I16();
        monitor.Width = 1 + in.U16() % 8192;
        monitor.Height = 1 + in.U16() % 8192;
    }
    const std::uint8_t flags = in.U8();
    const int dpi = (flags & 1) ? 96 + in.U8() : 96;
    const Measurer measure(1 + in.U8() % 24);
    kadrix::OverlayScene scene(measure, kadrix::OverlayMetrics::ForDpi(dpi));
    scene.Create(16384, 16384);
    bool showSize = (flags & 2) != 0;

    auto open = [&](Point cursor, std::uint8_t how) {
        if (!scene.Place(monitors, cursor)) return;
        scene.Reset(cursor, (how & 1) != 0, (how & 2) != 0);
    };
    open({monitors[0].Left, monitors[0].Top}, flags >> 2);
    CheckScene(scene);

    bool leftHeld = false;
    while (!in.Empty()) {
        const std::uint8_t kind = in.U8();
        const kadrix::MonitorBounds& m = scene.Bounds();
        // Mostly on the monitor, sometimes well off it (a lost confinement).
        const Point cursor{m.Left + in.I16() % (kind & 0x80 ? 32767 : m.Width + 40),
                           m.Top + in.I16() % (kind & 0x80 ? 32767 : m.Height + 40)};
        const auto button = static_cast<kadrix::MouseButton>((kind >> 3) % 3);
        switch (kind & 7) {
            case 0:
                if (scene.MouseDown(button, cursor)) leftHeld = true;
                break;
            case 1:
            case 2:
                scene.MouseMove(cursor, leftHeld, showSize);
                break;
            case 3:
                scene.MouseUp(button, cursor);
                if (button == kadrix::MouseButton::Left) leftHeld = false;
                break;
            case 4: {
                const kadrix::DrawTick tick = scene.Tick(cursor, (kind & 8) != 0, (kind & 16) != 0);
                if (scene.ScreenRegion().State == kadrix::srFinished) {
                    // The pen never leaves the monitor, whatever the cursor does.
                    const Rect area = scene.PaintBoxRect();
                    const int64_t x = int64_t{tick.To.X} + area.Left, y = int64_t{tick.To.Y} + area.Top;
                    Check(x >= 0 && x < m.Width && y >= 0 && y < m.Height);
                }
                break;
            }
            case 5:
                scene.ClearChanges();  // a paint
                break;
            case 6:
                showSize = !showSize;
                scene.CenterHintPanel();
                break;
            case 7:
                open(cursor, kind >> 3);  // a new capture, maybe on another monitor
                leftHeld = false;
                break;
        }
        (void)scene.Routes({cursor.X - m.Left, cursor.Y - m.Top}, static_cast<kadrix::MouseEvent>(kind % 4));
        (void)scene.ShouldFollowCursor(cursor);
        CheckScene(scene);
    }
    return 0;
}
