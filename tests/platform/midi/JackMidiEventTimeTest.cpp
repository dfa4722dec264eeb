// Where the JACK backend places an event on the host clock: its distance back from now in JACK
// time, and never after now.
#include "JackMidiBackend.h"

#include <gtest/gtest.h>

TEST(JackMidiEventTime, EventIsPlacedItsDistanceBackFromNowAndNeverInTheFuture) {
    EXPECT_EQ(JackMidiBackend::eventHostTime(10000000000ull, 5000, 4000), 9999000000ull);
    EXPECT_EQ(JackMidiBackend::eventHostTime(10000000000ull, 5000, 5000), 10000000000ull);
    EXPECT_EQ(JackMidiBackend::eventHostTime(10000000000ull, 5000, 9000), 10000000000ull);
    EXPECT_EQ(JackMidiBackend::eventHostTime(1000, 5000000, 0), 1000u) << "never before zero";
}
