// MIDI from a real JACK client into the engine. Under a JACK server (the test script runs one
// on its dummy driver), the program's MIDI comes up with no source present; then a keyboard
// client appears, is connected by the hot-plug path, and what it plays arrives in the engine's
// event ring. Skipped when no JACK server answers.
#include "DspPointer.h"
#include "EngineUnderTest.h"
#include "HostClock.h"
#include "JackMidiBackend.h"
#include "JackTestKeyboard.h"
#include "MIDIInput.h"
#include "MIDIObject.h"
#include "MidiByteRing.h"
#include "MidiPacketImages.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The main thread's event loop, for as long as it takes `done` to hold (at most 10 s).
// A keyboard's arrival is several set-up changes (one per port it registers), each handled by
// both MIDI clients, and each rebuilds the connections: disconnect every source, connect every
// source. A message played in such a window is lost, so a test plays only once the changes
// have settled: connected, and still connected after the main loop has run a while.
template <typename Condition> bool runMainLoopUntil(Condition done);

// The second run of these tests loads PipeWire's JACK library (the build puts it first on the
// library path) and plays through the test script's private PipeWire session.
bool startJackMidi(std::string* why) {
    const char* libraries = std::getenv("LD_LIBRARY_PATH");
    if (libraries != nullptr && std::strstr(libraries, "pipewire") != nullptr) {
        const char* session = std::getenv("CORVENA_PIPEWIRE_RUNTIME_DIR");
        if (session == nullptr || *session == '\0') {
            *why = "no private PipeWire session: run through ./scripts/test";
            return false;
        }
        setenv("PIPEWIRE_RUNTIME_DIR", session, 1);
    }
    *why = "no JACK server answers";
    return MIDIServicesStart(MidiBackendChoice::jack);
}

bool settledConnection(const JackTestKeyboard& keyboard, const std::string& port) {
    if (!runMainLoopUntil([&] { return keyboard.isConnectedTo(port); }))
        return false;
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    runMainLoopUntil([&] { return Clock::now() > until; });
    return keyboard.isConnectedTo(port);
}

template <typename Condition> bool runMainLoopUntil(Condition done) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        MIDIServicesDeliverPendingNotifications();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

TEST(JackMidiEndToEndThreads, KeyboardAppearingAfterStartUpIsConnectedAndPlaysTheEngine) {
    std::string why;
    if (!startJackMidi(&why))
        GTEST_SKIP() << why;
    auto jack = std::dynamic_pointer_cast<JackMidiBackend>(MIDIServicesBackend());
    ASSERT_NE(jack, nullptr);

    // Start-up, in the program's order: the engine, then the MIDI ports, then every source.
    EngineUnderTest engine;
    dspPointer = engine.handle();
    midiObject.initialize();
    midiObject.MIDIInputConnectAll();
    EXPECT_EQ(midiObject.currentInputPortInfoIndex, -1);
    const std::string ourInput = jack->jackPortName(midiObject.inputPortRef);
    // Patchbays show "Corvena" for audio and "Corvena MIDI" for these ports.
    EXPECT_EQ(ourInput, "Corvena MIDI:inputPort");

    JackTestKeyboard keyboard("corvena-test-keyboard");
    ASSERT_TRUE(keyboard.ok());
    ASSERT_TRUE(settledConnection(keyboard, ourInput))
        << "the hot-plugged keyboard was not connected";
    bool listed = false;
    for (const portInfo& info : midiObject.inputPortInfoArray)
        listed |= info.endpointName == keyboard.portName();
    EXPECT_TRUE(listed);

    std::vector<DspEvent> received;
    auto waitForEvents = [&](std::size_t count) {
        return runMainLoopUntil([&] {
            for (const DspEvent& e : engine.drain())
                received.push_back(e);
            return received.size() >= count;
        });
    };

    keyboard.play({0x90, 0x3C, 0x64});
    ASSERT_TRUE(waitForEvents(1)) << "note on did not arrive";
    EXPECT_EQ(received[0].eventType, EventTypeSynth);
    EXPECT_EQ(received[0].subType, EventSubTypeNoteOn);
    EXPECT_EQ(received[0].value1, 60.0);
    EXPECT_EQ(received[0].value2, 100.0);

    keyboard.play({0x80, 0x3C, 0x40});
    ASSERT_TRUE(waitForEvents(2)) << "note off did not arrive";
    EXPECT_EQ(received[1].subType, EventSubTypeNoteOff);
    EXPECT_EQ(received[1].value1, 60.0);

    keyboard.play({0xE0, 0x00, 0x60});
    ASSERT_TRUE(waitForEvents(3)) << "pitch bend did not arrive";
    EXPECT_EQ(received[2].parameterType, ParameterTypePitchBend);
    EXPECT_DOUBLE_EQ(DspGetParameterInfo(engine.handle(), ParameterTypePitchBend).normalizedValue,
                     0.75);
    EXPECT_EQ(received.size(), 3u);

    // MIDI thru to the keyboard's own input: the bytes come back unchanged.
    int destination = -1;
    for (std::size_t i = 0; i < midiObject.outputPortInfoArray.size(); ++i)
        if (midiObject.outputPortInfoArray[i].endpointName == keyboard.inputName())
            destination = static_cast<int>(i);
    ASSERT_GE(destination, 0) << "the keyboard's input is listed as a destination";
    midiObject.outputConnect(destination);
    keyboard.play({0x90, 0x40, 0x20});
    Bytes echoed;
    ASSERT_TRUE(runMainLoopUntil([&] { return keyboard.heard(&echoed); }));
    EXPECT_EQ(echoed, (Bytes{0x90, 0x40, 0x20}));
    ASSERT_TRUE(waitForEvents(4));
    EXPECT_EQ(received[3].value1, 64.0) << "thru comes on top of playing the engine";
    MIDIServicesShutdown(); // a client left to vanish with the process stalls the next test
    dspPointer = nullptr;
}

