#include <gtest/gtest.h>

#include "overlay/FramePacer.h"

using kadrix::FramePacer;

TEST(FramePacer, AChangePresentsAtOnceOnlyWhenAFrameHasPassed) {
    FramePacer pacer;
    pacer.SetPeriod(16.0);
    EXPECT_EQ(pacer.Delay(1000.0), 0) << "the first change of a capture";
    pacer.Presented(1000.0);
    struct Case {
        double now;
        int delay;
    } cases[] = {
        {1000.0, 16}, {1000.5, 16}, {1010.0, 6}, {1015.2, 1}, {1016.0, 0}, {1100.0, 0},
        {900.0, 16},  // a clock that went back waits one frame, not a hundred
    };
    for (const Case& c : cases) EXPECT_EQ(pacer.Delay(c.now), c.delay) << c.now;
    pacer.Reset();
    EXPECT_EQ(pacer.Delay(1001.0), 0);
}

TEST(FramePacer, PeriodFollowsTheRefreshRateWithSixtyHertzWhenUnknown) {
    EXPECT_DOUBLE_EQ(FramePacer::PeriodForRefresh(60), 1000.0 / 60);
    EXPECT_DOUBLE_EQ(FramePacer::PeriodForRefresh(144), 1000.0 / 144);
    for (int unknown : {0, 1, -5, 10000}) EXPECT_DOUBLE_EQ(FramePacer::PeriodForRefresh(unknown), 1000.0 / 60) << unknown;
}
