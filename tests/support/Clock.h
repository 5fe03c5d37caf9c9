#pragma once
// Milliseconds on the performance counter, for tests and benchmarks that
// need to know how long something took (never to assert on speed).
#include <windows.h>

namespace testsupport {

inline double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

}  // namespace testsupport
