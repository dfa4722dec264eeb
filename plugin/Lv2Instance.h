// One LV2 instance: DPF's own LV2 instance of CorvenaDpfPlugin, with the host's MIDI passed
// through a MidiSequenceFilter on its way in. DPF's descriptor (renamed dpf_lv2_descriptor when
// its wrapper is compiled, so that the library exports ours alone) does the rest.
//
// create() refuses, with one line on stderr, what DPF would crash on or accept and then play
// silence with: no feature list, no urid:map, a rate or a bundle the synthesizer cannot run
// with. A host that offers no options feature (DPF requires one for the block length) gets a
// stand-in with a block-length hint: every block length plays.
#pragma once

#include "MidiSequenceFilter.h"

#include "lv2/core/lv2.h"
#include "lv2/options/options.h"

#include <cstdint>
#include <memory>
#include <vector>

extern "C" const LV2_Descriptor* dpf_lv2_descriptor(uint32_t index);

class Lv2Instance {
public:
    static Lv2Instance* create(double sampleRate, const char* bundlePath,
                               const LV2_Feature* const* features);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    void connectPort(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames);
    void deactivate();
    // DPF's options interface, called with its own instance; a new sample rate is refused.
    uint32_t getOptions(LV2_Options_Option* options);
    uint32_t setOptions(const LV2_Options_Option* options);
    // The plugin object DPF's window reaches through the host's instance access, or null.
    void* pluginInstancePointer();
    // What DPF's window asks the plugin's extension data for, under directAccessUri().
    struct DirectAccess {
        void* (*get_instance_pointer)(LV2_Handle handle);
    };
    static const char* directAccessUri();

private:
    Lv2Instance(const LV2_Descriptor* inner, LV2_Handle handle, MidiSequenceFilter filter,
                LV2_URID sampleRateKey);

    const LV2_Descriptor* inner;
    LV2_Handle handle;
    const LV2_Options_Interface* options = nullptr;
    MidiSequenceFilter filter;
    const LV2_Atom_Sequence* hostMidi = nullptr;
    LV2_URID sampleRateKey;
};
