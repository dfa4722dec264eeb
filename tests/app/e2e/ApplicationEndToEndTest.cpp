// The application end to end, with real parts: under a JACK server (the test script runs one on
// its dummy driver) and Qt's offscreen platform, the real start-up runs in this process — menu,
// main window, panel, audio, MIDI, every source connected — and a recording JACK client listens
// to the "Corvena" output while the test plays the program the way a user does: clicks on the
// on-screen keyboard, keys of the computer keyboard, knob drags, a MIDI keyboard that appears
// after start-up. Skipped when no JACK server answers.
#include "AboutWindow.h"
#include "AppDelegate.h"
#include "AudioUnitWrapper.h"
#include "DspPointer.h"
#include "JackRecorder.h"
#include "JackTestKeyboard.h"
#include "KeyboardView.h"
#include "MainLoop.h"
#include "MidiByteRing.h"
#include "MidiServices.h"
#include "OutputUnitServices.h"
#include "SignalAnalysis.h"
#include "WindowKeyboard.h"
#include "WindowMouse.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using mainloop::pumpFor;
using mainloop::pumpUntil;
constexpr double sampleRate = 44100.0;
constexpr double middleC = 261.6256;

// What one played note sounded like in a recording.
struct Tone {
    size_t onset = 0;              // first frame above 1e-3
    double onsetDelay = 0.0;       // frames from posting to onset
    double frequency = 0.0;        // over the held part, after attack and decay
    double amplitude = 0.0;        // peak amplitude from the RMS over the held part
    double tailRms = 0.0;          // from 0.1 s after the release took effect to the end
    double heldUntilRelease = 0.0; // RMS just before the release took effect
};

Tone analyseTone(const std::vector<float>& x, jack_nframes_t first, jack_nframes_t onAt,
                 jack_nframes_t offAt) {
    Tone tone;
    tone.onset = analysis::firstAbove(x, 1e-3);
    tone.onsetDelay = double(int32_t(first + jack_nframes_t(tone.onset) - onAt));
    const size_t offIndex = size_t(int32_t(offAt - first));
    // The release reaches the voice 1024 samples after posting (a period later at most).
    const size_t releaseTakesEffect = offIndex + 1024;
    const size_t heldFrom = tone.onset + 2048;
    if (tone.onset >= x.size() || heldFrom >= offIndex || releaseTakesEffect + 4410 >= x.size())
        return tone;
    tone.frequency = analysis::medianPeriodFrequency(x, heldFrom, offIndex);
    tone.amplitude = analysis::rms(x, heldFrom, offIndex) * std::sqrt(2.0);
    tone.heldUntilRelease = analysis::rms(x, offIndex, offIndex + 900) * std::sqrt(2.0);
    tone.tailRms = analysis::rms(x, releaseTakesEffect + 4410, x.size());
    return tone;
}

struct Application {
    JackRecorder recorder;
    bool jackAnswers = false;
    bool launched = false;
    QImage windowImage;
    QPoint panelInWindow;
    // The MIDI keyboard, plugged in after start-up by the first test that plays it.
    std::unique_ptr<JackTestKeyboard> midiKeyboard;
};
// Lives until the process ends, like the program's own objects.
Application* app = nullptr;

class ApplicationThreads : public ::testing::Test {
protected:
    // Unlike the program, a test leaves the server tidy: the next test process starts at once
    // and registers clients of the same names. Left to vanish with the process, they leave the
    // server triggering clients that never answer (seen: "Corvena MIDI was not finished"),
    // and the next test records seconds of silence.
    static void TearDownTestSuite() {
        if (app == nullptr)
            return;
        app->midiKeyboard.reset();
        if (app->launched) {
            AudioOutputUnitStop(audioUnitWrapper.audioUnit);
            MIDIServicesShutdown();
        }
        app->recorder.close();
    }

