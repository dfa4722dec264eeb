// The plugin end to end in jalv, a real LV2 host, under a real JACK server on its dummy driver:
// a JACK MIDI keyboard plays into jalv's MIDI port, a JACK recorder captures the plugin's
// outputs. At 44.1 kHz (the test server ./scripts/test starts) and at 48 kHz (a second server
// this test starts under its own name): middle C at its pitch and at the level the engine's
// chain predicts, a chord with every note at its level, and a control set through jalv's
// console (cutoff lowered) taking the upper harmonics away; and the factory presets in jalv's
// console list, one of them loaded there and played. jalv runs headless, its console fed from a
// pipe this test holds open. Fails, never skips, without jalv, jackd or a server.
#include "ChainLevel.h"
#include "ChildProcess.h"
#include "FactoryPresets.h"
#include "JackRecorder.h"
#include "JackTestKeyboard.h"
#include "Polling.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string defaultServer() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && name[0] != '\0' ? name : "default";
}

// Only the probe's own failures are kept out of the log: a server that is still starting
// answers no one, and that is expected.
bool probing = false;

void reportJackError(const char* message) {
    if (!probing)
        std::fprintf(stderr, "%s\n", message);
}

bool serverAnswers(const std::string& name) {
    jack_set_error_function(reportJackError);
    probing = true;
    jack_status_t status{};
    jack_client_t* client =
        jack_client_open("corvena-jalv-probe", JackOptions(JackNoStartServer | JackServerName),
                         &status, name.c_str());
    probing = false;
    if (client == nullptr)
        return false;
    jack_client_close(client);
    return true;
}

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// jalv running the plugin from the build tree's bundle, wired to a keyboard and a recorder on
// the server JACK_DEFAULT_SERVER names.
class JalvSession {
public:
    void start(unsigned expectedRate) {
        ASSERT_TRUE(recorder.open("corvena-jalv-recorder")) << "no JACK server answers";
        ASSERT_EQ(recorder.sampleRate(), expectedRate);
        keyboard = std::make_unique<JackTestKeyboard>("corvena-jalv-keyboard");
        ASSERT_TRUE(keyboard->ok());
        setenv("LV2_PATH", (std::string(CORVENA_TEST_LV2_PATH) + ":/usr/lib/lv2").c_str(), 1);
        client = "corvena-jalv-" + std::to_string(getpid());
        jalv = std::make_unique<ChildProcess>(
            // Line-buffered, so that what its console prints reaches the log as it answers.
            std::vector<std::string>{"stdbuf", "-oL", "jalv", "-n", client, "-x",
                                     "urn:corvena:synth"},
            std::string(CORVENA_TEST_LOG_DIR) + "/" + client + ".log");
        ASSERT_TRUE(jalv->started()) << "jalv is not installed";
        ASSERT_TRUE(waitFor(
            [&] { return recorder.outputPortsOf(client).size() == 2 || !jalv->running(); }, 20s))
            << jalv->log();
        ASSERT_TRUE(jalv->running()) << jalv->log();
        // jalv's ports exist before its client is active, and JACK refuses to connect an
        // inactive client's ports: retry for a while.
        ASSERT_TRUE(waitFor(
            [&] {
                return recorder.connectFrom(client + ":out_left", client + ":out_right") &&
                       recorder.connectPorts(keyboard->portName(), client + ":midi_in");
            },
            10s))
            << jalv->log();
        std::this_thread::sleep_for(300ms); // the server settles its new graph
    }

    // Records `seconds` from just before `notes` start; ends them afterwards.
    void record(const std::vector<int>& notes, double seconds) {
        const auto frames = size_t(seconds * recorder.sampleRate());
        recorder.arm(frames);
        ASSERT_TRUE(recorder.waitUntilRecorded(1, 5.0));
        for (int note : notes)
            keyboard->play({0x90, uint8_t(note), 100});
        ASSERT_TRUE(recorder.waitUntilRecorded(frames, 10.0 + seconds)) << jalv->log();
        keyboard->play({0xB0, 123, 0}); // All Notes Off
        std::this_thread::sleep_for(150ms);
        onset = analysis::firstAbove(recorder.left, 1e-3);
        ASSERT_LT(onset + size_t(0.65 * recorder.sampleRate()), frames) << "no sound recorded";
        // Attack and decay take 20 ms: measure half a second of steady tone after 0.1 s.
        from = onset + size_t(0.1 * recorder.sampleRate());
        to = from + size_t(0.5 * recorder.sampleRate());
    }

    double amplitude(double hz) const {
        return analysis::amplitudeAt(recorder.left, from, to, hz, recorder.sampleRate());
    }

