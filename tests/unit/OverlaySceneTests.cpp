#include "overlay/OverlayScene.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "core/Utf.h"

// Counts heap allocations while switched on, to hold the drawing tick and the
// drag to their promise of allocating nothing.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<int> gAllocations{0};
}  // namespace

// Out of line: inlined into library code, GCC takes malloc/free here for a
// new/delete mismatch and warns.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (gCountAllocations) ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kadrix {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.Left << "," << r.Top << " " << r.Width << "x" << r.Height << "}";
}
void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.X << "," << p.Y << ")"; }

namespace {

// 6 pixels per UTF-16 unit.
class FakeMeasurer : public TextMeasurer {
public:
    int32_t Width(std::u16string_view text) const override { return static_cast<int32_t>(text.size()) * 6; }
};
const FakeMeasurer kMeasure;

constexpr MonitorBounds kFullHd{0, 0, 1920, 1080};
constexpr MonitorBounds kLeftAbove{-1920, -300, 1920, 1080};  // left of and above the primary
constexpr MonitorBounds k4K{0, 0, 3840, 2160};

// A scene shown on one monitor; test points are in overlay coordinates.
struct Scene {
    explicit Scene(MonitorBounds monitor, bool showLine = true, bool showHint = true) : m(monitor) {
        s.Create(7680, 4320);
        EXPECT_TRUE(s.Place(std::span(&m, 1), {m.Left, m.Top}));
        s.Reset(ToScreen({0, 0}), showLine, showHint);
        s.ClearChanges();
    }
    Point ToScreen(Point o) const { return {o.X + m.Left, o.Y + m.Top}; }
    bool Press(Point o, MouseButton b = MouseButton::Left) { return s.MouseDown(b, ToScreen(o)); }
    void Move(Point o, bool held = true, bool showSize = true) { s.MouseMove(ToScreen(o), held, showSize); }
    Release Up(Point o, MouseButton b = MouseButton::Left) { return s.MouseUp(b, ToScreen(o)); }
    Release Select(Point from, Point to) {
        Press(from);
        Move(to);
        return Up(to);
    }
    DrawTick Tick(Point o, bool shift, bool ctrl) { return s.Tick(ToScreen(o), shift, ctrl); }
    const ItemState& operator[](Item i) const { return s.Get(i); }
    std::string Text(Item i) const { return Utf16ToUtf8(s.Text(i)); }