    static void SetUpTestSuite() {
        if (app != nullptr)
            return; // launched once per process, for every suite of this file
        app = new Application;
        app->jackAnswers = app->recorder.open("corvena-app-recorder");
        if (!app->jackAnswers)
            return;
        // The test before this one ended its process with the program's clients open.
        if (!app->recorder.waitUntilNoCorvenaClient(15.0))
            std::fprintf(stderr, "an earlier Corvena client is still on the server\n");
        // The launch of the program, step by step in its order. Only the MIDI backend is
        // chosen here, between audio and MIDI: the MIDI layer would pick the ALSA sequencer
        // where one exists, and here MIDI must come through the JACK server the test keyboard
        // joins.
        delegate = new AppDelegate();
        delegate->buildMainMenu();
        app->launched = delegate->openMainWindow() && delegate->startAudio();
        if (app->launched) {
            MIDIServicesStart(MidiBackendChoice::jack);
            delegate->startMidi();
        }
        if (!app->launched)
            return;
        Zelvar_MainWindow* window = delegate->mainWindowController.get();
        if (!QTest::qWaitForWindowExposed(window))
            std::fprintf(stderr, "main window not exposed\n");
        pumpFor(50);
        app->windowImage = window->grab().toImage();
        app->panelInWindow = delegate->mainViewController->view()->mapTo(window, QPoint(0, 0));

        const std::vector<std::string> ports = app->recorder.outputPortsOf("Corvena");
        if (ports.size() == 2)
            app->recorder.connectFrom(ports[0], ports[1]);
        pumpFor(200);
    }

    void SetUp() override {
        if (!app->jackAnswers)
            GTEST_SKIP() << "no JACK server answers";
        ASSERT_TRUE(app->launched) << delegate->failureMessage();
        ASSERT_EQ(app->recorder.sampleRate(), 44100u) << "the test server runs at 44100 Hz";
        ASSERT_EQ(app->recorder.outputPortsOf("Corvena").size(), 2u);
        mouse = std::make_unique<WindowMouse>(*delegate->mainWindowController->contentView());
    }

    // Records `frames` frames; `during` runs once recording has begun, with the main loop
    // running around it.
    template <typename Action> void record(size_t frames, Action during) {
        app->recorder.arm(frames);
        ASSERT_TRUE(pumpUntil([&] { return app->recorder.recorded() > 0; }));
        during();
        ASSERT_TRUE(pumpUntil([&] { return app->recorder.recorded() >= frames; }));
    }

    static double engineNormalized(ParameterType type) {
        return DspGetParameterInfo(dspPointer, type).normalizedValue;
    }

    MainViewController& controller() { return *delegate->mainViewController; }

    // The MIDI keyboard, once the program has connected it.
    static JackTestKeyboard* connectedKeyboard() {
        if (!app->midiKeyboard) {
            app->midiKeyboard = std::make_unique<JackTestKeyboard>("corvena-app-test-keyboard");
            if (!app->midiKeyboard->ok())
                return nullptr;
        }
        if (!pumpUntil([] { return app->midiKeyboard->isConnectedToAnything(); }))
            return nullptr;
        // Its arrival is several set-up changes, each rebuilding the connections (disconnect
        // all, connect all): a note played before they have settled can fall in the gap.
        pumpFor(300);
        if (!app->midiKeyboard->isConnectedToAnything())
            return nullptr;
        return app->midiKeyboard.get();
    }

    std::unique_ptr<WindowMouse> mouse;
};

TEST_F(ApplicationThreads, StartUpRanInOrderAndTheEngineRendersIntoCorvena) {
    EXPECT_NE(dspPointer, nullptr);
    EXPECT_EQ(dspPointer, audioUnitWrapper.ptr);
    EXPECT_TRUE(delegate->mainWindowController->isVisible());
    // Every knob still shows the engine's own value: building the panel sent nothing, and the
    // engine started from the same defaults.
    for (const auto& info : controller().knobInfo)
        EXPECT_EQ(engineNormalized(info->assign), info->defaultValue) << info->name;
}

