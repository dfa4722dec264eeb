// What the progress bar and the summary line say, and that a stream that is not a terminal gets
// no bar at all.
#include "ProgressDisplay.h"
#include "RenderProgram.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(ProgressDisplayTest, TheBarShowsTheShareDoneTheTimeTakenAndAnEstimate) {
    EXPECT_EQ(ProgressDisplay::line(50, 100, 3.0, 10),
              "[#####.....]  50%  0:03 elapsed, about 0:03 left");
    EXPECT_EQ(ProgressDisplay::line(1, 4, 10.0, 8),
              "[##......]  25%  0:10 elapsed, about 0:30 left");
    EXPECT_EQ(ProgressDisplay::line(0, 100, 0.2, 4), "[....]   0%  0:00 elapsed");
    EXPECT_EQ(ProgressDisplay::line(120, 100, 61.0, 4), "[####] 100%  1:01 elapsed");
    EXPECT_EQ(ProgressDisplay::line(0, 0, 0.0, 2), "[##] 100%  0:00 elapsed");
    EXPECT_EQ(ProgressDisplay::clock(3725.9), "1:02:05");
    EXPECT_EQ(ProgressDisplay::clock(59.99), "0:59");
}

TEST(ProgressDisplayTest, NothingIsDrawnOnAStreamThatIsNotATerminal) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProgressDisplay display(true, file);
    EXPECT_FALSE(display.isShown());
    display.update(1, 2);
    display.finish();
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
    EXPECT_FALSE(ProgressDisplay(false, stderr).isShown());
}

TEST(ProgressDisplayTest, DurationsReadAsMinutesSecondsAndMilliseconds) {
    EXPECT_EQ(RenderProgram::duration(0.0), "0:00.000");
    EXPECT_EQ(RenderProgram::duration(2.5), "0:02.500");
    EXPECT_EQ(RenderProgram::duration(243.5126), "4:03.513");
    EXPECT_EQ(RenderProgram::duration(3725.0), "62:05.000");
}

} // namespace
