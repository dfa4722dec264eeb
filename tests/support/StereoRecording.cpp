#include "StereoRecording.h"

#include <chrono>
#include <thread>

void StereoRecording::arm(std::size_t frames) {
    armed.store(false, std::memory_order_release);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a running cycle finishes
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    capacity = frames;
    written.store(0, std::memory_order_release);
    restart();
    armed.store(true, std::memory_order_release);
}

bool StereoRecording::waitUntilRecorded(std::size_t frames, double timeoutSeconds) const {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (recorded() < frames) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
