// Random event scripts rendered with callback sizes of 1, 7, 64, 256 and 1024 frames must give
// the same bits: the render loop cuts runs wherever an event or a callback boundary falls, so
// every size cuts them differently, and any unit whose result depends on where a run starts or
// how long it is shows up here. The scripts move every knob (inside what would otherwise be one
// run), play more notes than there are voices, and toggle the damper and legato, bend, and the
// sequencer's transport.
#include "DspEventBuilder.h"
#include "ParameterTable.h"
#include "StampedEvent.h"
#include "Zelvar_Dsp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

class Script {
public:
    Script(unsigned seed, uint64_t frames) : random(seed), frames(frames) {
        knobs();
        notes();
        switches();
        sequencer();
        std::stable_sort(events.begin(), events.end(), [](const DspEvent& a, const DspEvent& b) {
            return a.timeStamp.mSampleTime < b.timeStamp.mSampleTime;
        });
    }
    const std::vector<DspEvent>& sorted() const { return events; }

private:
    uint64_t anyFrame() { return std::uniform_int_distribution<uint64_t>(0, frames - 1)(random); }
    double uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    }
    // Engine values anywhere in the table's range, ends included now and then.
    double valueOf(ParameterType type) {
        const ParameterDefinition& row = parameterTable[type];
        const double x = uniform(-0.1, 1.1);
        return row.minValue + (row.maxValue - row.minValue) * std::clamp(x, 0.0, 1.0);
    }
    void knob(uint64_t stamp, ParameterType type, double value) {
        events.push_back(stampedEvent(stamp, EventTypeSynth, EventSubTypeParameter, type, value));
    }
    void knobs() {
        // Times are kept short so that notes end, and glides land, inside the script.
        const ParameterType moving[] = {ParameterTypeOscillatorPulseWidth,
                                        ParameterTypeVcaEgAttackTime,
                                        ParameterTypeVcaEgDecayTime,
                                        ParameterTypeVcaEgSustainLevel,
                                        ParameterTypeVcaEgReleaseTime,
                                        ParameterTypeLpfCutoffFrequency,
                                        ParameterTypeLpfResonance,
                                        ParameterTypeHpfCutoffFrequency,
                                        ParameterTypeHpfResonance,
                                        ParameterTypePortamentoTime,
                                        ParameterTypeMasterOutputLevel,
                                        ParameterTypePitchBend,
                                        ParameterTypePitchBendRange,
                                        ParameterTypeDelayTimeL,
                                        ParameterTypeDelayTimeR,
                                        ParameterTypeDelayFeedback,
                                        ParameterTypeDelayMix,
                                        ParameterTypeOctaveTranspose};
        for (int i = 0; i < 3000; ++i) {
            const ParameterType type = moving[random() % std::size(moving)];
            double value = valueOf(type);
            if (type == ParameterTypeVcaEgAttackTime || type == ParameterTypeVcaEgDecayTime ||
                type == ParameterTypeVcaEgReleaseTime || type == ParameterTypePortamentoTime)
                value = std::min(value, uniform(0.0, 0.3));
            knob(anyFrame(), type, value);
        }
        for (int i = 0; i < 12; ++i)
            knob(anyFrame(), ParameterTypeOscillatorWaveform, double(random() % 6));
    }
    void notes() {
        for (int i = 0; i < 150; ++i) {
            const uint64_t on = anyFrame();
            const uint64_t off = on + random() % 3000;
            const int number = 36 + int(random() % 48);
            events.push_back(stampedEvent(on, EventTypeSynth, EventSubTypeNoteOn, ParameterTypeNone,
                                          number, 1 + random() % 127));
            events.push_back(
                stampedEvent(off, EventTypeSynth, EventSubTypeNoteOff, ParameterTypeNone, number));
        }
    }
    void switches() {
        for (int i = 0; i < 10; ++i) {
            knob(anyFrame(), ParameterTypeDamper, double(random() % 2));
            knob(anyFrame(), ParameterTypeLegato, double(random() % 2));
        }
    }
    void sequencer() {
        for (int i = 0; i < 8; ++i) {
            events.push_back(stampedEvent(0, EventTypeSequencerSetEvent, EventSubTypeNoteOn,
                                          ParameterTypeNone, 60 + i, 90, 2 * i + 1, 240 * i));
            events.push_back(stampedEvent(0, EventTypeSequencerSetEvent, EventSubTypeNoteOff,
                                          ParameterTypeNone, 60 + i, 0, 2 * i + 2, 240 * i + 200));
        }
        events.push_back(stampedEvent(anyFrame(), EventTypeSequencerTransport, EventSubTypeNone,
                                      ParameterTypeNone, 1.0));
        events.push_back(stampedEvent(anyFrame(), EventTypeSequencerTempo, EventSubTypeNone,
                                      ParameterTypeNone, uniform(60.0, 240.0)));
        events.push_back(stampedEvent(anyFrame(), EventTypeSequencerTransport, EventSubTypeNone,
                                      ParameterTypeNone, 0.0));
    }

    std::mt19937 random;
    uint64_t frames;
    std::vector<DspEvent> events;
};

std::vector<float> render(const Script& script, uint64_t frames, uint32_t blockSize) {
    auto dsp = std::make_unique<Zelvar_Dsp>();
    dsp->setBundleDirectoryPath(CORVENA_TEST_RESOURCES);
    dsp->initialize();
    for (const DspEvent& e : script.sorted())
        dsp->getSubEventBuffer()->set(e);
    std::vector<float> out(2 * frames);
    for (uint64_t start = 0; start < frames; start += blockSize) {
        const uint32_t n = uint32_t(std::min<uint64_t>(blockSize, frames - start));
        AudioBufferList list{1, {{2, n * 8, out.data() + 2 * start}}};
        dsp->render(start, &list);
    }
    return out;
}

} // namespace

TEST(BlockSizeRender, RandomScriptsGiveTheSameBitsAtEveryCallbackSize) {
    constexpr uint64_t frames = 60000;
    for (unsigned seed : {1u, 2u, 3u}) {
        const Script script(seed, frames);
        const std::vector<float> reference = render(script, frames, 1);
        float peak = 0.0f;
        for (float x : reference)
            peak = std::max(peak, std::fabs(x));
        EXPECT_GT(peak, 0.01f) << "seed " << seed << " is silent and would prove nothing";
        for (uint32_t blockSize : {7u, 64u, 256u, 1024u}) {
            const std::vector<float> out = render(script, frames, blockSize);
            for (size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(std::memcmp(&out[i], &reference[i], sizeof(float)), 0)
                    << "seed " << seed << ", " << blockSize << "-frame blocks, frame " << i / 2
                    << (i % 2 == 0 ? " left: " : " right: ") << out[i] << " against "
                    << reference[i];
        }
    }
}
