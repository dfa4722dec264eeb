// Golden renders: fixed scenarios played through the C interface alone, every output float
// hashed. The hashes were recorded from the engine before any speed work; a faster engine that
// changes one bit of one sample is a different instrument, so they must never change.
//
// Every scenario renders with several block sizes and both buffer layouts: events act on their
// stamped frame whatever the callback size, so all renders of a scenario give one hash.
#include "Corvena_Core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint64_t secondFrames = 44100;

struct Action {
    uint64_t stamp;
    EventSubType subType;
    ParameterType type;
    double value1;
    double value2;
};

// What a host does to the engine, in stamp order. Knob positions are normalized (0..1).
class Score {
public:
    void knob(uint64_t stamp, ParameterType type, double normalized) {
        actions.push_back({stamp, EventSubTypeParameter, type, normalized, 0.0});
    }
    void note(uint64_t on, uint64_t off, int number, int velocity) {
        actions.push_back(
            {on, EventSubTypeNoteOn, ParameterTypeNone, double(number), double(velocity)});
        actions.push_back({off, EventSubTypeNoteOff, ParameterTypeNone, double(number), 0.0});
    }
    // Events go in before their frame whatever the block size; equal stamps keep their order.
    std::vector<Action> sorted() const {
        std::vector<Action> result = actions;
        std::stable_sort(result.begin(), result.end(),
                         [](const Action& a, const Action& b) { return a.stamp < b.stamp; });
        return result;
    }

private:
    std::vector<Action> actions;
};

struct SequencerStep {
    int eventId;
    int tick;
    EventSubType subType;
    double note;
    double velocity;
};

struct Scenario {
    Score score;
    std::vector<SequencerStep> steps;
    double tempo = 0.0; // 0: left at the default
    uint64_t frames = 0;
};

enum class Layout { Interleaved, NonInterleaved };

struct Result {
    uint64_t hash = 0;
    float peak = 0.0f;
};

// FNV-1a over the bit patterns of every float, left then right, frame by frame.
class FloatHash {
public:
    void add(float sample) {
        uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        for (int i = 0; i < 4; ++i) {
            value ^= (bits >> (8 * i)) & 0xffu;
            value *= 0x100000001b3ull;
        }
    }
    uint64_t value = 0xcbf29ce484222325ull;
};

Result render(const Scenario& scenario, uint32_t blockSize, Layout layout) {
    // Noise voices seed their registers from the C library's generator in the engine this was
    // recorded from; starting it afresh makes each render draw the same seeds.
    std::srand(1);
    DspObject dsp = CreateDspObject();
    std::string resources = CORVENA_TEST_RESOURCES;
    DspSetBundleDirectoryPath(dsp, resources.data());
    DspInitialize(dsp);
    for (const SequencerStep& step : scenario.steps)
        DspSetSequencerEvent(dsp, EventTypeSequencerSetEvent, step.subType, ParameterTypeNone,
                             step.note, step.velocity, 0.0, step.eventId, step.tick);
    if (!scenario.steps.empty()) {
        DspSetSequencerEvent(dsp, EventTypeSequencerDeleteEvent, EventSubTypeNone,
                             ParameterTypeNone, 0, 0, 0, scenario.steps.back().eventId, 0);
        if (scenario.tempo > 0.0)
            DspSetSequencerEvent(dsp, EventTypeSequencerTempo, EventSubTypeNone, ParameterTypeNone,
                                 scenario.tempo, 0, 0, 0, 0);
        DspSetSequencerEvent(dsp, EventTypeSequencerTransport, EventSubTypeNone, ParameterTypeNone,
                             1.0, 0, 0, 0, 0);
    }

    const std::vector<Action> actions = scenario.score.sorted();
    size_t nextAction = 0;
    std::vector<float> left(blockSize), right(blockSize), interleaved(2 * size_t(blockSize));
    FloatHash hash;
    Result result;
    for (uint64_t position = 0; position < scenario.frames;) {
        const uint32_t n = uint32_t(std::min<uint64_t>(blockSize, scenario.frames - position));
        for (; nextAction < actions.size() && actions[nextAction].stamp < position + n;
             ++nextAction) {
            const Action& a = actions[nextAction];
            AudioTimeStamp stamp;
            std::memset(&stamp, 0, sizeof stamp);
            stamp.mSampleTime = double(a.stamp);
            DspSetEventWithTimeStamp(dsp, stamp, a.subType, a.type, a.value1, a.value2, 0.0);
        }
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = double(position);
        stamp.mHostTime = 1000000000ull + position * 1000000000ull / secondFrames;
        struct {
            uint32_t count;
            AudioBuffer buffers[2];
        } list{};
        if (layout == Layout::Interleaved) {
            list.count = 1;
            list.buffers[0] = {2, n * 8, interleaved.data()};
        } else {
            list.count = 2;
            list.buffers[0] = {1, n * 4, left.data()};
            list.buffers[1] = {1, n * 4, right.data()};
        }
        uint32_t flags = 0;
        AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, n,
                                 reinterpret_cast<AudioBufferList*>(&list));
        for (uint32_t i = 0; i < n; ++i) {
            const float l = layout == Layout::Interleaved ? interleaved[2 * i] : left[i];
            const float r = layout == Layout::Interleaved ? interleaved[2 * i + 1] : right[i];
            hash.add(l);
            hash.add(r);
            result.peak = std::max({result.peak, std::fabs(l), std::fabs(r)});
        }
        position += n;
    }
    ReleaseDspObject(dsp);
    result.hash = hash.value;
    return result;
}

