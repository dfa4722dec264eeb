// The host clock, and where a moment another clock gives (a JACK cycle, a MIDI event) falls on
// it: its distance back from now on that clock, never after now and never before zero.
#include "HostClock.h"

#include <gtest/gtest.h>

TEST(HostClock, AnotherClocksMomentIsPlacedItsDistanceBackFromNowAndNeverInTheFuture) {
    EXPECT_EQ(HostClock::earlierBy(10000000000ull, 5000, 4000), 9999000000ull);
    EXPECT_EQ(HostClock::earlierBy(10000000000ull, 5000, 5000), 10000000000ull);
    EXPECT_EQ(HostClock::earlierBy(10000000000ull, 5000, 9000), 10000000000ull);
    EXPECT_EQ(HostClock::earlierBy(1000, 5000000, 0), 1000u) << "never before zero";
}

TEST(HostClock, NeverRunsBackwards) {
    uint64_t last = HostClock::nowNanoseconds();
    EXPECT_GT(last, 0u);
    for (int i = 0; i < 1000; ++i) {
        const uint64_t now = HostClock::nowNanoseconds();
        ASSERT_GE(now, last);
        last = now;
    }
}
