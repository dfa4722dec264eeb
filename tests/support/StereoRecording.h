// What a recording client of a test records into: two channels of memory allocated when the
// recording is armed, filled by the client's real-time callback, read by the test thread up to
// recorded(). The callback writes the frames first and publishes them by raising `written`.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

class StereoRecording {
public:
    virtual ~StereoRecording() = default;

    // Arms a recording of `frames` frames, starting with the next cycle.
    void arm(std::size_t frames);
    std::size_t recorded() const { return written.load(std::memory_order_acquire); }
    bool waitUntilRecorded(std::size_t frames, double timeoutSeconds) const;

    std::vector<float> left, right;

protected:
    // Called by arm() while nothing records, for what a recorder keeps per recording.
    virtual void restart() {}

    std::atomic<bool> armed{false};
    std::atomic<std::size_t> written{0};
    std::size_t capacity = 0;
};
