#include "Vst3HostInput.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool sameId(const v3_tuid a, const v3_tuid b) {
    return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}

template <const v3_tuid* Iid>
v3_result V3_API queryView(void* self, const v3_tuid asked, void** iface) {
    const bool match = sameId(asked, v3_funknown_iid) || sameId(asked, *Iid);
    *iface = match ? self : nullptr;
    return match ? V3_OK : V3_NO_INTERFACE;
}

// The views live on the stack of the call that hands them out: references count nothing.
uint32_t V3_API unowned(void*) {
    return 1;
}

template <typename Table, const v3_tuid* Iid> Table viewTable() {
    Table table{};
    table.query_interface = queryView<Iid>;
    table.ref = unowned;
    table.unref = unowned;
    return table;
}

bool isMidiNote(int16_t pitch) {
    return pitch >= 0 && pitch <= 127;
}

// A value of [0, 1], or false when it is no number.
bool clampUnit(float& value) {
    if (std::isnan(value))
        return false;
    value = std::clamp(value, 0.0f, 1.0f);
    return true;
}

// The piece of a block of `frames` that frame `frame` falls in.
int32_t pieceOf(int32_t frame, int32_t frames, int32_t length) {
    return std::clamp(frame, int32_t{0}, frames - 1) / length;
}

} // namespace

const v3_event_list_cpp Vst3HostInput::eventsTable = [] {
    auto table = viewTable<v3_event_list_cpp, &v3_event_list_iid>();
    table.list.get_event_count = eventCount;
    table.list.get_event = event;
    table.list.add_event = [](void*, v3_event*) -> v3_result { return V3_NOT_IMPLEMENTED; };
    return table;
}();

const v3_param_changes_cpp Vst3HostInput::parametersTable = [] {
    auto table = viewTable<v3_param_changes_cpp, &v3_param_changes_iid>();
    table.changes.get_param_count = queueCount;
    table.changes.get_param_data = queueAt;
    table.changes.add_param_data = [](void*, v3_param_id*, int32_t*) -> v3_param_value_queue** {
        return nullptr;
    };
    return table;
}();

const v3_param_value_queue_cpp Vst3HostInput::queueTable = [] {
    auto table = viewTable<v3_param_value_queue_cpp, &v3_param_value_queue_iid>();
    table.queue.get_param_id = queueId;
    table.queue.get_point_count = pointCount;
    table.queue.get_point = point;
    table.queue.add_point = [](void*, int32_t, double, int32_t*) -> v3_result {
        return V3_NOT_IMPLEMENTED;
    };
    return table;
}();

Vst3HostInput::Vst3HostInput(const v3_process_data& data, int32_t start, int32_t length,
                             bool withParameters)
    : eventView{&eventsTable,
                data.input_events,
                data.nframes,
                start,
                length,
                true,
                0,
                INT32_MIN,
                -1},
      parameterView{
          &parametersTable, withParameters ? data.input_params : nullptr, {&queueTable, nullptr}} {}

v3_event_list** Vst3HostInput::events() {
    void* view = &eventView;
    return eventView.inner != nullptr ? static_cast<v3_event_list**>(view) : nullptr;
}

v3_param_changes** Vst3HostInput::parameters() {
    void* view = &parameterView;
    return parameterView.inner != nullptr ? static_cast<v3_param_changes**>(view) : nullptr;
}

bool Vst3HostInput::mend(v3_event& event) {
    switch (event.type) {
    case V3_EVENT_NOTE_ON:
        return isMidiNote(event.note_on.pitch) && clampUnit(event.note_on.velocity);
    case V3_EVENT_NOTE_OFF:
        if (!clampUnit(event.note_off.velocity))
            event.note_off.velocity = 0.0f;
        return isMidiNote(event.note_off.pitch);
    case V3_EVENT_POLY_PRESSURE:
        return isMidiNote(event.poly_pressure.pitch) && clampUnit(event.poly_pressure.pressure);
    default:
        return true;
    }
}

bool Vst3HostInput::holds(const Events& view, int32_t innerIndex, v3_event* event) {
    return v3_cpp_obj(view.inner)->get_event(view.inner, innerIndex, event) == V3_OK &&
           pieceOf(event->sample_offset, view.frames, view.length) == view.start / view.length &&
           mend(*event);
}