// Two messages in one JACK cycle, 200 frames apart, reach the engine 200 samples apart: each
// event carries its own frame's time, not the cycle's.
TEST(JackMidiEndToEndThreads, EventsOfOneCycleKeepTheirFrameOffsets) {
    std::string why;
    if (!startJackMidi(&why))
        GTEST_SKIP() << why;
    EngineUnderTest engine;
    dspPointer = engine.handle();
    // The output's sample clock, as start-up gives it once the output runs: host time since the
    // output started, at 44.1 kHz (the engine takes stamps near its present as they are).
    static std::uint64_t outputStart = 0;
    outputStart = HostClock::nowNanoseconds() - 10000000000ull;
    MIDIInputSetStampClock([](std::uint64_t hostNanoseconds, double* sampleTime) {
        *sampleTime = double(hostNanoseconds - outputStart) * 44100e-9;
        return true;
    });
    midiObject.initialize();
    midiObject.MIDIInputConnectAll();
    const std::string ourInput = std::dynamic_pointer_cast<JackMidiBackend>(MIDIServicesBackend())
                                     ->jackPortName(midiObject.inputPortRef);
    JackTestKeyboard keyboard("corvena-offset-keyboard");
    ASSERT_TRUE(keyboard.ok());
    ASSERT_TRUE(settledConnection(keyboard, ourInput));

    keyboard.playInOneCycle({{{0x90, 0x3C, 0x64}, 0}, {{0x90, 0x40, 0x64}, 200}});
    std::vector<DspEvent> received;
    ASSERT_TRUE(runMainLoopUntil([&] {
        for (const DspEvent& e : engine.drain())
            received.push_back(e);
        return received.size() >= 2;
    }));
    MIDIInputSetStampClock(nullptr);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].value1, 60.0);
    EXPECT_EQ(received[1].value1, 64.0);
    // 200 frames at the server's rate, on the engine's 44.1 kHz clock.
    const double expected = 200.0 * 44100.0 / keyboard.sampleRate();
    const double apart = received[1].timeStamp.mSampleTime - received[0].timeStamp.mSampleTime;
    std::printf("two notes 200 frames apart in one cycle at %u Hz: stamped %.2f samples apart "
                "(%.2f expected)\n",
                keyboard.sampleRate(), apart, expected);
    EXPECT_NEAR(apart, expected, 2.0);
    // Placed in the cycle they arrived in: no later than when they were read.
    EXPECT_LE(received[1].timeStamp.mHostTime, HostClock::nowNanoseconds());
    MIDIServicesShutdown(); // a client left to vanish with the process stalls the next test
    dspPointer = nullptr;
}
