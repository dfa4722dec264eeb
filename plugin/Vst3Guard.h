// Faults of DPF 1.6's VST3 wrapper, mended in front of it.
//
// Blocks longer than announced: DPF's processor sizes its scratch buffer by the max_block_size a
// host sets it up with, then clears that buffer for the whole of every block, so a host that
// sends a longer block (some do when they render offline or change the buffer size on the fly)
// makes it write past the end. The guard sets DPF's processor up for a fixed length
// (chunkFrames) whatever the host announces, and cuts any longer block into pieces of that
// length. Each piece sees the events that fall in it, moved to its start; the parameter changes
// go with the first piece, which DPF applies at its start and end as it would for the whole block.
//
// Values DPF turns into integers unchecked: the host's events and parameter changes reach DPF
// through Vst3HostInput, which leaves out or clamps what would be undefined there.
//
// The first parameter through the controller: DPF's test for its MIDI-controller ids ends one id
// too late, on the plugin's first parameter (the waveform), so the controller answers 0 for it
// whatever its value and refuses to take it. The guard answers that id as DPF answers the others.
//
// DPF's factory, components, processors and controllers are their own interface tables, so the
// guard replaces entries in them as they are made: the factory's create_instance, each
// component's query_interface, each processor's setup_processing and process, each controller's
// get_parameter_normalised and set_parameter_normalised. Every other call reaches DPF untouched.
#pragma once

#include "travesty/audio_processor.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/events.h"
#include "travesty/factory.h"

#include <cstdint>

class Vst3Guard {
public:
    static constexpr int32_t chunkFrames = 8192;

    // Takes DPF's factory (as its GetPluginFactory returns it) and returns it, guarded.
    static const void* guardFactory(const void* factory);

private:
    static v3_result V3_API createInstance(void* self, const v3_tuid classId, const v3_tuid iid,
                                           void** instance);
    static v3_result V3_API queryComponent(void* self, const v3_tuid iid, void** iface);
    static v3_result V3_API setupProcessing(void* self, v3_process_setup* setup);
    static v3_result V3_API process(void* self, v3_process_data* data);
    static double V3_API parameterNormalised(void* self, v3_param_id id);
    static v3_result V3_API setParameterNormalised(void* self, v3_param_id id, double value);
    static void guardProcessor(void* processor);
    static void guardController(void* controller);
};