    MonitorBounds m;
    OverlayScene s{kMeasure, OverlayMetrics::ForDpi(96)};
};

Rect RegionRect(const TScreenshotRegion& r) { return {r.Left, r.Top, r.Width, r.Height}; }

bool Covered(std::span<const Rect> rects, Point p) {
    for (const Rect& r : rects) {
        if (r.Contains(p)) return true;
    }
    return false;
}

TEST(OverlayScene, PicksTheMonitorUnderTheCursorAndKeepsBoundsWithoutMatch) {
    const MonitorBounds primary{0, 0, 1920, 1080};
    struct Case {
        const char* name;
        std::vector<MonitorBounds> monitors;
        Point cursor;
        std::optional<size_t> expected;
    } cases[] = {
        {"second of side by side", {primary, {1920, 0, 2560, 1440}}, {2000, 50}, 1},
        {"last column of the first", {primary, {1920, 0, 2560, 1440}}, {1919, 1079}, 0},
        {"left of and above the primary", {primary, {-1280, -1024, 1280, 1024}}, {-1, -1}, 1},
        {"stacked, cursor on the lower one", {primary, {0, 1080, 1920, 1080}}, {10, 1500}, 1},
        {"stacked, lower one listed first", {{0, 1080, 1920, 1080}, primary}, {10, 10}, 1},
        {"above the primary, narrower", {primary, {0, -1024, 1280, 1024}}, {1279, -1}, 1},
        {"below every monitor: the first over that column", {primary, {0, 1080, 1920, 1080}}, {10, 5000}, 0},
        {"right of every monitor", {primary, {1920, 0, 2560, 1440}}, {4480, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MonitorIndexForCursor(c.monitors, c.cursor), c.expected);
        Scene scene(kLeftAbove);
        EXPECT_EQ(scene.s.Place(c.monitors, c.cursor), c.expected.has_value());
        EXPECT_EQ(scene.s.Bounds(), c.expected ? c.monitors[*c.expected] : kLeftAbove);
    }
}

TEST(OverlayScene, FadeInRisesInFifteenStepsToOneHundredFifty) {
    std::vector<int> seen;
    uint8_t opacity = 0;
    for (bool stop = false; !stop && seen.size() < 30;) {
        const FadeStep step = NextFadeStep(opacity);
        opacity = step.Opacity;
        stop = step.Stop;
        seen.push_back(opacity);
    }
    ASSERT_EQ(seen.size(), 15u);
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 10 * static_cast<int>(i + 1));
}

TEST(OverlayScene, FadeStepAtOrAboveTargetStaysAndStops) {
    struct Case {
        uint8_t from, to;
        bool stop;
    } cases[] = {{140, 150, true}, {145, 155, true}, {150, 150, true}, {250, 250, true}, {255, 255, true}, {0, 10, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        const FadeStep step = NextFadeStep(c.from);
        EXPECT_EQ(step.Opacity, c.to);
        EXPECT_EQ(step.Stop, c.stop);
    }
}

TEST(OverlayScene, MetricsScaleWithDpi) {
    struct Case {
        int dpi;
        int32_t boxHeight, gap, panelWidth, panelHeight, eraserOuter, eraserInner, framePen, pen;
    } cases[] = {
        {96, 21, 5, 625, 300, 22, 20, 1, 4},
        {0, 21, 5, 625, 300, 22, 20, 1, 4},
        {120, 26, 6, 781, 375, 28, 25, 1, 5},
        {144, 32, 8, 938, 450, 33, 30, 2, 6},
        {192, 42, 10, 1250, 600, 44, 40, 2, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        const OverlayMetrics m = OverlayMetrics::ForDpi(c.dpi);
        EXPECT_EQ(m.BoxHeight, c.boxHeight);
        EXPECT_EQ(m.Gap, c.gap);
        EXPECT_EQ(m.PanelWidth, c.panelWidth);
        EXPECT_EQ(m.PanelHeight, c.panelHeight);
        EXPECT_EQ(m.EraserOuter, c.eraserOuter);
        EXPECT_EQ(m.EraserInner, c.eraserInner);
        EXPECT_EQ(m.FramePen, c.framePen);
        EXPECT_EQ(m.PenWidth, c.pen);
    }
    const OverlayMetrics base = OverlayMetrics::ForDpi(96);
    EXPECT_EQ((std::vector<int32_t>{base.LabelInset, base.EdgeInset, base.TextPad, base.EdgeMargin, base.InsideGap,
                                    base.ReadoutFontHeight, base.HintFontHeight}),
              (std::vector<int32_t>{4, 4, 8, 10, 3, 11, 21}));
}

TEST(OverlayScene, SelectionsGiveFrameAndDrawingArea) {
    struct Case {
        const char* name;
        Point start;
        std::vector<Point> moves;
        Rect region;  // Left, Top, Width, Height after the last move
        Release result;
        Rect paintBox;  // when finished
    } cases[] = {
        {"top-left to bottom-right", {100, 200}, {{400, 500}}, {100, 200, 301, 301}, Release::Finished, {101, 201, 299, 299}},
        {"bottom-right to top-left", {400, 500}, {{100, 200}}, {100, 200, 301, 301}, Release::Finished, {101, 201, 299, 299}},
        {"top-right to bottom-left", {400, 200}, {{100, 500}}, {100, 200, 301, 301}, Release::Finished, {101, 201, 299, 299}},
        {"bottom-left to top-right", {100, 500}, {{400, 200}}, {100, 200, 301, 301}, Release::Finished, {101, 201, 299, 299}},
        {"click without a drag", {100, 100}, {}, {}, Release::Dropped, {}},
        {"one pixel both ways", {100, 100}, {{101, 101}}, {100, 100, 2, 2}, Release::Dropped, {}},
        {"one pixel across, far down", {100, 100}, {{101, 300}}, {100, 100, 2, 201}, Release::Dropped, {}},
        {"two pixels both ways", {100, 100}, {{102, 102}}, {100, 100, 3, 3}, Release::Finished, {101, 101, 1, 1}},
        {"first move straight down", {100, 100}, {{100, 300}}, {0, 0, 1, 1}, Release::Dropped, {}},
        {"end back in the start column", {100, 100}, {{300, 300}, {100, 400}}, {100, 100, 201, 201}, Release::Finished,
         {101, 101, 199, 199}},
        {"end back in the start row", {100, 100}, {{300, 300}, {500, 100}}, {100, 100, 201, 201}, Release::Finished,
         {101, 101, 199, 199}},
        {"left edge", {0, 100}, {{300, 400}}, {0, 100, 301, 301}, Release::Finished, {0, 101, 300, 299}},
        {"right edge", {1000, 100}, {{1919, 400}}, {1000, 100, 920, 301}, Release::Finished, {1001, 101, 919, 299}},
        {"top edge", {100, 0}, {{400, 300}}, {100, 0, 301, 301}, Release::Finished, {101, 0, 299, 300}},
        {"bottom edge", {100, 700}, {{400, 1079}}, {100, 700, 301, 380}, Release::Finished, {101, 701, 299, 379}},
        {"top-left corner", {500, 500}, {{0, 0}}, {0, 0, 501, 501}, Release::Finished, {0, 0, 500, 500}},
        {"top-right corner", {1500, 0}, {{1919, 300}}, {1500, 0, 420, 301}, Release::Finished, {1501, 0, 419, 300}},
        {"bottom-left corner", {0, 800}, {{300, 1079}}, {0, 800, 301, 280}, Release::Finished, {0, 801, 300, 279}},
        {"bottom-right corner", {1500, 800}, {{1919, 1079}}, {1500, 800, 420, 280}, Release::Finished,
         {1501, 801, 419, 279}},
        {"corner to corner", {0, 0}, {{1919, 1079}}, {0, 0, 1920, 1080}, Release::Finished, {0, 0, 1920, 1080}},
    };
    for (const MonitorBounds& monitor : {kFullHd, kLeftAbove}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " on monitor at " << monitor.Left << "," << monitor.Top);
            Scene scene(monitor);
            ASSERT_TRUE(scene.Press(c.start));
            EXPECT_EQ(scene.s.ScreenRegion().State, srStarted);
            EXPECT_EQ(scene.s.StartPoint(), c.start);
            for (Point p : c.moves) scene.Move(p);
            const TScreenshotRegion& r = scene.s.ScreenRegion();
            EXPECT_EQ(RegionRect(r), c.region);
            if (!c.moves.empty()) {
                EXPECT_EQ(r.Right, r.Left + r.Width - 1);
                EXPECT_EQ(r.Bottom, r.Top + r.Height - 1);
            }
            EXPECT_EQ(scene[Item::Screen].Bounds, c.region);
            EXPECT_TRUE(scene[Item::Screen].Visible);

            EXPECT_EQ(scene.Up(c.moves.empty() ? c.start : c.moves.back()), c.result);
            if (c.result == Release::Finished) {
                EXPECT_EQ(r.State, srFinished);
                EXPECT_EQ(RegionRect(r), c.region) << "the record keeps the last move";
                EXPECT_TRUE(scene[Item::PaintBox].Visible);
                EXPECT_EQ(scene.s.PaintBoxRect(), c.paintBox);
                EXPECT_TRUE(scene.s.FullRepaint());
            } else {
                EXPECT_EQ(r, TScreenshotRegion{});
                EXPECT_FALSE(scene[Item::Screen].Visible);
                EXPECT_FALSE(scene[Item::PaintBox].Visible);
            }
        }
    }
}

TEST(OverlayScene, FinishedSelectionIgnoresPressAndMoveAndRefinishesOnRelease) {
    Scene scene(kFullHd);
    ASSERT_EQ(scene.Select({0, 0}, {1919, 1079}), Release::Finished);
    const TScreenshotRegion region = scene.s.ScreenRegion();
    const ItemState frame = scene[Item::Screen];
    scene.s.ClearChanges();

    EXPECT_FALSE(scene.Press({500, 500}));
    scene.Move({600, 600});
    EXPECT_EQ(scene.s.ScreenRegion(), region);
    EXPECT_TRUE(scene.s.Changed().empty());
    EXPECT_FALSE(scene.s.FullRepaint());

    EXPECT_EQ(scene.Up({600, 600}), Release::Finished);
    EXPECT_TRUE(scene.s.FullRepaint()) << "repainting wipes the strokes";
    EXPECT_EQ(scene.s.ScreenRegion(), region);
    EXPECT_EQ(scene[Item::Screen].Bounds, frame.Bounds) << "running the edge steps twice must not grow the frame";
    EXPECT_EQ(scene.s.PaintBoxRect(), (Rect{0, 0, 1920, 1080}));
}

TEST(OverlayScene, RightAndMiddleButtonsChangeNothing) {
    for (MouseButton button : {MouseButton::Right, MouseButton::Middle}) {
        for (bool finish : {false, true}) {
            SCOPED_TRACE(testing::Message() << "button " << static_cast<int>(button) << " finished " << finish);
            Scene scene(kFullHd);
            scene.Press({100, 100});
            scene.Move({300, 300});
            if (finish) scene.Up({300, 300});
            const TScreenshotRegion region = scene.s.ScreenRegion();
            const ItemState frame = scene[Item::Screen], paintBox = scene[Item::PaintBox];
            scene.s.ClearChanges();

            EXPECT_FALSE(scene.Press({500, 500}, button));
            EXPECT_EQ(scene.Up({500, 500}, button), Release::Ignored);
            EXPECT_EQ(scene.s.ScreenRegion(), region);
            EXPECT_EQ(scene[Item::Screen].Bounds, frame.Bounds);
            EXPECT_TRUE(scene[Item::Screen].Visible);
            EXPECT_EQ(scene[Item::PaintBox].Visible, paintBox.Visible);
            EXPECT_TRUE(scene.s.Changed().empty());
            EXPECT_FALSE(scene.s.FullRepaint());
        }
    }
    Scene idle(kFullHd);
    EXPECT_FALSE(idle.Press({100, 100}, MouseButton::Right));
    EXPECT_EQ(idle.s.ScreenRegion().State, srNone);
}

TEST(OverlayScene, CoordinateReadOutsFollowTheCursor) {
    struct Case {
        const char* name;
        MonitorBounds monitor;
        Point cursor;  // screen
        Rect boxX, boxY;
        const char* textX;
        const char* textY;
    } cases[] = {
        {"usual places", kFullHd, {500, 400}, {505, 5, 44, 21}, {5, 405, 44, 21}, "X: 501", "Y: 401"},
        {"cx at Y box width + 10: Y at the right edge", kFullHd, {54, 400}, {59, 5, 38, 21}, {1872, 405, 44, 21},
         "X: 55", "Y: 401"},
        {"cx one past it: Y back at the left", kFullHd, {55, 400}, {60, 5, 38, 21}, {5, 405, 44, 21}, "X: 56",
         "Y: 401"},
        {"cy at 31: X at the bottom edge", kFullHd, {500, 31}, {505, 1054, 44, 21}, {5, 36, 38, 21}, "X: 501", "Y: 32"},
        {"cy at 32: X back at the top", kFullHd, {500, 32}, {505, 5, 44, 21}, {5, 37, 38, 21}, "X: 501", "Y: 33"},
        {"near the right edge X jumps left of the line", kFullHd, {1900, 400}, {1845, 5, 50, 21}, {5, 405, 44, 21},
         "X: 1901", "Y: 401"},
        {"just room right of the line", kFullHd, {1860, 400}, {1865, 5, 50, 21}, {5, 405, 44, 21}, "X: 1861",
         "Y: 401"},
        {"near the bottom edge Y jumps above the line", kFullHd, {500, 1050}, {505, 5, 44, 21}, {5, 1024, 50, 21},
         "X: 501", "Y: 1051"},
        {"just room below the line", kFullHd, {500, 1048}, {505, 5, 44, 21}, {5, 1053, 50, 21}, "X: 501", "Y: 1049"},
        {"top-left pixel of the primary", kFullHd, {0, 0}, {5, 1054, 32, 21}, {1884, 5, 32, 21}, "X: 1", "Y: 1"},
        {"left of and above the primary", kLeftAbove, {-1, -300}, {1882, 1054, 32, 21}, {5, 5, 50, 21}, "X: 0",
         "Y: -299"},
        {"negative both ways", kLeftAbove, {-1000, -100}, {925, 5, 50, 21}, {5, 205, 44, 21}, "X: -999", "Y: -99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(c.monitor);
        scene.s.MouseMove(c.cursor, false, true);
        const Point o{c.cursor.X - c.monitor.Left, c.cursor.Y - c.monitor.Top};
        EXPECT_EQ(scene[Item::LineY].Bounds, (Rect{o.X, 0, 1, 4320}));
        EXPECT_EQ(scene[Item::LineX].Bounds, (Rect{0, o.Y, 7680, 1}));
        EXPECT_EQ(scene[Item::TextX].Bounds, c.boxX);
        EXPECT_EQ(scene[Item::TextY].Bounds, c.boxY);
        EXPECT_EQ(scene.Text(Item::LabelTextX), c.textX);
        EXPECT_EQ(scene.Text(Item::LabelTextY), c.textY);
        EXPECT_EQ(scene[Item::LabelTextX].Bounds, (Rect{c.boxX.Left + 4, c.boxX.Top + 4, c.boxX.Width - 8, 13}));
        EXPECT_EQ(scene[Item::LabelTextY].Bounds, (Rect{c.boxY.Left + 4, c.boxY.Top + 4, c.boxY.Width - 8, 13}));
    }
}

TEST(OverlayScene, SizeReadOutsDuringADrag) {
    struct Case {
        const char* name;
        Point from, to;
        bool visible;
        const char* textW;
        const char* textH;
        Rect boxW, boxH;
    } cases[] = {
        {"52 x 52 touching no edge", {100, 100}, {151, 151}, true, "W: 50", "H: 50", {107, 156, 38, 21},
         {156, 115, 38, 21}},
        {"51 x 52 shows neither", {100, 100}, {150, 151}, false, "W: 49", "H: 50", {106, 156, 38, 21},
         {155, 115, 38, 21}},
        {"52 x 51 shows neither", {100, 100}, {151, 150}, false, "W: 50", "H: 49", {107, 155, 38, 21},
         {156, 115, 38, 21}},
        {"corner to corner", {0, 0}, {1919, 1079}, true, "W: 1920", "H: 1080", {935, 1052, 50, 21},
         {1865, 529, 50, 21}},
        {"touching the left edge", {0, 100}, {100, 200}, true, "W: 100", "H: 99", {28, 205, 44, 21},
         {105, 140, 38, 21}},
        {"W moves inside near the bottom edge", {100, 1000}, {300, 1060}, true, "W: 199", "H: 59",
         {178, 1033, 44, 21}, {305, 1020, 38, 21}},
        {"H moves inside near the right edge", {1800, 100}, {1900, 300}, true, "W: 99", "H: 199",
         {1831, 305, 38, 21}, {1852, 190, 44, 21}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(kFullHd);
        scene.Press(c.from);
        scene.Move(c.to);
        for (Item i : {Item::TextW, Item::TextH, Item::LabelTextW, Item::LabelTextH}) {
            EXPECT_EQ(scene[i].Visible, c.visible) << static_cast<int>(i);
        }
        EXPECT_EQ(scene.Text(Item::LabelTextW), c.textW);
        EXPECT_EQ(scene.Text(Item::LabelTextH), c.textH);
        EXPECT_EQ(scene[Item::TextW].Bounds, c.boxW);
        EXPECT_EQ(scene[Item::TextH].Bounds, c.boxH);
        EXPECT_EQ(scene[Item::LabelTextW].Bounds, (Rect{c.boxW.Left + 4, c.boxW.Top + 4, c.boxW.Width - 8, 13}));
    }
}

TEST(OverlayScene, VisibilityOfGuidesAndReadOuts) {
    using Steps = std::function<void(Scene&)>;
    struct Case {
        const char* name;
        Steps steps;
        bool lines, size;
    } cases[] = {
        {"created", [](Scene& t) { t.s.Create(7680, 4320); }, false, false},
        {"shown with lines", [](Scene&) {}, true, false},
        {"shown without lines", [](Scene& t) { t.s.Reset(t.ToScreen({5, 5}), false, true); }, false, false},
        {"lines off still move, stay hidden",
         [](Scene& t) {
             t.s.Reset(t.ToScreen({5, 5}), false, true);
             t.Move({700, 700}, false);
         },
         false, false},
        {"large drag",
         [](Scene& t) {
             t.Press({100, 100});
             t.Move({400, 400});
         },
         true, true},
        {"large drag with lines off",
         [](Scene& t) {
             t.s.Reset(t.ToScreen({5, 5}), false, true);
             t.Press({100, 100});
             t.Move({400, 400});
         },
         false, true},
        {"large drag with size off",
         [](Scene& t) {
             t.Press({100, 100});
             t.Move({400, 400}, true, false);
         },
         true, false},
        {"move without the button after a drop",
         [](Scene& t) {
             t.Select({100, 100}, {101, 101});
             t.Move({400, 400}, false);
         },
         true, false},
        {"finished", [](Scene& t) { t.Select({100, 100}, {400, 400}); }, false, false},
        {"show leaves size read-outs alone",
         [](Scene& t) {
             t.Press({100, 100});
             t.Move({400, 400});
             t.s.Reset(t.ToScreen({5, 5}), true, true);
         },
         true, true},
        {"and the next move hides them",
         [](Scene& t) {
             t.Press({100, 100});
             t.Move({400, 400});
             t.s.Reset(t.ToScreen({5, 5}), true, true);
             t.Move({500, 500}, false);
         },
         true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(kFullHd);
        c.steps(scene);
        for (Item i : {Item::LineX, Item::LineY, Item::TextX, Item::TextY, Item::LabelTextX, Item::LabelTextY}) {
            EXPECT_EQ(scene[i].Visible, c.lines) << static_cast<int>(i);
        }
        EXPECT_EQ(scene.s.Get(PanelItem::LineHintX).Visible, c.lines);
        EXPECT_EQ(scene.s.Get(PanelItem::LineHintY).Visible, c.lines);
        for (Item i : {Item::TextW, Item::TextH, Item::LabelTextW, Item::LabelTextH}) {
            EXPECT_EQ(scene[i].Visible, c.size) << static_cast<int>(i);
        }
    }
}

TEST(OverlayScene, HintPanelIsCentredTruncatingTowardZero) {
    struct Case {
        MonitorBounds monitor;
        Point topLeft;
    } cases[] = {
        {{0, 0, 1920, 1080}, {647, 390}},
        {{-3840, 0, 3840, 2160}, {1607, 930}},
        {{0, 0, 625, 300}, {0, 0}},
        {{0, 0, 600, 200}, {-12, -50}},
        {{0, 0, 601, 299}, {-12, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.monitor.Width);
        Scene scene(c.monitor);
        EXPECT_EQ(scene.s.Panel().Bounds, (Rect{c.topLeft.X, c.topLeft.Y, 625, 300}));
        EXPECT_TRUE(scene.s.Panel().Visible);
    }
}

TEST(OverlayScene, HintPanelHidesOnAcceptedPressUntilNextShow) {
    Scene scene(kFullHd);
    EXPECT_FALSE(scene.Press({100, 100}, MouseButton::Right));
    EXPECT_TRUE(scene.s.Panel().Visible);
    EXPECT_FALSE(scene.s.PanelMovedOrToggled());

    EXPECT_TRUE(scene.Press({700, 450}));  // on the panel
    EXPECT_FALSE(scene.s.Panel().Visible);
    EXPECT_TRUE(scene.s.PanelMovedOrToggled());
    EXPECT_EQ(scene.Up({700, 450}), Release::Dropped);
    EXPECT_FALSE(scene.s.Panel().Visible);
    EXPECT_TRUE(scene[Item::LineX].Visible) << "a drop leaves the guide lines";

    scene.s.Reset(scene.ToScreen({700, 400}), true, true);
    EXPECT_TRUE(scene.s.Panel().Visible);
    // The panel's lines continue the guide lines across it.
    EXPECT_EQ(scene.s.Get(PanelItem::LineHintY).Bounds, (Rect{53, 0, 1, 300}));
    EXPECT_EQ(scene.s.Get(PanelItem::LineHintX).Bounds, (Rect{0, 10, 625, 1}));

    scene.s.Reset(scene.ToScreen({700, 400}), true, false);
    EXPECT_FALSE(scene.s.Panel().Visible);
}

TEST(OverlayScene, PanelLinesMatchThePanelCentredByTheReset) {
    // The reset places the guide lines before it centres the panel; the lines
    // on the panel must still end up where the guide lines cross it.
    Scene scene(kFullHd);
    const MonitorBounds small{1920, 0, 1280, 720};
    ASSERT_TRUE(scene.s.Place(std::span(&small, 1), {2000, 100}));
    scene.s.Reset({1920 + 700, 400}, true, true);
    EXPECT_EQ(scene.s.Panel().Bounds, (Rect{327, 210, 625, 300}));
    EXPECT_EQ(scene.s.Get(PanelItem::LineHintY).Bounds, (Rect{700 - 327, 0, 1, 300}));
    EXPECT_EQ(scene.s.Get(PanelItem::LineHintX).Bounds, (Rect{0, 400 - 210, 625, 1}));
}

TEST(OverlayScene, FollowsCursorOnlyWithoutSelection) {
    struct Case {
        const char* name;
        int presses;  // 0 none, 1 started, 2 finished
        Point cursor;  // screen, monitor kLeftAbove
        bool follows;
    } cases[] = {
        {"inside", 0, {-1000, 0}, false},
        {"first column", 0, {-1920, 0}, false},
        {"last column and row", 0, {-1, 779}, false},
        {"left of it", 0, {-1921, 0}, true},
        {"right of it", 0, {0, 0}, true},
        {"above it", 0, {-1000, -301}, true},
        {"below it", 0, {-1000, 780}, true},
        {"right of it while dragging", 1, {0, 0}, false},
        {"right of it when finished", 2, {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(kLeftAbove);
        if (c.presses >= 1) {
            scene.Press({100, 100});
            scene.Move({300, 300});
        }
        if (c.presses == 2) scene.Up({300, 300});
        EXPECT_EQ(scene.s.ShouldFollowCursor(c.cursor), c.follows);
    }
}

TEST(OverlayScene, EraserSquaresAroundTheCursor) {
    struct Case {
        Point cursor;  // overlay
    } cases[] = {{{200, 200}}, {{1500, 900}}, {{0, 0}}};  // inside, outside the selection, monitor corner
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cursor.X << "," << c.cursor.Y);
        Scene scene(kLeftAbove);
        ASSERT_EQ(scene.Select({100, 100}, {400, 400}), Release::Finished);
        scene.Tick(c.cursor, false, true);
        EXPECT_EQ(scene[Item::EraserWhite].Bounds, (Rect{c.cursor.X - 10, c.cursor.Y - 10, 22, 22}));
        EXPECT_EQ(scene[Item::EraserBlack].Bounds, (Rect{c.cursor.X - 9, c.cursor.Y - 9, 20, 20}));
        EXPECT_TRUE(scene[Item::EraserWhite].Visible);
        EXPECT_TRUE(scene[Item::EraserBlack].Visible);
        scene.Tick(c.cursor, false, false);
        EXPECT_FALSE(scene[Item::EraserWhite].Visible);
        EXPECT_FALSE(scene[Item::EraserBlack].Visible);
    }
}

TEST(OverlayScene, DrawingTicksMakeAPolylineAndStartAfreshAfterShift) {
    Scene scene(kLeftAbove);
    ASSERT_EQ(scene.Select({100, 100}, {300, 300}), Release::Finished);
    ASSERT_EQ(scene.s.PaintBoxRect(), (Rect{101, 101, 199, 199}));
    struct Step {
        Point cursor;  // overlay
        bool shift;
        DrawTick expected;  // drawing-area coordinates
    } steps[] = {
        {{150, 150}, false, {false, {0, 0}, {49, 49}}},
        {{160, 150}, true, {true, {49, 49}, {59, 49}}},
        {{170, 160}, true, {true, {59, 49}, {69, 59}}},
        {{500, 160}, true, {true, {69, 59}, {399, 59}}},  // past the edge; the window clips
        {{250, 250}, false, {false, {399, 59}, {149, 149}}},
        {{260, 250}, true, {true, {149, 149}, {159, 149}}},  // no segment from the old line
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.cursor.X << "," << s.cursor.Y);
        const DrawTick tick = scene.Tick(s.cursor, s.shift, false);
        EXPECT_EQ(tick.Draw, s.expected.Draw);
        EXPECT_EQ(tick.From, s.expected.From);
        EXPECT_EQ(tick.To, s.expected.To);
        EXPECT_EQ(scene.s.PenPosition(), s.expected.To);
    }
}

TEST(OverlayScene, TicksBeforeAFinishedSelectionDoNothing) {
    for (bool dragging : {false, true}) {
        SCOPED_TRACE(dragging);
        Scene scene(kFullHd);
        if (dragging) {
            scene.Press({100, 100});
            scene.Move({300, 300});
        }
        scene.s.ClearChanges();
        const DrawTick tick = scene.Tick({200, 200}, true, true);
        EXPECT_FALSE(tick.Draw);
        EXPECT_EQ(scene.s.PenPosition(), (Point{0, 0}));
        EXPECT_FALSE(scene[Item::EraserWhite].Visible);
        EXPECT_TRUE(scene.s.Changed().empty());
    }
}

TEST(OverlayScene, RoutesMouseEventsByTopmostItem) {
    // Idle: cursor at (700, 400) -> X box {705,5,44,21}, Y box {5,405,44,21}, panel at (647,390).
    // Dragging from (100,100) to (300,300) -> frame {100,100,201,201}, W box under it, panel hidden.
    enum Setup { Idle, Dragging };
    struct Case {
        const char* name;
        Setup setup;
        Point point;  // overlay
        MouseEvent event;
        bool routed;
    } cases[] = {
        {"press on the X box", Idle, {710, 10}, MouseEvent::Press, false},
        {"move on the X text", Idle, {712, 12}, MouseEvent::Move, false},
        {"leave on the X box", Idle, {710, 10}, MouseEvent::Leave, true},
        {"press on the Y text", Idle, {12, 412}, MouseEvent::Press, false},
        {"release on the Y box", Idle, {6, 406}, MouseEvent::Release, false},
        {"press on the vertical line", Idle, {700, 100}, MouseEvent::Press, true},
        {"release on the horizontal line", Idle, {100, 400}, MouseEvent::Release, true},
        {"press on empty overlay", Idle, {1500, 900}, MouseEvent::Press, true},
        {"press on a hint label", Idle, {647 + 20, 390 + 20}, MouseEvent::Press, true},
        {"release on a hint label", Idle, {647 + 20, 390 + 20}, MouseEvent::Release, false},
        {"release on the hint background", Idle, {647 + 5, 390 + 295}, MouseEvent::Release, false},
        {"release on a hint line", Idle, {700, 390 + 295}, MouseEvent::Release, true},
        {"press in the frame", Dragging, {200, 200}, MouseEvent::Press, false},
        {"horizontal line inside the frame", Dragging, {200, 300}, MouseEvent::Press, false},
        {"horizontal line beside the frame", Dragging, {800, 300}, MouseEvent::Press, true},
        {"leave on the W box", Dragging, {200, 310}, MouseEvent::Leave, false},
        {"where the panel was", Dragging, {647 + 20, 390 + 20}, MouseEvent::Release, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(kFullHd);
        scene.Move({700, 400}, false);
        if (c.setup == Dragging) {
            scene.Press({100, 100});
            scene.Move({300, 300});
        }
        EXPECT_EQ(scene.s.Routes(c.point, c.event), c.routed);
    }
}

TEST(OverlayScene, RoutesOnPanelItems) {
    Scene scene(kFullHd);
    scene.Move({700, 400}, false);  // panel lines at x 53, y 10
    struct Case {
        Point point;  // panel
        MouseEvent event;
        bool routed;
    } cases[] = {
        {{20, 20}, MouseEvent::Press, true},   {{20, 20}, MouseEvent::Move, true},
        {{20, 20}, MouseEvent::Leave, true},   {{20, 20}, MouseEvent::Release, false},
        {{20, 290}, MouseEvent::Release, false}, {{53, 200}, MouseEvent::Release, true},
        {{300, 10}, MouseEvent::Release, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.X << "," << c.point.Y << " event " << static_cast<int>(c.event));
        EXPECT_EQ(scene.s.RoutesOnPanel(c.point, c.event), c.routed);
    }
}

TEST(OverlayScene, DragMoveOn4KRepaintsOnlyWhatMoved) {
    Scene scene(k4K);
    scene.Press({100, 100});
    scene.Move({2000, 1500});
    scene.s.ClearChanges();
    scene.Move({2003, 1502});

    EXPECT_FALSE(scene.s.FullRepaint());
    const std::span<const Rect> changed = scene.s.Changed();
    ASSERT_FALSE(changed.empty());
    int64_t area = 0;
    for (const Rect& r : changed) {
        EXPECT_FALSE(r == (Rect{0, 0, 3840, 2160}));
        EXPECT_GE(r.Left, 0);
        EXPECT_GE(r.Top, 0);
        EXPECT_LE(r.Right(), 3840);
        EXPECT_LE(r.Bottom(), 2160);
        area += int64_t{r.Width} * r.Height;
    }
    EXPECT_LT(area, 3840 * 2160 / 100);
    struct Probe {
        const char* what;
        Point p;
        bool covered;
    } probes[] = {
        {"old right edge", {2000, 800}, true},
        {"strip of inside gained", {2002, 800}, true},
        {"new right edge", {2003, 800}, true},
        {"new bottom edge", {1000, 1502}, true},
        {"old horizontal line", {3000, 1500}, true},
        {"new vertical line", {2003, 50}, true},
        {"deep inside the frame", {1000, 800}, false},
        {"far outside everything", {3500, 300}, false},
    };
    for (const Probe& probe : probes) EXPECT_EQ(Covered(changed, probe.p), probe.covered) << probe.what;
}

TEST(OverlayScene, ShrinkingTheFrameRepaintsTheStripLost) {
    Scene scene(kFullHd);
    scene.Press({100, 100});
    scene.Move({500, 500});
    scene.s.ClearChanges();
    scene.Move({495, 500});
    EXPECT_TRUE(Covered(scene.s.Changed(), {497, 300})) << "the lost strip gets its tint back";
    EXPECT_FALSE(Covered(scene.s.Changed(), {300, 300}));
}

TEST(OverlayScene, MovingTheEraserReportsOldAndNewSquares) {
    Scene scene(kFullHd);
    ASSERT_EQ(scene.Select({100, 100}, {400, 400}), Release::Finished);
    scene.Tick({200, 200}, false, true);
    scene.s.ClearChanges();
    scene.Tick({260, 200}, false, true);
    const std::vector<Rect> moved(scene.s.Changed().begin(), scene.s.Changed().end());
    const std::vector<Rect> expectedMove{{190, 190, 22, 22}, {250, 190, 22, 22}, {191, 191, 20, 20}, {251, 191, 20, 20}};
    EXPECT_EQ(moved, expectedMove);

    scene.s.ClearChanges();
    scene.Tick({260, 200}, false, false);
    const std::vector<Rect> hidden(scene.s.Changed().begin(), scene.s.Changed().end());
    const std::vector<Rect> expectedHide{{250, 190, 22, 22}, {251, 191, 20, 20}};
    EXPECT_EQ(hidden, expectedHide);

    scene.s.ClearChanges();
    scene.Tick({300, 300}, true, false);
    EXPECT_TRUE(scene.s.Changed().empty()) << "strokes are painted by the window, not invalidated";
}

TEST(OverlayScene, DragMovesAndTicksDoNotAllocate) {
    Scene scene(kFullHd);
    scene.Press({100, 100});
    scene.Move({150, 150});
    scene.s.ClearChanges();
    gAllocations = 0;
    gCountAllocations = true;
    for (int i = 0; i < 200; ++i) scene.Move({1000 + i * 3, 900 - i * 4});  // long read-out texts included
    gCountAllocations = false;
    EXPECT_EQ(gAllocations, 0);

    scene.Up({1600, 100});
    scene.s.ClearChanges();
    gCountAllocations = true;
    for (int i = 0; i < 200; ++i) scene.Tick({200 + i, 300 + i}, i % 3 != 0, i % 2 == 0);
    gCountAllocations = false;
    EXPECT_EQ(gAllocations, 0);
}

TEST(OverlayScene, OnlyAPressThatStartedASelectionCanFinishOne) {
    Scene scene(kFullHd);
    scene.Select({100, 100}, {400, 400});  // leaves a start point behind
    scene.s.Reset(scene.ToScreen({0, 0}), true, true);
    // A press the routing refused never reached the scene: the drag and the
    // release that follow must not make a selection from the old start point.
    scene.Move({900, 700});
    EXPECT_EQ(scene.Up({900, 700}), Release::Ignored);
    EXPECT_EQ(scene.s.ScreenRegion(), TScreenshotRegion{});
    EXPECT_FALSE(scene[Item::Screen].Visible);
    EXPECT_FALSE(scene[Item::PaintBox].Visible);
}

TEST(OverlayScene, PointsOffTheMonitorAreTakenAtItsEdge) {
    // The confinement lost: a press at the corner, a move far off the
    // monitor, a release there.
    for (const MonitorBounds& monitor : {kFullHd, kLeftAbove}) {
        Scene scene(monitor);
        const Point far{monitor.Left - 30415, monitor.Top - 8760};
        ASSERT_TRUE(scene.s.MouseDown(MouseButton::Left, {monitor.Left + 1919, monitor.Top + 1079}));
        scene.s.MouseMove(far, true, true);
        ASSERT_EQ(scene.s.MouseUp(MouseButton::Left, far), Release::Finished);
        EXPECT_EQ(RegionRect(scene.s.ScreenRegion()), (Rect{0, 0, 1920, 1080}));
        EXPECT_EQ(scene.s.PaintBoxRect(), (Rect{0, 0, 1920, 1080}));
        const DrawTick tick = scene.s.Tick({monitor.Left + 5000, monitor.Top + 5000}, true, true);
        EXPECT_EQ(tick.To, (Point{1919, 1079}));
        EXPECT_TRUE(Rect({0, 0, 1920, 1080}).Contains({scene[Item::EraserWhite].Bounds.Left,
                                                       scene[Item::EraserWhite].Bounds.Top}));
    }
}

}  // namespace
}  // namespace kadrix
