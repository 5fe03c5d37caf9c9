// The size read-outs at every display scale: what they show while dragging
// is what finishing the selection gives, on whichever edges it touches.
#include <gtest/gtest.h>

#include <string>

#include "core/Utf.h"
#include "overlay/OverlayScene.h"

using namespace kadrix;

namespace {

class FixedWidthMeasurer : public TextMeasurer {
public:
    int32_t Width(std::u16string_view text) const override { return static_cast<int32_t>(text.size()) * 7; }
};

TEST(OverlayScale, SizeReadOutEqualsTheFinishedDrawingArea) {
    const FixedWidthMeasurer measure;
    const MonitorBounds monitor{0, 0, 1920, 1080};
    struct Drag {
        const char* name;
        Point from, to;
    } drags[] = {
        {"corner to corner", {0, 0}, {1919, 1079}},
        {"touching the left and top edges", {0, 0}, {400, 300}},
        {"touching the right and bottom edges", {1500, 700}, {1919, 1079}},
        {"touching no edge", {100, 100}, {700, 500}},
    };
    for (int dpi : {96, 120, 144, 192}) {
        for (const Drag& d : drags) {
            SCOPED_TRACE(std::string(d.name) + " at " + std::to_string(dpi) + " DPI");
            OverlayScene scene(measure, OverlayMetrics::ForDpi(dpi));
            scene.Create(1920, 1080);
            ASSERT_TRUE(scene.Place(std::span(&monitor, 1), {10, 10}));
            scene.Reset({10, 10}, true, false);
            ASSERT_TRUE(scene.MouseDown(MouseButton::Left, d.from));
            scene.MouseMove(d.to, true, true);
            const std::string shownW = Utf16ToUtf8(scene.Text(Item::LabelTextW));
            const std::string shownH = Utf16ToUtf8(scene.Text(Item::LabelTextH));
            ASSERT_EQ(scene.MouseUp(MouseButton::Left, d.to), Release::Finished);
            const Rect area = scene.PaintBoxRect();
            EXPECT_EQ(shownW, "W: " + std::to_string(area.Width));
            EXPECT_EQ(shownH, "H: " + std::to_string(area.Height));
        }
    }
    // The example that was wrong: a whole 1920 x 1080 monitor at 144 DPI.
    OverlayScene scene(measure, OverlayMetrics::ForDpi(144));
    scene.Create(1920, 1080);
    ASSERT_TRUE(scene.Place(std::span(&monitor, 1), {0, 0}));
    scene.Reset({0, 0}, true, false);
    scene.MouseDown(MouseButton::Left, {0, 0});
    scene.MouseMove({1919, 1079}, true, true);
    EXPECT_EQ(Utf16ToUtf8(scene.Text(Item::LabelTextW)), "W: 1920");
    EXPECT_EQ(Utf16ToUtf8(scene.Text(Item::LabelTextH)), "H: 1080");
}

}  // namespace