// A triangle from lo to hi and back with the given period, from exact arithmetic only, so the
// knob positions do not depend on the C library.
double sweep(uint64_t t, uint64_t period, double lo, double hi) {
    const double x = double(t % period) / double(period);
    const double tri = x < 0.5 ? 2.0 * x : 2.0 - 2.0 * x;
    return lo + (hi - lo) * tri;
}

Scenario eightVoiceChord() {
    Scenario s;
    s.score.knob(0, ParameterTypeOscillatorWaveform, 0.4); // sawtooth
    s.score.knob(0, ParameterTypeVcaEgReleaseTime, 0.3);
    for (int i = 0; i < 8; ++i)
        s.score.note(0, 3 * secondFrames / 2, 48 + 3 * i, 100);
    s.frames = 2 * secondFrames;
    return s;
}

// One phrase per waveform: every knob moving, more notes than voices, octave transpose,
// portamento, legato, damper, pitch bend and the delay.
Scenario phrase(int waveform) {
    Scenario s;
    Score& c = s.score;
    c.knob(0, ParameterTypeOscillatorWaveform, waveform / 5.0);
    c.knob(0, ParameterTypeDelayMix, 0.3);
    for (uint64_t t = 0; t < 3 * secondFrames; t += 97) {
        c.knob(t, ParameterTypeLpfCutoffFrequency, sweep(t, 40000, 0.3, 0.9));
        c.knob(t, ParameterTypeLpfResonance, sweep(t, 23000, 0.0, 0.6));
        c.knob(t, ParameterTypeHpfCutoffFrequency, sweep(t, 31000, 0.0, 0.45));
        c.knob(t, ParameterTypeHpfResonance, sweep(t, 17000, 0.0, 0.5));
        c.knob(t, ParameterTypeOscillatorPulseWidth, sweep(t, 29000, 0.1, 0.9));
        c.knob(t, ParameterTypeMasterOutputLevel, sweep(t, 37000, 0.6, 0.9));
        c.knob(t, ParameterTypePitchBend, sweep(t, 13000, 0.3, 0.7));
        c.knob(t, ParameterTypeVcaEgSustainLevel, sweep(t, 19000, 0.5, 1.0));
        c.knob(t, ParameterTypeVcaEgAttackTime, sweep(t, 27000, 0.1, 0.3));
        c.knob(t, ParameterTypeVcaEgDecayTime, sweep(t, 33000, 0.2, 0.5));
        c.knob(t, ParameterTypeVcaEgReleaseTime, sweep(t, 21000, 0.2, 0.45));
        c.knob(t, ParameterTypeDelayFeedback, sweep(t, 43000, 0.2, 0.6));
    }
    for (uint64_t t = 0; t < 3 * secondFrames; t += secondFrames / 4) {
        const bool odd = (t / (secondFrames / 4)) % 2 == 1;
        c.knob(t, ParameterTypeDelayTimeL, odd ? 0.17 : 0.13);
        c.knob(t, ParameterTypeDelayTimeR, odd ? 0.19 : 0.21);
    }
    // Twelve overlapping notes: up to ten at once, so voices are stolen.
    for (int i = 0; i < 12; ++i)
        c.note(uint64_t(i) * 3000, uint64_t(i) * 3000 + 30000, 45 + 5 * (i % 7), 40 + 7 * i);
    c.knob(26000, ParameterTypeOctaveTranspose, 0.75);
    c.knob(44000, ParameterTypeOctaveTranspose, 0.5);
    // Legato with portamento: press A, B; release B (back to A); press C; release A, then C.
    const uint64_t legato = 57000;
    c.knob(legato - 500, ParameterTypePortamentoTime, 0.3);
    c.knob(legato, ParameterTypeLegato, 1.0);
    c.note(legato + 1000, legato + 20000, 57, 90);
    c.note(legato + 5000, legato + 9000, 62, 100);
    c.note(legato + 12000, legato + 26000, 65, 110);
    c.knob(legato + 28000, ParameterTypeLegato, 0.0);
    c.knob(legato + 28000, ParameterTypePortamentoTime, 0.0);
    // Damper: three notes released under the pedal ring on until it lifts.
    const uint64_t damper = 90000;
    c.knob(damper, ParameterTypeDamper, 1.0);
    c.note(damper + 500, damper + 4000, 60, 100);
    c.note(damper + 800, damper + 4500, 64, 100);
    c.note(damper + 1100, damper + 5000, 67, 100);
    c.knob(damper + 20000, ParameterTypeDamper, 0.0);
    s.frames = secondFrames * 33 / 10;
    return s;
}

