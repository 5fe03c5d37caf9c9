#pragma once
// Presents at most once per display frame: however often the mouse moves or
// the drawing timer ticks, what changed in between goes out together. Times
// are milliseconds on any steady clock.
#include <algorithm>
#include <cmath>

namespace kadrix {

class FramePacer {
public:
    // One frame of a display refreshed `hertz` times a second; a rate the
    // system cannot tell (0 and 1 mean "the hardware's default") or an
    // implausible one counts as 60 Hz.
    static double PeriodForRefresh(int hertz) {
        return (hertz >= 24 && hertz <= 500) ? 1000.0 / hertz : 1000.0 / 60;
    }

    void SetPeriod(double ms) { period_ = ms; }
    double Period() const { return period_; }

    // Whole milliseconds to wait before presenting a change made at `now`;
    // 0 presents at once. Never more than one frame, whatever the clock did.
    int Delay(double now) const {
        if (!presented_) return 0;
        const double left = std::min(last_ + period_ - now, period_);
        return left <= 0 ? 0 : static_cast<int>(std::ceil(left));
    }

    void Presented(double now) {
        last_ = now;
        presented_ = true;
    }
    // The next change, the first of a new capture, goes out at once.
    void Reset() { presented_ = false; }

private:
    double period_ = 1000.0 / 60;
    double last_ = 0;
    bool presented_ = false;
};

}  // namespace kadrix
