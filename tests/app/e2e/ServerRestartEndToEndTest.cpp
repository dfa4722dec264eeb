// The application end to end through a JACK server that goes away under it and comes back: the
// real start-up runs in this process on a server of the test's own at 44100 Hz, a MIDI keyboard
// plays middle C, the server is stopped — the panel shows that the sound stopped — and a server
// of the same name starts again, at 48000 Hz. Without the program being restarted the notice
// goes, the keyboard is connected again and middle C sounds at 261.63 Hz at the new rate.
#include "AppDelegate.h"
#include "AudioUnitWrapper.h"
#include "JackRecorder.h"
#include "JackTestKeyboard.h"
#include "MainLoop.h"
#include "MidiServices.h"
#include "OutputUnitServices.h"
#include "PrivateJackServer.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using mainloop::pumpFor;
using mainloop::pumpUntil;

constexpr double middleC = 261.6256;

struct Played {
    double frequency = 0.0;
    double onsetMilliseconds = 0.0; // from the note sent to the first sample above 1e-3
};

// Middle C from a MIDI keyboard that appears now, heard through a recorder on the server that
// runs now; both leave before the server may go.
Played middleCFromAMidiKeyboard() {
    Played played;
    JackRecorder recorder;
    if (!recorder.open("corvena-restart-recorder"))
        return played;
    const double rate = recorder.sampleRate();
    const std::vector<std::string> ports = recorder.outputPortsOf("Corvena");
    if (ports.size() != 2 || !recorder.connectFrom(ports[0], ports[1]))
        return played;
    JackTestKeyboard keyboard("corvena-restart-keyboard");
    if (!keyboard.ok() || !pumpUntil([&] { return keyboard.isConnectedToAnything(); }))
        return played;
    pumpFor(300); // the connections settle, as in the other end-to-end tests
    const auto frames = size_t(rate);
    recorder.arm(frames);
    if (!pumpUntil([&] { return recorder.recorded() > 0; }))
        return played;
    const jack_nframes_t sentAt = recorder.frameTimeNow();
    keyboard.play({0x90, 60, 100});
    pumpUntil([&] { return recorder.recorded() >= frames; });
    keyboard.play({0x80, 60, 0});
    const size_t onset = analysis::firstAbove(recorder.left, 1e-3);
    if (onset + size_t(0.1 * rate) >= frames)
        return played;
    played.onsetMilliseconds =
        double(int32_t(recorder.firstFrame() + jack_nframes_t(onset) - sentAt)) / rate * 1000.0;
    played.frequency =
        analysis::medianPeriodFrequency(recorder.left, onset + size_t(0.1 * rate), frames, rate);
    pumpFor(200);
    return played;
}

TEST(ServerRestartThreads, TheNoticeShowsWhileTheServerIsGoneAndSoundAndMidiComeBackAtItsNewRate) {
    setenv("PIPEWIRE_RUNTIME_DIR", "/nonexistent/corvena-jack-test", 1);
    auto server = std::make_unique<PrivateJackServer>("restart", 256);
    if (!server->answers())
        GTEST_SKIP() << "no jackd to start a server of this test's own";
    setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);

    // The launch, step by step in its order, with MIDI through the JACK server the keyboard
    // joins.
    auto* delegate = new AppDelegate(); // lives until the process ends, as the program's does
    delegate->buildMainMenu();
    ASSERT_TRUE(delegate->openMainWindow());
    ASSERT_TRUE(delegate->startAudio()) << delegate->failureMessage();
    MIDIServicesStart(MidiBackendChoice::jack);
    delegate->startMidi();
    MainViewController& panel = *delegate->mainViewController;
    pumpFor(300);

    const Played before = middleCFromAMidiKeyboard();
    EXPECT_NEAR(before.frequency, middleC, 0.5) << "at 44100 Hz, before the restart";
    EXPECT_EQ(panel.noticeLabel(), nullptr) << "the panel at rest is as laid out";

    server->stop();
    ASSERT_TRUE(pumpUntil([&] {
        return panel.noticeLabel() != nullptr && !panel.noticeLabel()->isHidden();
    })) << "no notice while the server is gone";
    EXPECT_EQ(panel.noticeLabel()->stringValue(), AppDelegate::soundStoppedNotice);
    EXPECT_TRUE(OutputUnitIsInterrupted(audioUnitWrapper.audioUnit));
    pumpFor(2500); // a few attempts find no server, and the notice stays
    EXPECT_FALSE(panel.noticeLabel()->isHidden());

    const std::string name = server->name();
    server.reset();
    server = PrivateJackServer::named(name, 256, 48000);
    ASSERT_TRUE(server->answers());
    ASSERT_TRUE(pumpUntil([&] { return panel.noticeLabel()->isHidden(); }))
        << "the notice stays although a server runs again";
    EXPECT_FALSE(OutputUnitIsInterrupted(audioUnitWrapper.audioUnit));

    const Played after = middleCFromAMidiKeyboard();
    std::printf("middle C from MIDI before the restart (44100 Hz): %.3f Hz, onset %.1f ms; after "
                "(48000 Hz): %.3f Hz, onset %.1f ms\n",
                before.frequency, before.onsetMilliseconds, after.frequency,
                after.onsetMilliseconds);
    RecordProperty("key_to_sound_ms_44100", std::to_string(before.onsetMilliseconds));
    RecordProperty("key_to_sound_ms_48000", std::to_string(after.onsetMilliseconds));
    EXPECT_NEAR(after.frequency, middleC, 0.5) << "at 48000 Hz, after the restart";
    // Key to sound at 48 kHz within one buffer (256 frames, 5.3 ms) of the figure at 44.1 kHz.
    EXPECT_NEAR(after.onsetMilliseconds, before.onsetMilliseconds, 256.0 / 48000.0 * 1000.0);

    AudioOutputUnitStop(audioUnitWrapper.audioUnit);
    MIDIServicesShutdown();
}

} // namespace