TEST_F(ApplicationThreads, LowestOnScreenKeyPlaysMiddleCUntilReleased) {
    jack_nframes_t onAt = 0, offAt = 0;
    record(66150, [&] {
        onAt = app->recorder.frameTimeNow();
        mouse->press(10, 10); // the lowest key, C4
        pumpFor(700);
        offAt = app->recorder.frameTimeNow();
        mouse->release(10, 10);
    });
    const Tone tone = analyseTone(app->recorder.left, app->recorder.firstFrame(), onAt, offAt);
    std::printf("on-screen key: onset %.0f samples after the press, %.3f Hz, amplitude %.5f, "
                "%.5f just before the release took effect, tail RMS %.2e\n",
                tone.onsetDelay, tone.frequency, tone.amplitude, tone.heldUntilRelease,
                tone.tailRms);
    // Key to sound: from the press to the first sample handed to the server.
    const double keyToSoundMs = tone.onsetDelay / sampleRate * 1000.0;
    std::printf("key to sound on JACK (dummy driver, %u-frame buffers): %.1f ms\n",
                app->recorder.bufferSize(), keyToSoundMs);
    RecordProperty("key_to_sound_ms", std::to_string(keyToSoundMs));
    EXPECT_LT(keyToSoundMs, 80.0);
    RecordProperty("key_frequency_hz", std::to_string(tone.frequency));
    RecordProperty("key_amplitude", std::to_string(tone.amplitude));
    EXPECT_NEAR(tone.onsetDelay, 1024.0, 512.0);
    EXPECT_NEAR(tone.frequency, middleC, 0.5);
    EXPECT_GT(tone.amplitude, 0.01);
    EXPECT_NEAR(tone.heldUntilRelease, tone.amplitude, tone.amplitude * 0.1)
        << "the note sounds until its release reaches the engine";
    EXPECT_LT(tone.tailRms, 1e-5) << "released, the tone ends";
}

// The computer keyboard: the key in the A place held, then A, D and G together. Keys go where
// a desktop sends them, to the widget with key focus in the active window.
class ComputerKeyboardThreads : public ApplicationThreads {
protected:
    void SetUp() override {
        ApplicationThreads::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Zelvar_MainWindow* window = delegate->mainWindowController.get();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_NE(dynamic_cast<KeyboardView*>(QApplication::focusWidget()), nullptr)
            << "the on-screen keyboard takes the keys";
    }

    // Holds the keys at `labels` for 0.7 s while recording; the frames of the first press and
    // of the first release.
    std::pair<jack_nframes_t, jack_nframes_t> hold(const std::vector<char>& labels) {
        jack_nframes_t onAt = 0, offAt = 0;
        record(66150, [&] {
            onAt = app->recorder.frameTimeNow();
            for (char label : labels)
                WindowKeyboard::pressAt(label);
            // The keys are held: the desktop repeats them, which must not restart the notes.
            for (int i = 0; i < 14; ++i) {
                pumpFor(50);
                for (char label : labels) {
                    WindowKeyboard::release(WindowKeyboard::scanCodeAt(label), label, true);
                    WindowKeyboard::press(WindowKeyboard::scanCodeAt(label), label, true);
                }
            }
            offAt = app->recorder.frameTimeNow();
            for (char label : labels)
                WindowKeyboard::releaseAt(label);
        });
        return {onAt, offAt};
    }
};

