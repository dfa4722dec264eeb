// Rendering speed: ten seconds of eight sustained sawtooth voices through the exported render
// callback, with the knobs at rest and with every knob moving. Reports nanoseconds per frame and
// the real-time factor (seconds of audio per second of CPU).
#include "Corvena_Core.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double rate = 44100.0;
constexpr uint32_t blockFrames = 256;
constexpr size_t tenSeconds = size_t(10 * rate);

struct Engine {
    Engine() {
        std::string path = CORVENA_BENCH_RESOURCES;
        dsp = CreateDspObject();
        DspSetBundleDirectoryPath(dsp, path.data());
        DspInitialize(dsp);
    }
    ~Engine() { ReleaseDspObject(dsp); }
    void post(double stamp, EventSubType sub, ParameterType type, double v1, double v2 = 0) {
        AudioTimeStamp ts;
        std::memset(&ts, 0, sizeof ts);
        ts.mSampleTime = stamp;
        DspSetEventWithTimeStamp(dsp, ts, sub, type, v1, v2, 0);
    }
    void render(double sampleTime, float* block) {
        AudioTimeStamp ts;
        std::memset(&ts, 0, sizeof ts);
        ts.mSampleTime = sampleTime;
        ts.mHostTime = 1;
        AudioBufferList list{1, {{2, blockFrames * 8, block}}};
        uint32_t flags = 0;
        AudioUnitAudioOutputProc(dsp, &flags, &ts, 0, blockFrames, &list);
    }
    DspObject dsp;
};

void renderTenSeconds(benchmark::State& state, bool moveKnobs) {
    double renderSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        Engine engine;
        engine.post(0, EventSubTypeParameter, ParameterTypeOscillatorWaveform, 0.4); // sawtooth
        for (int i = 0; i < 8; ++i)
            engine.post(0, EventSubTypeNoteOn, ParameterTypeNone, 48 + 3 * i, 100);
        std::vector<float> block(blockFrames * 2);
        state.ResumeTiming();
        const auto began = std::chrono::steady_clock::now();
        for (size_t frame = 0; frame < tenSeconds; frame += blockFrames) {
            if (moveKnobs) {
                const double x = 0.5 + 0.5 * std::sin(double(frame) * 1e-4);
                for (ParameterType t :
                     {ParameterTypeLpfCutoffFrequency, ParameterTypeLpfResonance,
                      ParameterTypeVcaEgAttackTime, ParameterTypeVcaEgDecayTime,
                      ParameterTypeVcaEgSustainLevel, ParameterTypeVcaEgReleaseTime,
                      ParameterTypeMasterOutputLevel})
                    engine.post(double(frame), EventSubTypeParameter, t, x);
            }
            engine.render(double(frame), block.data());
        }
        benchmark::DoNotOptimize(block.data());
        renderSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
    // Plain numbers rather than rate counters, so the report reads "ns per frame" as such.
    const double frames = double(tenSeconds) * double(state.iterations());
    state.counters["ns_per_frame"] = renderSeconds * 1e9 / frames;
    state.counters["realtime_factor"] = (frames / rate) / renderSeconds;
}

void EightSawtoothVoicesAtRest(benchmark::State& state) {
    renderTenSeconds(state, false);
}
void EightSawtoothVoicesEveryKnobMoving(benchmark::State& state) {
    renderTenSeconds(state, true);
}

} // namespace

BENCHMARK(EightSawtoothVoicesAtRest)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EightSawtoothVoicesEveryKnobMoving)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
