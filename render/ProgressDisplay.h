// A one-line progress bar with the time elapsed and the time still expected, redrawn in place
// on a terminal at most ten times a second, and cleared when the render ends. Off when asked,
// or when its stream is not a terminal (a log or a pipe gets no carriage returns).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressDisplay {
public:
    ProgressDisplay(bool wanted, std::FILE* stream);

    bool isShown() const { return shown; }
    void update(uint64_t done, uint64_t expected);
    void finish();

    // "[#####.....]  50%  0:03 elapsed, about 0:03 left", `width` characters of bar.
    static std::string line(uint64_t done, uint64_t expected, double elapsedSeconds, int width);
    static std::string clock(double seconds); // m:ss, or h:mm:ss from an hour

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* stream;
    bool shown;
    bool drawn = false;
    Clock::time_point started;
    Clock::time_point lastDrawn;
};
