// The plugin as hosts run it, loaded from the build tree: CPU per instance with eight voices
// sounding, at 44.1 kHz (the engine's own rate) and at 48 kHz (through the rate converter), as
// LV2, CLAP and VST3 (each playing sawtooths), the latter two through the test hosts of
// tests/plugin; and the memory one and ten LV2
// instances take (the three formats share the synthesizer). Reports CPU as the share of one
// core that real time needs (percent) and memory as resident megabytes per instance.
#include "ClapTestHost.h"
#include "PluginIdentity.h"
#include "PortMap.h"
#include "Vst3TestHost.h"

#include <benchmark/benchmark.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t blockFrames = 256;

// URIDs for the three URIs the plugin maps, and any other.
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    if (std::strcmp(uri, LV2_MIDI__MidiEvent) == 0)
        return 1;
    if (std::strcmp(uri, LV2_ATOM__Sequence) == 0)
        return 2;
    if (std::strcmp(uri, LV2_ATOM__frameTime) == 0)
        return 3;
    return 4;
}

LV2_URID_Map uridMap{nullptr, mapUri};
LV2_Feature mapFeature{LV2_URID__map, &uridMap};
const LV2_Feature* features[] = {&mapFeature, nullptr};

const LV2_Descriptor* descriptor() {
    static const LV2_Descriptor* loaded = [] {
        const std::string library =
            std::string(CORVENA_BENCH_LV2_BUNDLE) + "/" + plugin_identity::binaryFile;
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return static_cast<const LV2_Descriptor*>(nullptr);
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor"));
        return entry != nullptr ? entry(0) : nullptr;
    }();
    return loaded;
}

uint32_t waveformPort() {
    for (uint32_t port = PortMap::firstControl; port < PortMap::portCount(); ++port) {
        if (PortMap::parameterOf(port) == ParameterTypeOscillatorWaveform)
            return port;
    }
    return PortMap::portCount(); // none: the plugin ignores an index past its ports
}

// One instance with its port memory: MIDI in, both outputs, latency and the waveform control.
struct Instance {
    explicit Instance(double rate) {
        const LV2_Descriptor* d = descriptor();
        handle =
            d != nullptr ? d->instantiate(d, rate, CORVENA_BENCH_LV2_BUNDLE, features) : nullptr;
        if (handle == nullptr)
            return;
        sequence.assign(1024, 0);
        left.assign(blockFrames, 0.0f);
        right.assign(blockFrames, 0.0f);
        d->connect_port(handle, PortMap::midiInput, sequence.data());
        d->connect_port(handle, PortMap::leftOutput, left.data());
        d->connect_port(handle, PortMap::rightOutput, right.data());
        d->connect_port(handle, PortMap::latencyOutput, &latency);
        d->connect_port(handle, waveformPort(), &waveform);
        d->activate(handle);
    }
    ~Instance() {
        if (handle != nullptr) {
            descriptor()->deactivate(handle);
            descriptor()->cleanup(handle);
        }
    }

    // The next block's MIDI: eight notes on at its start, or nothing.
    void writeSequence(bool notes) {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence.data());
        seq->atom.type = 2;
        seq->body.unit = 0;
        seq->body.pad = 0;
        auto* cursor = reinterpret_cast<uint8_t*>(seq + 1);
        for (int i = 0; notes && i < 8; ++i) {
            auto* event = reinterpret_cast<LV2_Atom_Event*>(cursor);
            event->time.frames = 0;
            event->body.size = 3;
            event->body.type = 1;
            const uint8_t message[3] = {0x90, uint8_t(48 + 3 * i), 100};
            std::memcpy(event + 1, message, 3);
            cursor += sizeof(LV2_Atom_Event) + 8;
        }
        seq->atom.size = uint32_t(cursor - reinterpret_cast<uint8_t*>(&seq->body));
    }

    void run() { descriptor()->run(handle, blockFrames); }

    LV2_Handle handle = nullptr;
    std::vector<uint64_t> sequence;
    std::vector<float> left, right;
    float latency = 0.0f;
    float waveform = 2.0f; // sawtooth
};

