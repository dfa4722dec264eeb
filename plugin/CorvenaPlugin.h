// One instance of the LV2 plugin: an engine of its own, driven only through the C interface in
// the engine's calling order (create, resource directory, callback, initialise), rendered on
// its own sample clock through an EngineResampler, and played from the MIDI port through a
// MidiEventMapper.
//
// Everything that can fail happens in create(), which says why on one line of stderr and
// returns null: no urid:map, a bundle path too long for the engine, a missing or damaged
// wavetable file, a sample rate the resampler cannot serve. run() then never locks, waits,
// does I/O or allocates: the engine takes its voices from the pool it reserved at initialise.
// Inputs a host gets wrong are clamped or skipped there: control values out of range are
// clamped by the table's conversion and NaN ones are ignored, MIDI events past the block or
// malformed are skipped, unconnected ports are left alone, blocks of any length are rendered,
// and the output never carries a NaN or an infinity.
//
// Hosts save the control ports; the plugin only reads its inputs. The description offers no
// UI: hosts draw controls from the ports, and a UI of our own would talk through the same
// ports, so the instance keeps nothing a UI would need to reach into.
#pragma once

#include "EngineResampler.h"
#include "MidiEventMapper.h"
#include "PortMap.h"

#include "lv2/atom/atom.h"
#include "lv2/core/lv2.h"
#include "lv2/urid/urid.h"

#include <cstdint>
#include <memory>

class CorvenaPlugin {
public:
    static CorvenaPlugin* create(double sampleRate, const char* bundlePath,
                                 const LV2_Feature* const* features);
    ~CorvenaPlugin();
    CorvenaPlugin(const CorvenaPlugin&) = delete;
    CorvenaPlugin& operator=(const CorvenaPlugin&) = delete;

    void connectPort(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames);
    void deactivate();

private:
    static constexpr uint32_t controlCapacity = ParameterTypeCount;

    CorvenaPlugin(DspObject engine, double sampleRate, LV2_URID_Map* map);
    void postControls();
    void playMidi(uint32_t frames);
    static void removeNonFinite(float* samples, uint32_t frames);

    DspObject engine;
    EngineResampler resampler;
    MidiEventMapper mapper;
    LV2_URID midiEvent;
    LV2_URID sequence;
    LV2_URID beatTime;

    const LV2_Atom_Sequence* midiInput = nullptr;
    float* leftOutput = nullptr;
    float* rightOutput = nullptr;
    float* latencyOutput = nullptr;
    const float* controls[controlCapacity] = {};
    // The value last posted for each control; NaN until the first post, so the first block
    // sends every control the host set (or restored) to the engine.
    float postedControls[controlCapacity];
    bool releasePending = false;
};
