#pragma once
// Milliseconds on the performance counter: a steady clock with sub-millisecond steps.
#include <windows.h>

namespace kadrix::win {

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

}  // namespace kadrix::win