void EightVoicesPerInstance(benchmark::State& state) {
    const auto rate = double(state.range(0));
    const auto frames = size_t(10 * rate);
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        Instance instance(rate);
        if (instance.handle == nullptr) {
            state.SkipWithError("the plugin did not instantiate");
            return;
        }
        instance.writeSequence(true);
        state.ResumeTiming();
        const auto began = std::chrono::steady_clock::now();
        for (size_t frame = 0; frame < frames; frame += blockFrames) {
            instance.run();
            if (frame == 0)
                instance.writeSequence(false);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        benchmark::DoNotOptimize(instance.left.data());
    }
    const double audioSeconds = double(frames) / rate * double(state.iterations());
    state.counters["cpu_percent_of_one_core"] = 100.0 * seconds / audioSeconds;
    state.counters["ns_per_frame"] = seconds * 1e9 / (audioSeconds * rate);
}

// What the rate converter costs: an instance at 44.1 kHz and one at 48 kHz, each playing the
// same eight voices for the same audio time, run in turns within one measurement so that both
// see the same machine (another process, a clock change) and their ratio means something. Timed
// in the thread's CPU time: on a shared machine, wall time counts the other processes too.
double threadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

void ConversionCostAt48kHz(benchmark::State& state) {
    constexpr double seconds = 2.0;
    double nanoseconds[2] = {0.0, 0.0};
    double audioFrames[2] = {0.0, 0.0};
    const double rates[2] = {44100.0, 48000.0};
    for (auto _ : state) {
        for (int which = 0; which < 2; ++which) {
            state.PauseTiming();
            Instance instance(rates[which]);
            if (instance.handle == nullptr) {
                state.SkipWithError("the plugin did not instantiate");
                return;
            }
            instance.writeSequence(true);
            const auto frames = size_t(seconds * rates[which]);
            state.ResumeTiming();
            const double began = threadCpuNanoseconds();
            for (size_t frame = 0; frame < frames; frame += blockFrames) {
                instance.run();
                if (frame == 0)
                    instance.writeSequence(false);
            }
            nanoseconds[which] += threadCpuNanoseconds() - began;
            audioFrames[which] += double(frames);
            benchmark::DoNotOptimize(instance.left.data());
        }
    }
    const double at44 = nanoseconds[0] / audioFrames[0];
    const double at48 = nanoseconds[1] / audioFrames[1];
    state.counters["ns_per_frame_44100"] = at44;
    state.counters["ns_per_frame_48000"] = at48;
    state.counters["cost_ratio_48000_to_44100"] = at48 / at44;
}

double residentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void ResidentMemoryOfInstances(benchmark::State& state) {
    const auto count = size_t(state.range(0));
    double perInstance = 0.0, total = 0.0;
    for (auto _ : state) {
        descriptor();
        const double before = residentMegabytes();
        std::vector<std::unique_ptr<Instance>> instances;
        for (size_t i = 0; i < count; ++i) {
            instances.push_back(std::make_unique<Instance>(48000.0));
            instances.back()->writeSequence(true);
            for (int block = 0; block < 20; ++block)
                instances.back()->run(); // touch what a playing instance touches
        }
        total = residentMegabytes() - before;
        perInstance = total / double(count);
    }
    state.counters["resident_mb_total"] = total;
    state.counters["resident_mb_per_instance"] = perInstance;
}

} // namespace

// The CPU share of `seconds` spent rendering `frames` frames at `rate`, over all iterations.
void reportCpu(benchmark::State& state, double seconds, size_t frames, double rate) {
    const double audioSeconds = double(frames) / rate * double(state.iterations());
    state.counters["cpu_percent_of_one_core"] = 100.0 * seconds / audioSeconds;
    state.counters["ns_per_frame"] = seconds * 1e9 / (audioSeconds * rate);
}