    void playAndMeasure() {
        const double rate = recorder.sampleRate();
        // Middle C alone: its pitch and level, both sides alike (the delay's mix is 0).
        record({60}, 1.0);
        if (::testing::Test::HasFatalFailure())
            return;
        const double frequency = analysis::frequencyByZeroCrossings(recorder.left, from, to, rate);
        ::testing::Test::RecordProperty("middle_c_hz", std::to_string(frequency));
        EXPECT_NEAR(frequency, 261.63, 0.5);
        const double predicted = chain::predictedSineLevelAtDefaults(noteHz(60), 100);
        EXPECT_NEAR(amplitude(noteHz(60)), predicted, predicted * 0.01);
        EXPECT_EQ(recorder.left, recorder.right);

        // A chord: every note at its own level.
        record({60, 64, 67}, 1.0);
        if (::testing::Test::HasFatalFailure())
            return;
        for (int note : {60, 64, 67}) {
            const double level = chain::predictedSineLevelAtDefaults(noteHz(note), 100);
            EXPECT_NEAR(amplitude(noteHz(note)), level, level * 0.02) << note;
        }

        // Through jalv's console: a sawtooth, then the cutoff lowered from 20 kHz to 400 Hz.
        jalv->writeLine("waveform = 2");
        std::this_thread::sleep_for(300ms);
        record({60}, 1.0);
        if (::testing::Test::HasFatalFailure())
            return;
        std::vector<double> bright;
        for (int h = 1; h <= 10; ++h)
            bright.push_back(amplitude(h * noteHz(60)));
        jalv->writeLine("cutoff = 400");
        std::this_thread::sleep_for(300ms);
        record({60}, 1.0);
        if (::testing::Test::HasFatalFailure())
            return;
        ASSERT_GT(bright[4], 0.01 * bright[0]) << "a sawtooth has a fifth harmonic";
        EXPECT_GT(amplitude(noteHz(60)), 0.5 * bright[0]) << "the fundamental passes";
        for (int h = 5; h <= 10; ++h)
            EXPECT_LT(amplitude(h * noteHz(60)), 0.03 * bright[h - 1])
                << "harmonic " << h << " is not 30 dB down";
        EXPECT_TRUE(jalv->running()) << jalv->log();
    }

    JackRecorder recorder;
    std::unique_ptr<JackTestKeyboard> keyboard;
    std::unique_ptr<ChildProcess> jalv;
    std::string client;
    size_t onset = 0, from = 0, to = 0;
};

TEST(JalvEndToEnd, PlaysMiddleCAChordAndAControlAt44100Hz) {
    ASSERT_TRUE(serverAnswers(defaultServer()))
        << "the JACK test server " << defaultServer() << " does not answer";
    JalvSession session;
    session.start(44100);
    if (!::testing::Test::HasFatalFailure())
        session.playAndMeasure();
}

// jalv's console command "presets" lists what lilv finds for the plugin, "URI (label)" a line;
// "preset URI" applies one to the ports. "Bass: Round Sub" plays a triangle an octave down.
TEST(JalvPresets, ListsTheBankAndPlaysAPresetItLoadsAt44100Hz) {
    ASSERT_TRUE(serverAnswers(defaultServer()))
        << "the JACK test server " << defaultServer() << " does not answer";
    JalvSession session;
    session.start(44100);
    if (::testing::Test::HasFatalFailure())
        return;
    ChildProcess& jalv = *session.jalv;
    jalv.writeLine("presets");
    for (size_t i = 0; i < FactoryPresets::count(); ++i) {
        const std::string shown = " (" + FactoryPresets::label(FactoryPresets::at(i)) + ")\n";
        EXPECT_TRUE(waitFor([&] { return jalv.log().find(shown) != std::string::npos; }, 5s))
            << "jalv does not list" << shown << jalv.log();
    }
    const std::string log = jalv.log();
    const size_t shown = log.find(" (Bass: Round Sub)\n");
    ASSERT_NE(shown, std::string::npos) << log;
    const size_t lineStart = log.rfind('\n', shown) + 1;
    const std::string uri = log.substr(lineStart, shown - lineStart);
    ASSERT_EQ(uri.rfind("urn:", 0), 0u) << log;

    jalv.writeLine("preset " + uri);
    ASSERT_TRUE(
        waitFor([&] { return jalv.log().find("cutoff = 900.000000") != std::string::npos; }, 5s))
        << "jalv shows no control set by the preset:\n"
        << jalv.log();
    std::this_thread::sleep_for(300ms);
    session.record({60}, 1.0);
    if (::testing::Test::HasFatalFailure())
        return;
    const double frequency = analysis::frequencyByZeroCrossings(
        session.recorder.left, session.from, session.to, session.recorder.sampleRate());
    EXPECT_NEAR(frequency, noteHz(48), 0.5) << "an octave below middle C";
    // A triangle's third harmonic stands at a ninth of its fundamental; a sine (the defaults)
    // has none.
    const double third = session.amplitude(3 * noteHz(48)) / session.amplitude(noteHz(48));
    EXPECT_NEAR(third, 1.0 / 9.0, 0.02);
    EXPECT_TRUE(jalv.running()) << jalv.log();
}

TEST(JalvEndToEnd, PlaysMiddleCAChordAndAControlAt48000Hz) {
    // A second dummy server at 48 kHz, under a name of its own, ended when the test ends.
    const std::string name = defaultServer() + "-48k";
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    ChildProcess server({"jackd", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"},
                        std::string(CORVENA_TEST_LOG_DIR) + "/jackd-48k.log");
    ASSERT_TRUE(server.started()) << "jackd is not installed";
    ASSERT_TRUE(waitFor([&] { return serverAnswers(name) || !server.running(); }, 10s))
        << server.log();
    // jackd refuses to start beside too many servers of other users of the machine.
    ASSERT_TRUE(server.running()) << "the 48 kHz server did not start:\n" << server.log();
    const std::string previous = defaultServer();
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    {
        JalvSession session;
        session.start(48000);
        if (!::testing::Test::HasFatalFailure())
            session.playAndMeasure();
    }
    setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1);
}

} // namespace
