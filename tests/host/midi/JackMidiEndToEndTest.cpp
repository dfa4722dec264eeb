// MIDI from a real JACK client into the engine. Under a JACK server (the test script runs one
// on its dummy driver), the program's MIDI comes up with no source present; then a keyboard
// client appears, is connected by the hot-plug path, and what it plays arrives in the engine's
// event ring. Skipped when no JACK server answers.
#include "DspPointer.h"
#include "JackMidiBackend.h"
#include "JackTestKeyboard.h"
#include "MIDIObject.h"
#include "MidiByteRing.h"
#include "MidiTestSupport.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The main thread's event loop, for as long as it takes `done` to hold (at most 10 s).
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
    if (!MIDIServicesStart(MidiBackendChoice::jack))
        GTEST_SKIP() << "no JACK server answers";
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
    ASSERT_TRUE(runMainLoopUntil([&] { return keyboard.isConnectedTo(ourInput); }))
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
    dspPointer = nullptr;
}
