#include "TempoMap.h"

#include <algorithm>
#include <limits>

TempoMap::TempoMap(const MidiTimeDivision& division, const std::vector<MidiTempoChange>& changes,
                   uint32_t sampleRate)
    : division(division), sampleRate(sampleRate) {
    segments.push_back({0, 0, defaultMicrosecondsPerQuarter});
    for (const MidiTempoChange& change : changes) {
        Segment& last = segments.back();
        if (change.tick == last.startTick) {
            last.microsecondsPerQuarter = change.microsecondsPerQuarter;
            continue;
        }
        const Wide elapsed = Wide(change.tick - last.startTick) * last.microsecondsPerQuarter;
        segments.push_back(
            {change.tick, last.startMicroTicks + elapsed, change.microsecondsPerQuarter});
    }
}

void TempoMap::exactSeconds(uint64_t tick, Wide& numerator, Wide& denominator) const {
    if (division.timeCode) {
        // 29 frames per second stands for 30 drop-frame: 30000 frames every 1001 seconds.
        const bool dropFrame = division.framesPerSecond == 29;
        numerator = Wide(tick) * (dropFrame ? 1001u : 1u);
        denominator = Wide(dropFrame ? 30000u : division.framesPerSecond) * division.ticksPerFrame;
        return;
    }
    const auto after =
        std::upper_bound(segments.begin(), segments.end(), tick,
                         [](uint64_t t, const Segment& segment) { return t < segment.startTick; });
    const Segment& segment = *(after - 1);
    numerator =
        segment.startMicroTicks + Wide(tick - segment.startTick) * segment.microsecondsPerQuarter;
    denominator = Wide(division.ticksPerQuarter) * 1000000u;
}

uint64_t TempoMap::sampleAt(uint64_t tick) const {
    Wide numerator = 0;
    Wide denominator = 1;
    exactSeconds(tick, numerator, denominator);
    // round(n × rate / d) with halves up: floor((2 n rate + d) / 2d). Only tick counts that no
    // real file reaches could carry the product past 128 bits, and those saturate.
    const Wide limit = std::numeric_limits<Wide>::max() / (2 * Wide(sampleRate) + 1);
    if (numerator >= limit)
        return std::numeric_limits<uint64_t>::max();
    const Wide samples = (2 * numerator * sampleRate + denominator) / (2 * denominator);
    if (samples > std::numeric_limits<uint64_t>::max())
        return std::numeric_limits<uint64_t>::max();
    return uint64_t(samples);
}

double TempoMap::secondsAt(uint64_t tick) const {
    Wide numerator = 0;
    Wide denominator = 1;
    exactSeconds(tick, numerator, denominator);
    return double(numerator) / double(denominator);
}
