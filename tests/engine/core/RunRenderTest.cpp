// The render loop works in runs of frames between events; renderSample is the plain
// frame-by-frame reference. Both must give the same bits, also where a setter never settles
// (values beyond a smoother's or a glide's clamp, NaN), under sequencer transport and tempo
// changes, glides, legato, the damper and stolen voices.
#include "DspEventBuilder.h"
#include "StampedEvent.h"
#include "Zelvar_Dsp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

class RunRender : public ::testing::Test {
protected:
    void SetUp() override {
        for (Zelvar_Dsp* dsp : {&frames, &runs}) {
            dsp->setBundleDirectoryPath(CORVENA_TEST_RESOURCES);
            dsp->initialize();
        }
    }
    // Straight into the rings, so engine values arrive as they stand (no snapping, no scaling);
    // in stamp order, since an event waits for every event ahead of it.
    void post(const DspEvent& e) { script.push_back(e); }
    void raw(uint64_t stamp, ParameterType type, double value) {
        post(stampedEvent(stamp, EventTypeSynth, EventSubTypeParameter, type, value));
    }
    void note(uint64_t on, uint64_t off, int number) {
        post(stampedEvent(on, EventTypeSynth, EventSubTypeNoteOn, ParameterTypeNone, number, 100));
        post(stampedEvent(off, EventTypeSynth, EventSubTypeNoteOff, ParameterTypeNone, number));
    }
    // Renders `count` frames with both engines and compares every float.
    void renderAndCompare(uint64_t count, uint32_t blockSize) {
        std::stable_sort(script.begin(), script.end(), [](const DspEvent& a, const DspEvent& b) {
            return a.timeStamp.mSampleTime < b.timeStamp.mSampleTime;
        });
        for (const DspEvent& e : script) {
            frames.getSubEventBuffer()->set(e);
            runs.getSubEventBuffer()->set(e);
        }
        std::vector<float> reference(2 * count), block(2 * blockSize);
        for (uint64_t i = 0; i < count; ++i) {
            double l, r;
            frames.renderSample(i, &l, &r);
            reference[2 * i] = float(l);
            reference[2 * i + 1] = float(r);
        }
        for (uint64_t start = 0; start < count; start += blockSize) {
            const uint32_t n = uint32_t(std::min<uint64_t>(blockSize, count - start));
            AudioBufferList list{1, {{2, n * 8, block.data()}}};
            runs.render(start, &list);
            for (uint32_t i = 0; i < 2 * n; ++i)
                ASSERT_EQ(std::memcmp(&block[i], &reference[2 * start + i], sizeof(float)), 0)
                    << "frame " << start + i / 2 << (i % 2 == 0 ? " left" : " right") << ": "
                    << block[i] << " against " << reference[2 * start + i];
        }
    }
    std::vector<DspEvent> script;
    Zelvar_Dsp frames;
    Zelvar_Dsp runs;
};

} // namespace