TEST_F(ComputerKeyboardThreads, HeldAPlaysTheLowestKeysNoteWithoutRetriggering) {
    const auto [onAt, offAt] = hold({'A'});
    const std::vector<float>& x = app->recorder.left;
    const Tone tone = analyseTone(x, app->recorder.firstFrame(), onAt, offAt);
    std::printf("computer key A: onset %.0f samples after the press, %.3f Hz, amplitude %.5f, "
                "tail RMS %.2e\n",
                tone.onsetDelay, tone.frequency, tone.amplitude, tone.tailRms);
    EXPECT_NEAR(tone.onsetDelay, 1024.0, 512.0);
    EXPECT_NEAR(tone.frequency, middleC, 0.5) << "the lowest on-screen key, C4";
    EXPECT_GT(tone.amplitude, 0.01);
    EXPECT_LT(tone.tailRms, 1e-5) << "released, the tone ends";
    // Held steady through the repeats: no 10 ms stretch drops, as a new note or a release
    // would make it.
    const size_t from = tone.onset + 2048, to = size_t(int32_t(offAt - app->recorder.firstFrame()));
    ASSERT_LT(from + 441, to);
    double quietest = 1.0;
    for (size_t i = from; i + 441 <= to; i += 441)
        quietest = std::min(quietest, analysis::rms(x, i, i + 441) * std::sqrt(2.0));
    EXPECT_GT(quietest, tone.amplitude * 0.9);
}

TEST_F(ComputerKeyboardThreads, ADAndGTogetherSoundTheCMajorChord) {
    const auto [single, ignored] = hold({'A'});
    (void)single;
    (void)ignored;
    const std::vector<float> alone = app->recorder.left;
    const auto [onAt, offAt] = hold({'A', 'D', 'G'});
    const std::vector<float>& x = app->recorder.left;
    const size_t from = analysis::firstAbove(x, 1e-3) + 4096;
    const size_t to = size_t(int32_t(offAt - app->recorder.firstFrame()));
    ASSERT_LT(from + 8192, to);
    const size_t aloneFrom = analysis::firstAbove(alone, 1e-3) + 4096;
    const double c = analysis::amplitudeAt(alone, aloneFrom, aloneFrom + (to - from), middleC);
    const double notes[] = {middleC, 329.6276, 391.9954}; // C4, E4, G4
    std::printf("chord A+D+G (C alone %.5f):", c);
    for (double f : notes) {
        const double a = analysis::amplitudeAt(x, from, to, f);
        std::printf(" %.2f Hz %.5f", f, a);
        EXPECT_NEAR(a, c, c * 0.1) << f << " Hz sounds as loud as a single note";
    }
    // Notes nobody played stay silent: D4, F4 and the octave transposition's C3.
    for (double f : {293.6648, 349.2282, middleC / 2})
        EXPECT_LT(analysis::amplitudeAt(x, from, to, f), c * 0.01) << f << " Hz";
    std::printf("\n");
    EXPECT_LT(analysis::rms(x, to + 1024 + 4410, x.size()), 1e-5) << "all three released";
}

TEST_F(ComputerKeyboardThreads, ZTurnsTheOctaveKnobDownAndXBackUp) {
    WindowKeyboard::pressAt('Z');
    WindowKeyboard::releaseAt('Z');
    pumpFor(50);
    EXPECT_EQ(controller().octaveTransposeKnob->value.load(), 0.25);
    EXPECT_EQ(engineNormalized(ParameterTypeOctaveTranspose), 0.25);
    EXPECT_EQ(DspGetParameterInfo(dspPointer, ParameterTypeOctaveTranspose).currentValue, -1.0);
    EXPECT_EQ(MainViewController::readoutText(*controller().octaveTransposeKnob),
              "Octave Transpose -1");
    pumpFor(100); // the transposition reaches the audio thread
    const auto [onAt, offAt] = hold({'A'});
    const Tone tone = analyseTone(app->recorder.left, app->recorder.firstFrame(), onAt, offAt);
    EXPECT_NEAR(tone.frequency, middleC / 2, 0.5) << "an octave down";
    WindowKeyboard::pressAt('X');
    WindowKeyboard::releaseAt('X');
    EXPECT_EQ(engineNormalized(ParameterTypeOctaveTranspose), 0.5);
    pumpFor(100);
}

