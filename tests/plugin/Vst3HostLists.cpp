#include "Vst3HostLists.h"

#include <cstring>

namespace {

template <const v3_tuid* Iid> v3_result V3_API query(void* self, const v3_tuid iid, void** object) {
    const bool known = std::memcmp(iid, v3_funknown_iid, sizeof(v3_tuid)) == 0 ||
                       std::memcmp(iid, *Iid, sizeof(v3_tuid)) == 0;
    *object = known ? self : nullptr;
    return known ? V3_OK : V3_NO_INTERFACE;
}

uint32_t V3_API owned(void*) {
    return 1;
}

} // namespace

const v3_event_list_cpp Vst3HostEvents::eventsTable = [] {
    v3_event_list_cpp table{};
    table.query_interface = query<&v3_event_list_iid>;
    table.ref = owned;
    table.unref = owned;
    table.list.get_event_count = [](void* self) -> uint32_t {
        return uint32_t(static_cast<Vst3HostEvents*>(self)->events.size());
    };
    table.list.get_event = [](void* self, int32_t index, v3_event* event) -> v3_result {
        const auto& events = static_cast<Vst3HostEvents*>(self)->events;
        if (index < 0 || size_t(index) >= events.size())
            return V3_INVALID_ARG;
        *event = events[size_t(index)];
        return V3_OK;
    };
    table.list.add_event = [](void*, v3_event*) -> v3_result { return V3_NOT_IMPLEMENTED; };
    return table;
}();

const v3_param_changes_cpp Vst3HostParameters::changesTable = [] {
    v3_param_changes_cpp table{};
    table.query_interface = query<&v3_param_changes_iid>;
    table.ref = owned;
    table.unref = owned;
    table.changes.get_param_count = [](void* self) -> int32_t {
        return int32_t(static_cast<Vst3HostParameters*>(self)->queues.size());
    };
    table.changes.get_param_data = [](void* self, int32_t index) -> v3_param_value_queue** {
        auto& queues = static_cast<Vst3HostParameters*>(self)->queues;
        if (index < 0 || size_t(index) >= queues.size())
            return nullptr;
        return reinterpret_cast<v3_param_value_queue**>(&queues[size_t(index)]);
    };
    table.changes.add_param_data = [](void*, v3_param_id*, int32_t*) -> v3_param_value_queue** {
        return nullptr;
    };
    return table;
}();

const v3_param_value_queue_cpp Vst3HostParameters::queueTable = [] {
    v3_param_value_queue_cpp table{};
    table.query_interface = query<&v3_param_value_queue_iid>;
    table.ref = owned;
    table.unref = owned;
    table.queue.get_param_id = [](void* self) -> v3_param_id {
        return static_cast<Queue*>(self)->id;
    };
    table.queue.get_point_count = [](void* self) -> int32_t {
        return int32_t(static_cast<Queue*>(self)->points.size());
    };
    table.queue.get_point = [](void* self, int32_t index, int32_t* frame,
                               double* value) -> v3_result {
        const auto& points = static_cast<Queue*>(self)->points;
        if (index < 0 || size_t(index) >= points.size())
            return V3_INVALID_ARG;
        *frame = points[size_t(index)].first;
        *value = points[size_t(index)].second;
        return V3_OK;
    };
    table.queue.add_point = [](void*, int32_t, double, int32_t*) -> v3_result {
        return V3_NOT_IMPLEMENTED;
    };
    return table;
}();

void Vst3HostParameters::add(v3_param_id id, int32_t frame, double value) {
    for (Queue& queue : queues) {
        if (queue.id == id) {
            queue.points.emplace_back(frame, value);
            return;
        }
    }
    queues.push_back({&queueTable, id, {{frame, value}}});
}
