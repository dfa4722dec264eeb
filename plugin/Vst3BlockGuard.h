// DPF's VST3 processor sizes its scratch buffer by the max_block_size a host sets it up with,
// then clears that buffer for the whole of every block: a host that sends a longer block (some
// do when they render offline or change the buffer size on the fly) makes it write past the end.
// The guard sets DPF's processor up for a fixed length (chunkFrames) whatever the host announces,
// and cuts any longer block into pieces of that length. Each piece sees the events that fall in
// it, moved to its start; the parameter changes go with the first piece, which DPF applies at its
// start and end as it would for the whole block.
//
// DPF's factory, components and processors are their own interface tables, so the guard replaces
// entries in them as they are made: the factory's create_instance, each component's
// query_interface, each processor's setup_processing and process. Every other call reaches DPF
// untouched.
#pragma once

#include "travesty/audio_processor.h"
#include "travesty/component.h"
#include "travesty/events.h"
#include "travesty/factory.h"

#include <cstdint>

class Vst3BlockGuard {
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
    static void guardProcessor(void* processor);
};