Scenario sequencerLoop() {
    Scenario s;
    s.score.knob(0, ParameterTypeOscillatorWaveform, 0.6); // square
    s.score.knob(0, ParameterTypeLpfCutoffFrequency, 0.7);
    s.score.knob(0, ParameterTypeDelayMix, 0.25);
    const int notes[] = {60, 64, 67, 72, 71, 67};
    int id = 1;
    for (int i = 0; i < 6; ++i) {
        s.steps.push_back({id++, 300 * i, EventSubTypeNoteOn, double(notes[i]), 100.0 - 9 * i});
        s.steps.push_back({id++, 300 * i + 250, EventSubTypeNoteOff, double(notes[i]), 0.0});
    }
    s.steps.push_back({id++, 100, EventSubTypeNoteOn, 84.0, 127.0}); // deleted again at once
    s.tempo = 150.0;
    s.frames = 5 * secondFrames;
    return s;
}

struct Golden {
    const char* name;
    Scenario (*make)();
    uint64_t hash;
};

template <int W> Scenario phraseOf() {
    return phrase(W);
}

const Golden goldens[] = {
    {"EightVoiceChord", eightVoiceChord, 0x00b5f3a70cb4b721ull},
    {"PhraseSine", phraseOf<0>, 0x747d20ed39758902ull},
    {"PhraseTriangle", phraseOf<1>, 0x0ceeb1d27830657eull},
    {"PhraseSawtooth", phraseOf<2>, 0x2359eb2f14acbdd9ull},
    {"PhraseSquare", phraseOf<3>, 0xf2cc8c56c9ddabbdull},
    {"PhrasePulse", phraseOf<4>, 0x17015b774472a938ull},
    {"PhraseNoise", phraseOf<5>, 0x5d87e1d9545cc640ull},
    {"SequencerLoop", sequencerLoop, 0xcea0c30f59163185ull},
};

class GoldenRender : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenRender, EveryBlockSizeAndLayoutRendersTheRecordedBits) {
    const Golden& golden = GetParam();
    const Scenario scenario = golden.make();
    const struct {
        uint32_t blockSize;
        Layout layout;
    } renders[] = {{256, Layout::Interleaved},
                   {37, Layout::Interleaved},
                   {512, Layout::NonInterleaved},
                   {1, Layout::NonInterleaved}};
    for (const auto& r : renders) {
        const Result result = render(scenario, r.blockSize, r.layout);
        EXPECT_GT(result.peak, 0.01f) << "a silent render would guard nothing";
        char text[32];
        std::snprintf(text, sizeof text, "0x%016llx", (unsigned long long)result.hash);
        EXPECT_EQ(result.hash, golden.hash)
            << golden.name << " with " << r.blockSize << "-frame blocks, "
            << (r.layout == Layout::Interleaved ? "interleaved" : "non-interleaved") << ": hash "
            << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenRender, ::testing::ValuesIn(goldens),
                         [](const ::testing::TestParamInfo<Golden>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