// Amplitudes of the first `count` harmonics of `f0` over a whole recording.
std::vector<double> harmonics(const std::vector<float>& x, double f0, int count) {
    std::vector<double> h;
    for (int k = 1; k <= count; ++k)
        h.push_back(analysis::amplitudeAt(x, 0, x.size(), k * f0, sampleRate));
    return h;
}

TEST_F(ApplicationThreads, CutoffDraggedToTheBottomTakesTheSawtoothsHighHarmonicsAway) {
    // The waveform knob, dragged up two of its five positions: the sawtooth.
    mouse->press(62, 272);
    mouse->drag(62, 358);
    mouse->release(62, 358);
    EXPECT_EQ(controller().waveformKnob->value.load(), 0.5);
    EXPECT_EQ(engineNormalized(ParameterTypeOscillatorWaveform), 0.4);
    EXPECT_EQ(DspGetParameterInfo(dspPointer, ParameterTypeOscillatorWaveform).currentValue, 2.0);

    // The note is held on the MIDI keyboard: the mouse is busy with the knob.
    JackTestKeyboard* keyboard = connectedKeyboard();
    ASSERT_NE(keyboard, nullptr) << "the MIDI keyboard that appeared was not connected";
    keyboard->play({0x90, 0x3C, 0x64});
    pumpFor(300);
    record(16384, [] {});
    const std::vector<float> open = app->recorder.left;

    // The cutoff knob, from its top dragged below its band: its bottom, 200 Hz.
    mouse->press(177, 330);
    mouse->drag(177, 200);
    mouse->drag(177, 90);
    mouse->release(177, 90);
    EXPECT_EQ(controller().lpfCutoffKnob->value.load(), 0.0);
    EXPECT_EQ(engineNormalized(ParameterTypeLpfCutoffFrequency), 0.0);
    pumpFor(300);
    record(16384, [] {});
    const std::vector<float> closed = app->recorder.left;
    keyboard->play({0x80, 0x3C, 0x40});

    const std::vector<double> before = harmonics(open, middleC, 20);
    const std::vector<double> after = harmonics(closed, middleC, 20);
    std::printf("sawtooth harmonics (k: open / cutoff at the bottom):");
    for (int k : {1, 2, 3, 5, 10, 15, 20})
        std::printf(" %d: %.2e / %.2e", k, before[size_t(k - 1)], after[size_t(k - 1)]);
    std::printf("\n");
    // Open, a sawtooth: every harmonic at about 1/k of the fundamental.
    for (int k = 2; k <= 20; ++k)
        EXPECT_NEAR(before[size_t(k - 1)] / before[0], 1.0 / k, 0.35 / k) << "harmonic " << k;
    // Closed: from the 5th harmonic (1.3 kHz) up at least 50 dB below where they were.
    for (int k = 5; k <= 20; ++k)
        EXPECT_LT(after[size_t(k - 1)], before[size_t(k - 1)] * 0.00316) << "harmonic " << k;
    const double drop10 = 20.0 * std::log10(after[9] / before[9]);
    RecordProperty("tenth_harmonic_drop_db", std::to_string(drop10));

    // Back as it was, by mouse: cutoff to the top (the band spans 225 points, so twice), then
    // the waveform back to the sine.
    for (int i = 0; i < 3 && controller().lpfCutoffKnob->value.load() < 1.0; ++i) {
        mouse->press(177, 272);
        mouse->drag(177, 358);
        mouse->release(177, 358);
    }
    mouse->press(62, 334);
    mouse->drag(62, 100);
    mouse->release(62, 100);
    EXPECT_EQ(engineNormalized(ParameterTypeLpfCutoffFrequency), 1.0);
    EXPECT_EQ(engineNormalized(ParameterTypeOscillatorWaveform), 0.0);
    pumpFor(300);
}

