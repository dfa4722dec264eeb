// What a VST3 host hands a processor's process() for one block, as the COM objects it passes: the
// list of events and the parameter changes (one queue of points per parameter). Owned by the
// host: references count nothing. Shared by our VST3 test host, the tests of the plugin's view of
// this input and its fuzzer.
#pragma once

#include "travesty/audio_processor.h"
#include "travesty/events.h"

#include <cstdint>
#include <utility>
#include <vector>

struct Vst3HostEvents {
    const v3_event_list_cpp* table = &eventsTable;
    std::vector<v3_event> events;

    v3_event_list** list() { return reinterpret_cast<v3_event_list**>(this); }
    static const v3_event_list_cpp eventsTable;
};

struct Vst3HostParameters {
    struct Queue {
        const v3_param_value_queue_cpp* table;
        v3_param_id id;
        std::vector<std::pair<int32_t, double>> points;
    };
    const v3_param_changes_cpp* table = &changesTable;
    std::vector<Queue> queues;

    // A point for parameter `id`, in its queue (made on its first point).
    void add(v3_param_id id, int32_t frame, double value);
    // Null when no parameter changes, as hosts pass it.
    v3_param_changes** changes() {
        return queues.empty() ? nullptr : reinterpret_cast<v3_param_changes**>(this);
    }
    static const v3_param_changes_cpp changesTable;
    static const v3_param_value_queue_cpp queueTable;
};
