// What an audio output tells the user while it runs, on stderr, one line per piece of news: the
// first xrun (later ones are only counted), a change of buffer size, a stream the audio system
// ended, and silence — the output claims to run but has not asked the engine for frames for two
// seconds — and the end of that silence.
//
// A stream the audio system ended (a server stopped or restarted) is opened anew: once a second
// the reporter thread asks the device to reopen, with no lock of ours held, until a server
// answers again, then says so. Until then `interrupted()` is true, for a window to show.
//
// The audio system's threads only store into atomics here (no lock, no allocation, no I/O); a
// reporter thread of ours looks at them ten times a second and does the printing. The text of a
// stream's end goes into fixed storage published by an atomic state, since it may be written on
// a real-time thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct OutputUnit;

class OutputReporter {
public:
    static constexpr uint64_t silenceNanoseconds = 2000000000ull;
    static constexpr uint64_t reopenNanoseconds = 1000000000ull;
    // Opens the device's stream again after the audio system ended it; on success `playing`
    // says what now plays (as a device's description does). Called on the reporter thread.
    using Reopen = std::function<bool(std::string& playing)>;

    // `describe` names the audio system and device for a message ("PipeWire, device "Speakers"");
    // it is called on the reporter thread, so it may ask the audio system.
    OutputReporter(const OutputUnit* unit, std::function<std::string()> describe);
    ~OutputReporter();
    OutputReporter(const OutputReporter&) = delete;
    OutputReporter& operator=(const OutputReporter&) = delete;

    // Any thread, real-time ones included.
    void noteXrun() { xruns.fetch_add(1, std::memory_order_relaxed); }
    // The frames per cycle the system now runs with, at its own rate.
    void noteBufferSize(uint32_t frames, uint32_t rateHz);
    // The audio system ended the stream; the first reason is kept.
    void noteStopped(const char* reason);
    // Forgets a stop noted for a stream that was refused and is gone, before another is tried.
    // Only while the reporter thread is not running and no stream can note a stop.
    void clearStopped() { stopState.store(0, std::memory_order_release); }
    // Set before start(); without it an ended stream stays ended.
    void setReopen(Reopen reopenDevice) { reopen = std::move(reopenDevice); }
    // True from the report of an ended stream until it plays again. Any thread.
    bool interrupted() const { return interruptedNow.load(std::memory_order_acquire); }

    uint64_t xrunCount() const { return xruns.load(std::memory_order_relaxed); }
    bool stopped() const { return stopState.load(std::memory_order_acquire) == 2; }
    uint32_t bufferFrames() const { return frames.load(std::memory_order_relaxed); }
    uint32_t bufferRateHz() const { return rate.load(std::memory_order_relaxed); }

    // "256-frame buffers (5.8 ms)", from what the system last reported.
    static std::string bufferText(uint32_t frames, uint32_t rateHz);

    // Starts and stops the reporter thread. News from before start() counts as the state the
    // output started in: only what changes afterwards is reported.
    void start();
    void stop();

    // How a stream that is opened again after the audio system ended it starts:
    // open(error, playing) once on the caller's thread; when that gives `started`, what plays
    // goes to `description`, reopen(error, playing) is kept for the reporter thread, and the
    // thread starts.
    template <typename Result, typename Open, typename OpenAgain>
    Result startReopening(Open open, OpenAgain openAgain, Result started, std::string& description,
                          std::string& error) {
        std::string playing;
        const Result result = open(error, playing);
        if (result != started)
            return result;
        description = playing;
        setReopen([openAgain](std::string& now) {
            std::string why;
            return openAgain(why, now);
        });
        start();
        return result;
    }

private:
    // What the reporter thread has said so far.
    struct Told {
        uint32_t frames = 0;
        bool xrun = false;
        bool stop = false;
        bool silent = false;
        uint64_t since = 0;       // host time the watchdog counts silence from
        uint64_t silentAfter = 0; // the last buffer before the silence it reported
        uint64_t lastReopen = 0;  // host time of the last attempt to reopen
    };

    void run(Told told);
    void report(Told& told);
    void tryReopen(Told& told);

    const OutputUnit* unit;
    std::function<std::string()> describe;
    Reopen reopen;
    std::atomic<bool> interruptedNow{false};

    std::atomic<uint64_t> xruns{0};
    std::atomic<uint32_t> frames{0};
    std::atomic<uint32_t> rate{0};
    std::atomic<int> stopState{0}; // 0 running, 1 reason being written, 2 written
    char stopReason[256] = {};

    std::thread thread;
    std::mutex wakeMutex; // the reporter's own sleep; never held around an audio-system call
    std::condition_variable wake;
    bool stopping = false;
};