uint32_t V3_API Vst3HostInput::eventCount(void* self) {
    Events& view = *static_cast<Events*>(self);
    uint32_t held = 0;
    int32_t lastFrame = INT32_MIN;
    view.inOrder = true;
    v3_event event;
    for (uint32_t i = 0, n = v3_cpp_obj(view.inner)->get_event_count(view.inner); i < n; ++i) {
        if (!holds(view, int32_t(i), &event))
            continue;
        ++held;
        view.inOrder = view.inOrder && event.sample_offset >= lastFrame;
        lastFrame = event.sample_offset;
    }
    return held;
}

// The event after the last one handed out: the next held one in the host's list when that is
// in order, else the held one with the least (frame, place in the list) above the last's.
bool Vst3HostInput::next(Events& view, v3_event* out) {
    const int32_t n = int32_t(v3_cpp_obj(view.inner)->get_event_count(view.inner));
    int32_t found = -1;
    v3_event event;
    for (int32_t i = view.inOrder ? view.lastInner + 1 : 0; i < n; ++i) {
        if (!holds(view, i, &event))
            continue;
        const bool after = event.sample_offset > view.lastFrame ||
                           (event.sample_offset == view.lastFrame && i > view.lastInner);
        const bool sooner = found < 0 || event.sample_offset < out->sample_offset;
        if ((view.inOrder || after) && sooner) {
            *out = event;
            found = i;
            if (view.inOrder)
                break;
        }
    }
    if (found < 0)
        return false;
    view.lastFrame = out->sample_offset;
    view.lastInner = found;
    ++view.handedOut;
    return true;
}

v3_result V3_API Vst3HostInput::event(void* self, int32_t index, v3_event* out) {
    Events& view = *static_cast<Events*>(self);
    if (index < view.handedOut) {
        view.handedOut = 0;
        view.lastFrame = INT32_MIN;
        view.lastInner = -1;
    }
    while (view.handedOut <= index)
        if (!next(view, out))
            return V3_INVALID_ARG;
    out->sample_offset -= view.start;
    return V3_OK;
}

int32_t V3_API Vst3HostInput::queueCount(void* self) {
    v3_param_changes** inner = static_cast<Parameters*>(self)->inner;
    return v3_cpp_obj(inner)->get_param_count(inner);
}

v3_param_value_queue** V3_API Vst3HostInput::queueAt(void* self, int32_t index) {
    Parameters& view = *static_cast<Parameters*>(self);
    view.queue.inner = v3_cpp_obj(view.inner)->get_param_data(view.inner, index);
    void* queue = &view.queue;
    return view.queue.inner != nullptr ? static_cast<v3_param_value_queue**>(queue) : nullptr;
}

v3_param_id V3_API Vst3HostInput::queueId(void* self) {
    v3_param_value_queue** inner = static_cast<Queue*>(self)->inner;
    return v3_cpp_obj(inner)->get_param_id(inner);
}

int32_t V3_API Vst3HostInput::pointCount(void* self) {
    v3_param_value_queue** inner = static_cast<Queue*>(self)->inner;
    int32_t kept = 0, offset = 0;
    double value = 0.0;
    for (int32_t i = 0, n = v3_cpp_obj(inner)->get_point_count(inner); i < n; ++i)
        kept +=
            v3_cpp_obj(inner)->get_point(inner, i, &offset, &value) == V3_OK && !std::isnan(value)
                ? 1
                : 0;
    return kept;
}

v3_result V3_API Vst3HostInput::point(void* self, int32_t index, int32_t* offset, double* value) {
    v3_param_value_queue** inner = static_cast<Queue*>(self)->inner;
    for (int32_t i = 0, kept = 0, n = v3_cpp_obj(inner)->get_point_count(inner); i < n; ++i) {
        if (v3_cpp_obj(inner)->get_point(inner, i, offset, value) != V3_OK || std::isnan(*value))
            continue;
        if (kept++ == index) {
            *value = std::clamp(*value, 0.0, 1.0);
            return V3_OK;
        }
    }
    return V3_INVALID_ARG;
}
