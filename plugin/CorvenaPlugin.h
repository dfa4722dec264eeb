// The synthesizer inside every plugin format: an engine of its own, driven only through the C
// interface in the engine's calling order (create, resource directory, callback, initialise),
// rendered on its own sample clock at the host's rate through an EngineResampler, and played
// from MIDI through a MidiEventMapper. The format wrappers (DPF's LV2, VST3 and CLAP, through
// CorvenaDpfPlugin) only hand it controls, MIDI and output buffers.
//
// Everything that can fail happens in create(), which says why and returns null: a bundle path
// too long for the engine, a missing or damaged wavetable file, a sample rate the resampler
// cannot serve. The block calls then never lock, wait, do I/O or allocate: the engine takes its
// voices from the pool it reserved at initialise. Inputs a host gets wrong are clamped or
// skipped: control values out of range are clamped by the table's conversion and NaN ones are
// ignored, MIDI past the block or out of order is skipped or held, null outputs are rendered
// and dropped, blocks of any length are rendered, and the output never carries a NaN or an
// infinity.
#pragma once

#include "Corvena_Core.h"
#include "EngineResampler.h"
#include "MidiEventMapper.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CorvenaPlugin {
public:
    // The engine's resource directory for a plugin found at `bundlePath` (an LV2 or VST3 bundle
    // directory, or a CLAP file), checked: empty with the reason in `problem` when the tables
    // are missing or damaged or the path is too long for the engine.
    static std::string resourceDirectory(const char* bundlePath, std::string* problem);
    // Null with the reason in `problem` when it cannot run at that rate from that bundle.
    static std::unique_ptr<CorvenaPlugin> create(double sampleRate, const char* bundlePath,
                                                 std::string* problem);
    ~CorvenaPlugin();
    CorvenaPlugin(const CorvenaPlugin&) = delete;
    CorvenaPlugin& operator=(const CorvenaPlugin&) = delete;

    uint32_t latencyFrames() const { return resampler.getLatencyFrames(); }

    // A control's value in its own unit, from any thread; posted at the start of the next block.
    // NaN is ignored, so the last good value stays.
    void setControl(ParameterType type, float value);
    // Whatever is held when the host stops is let go at the start of the next block.
    void releaseOnNextBlock() { releasePending.store(true, std::memory_order_release); }

    // One block, on the audio thread: begin, then its MIDI in any order the host gives (held to
    // the previous message's frame when earlier, skipped from the block's end on), then render.
    void beginBlock(uint32_t frames);
    void playMidi(const uint8_t* bytes, size_t size, uint32_t frame);
    void render(float* left, float* right);

private:
    CorvenaPlugin(DspObject engine, double sampleRate);
    static void removeNonFinite(float* samples, uint32_t frames);

    DspObject engine;
    EngineResampler resampler;
    MidiEventMapper mapper;
    // The latest value of each control, and the one last posted to the engine (NaN until the
    // first post, so the first block sends every control: a rebuilt instance keeps its sound).
    std::atomic<float> controls[ParameterTypeCount];
    float postedControls[ParameterTypeCount];
    std::atomic<bool> releasePending{false};
    uint32_t blockFrames = 0;
    uint32_t lastFrame = 0;
};