TEST_F(ApplicationThreads, MidiKeyboardPluggedInAfterStartUpPlaysEvenWithTheAboutWindowOpen) {
    JackTestKeyboard* keyboard = connectedKeyboard();
    ASSERT_NE(keyboard, nullptr) << "the MIDI keyboard that appeared was not connected";
    pumpFor(100);

    // First the same note from the on-screen keyboard: A4, the sixth white key.
    jack_nframes_t onAt = 0, offAt = 0;
    record(66150, [&] {
        onAt = app->recorder.frameTimeNow();
        mouse->press(176, 10);
        pumpFor(700);
        offAt = app->recorder.frameTimeNow();
        mouse->release(176, 10);
    });
    const Tone fromMouse = analyseTone(app->recorder.left, app->recorder.firstFrame(), onAt, offAt);

    bool aboutWasOpen = false;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        aboutWasOpen = dynamic_cast<AboutWindow*>(about) != nullptr;
        record(66150, [&] {
            onAt = app->recorder.frameTimeNow();
            keyboard->play({0x90, 0x45, 0x64}); // A4 at velocity 100
            pumpFor(700);
            offAt = app->recorder.frameTimeNow();
            keyboard->play({0x80, 0x45, 0x40});
        });
        if (about != nullptr)
            QTest::keyClick(about, Qt::Key_Escape);
    });
    delegate->aboutItem->trigger(); // modal: returns when the window has closed
    EXPECT_TRUE(aboutWasOpen);

    const Tone tone = analyseTone(app->recorder.left, app->recorder.firstFrame(), onAt, offAt);
    std::printf("JACK MIDI note 69: onset %.0f samples after sending, %.3f Hz, amplitude %.5f "
                "(on-screen A4: %.3f Hz, %.5f), tail RMS %.2e\n",
                tone.onsetDelay, tone.frequency, tone.amplitude, fromMouse.frequency,
                fromMouse.amplitude, tone.tailRms);
    RecordProperty("midi_frequency_hz", std::to_string(tone.frequency));
    RecordProperty("midi_amplitude", std::to_string(tone.amplitude));
    // A JACK period of 256 frames for the MIDI to arrive, then the engine's 1024.
    EXPECT_GT(tone.onsetDelay, 1024.0 - 256.0);
    EXPECT_LT(tone.onsetDelay, 1024.0 + 1024.0);
    EXPECT_NEAR(tone.frequency, 440.0, 0.5);
    // Velocity 100 from both: the MIDI note and the on-screen key sound alike.
    EXPECT_NEAR(fromMouse.frequency, 440.0, 0.5);
    EXPECT_NEAR(tone.amplitude, fromMouse.amplitude, fromMouse.amplitude * 0.02);
    EXPECT_LT(tone.tailRms, 1e-5);
}

// ---- The window as drawn --------------------------------------------------------------------

QColor panelPixel(double x, double y) {
    // y up in the panel; the image is the whole window, menu bar on top.
    const QImage& image = app->windowImage;
    const double ratio = image.devicePixelRatio();
    const int px = int(std::floor((app->panelInWindow.x() + x) * ratio));
    const int py = int(std::floor((app->panelInWindow.y() + 360.0 - y) * ratio));
    return image.pixelColor(px, py);
}

bool near(const QColor& a, const QColor& b, int tolerance = 4) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(const QColor& c) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", c.red(), c.green(), c.blue());
    return text;
}

// A pixel of a knob whose frame starts at (x, y): at knob angle φ (degrees clockwise from
// straight down) and radius r from its centre.
QColor knobPixel(double x, double y, double phi, double r) {
    const double a = (270.0 - phi) * M_PI / 180.0;
    return panelPixel(x + 32.5 + r * std::cos(a), y + 32.5 + r * std::sin(a));
}

