// Rendering speed: ten seconds of sustained voices through the exported render callback, in
// 256-frame blocks. Eight sawtooth voices with the knobs at rest and with every knob moving
// every block; one voice; eight noise voices; and a voice-count series (0, 1, 2, 4, 8) whose
// slope is the marginal cost of one voice. Reports nanoseconds per frame and the real-time
// factor (seconds of audio per second of the rendering thread's CPU time).
//
// Only the C interface is used, so the same binary measures another build of the engine
// library through LD_LIBRARY_PATH (see compare.py beside this file).
#include "Corvena_Core.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <time.h>

namespace {

constexpr double rate = 44100.0;
constexpr uint32_t blockFrames = 256;
constexpr size_t tenSeconds = size_t(10 * rate);
constexpr double sawtooth = 0.4; // normalized "Oscillator Waveform" positions
constexpr double noise = 1.0;

// The rendering thread's own CPU time: other work on a shared machine does not count.
double threadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

std::string resourceDirectory() {
    const char* override = std::getenv("CORVENA_BENCH_RESOURCES");
    return override != nullptr ? override : CORVENA_BENCH_RESOURCES;
}

struct Engine {
    Engine() {
        std::string path = resourceDirectory();
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

void renderTenSeconds(benchmark::State& state, int voices, double waveform, bool moveKnobs) {
    double renderSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        Engine engine;
        engine.post(0, EventSubTypeParameter, ParameterTypeOscillatorWaveform, waveform);
        for (int i = 0; i < voices; ++i)
            engine.post(0, EventSubTypeNoteOn, ParameterTypeNone, 48 + 3 * i, 100);
        std::vector<float> block(blockFrames * 2);
        state.ResumeTiming();
        const double began = threadSeconds();
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
        renderSeconds += threadSeconds() - began;
    }
    // Plain numbers rather than rate counters, so the report reads "ns per frame" as such.
    const double frames = double(tenSeconds) * double(state.iterations());
    state.counters["ns_per_frame"] = renderSeconds * 1e9 / frames;
    state.counters["realtime_factor"] = (frames / rate) / renderSeconds;
}

void EightSawtoothVoicesAtRest(benchmark::State& state) {
    renderTenSeconds(state, 8, sawtooth, false);
}
void EightSawtoothVoicesEveryKnobMoving(benchmark::State& state) {
    renderTenSeconds(state, 8, sawtooth, true);
}
void OneSawtoothVoice(benchmark::State& state) {
    renderTenSeconds(state, 1, sawtooth, false);
}
void EightNoiseVoices(benchmark::State& state) {
    renderTenSeconds(state, 8, noise, false);
}
// The slope of this series over the voice count is what one more voice costs.
void SawtoothVoices(benchmark::State& state) {
    renderTenSeconds(state, int(state.range(0)), sawtooth, false);
}

} // namespace

BENCHMARK(EightSawtoothVoicesAtRest)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EightSawtoothVoicesEveryKnobMoving)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OneSawtoothVoice)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EightNoiseVoices)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(SawtoothVoices)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_MAIN();
