#include "ProgressDisplay.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr auto redrawInterval = std::chrono::milliseconds(100);
constexpr int barWidth = 30;

} // namespace

ProgressDisplay::ProgressDisplay(bool wanted, std::FILE* stream)
    : stream(stream), shown(wanted && stream != nullptr && isatty(fileno(stream))),
      started(Clock::now()), lastDrawn(started - redrawInterval) {}

void ProgressDisplay::update(uint64_t done, uint64_t expected) {
    if (!shown)
        return;
    const Clock::time_point now = Clock::now();
    if (now - lastDrawn < redrawInterval)
        return;
    lastDrawn = now;
    const double elapsed = std::chrono::duration<double>(now - started).count();
    std::fprintf(stream, "\r%s\033[K", line(done, expected, elapsed, barWidth).c_str());
    std::fflush(stream);
    drawn = true;
}

void ProgressDisplay::finish() {
    if (drawn) {
        std::fputs("\r\033[K", stream);
        std::fflush(stream);
        drawn = false;
    }
}

std::string ProgressDisplay::clock(double seconds) {
    const auto whole = uint64_t(std::max(0.0, std::floor(seconds)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", (unsigned long long)(whole / 3600),
                      (unsigned long long)(whole / 60 % 60), (unsigned long long)(whole % 60));
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", (unsigned long long)(whole / 60),
                      (unsigned long long)(whole % 60));
    return text;
}

std::string ProgressDisplay::line(uint64_t done, uint64_t expected, double elapsedSeconds,
                                  int width) {
    const double fraction = expected == 0 ? 1.0 : std::min(1.0, double(done) / double(expected));
    const int filled = int(fraction * width);
    std::string bar =
        "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "]";
    char text[128];
    std::snprintf(text, sizeof text, " %3d%%  %s elapsed", int(fraction * 100.0),
                  clock(elapsedSeconds).c_str());
    std::string result = bar + text;
    // The estimate assumes the rest renders as fast as what is done.
    if (done > 0 && fraction < 1.0)
        result += ", about " + clock(elapsedSeconds * (1.0 - fraction) / fraction) + " left";
    return result;
}