// Each odd value gets a window of its own, between sane settings, so that no other unsettled
// setter hides it.
TEST_F(RunRender, SettersThatNeverSettleRenderFrameByFrame) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    raw(0, ParameterTypeOscillatorWaveform, 2.0);
    raw(0, ParameterTypeDelayMix, 0.5);
    for (int i = 0; i < 10; ++i) // ten notes: two voices are taken over
        note(100 + 37 * i, 45000 + 500 * i, 40 + 3 * i);
    raw(2000, ParameterTypeHpfCutoffFrequency, 400.0);
    raw(5000, ParameterTypeHpfCutoffFrequency, 5.0); // held at 20 Hz: glides again each call
    raw(8000, ParameterTypeHpfCutoffFrequency, 400.0);
    raw(10000, ParameterTypeLpfResonance, 30.0); // beyond the smoother's maximum
    raw(13000, ParameterTypeLpfResonance, 4.0);
    raw(15000, ParameterTypeMasterOutputLevel, 1.5); // likewise
    raw(18000, ParameterTypeMasterOutputLevel, 0.7);
    raw(20000, ParameterTypeVcaEgSustainLevel, 1.25); // likewise, shared by every voice
    raw(23000, ParameterTypeVcaEgSustainLevel, 0.4);
    raw(25000, ParameterTypeDelayTimeL, nan); // resets the line on every call
    raw(28000, ParameterTypeDelayTimeL, 0.05);
    raw(30000, ParameterTypeLpfCutoffFrequency, 300.0);
    raw(33000, ParameterTypeLpfCutoffFrequency, 30000.0);
    raw(36000, ParameterTypeLpfCutoffFrequency, 5000.0);
    raw(38000, ParameterTypePitchBend, nan);
    raw(40000, ParameterTypePitchBend, 0.25);
    raw(42000, ParameterTypeVcaEgAttackTime, nan);
    raw(43000, ParameterTypeVcaEgAttackTime, 0.01);
    renderAndCompare(60000, 173);
}

TEST_F(RunRender, GlidesLegatoDamperAndReleasesMatch) {
    raw(0, ParameterTypeOscillatorWaveform, 4.0);
    raw(0, ParameterTypeVcaEgReleaseTime, 0.05);
    raw(0, ParameterTypeVcaEgDecayTime, 0.2);
    raw(0, ParameterTypeVcaEgSustainLevel, 0.6);
    raw(0, ParameterTypePortamentoTime, 0.05);
    raw(0, ParameterTypeLegato, 1.0);
    note(0, 6000, 50);
    note(2000, 3000, 57); // back to 50 when released
    note(5000, 9000, 62);
    raw(10000, ParameterTypeLegato, 0.0);
    raw(10000, ParameterTypeDamper, 1.0);
    note(10500, 11000, 64);
    note(10600, 11100, 67);
    raw(16000, ParameterTypeDamper, 0.0);
    raw(16000, ParameterTypePortamentoTime, 0.0);
    for (int i = 0; i < 12; ++i) // short notes whose releases end inside runs
        note(20000 + 700 * i, 20300 + 700 * i, 60 + i);
    raw(24000, ParameterTypeOscillatorWaveform, 5.0); // noise
    renderAndCompare(40000, 256);
}

TEST_F(RunRender, SequencerStepsTempoAndTransportLandOnTheirFrames) {
    raw(0, ParameterTypeOscillatorWaveform, 1.0);
    for (int i = 0; i < 16; ++i) {
        post(stampedEvent(0, EventTypeSequencerSetEvent, EventSubTypeNoteOn, ParameterTypeNone,
                          60 + i % 5, 90, 2 * i + 1, 120 * i));
        post(stampedEvent(0, EventTypeSequencerSetEvent, EventSubTypeNoteOff, ParameterTypeNone,
                          60 + i % 5, 0, 2 * i + 2, 120 * i + 100));
    }
    post(stampedEvent(0, EventTypeSequencerSetEvent, EventSubTypeNone, ParameterTypeNone, 0, 0, 99,
                      500));
    post(stampedEvent(0, EventTypeSequencerTransport, EventSubTypeNone, ParameterTypeNone, 1.0));
    post(stampedEvent(20000, EventTypeSequencerTempo, EventSubTypeNone, ParameterTypeNone, 200.0));
    post(stampedEvent(30000, EventTypeSequencerDeleteEvent, EventSubTypeNone, ParameterTypeNone, 0,
                      0, 7));
    post(stampedEvent(45000, EventTypeSequencerTempo, EventSubTypeNone, ParameterTypeNone, 90.0));
    post(
        stampedEvent(70000, EventTypeSequencerTransport, EventSubTypeNone, ParameterTypeNone, 0.0));
    post(
        stampedEvent(80000, EventTypeSequencerTransport, EventSubTypeNone, ParameterTypeNone, 1.0));
    renderAndCompare(110000, 97);
}
