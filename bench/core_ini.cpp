// Parsing Settings.ini or a language file of the largest size the program
// reads (16 MB): all section headers, all keys, or one long line. Each row
// must grow linearly with the size; compare the 1 MB and 16 MB figures.
#include <benchmark/benchmark.h>

#include <string>

#include "settings/SettingsFile.h"

namespace {

enum class Shape { Sections, Keys, OneLine };

// About `bytes` bytes of INI text of the given shape.
std::string IniText(Shape shape, size_t bytes) {
    std::string text = "\xEF\xBB\xBF";
    if (shape == Shape::OneLine) {
        text += "[Main]\r\nLanguageFile=";
        text.append(bytes - text.size(), 'x');
        return text;
    }
    if (shape == Shape::Keys) text += "[Main]\r\n";
    for (size_t i = 0; text.size() < bytes; ++i) {
        const std::string n = std::to_string(i);
        text += shape == Shape::Sections ? "[Section" + n + "]\r\n" : "Key" + n + "=" + n + "\r\n";
    }
    return text;
}

void BM_ParseIni(benchmark::State& state, Shape shape) {
    const std::string text = IniText(shape, static_cast<size_t>(state.range(0)));
    size_t sections = 0;
    for (auto _ : state) {
        const auto ini = kadrix::ParseSettingsFile(text);
        sections = ini.Sections().size();
        benchmark::DoNotOptimize(sections);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["sections"] = static_cast<double>(sections);
}

constexpr int64_t kMB = 1 << 20;
BENCHMARK_CAPTURE(BM_ParseIni, section_headers, Shape::Sections)->Arg(kMB)->Arg(16 * kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseIni, keys, Shape::Keys)->Arg(kMB)->Arg(16 * kMB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseIni, one_line, Shape::OneLine)->Arg(kMB)->Arg(16 * kMB)->Unit(benchmark::kMillisecond);

}  // namespace