TEST_F(ApplicationThreads, WindowImageShowsThePanelAsLaidOut) {
    const QImage& image = app->windowImage;
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(app->panelInWindow.x(), 0);
    EXPECT_EQ(image.width(), 480);
    EXPECT_EQ(image.height(), 360 + app->panelInWindow.y());
    if (!image.save(CORVENA_SCREENSHOT_PATH))
        ADD_FAILURE() << "cannot write " << CORVENA_SCREENSHOT_PATH;

    const QColor start("#f9fed3"), end("#ffdbb2");
    const QColor outer("#a58787"), ring("#37cee8"), travel("#e2b1b1");
    // The gradient: pale yellow in the upper left, towards light orange at the lower right;
    // the empty place of the upper row shows it too.
    EXPECT_TRUE(near(panelPixel(1, 359), start, 6)) << describe(panelPixel(1, 359));
    const QColor lowerRight = panelPixel(478, 121);
    EXPECT_LT(std::abs(lowerRight.blue() - end.blue()), std::abs(lowerRight.blue() - start.blue()))
        << describe(lowerRight);
    const QColor emptyPlace = panelPixel(337, 302);
    EXPECT_GT(emptyPlace.red(), 240) << describe(emptyPlace);
    EXPECT_GT(emptyPlace.blue(), 170) << describe(emptyPlace);

    struct Knob {
        double x, y, value;
    };
    const Knob knobs[] = {{30, 270, 0.0},  {30, 165, 0.5},  {145, 270, 1.0},
                          {225, 270, 0.0}, {145, 165, 0.0}, {225, 165, 0.0},
                          {305, 165, 1.0}, {385, 165, 0.0}, {385, 270, 0.8}};
    for (const Knob& k : knobs) {
        SCOPED_TRACE(std::to_string(int(k.x)) + ", " + std::to_string(int(k.y)));
        // The gap at the bottom of the travel shows the outer disc; the frame's corner is panel.
        EXPECT_TRUE(near(knobPixel(k.x, k.y, 0, 26), outer))
            << describe(knobPixel(k.x, k.y, 0, 26));
        EXPECT_FALSE(near(panelPixel(k.x + 2, k.y + 2), outer, 30));
        EXPECT_FALSE(near(panelPixel(k.x + 2, k.y + 2), travel, 10));
    }
    // The value rings at their defaults: cutoff full, resonance empty, output at 0.8 (knob
    // angle 261°), sustain full, the octave knob's only a mark straight up.
    EXPECT_TRUE(near(knobPixel(145, 270, 300, 26), ring));
    EXPECT_TRUE(near(knobPixel(225, 270, 300, 26), travel));
    EXPECT_TRUE(near(knobPixel(225, 270, 100, 26), travel));
    EXPECT_TRUE(near(knobPixel(385, 270, 250, 26), ring));
    EXPECT_TRUE(near(knobPixel(385, 270, 280, 26), travel));
    EXPECT_TRUE(near(knobPixel(305, 165, 300, 26), ring));
    EXPECT_TRUE(near(knobPixel(30, 165, 180, 26), ring));
    EXPECT_TRUE(near(knobPixel(30, 165, 150, 26), travel));
    EXPECT_TRUE(near(knobPixel(30, 165, 210, 26), travel));

    // Each caption's text is dark grey, in its frame under its knob.
    for (const Knob& k : knobs) {
        int darkest = 255;
        QColor darkestColour;
        for (double x = std::max(0.0, k.x - 50); x < std::min(480.0, k.x + 115); x += 0.5)
            for (double y = k.y - 20; y < k.y; y += 0.5) {
                const QColor c = panelPixel(x, y);
                if (c.red() < darkest) {
                    darkest = c.red();
                    darkestColour = c;
                }
            }
        EXPECT_TRUE(near(darkestColour, QColor(85, 85, 85), 30))
            << k.x << ", " << k.y << ": " << describe(darkestColour);
    }
    // The keyboard along the bottom: white keys, black keys.
    EXPECT_TRUE(near(panelPixel(10, 30), Qt::white));
    EXPECT_TRUE(near(panelPixel(470, 30), Qt::white));
    EXPECT_TRUE(near(panelPixel(28.8, 100), Qt::black, 8));
    EXPECT_FALSE(near(panelPixel(240, 130), Qt::white, 8)) << "panel above the keyboard";
}

} // namespace
