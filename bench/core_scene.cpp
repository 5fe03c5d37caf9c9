// Overlay scene: one mouse move while dragging on a 4K monitor (model and
// change list) and one drawing tick. Text is measured by a fixed-width stand-in,
// so the cost of the real font measuring is not in these figures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>

#include "overlay/OverlayScene.h"

namespace {

using namespace kadrix;

class FixedWidthMeasurer : public TextMeasurer {
public:
    int32_t Width(std::u16string_view text) const override { return static_cast<int32_t>(text.size()) * 7; }
};

constexpr MonitorBounds k4K{0, 0, 3840, 2160};

int64_t ChangedArea(const OverlayScene& scene) {
    int64_t area = 0;
    for (const Rect& r : scene.Changed()) area += int64_t{r.Width} * r.Height;
    return area;
}

void BM_DragMove4K(benchmark::State& state) {
    const FixedWidthMeasurer measure;
    OverlayScene scene(measure, OverlayMetrics::ForDpi(96));
    scene.Create(3840, 2160);
    scene.Place(std::span(&k4K, 1), {0, 0});
    scene.Reset({0, 0}, true, true);
    scene.MouseDown(MouseButton::Left, {100, 100});
    scene.MouseMove({2000, 1500}, true, true);
    scene.ClearChanges();

    int64_t area = 0, rects = 0, moves = 0;
    for (auto _ : state) {
        // A hand moves a few pixels between two mouse messages.
        const int32_t step = static_cast<int32_t>(moves & 1) * 3;
        scene.MouseMove({2000 + step, 1500 + step}, true, true);
        area += ChangedArea(scene);
        rects += static_cast<int64_t>(scene.Changed().size());
        scene.ClearChanges();
        ++moves;
    }
    state.counters["changed_px_per_move"] = static_cast<double>(area) / static_cast<double>(moves);
    state.counters["changed_pct_of_monitor"] = 100.0 * static_cast<double>(area) / static_cast<double>(moves) / (3840.0 * 2160.0);
    state.counters["rects_per_move"] = static_cast<double>(rects) / static_cast<double>(moves);
}
BENCHMARK(BM_DragMove4K);

void BM_DrawingTick(benchmark::State& state) {
    const FixedWidthMeasurer measure;
    OverlayScene scene(measure, OverlayMetrics::ForDpi(96));
    scene.Create(3840, 2160);
    scene.Place(std::span(&k4K, 1), {0, 0});
    scene.Reset({0, 0}, true, true);
    scene.MouseDown(MouseButton::Left, {100, 100});
    scene.MouseMove({3000, 2000}, true, true);
    scene.MouseUp(MouseButton::Left, {3000, 2000});
    scene.ClearChanges();

    int32_t i = 0;
    for (auto _ : state) {
        // Drawing and erasing at once, the busiest tick there is.
        const DrawTick tick = scene.Tick({500 + (i & 255), 600 + (i & 127)}, true, true);
        benchmark::DoNotOptimize(tick);
        benchmark::DoNotOptimize(scene.Changed().data());
        scene.ClearChanges();
        ++i;
    }
}
BENCHMARK(BM_DrawingTick);

}  // namespace
