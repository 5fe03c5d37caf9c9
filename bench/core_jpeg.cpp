// JPEG encoding and decoding at full-HD and 4K: the capture's hot step that
// core owns, and the tray's copy of the last screenshot.
#include <benchmark/benchmark.h>

#include <string>

#include "image/Jpeg.h"
#include "support/ImagePatterns.h"  // bench targets do not see tests/

namespace {

using kadrix::Image24;

void BM_EncodeJpeg(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const Image24 image = kadrix::test::PatternedImage(w, h, 12);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string jpeg = kadrix::EncodeJpeg(image);
        bytes = jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["jpeg_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(w) * h * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeJpeg)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const std::string jpeg = kadrix::EncodeJpeg(kadrix::test::PatternedImage(w, h, 12));
    for (auto _ : state) {
        Image24 image = kadrix::DecodeJpeg(jpeg);
        benchmark::DoNotOptimize(image.Data());
    }
}
BENCHMARK(BM_DecodeJpeg)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

}  // namespace
