// The host's events and parameter changes for one piece of a block, as DPF's VST3 processor can
// take them: events of the piece only, moved to its start, and nothing DPF would turn into an
// integer without a check. DPF converts velocities, pressures and normalised values to integers
// straight away, so a NaN or an infinity there is undefined behaviour; a pitch outside MIDI's
// range would become another note.
//
// - A note on, or a key pressure, with a pitch outside 0..127 or a value that is no number is
//   left out; a note off keeps its note (so nothing hangs) with velocity 0 instead.
// - Velocities, pressures and parameter values beyond their range are clamped to it; a parameter
//   point that is no number is left out.
// - Events outside the block go to its first or last piece and stay outside it there, where the
//   plugin passes them over as it would in one block.
// - Events come in the order of their frames (those of one frame in the host's order): DPF
//   sorts what it is given, but puts an event that belongs between two others right after the
//   first, and the plugin then plays it late.
//
// The views read the host's lists as DPF reads them: events in order (the count, then 0, 1,
// ...), parameter queues one at a time, each read before the next is asked for.
#pragma once

#include "travesty/audio_processor.h"
#include "travesty/events.h"

#include <cstdint>

class Vst3HostInput {
public:
    // The events in frames [start, start + length) of `data`'s block; its parameter changes only
    // when `withParameters`.
    Vst3HostInput(const v3_process_data& data, int32_t start, int32_t length, bool withParameters);
    Vst3HostInput(const Vst3HostInput&) = delete;
    Vst3HostInput& operator=(const Vst3HostInput&) = delete;

    // Null where the host gave none.
    v3_event_list** events();
    v3_param_changes** parameters();

private:
    // What of `event` DPF may take: false when it is to be left out, else clamped in place.
    static bool mend(v3_event& event);

    struct Events {
        const v3_event_list_cpp* table;
        v3_event_list** inner;
        int32_t frames, start, length;
        bool inOrder;
        // The last event handed out: its place in the order and in the host's list.
        int32_t handedOut, lastFrame, lastInner;
    };
    struct Queue {
        const v3_param_value_queue_cpp* table;
        v3_param_value_queue** inner;
    };
    struct Parameters {
        const v3_param_changes_cpp* table;
        v3_param_changes** inner;
        Queue queue;
    };
    static const v3_event_list_cpp eventsTable;
    static const v3_param_changes_cpp parametersTable;
    static const v3_param_value_queue_cpp queueTable;

    static bool holds(const Events& view, int32_t innerIndex, v3_event* event);
    static bool next(Events& view, v3_event* out);
    static uint32_t V3_API eventCount(void* self);
    static v3_result V3_API event(void* self, int32_t index, v3_event* out);
    static int32_t V3_API queueCount(void* self);
    static v3_param_value_queue** V3_API queueAt(void* self, int32_t index);
    static v3_param_id V3_API queueId(void* self);
    static int32_t V3_API pointCount(void* self);
    static v3_result V3_API point(void* self, int32_t index, int32_t* offset, double* value);

    Events eventView;
    Parameters parameterView;
};