void EightVoicesPerClapInstance(benchmark::State& state) {
    const auto rate = double(state.range(0));
    const auto frames = size_t(10 * rate);
    char error[256] = "";
    ClapTestModule* module = clap_test_module_open(CORVENA_BENCH_CLAP_FILE, error, sizeof error);
    if (module == nullptr) {
        state.SkipWithError(error);
        return;
    }
    std::vector<float> left(blockFrames), right(blockFrames);
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        ClapTestInstance* instance = clap_test_instance_create(module);
        clap_test_instance_activate(instance, rate, blockFrames);
        clap_test_instance_queue_param(instance, 0, 0, 2.0); // parameter 0, the waveform: sawtooth
        for (int i = 0; i < 8; ++i)
            clap_test_instance_queue_midi(instance, 0, 0x90, uint8_t(48 + 3 * i), 100);
        state.ResumeTiming();
        const auto began = std::chrono::steady_clock::now();
        for (size_t frame = 0; frame < frames; frame += blockFrames)
            clap_test_instance_process(instance, blockFrames, left.data(), right.data());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        benchmark::DoNotOptimize(left.data());
        state.PauseTiming();
        clap_test_instance_destroy(instance);
        state.ResumeTiming();
    }
    clap_test_module_close(module);
    reportCpu(state, seconds, frames, rate);
}

// The VST3 id and normalised value of the sawtooth waveform: the controller lists the plugin's
// controls (after its own hidden parameters) in the order of its ports.
std::pair<v3_param_id, double> vst3Sawtooth(v3_component** component) {
    v3_edit_controller** controller = nullptr;
    v3_cpp_obj_query_interface(component, v3_edit_controller_iid, &controller);
    std::pair<v3_param_id, double> found{0, 0.0};
    const uint32_t waveformControl = waveformPort() - PortMap::firstControl;
    for (int32_t i = 0, control = 0;
         controller != nullptr && i < v3_cpp_obj(controller)->get_parameter_count(controller);
         ++i) {
        v3_param_info info{};
        v3_cpp_obj(controller)->get_parameter_info(controller, i, &info);
        if (info.flags & (V3_PARAM_IS_HIDDEN | V3_PARAM_READ_ONLY | V3_PARAM_PROGRAM_CHANGE))
            continue;
        if (uint32_t(control++) == waveformControl)
            found = {info.param_id,
                     v3_cpp_obj(controller)
                         ->plain_parameter_to_normalised(controller, info.param_id, 2.0)};
    }
    if (controller != nullptr)
        v3_cpp_obj_unref(controller);
    return found;
}

void EightVoicesPerVst3Instance(benchmark::State& state) {
    const auto rate = double(state.range(0));
    const auto frames = size_t(10 * rate);
    Vst3TestHost host(CORVENA_BENCH_VST3_BUNDLE);
    if (host.factory() == nullptr) {
        state.SkipWithError(host.error().c_str());
        return;
    }
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto instance = std::make_unique<Vst3TestHost::Instance>(host);
        instance->start(rate, int32_t(blockFrames));
        instance->left.reserve(frames + blockFrames);
        instance->right.reserve(frames + blockFrames);
        const auto [waveform, sawtooth] = vst3Sawtooth(instance->component());
        instance->queueParameter(waveform, 0, sawtooth);
        for (int i = 0; i < 8; ++i)
            instance->queueNoteOn(0, int16_t(48 + 3 * i), 100.0f / 127.0f);
        state.ResumeTiming();
        const auto began = std::chrono::steady_clock::now();
        for (size_t frame = 0; frame < frames; frame += blockFrames)
            instance->process(int32_t(blockFrames));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        state.PauseTiming();
        instance.reset();
        state.ResumeTiming();
    }
    reportCpu(state, seconds, frames, rate);
}

BENCHMARK(EightVoicesPerInstance)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);
BENCHMARK(EightVoicesPerClapInstance)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);
BENCHMARK(EightVoicesPerVst3Instance)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);
BENCHMARK(ConversionCostAt48kHz)->Unit(benchmark::kMillisecond);
BENCHMARK(ResidentMemoryOfInstances)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
