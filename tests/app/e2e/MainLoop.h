// The main thread's event loop, run by hand in tests that drive the real start-up in their own
// process: for a while, or until a condition holds.
#pragma once

#include <QCoreApplication>

#include <chrono>
#include <thread>

namespace mainloop {

inline void pumpFor(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

template <typename Condition> bool pumpUntil(Condition done, int seconds = 10) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

} // namespace mainloop
