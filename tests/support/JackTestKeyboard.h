// A stand-in MIDI keyboard for tests under a JACK server: one client with a MIDI output port,
// whose messages the test thread queues and the process callback writes out, and a MIDI input
// port that records what it hears (for thru). The process callback only moves bytes through
// lock-free rings.
#pragma once

#include "MidiByteRing.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class JackTestKeyboard {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Never starts a server; ok() is false when none answers.
    explicit JackTestKeyboard(const char* clientName);
    ~JackTestKeyboard();
    JackTestKeyboard(const JackTestKeyboard&) = delete;
    JackTestKeyboard& operator=(const JackTestKeyboard&) = delete;

    bool ok() const { return client != nullptr && port != nullptr && input != nullptr; }
    std::string portName() const { return jack_port_name(port); }
    std::string inputName() const { return jack_port_name(input); }
    bool isConnectedTo(const std::string& other) const;
    bool isConnectedToAnything() const;
    jack_nframes_t sampleRate() const { return jack_get_sample_rate(client); }

    void play(const Bytes& message);
    // The messages together in the next cycle, each at its own frame of it.
    void playInOneCycle(const std::vector<std::pair<Bytes, jack_nframes_t>>& timed);
    // What arrived at the keyboard's MIDI input, one message at a time.
    bool heard(Bytes* message);

private:
    static int process(jack_nframes_t frames, void* arg);

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_port_t* input = nullptr;
    MidiByteRing pending{1024}; // each record's stamp is its frame in the cycle
    std::atomic<bool> holding{false};
    MidiByteRing received{1024};
};
