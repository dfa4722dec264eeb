#include "Vst3Guard.h"

#include "DpfVst3Internals.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// DPF's own entries, the same functions for every object of a kind: the first object guarded
// tells them.
using CreateInstance = v3_result(V3_API*)(void*, const v3_tuid, const v3_tuid, void**);
using QueryInterface = v3_result(V3_API*)(void*, const v3_tuid, void**);
using SetupProcessing = v3_result(V3_API*)(void*, v3_process_setup*);
using Process = v3_result(V3_API*)(void*, v3_process_data*);
using GetNormalised = double(V3_API*)(void*, v3_param_id);
using SetNormalised = v3_result(V3_API*)(void*, v3_param_id, double);
std::atomic<CreateInstance> innerCreateInstance{nullptr};
std::atomic<QueryInterface> innerQueryComponent{nullptr};
std::atomic<SetupProcessing> innerSetupProcessing{nullptr};
std::atomic<Process> innerProcess{nullptr};
std::atomic<GetNormalised> innerGetNormalised{nullptr};
std::atomic<SetNormalised> innerSetNormalised{nullptr};

// An interface pointer points at the object, whose first member points at its table.
template <typename Table> Table* tableOf(void* iface) {
    return *static_cast<Table**>(iface);
}

bool sameId(const v3_tuid a, const v3_tuid b) {
    return std::memcmp(a, b, sizeof(v3_tuid)) == 0;
}

// The piece of a block that an event at `frame` goes to: the one holding its frame. An event
// outside the block goes to the first or the last piece, where it stays outside as it was
// outside the block (and the plugin passes it over, as it would in one block).
int32_t pieceOf(int32_t frame, int32_t frames, int32_t pieceFrames) {
    return std::clamp(frame, int32_t{0}, frames - 1) / pieceFrames;
}

// The host's event list as one piece of the block sees it. The piece's owner reads it in order
// (count, then events 0, 1, ...), so the window keeps its place in the host's list.
struct EventWindow {
    const v3_event_list_cpp* table;
    v3_event_list** inner;
    int32_t frames, start;
    int32_t nextIndex = 0, nextInner = 0;

    static uint32_t innerCount(v3_event_list** list) {
        return list != nullptr ? v3_cpp_obj(list)->get_event_count(list) : 0;
    }

    bool holds(int32_t innerIndex, v3_event* event) const {
        constexpr int32_t length = Vst3Guard::chunkFrames;
        return v3_cpp_obj(inner)->get_event(inner, innerIndex, event) == V3_OK &&
               pieceOf(event->sample_offset, frames, length) == start / length;
    }

    static uint32_t V3_API count(void* self) {
        const EventWindow* window = static_cast<EventWindow*>(self);
        uint32_t held = 0;
        v3_event event;
        for (uint32_t i = 0, n = innerCount(window->inner); i < n; ++i)
            held += window->holds(int32_t(i), &event) ? 1 : 0;
        return held;
    }

    static v3_result V3_API get(void* self, int32_t index, v3_event* event) {
        EventWindow* window = static_cast<EventWindow*>(self);
        if (index < window->nextIndex) {
            window->nextIndex = 0;
            window->nextInner = 0;
        }
        const int32_t n = int32_t(innerCount(window->inner));
        for (; window->nextInner < n; ++window->nextInner) {
            if (!window->holds(window->nextInner, event))
                continue;
            if (window->nextIndex++ == index) {
                event->sample_offset -= window->start;
                ++window->nextInner;
                return V3_OK;
            }
        }
        return V3_INVALID_ARG;
    }
};

const v3_event_list_cpp eventWindowTable = [] {
    v3_event_list_cpp table{};
    table.query_interface = [](void* self, const v3_tuid iid, void** iface) -> v3_result {
        const bool known = sameId(iid, v3_funknown_iid) || sameId(iid, v3_event_list_iid);
        *iface = known ? self : nullptr;
        return known ? V3_OK : V3_NO_INTERFACE;
    };
    // The window lives on the stack of the call that hands it out.
    table.ref = [](void*) -> uint32_t { return 1; };
    table.unref = [](void*) -> uint32_t { return 1; };
    table.list.get_event_count = EventWindow::count;
    table.list.get_event = EventWindow::get;
    table.list.add_event = [](void*, v3_event*) -> v3_result { return V3_NOT_IMPLEMENTED; };
    return table;
}();

} // namespace

const void* Vst3Guard::guardFactory(const void* factory) {
    if (factory == nullptr)
        return nullptr;
    auto* table = tableOf<v3_plugin_factory_cpp>(const_cast<void*>(factory));
    if (table->v1.create_instance != createInstance) {
        innerCreateInstance.store(table->v1.create_instance);
        table->v1.create_instance = createInstance;
    }
    return factory;
}

v3_result V3_API Vst3Guard::createInstance(void* self, const v3_tuid classId, const v3_tuid iid,
                                           void** instance) {
    const v3_result result = innerCreateInstance.load()(self, classId, iid, instance);
    if (result != V3_OK || *instance == nullptr)
        return result;
    // The one class DPF makes here is the component, asked for as itself or as FUnknown.
    if (sameId(iid, v3_component_iid) || sameId(iid, v3_funknown_iid)) {
        auto* table = tableOf<v3_component_cpp>(*instance);
        if (table->query_interface != queryComponent) {
            innerQueryComponent.store(table->query_interface);
            table->query_interface = queryComponent;
        }
    }
    return result;
}

v3_result V3_API Vst3Guard::queryComponent(void* self, const v3_tuid iid, void** iface) {
    const v3_result result = innerQueryComponent.load()(self, iid, iface);
    if (result != V3_OK || *iface == nullptr)
        return result;
    if (sameId(iid, v3_audio_processor_iid))
        guardProcessor(*iface);
    else if (sameId(iid, v3_edit_controller_iid))
        guardController(*iface);
    return result;
}

void Vst3Guard::guardController(void* controller) {
    auto* table = tableOf<v3_edit_controller_cpp>(controller);
    if (table->ctrl.get_parameter_normalised == parameterNormalised)
        return;
    innerGetNormalised.store(table->ctrl.get_parameter_normalised);
    innerSetNormalised.store(table->ctrl.set_parameter_normalised);
    table->ctrl.get_parameter_normalised = parameterNormalised;
    table->ctrl.set_parameter_normalised = setParameterNormalised;
}

double V3_API Vst3Guard::parameterNormalised(void* self, v3_param_id id) {
    if (id == DpfVst3Internals::firstPluginParameter())
        return DpfVst3Internals::firstParameterNormalised(self);
    return innerGetNormalised.load()(self, id);
}

// The component is its own controller here: a plugin parameter reaches the sound through
// process(), and DPF's controller takes every other one with V3_OK and nothing more.
v3_result V3_API Vst3Guard::setParameterNormalised(void* self, v3_param_id id, double value) {
    if (id == DpfVst3Internals::firstPluginParameter())
        return value >= 0.0 && value <= 1.0 ? V3_OK : V3_INVALID_ARG;
    return innerSetNormalised.load()(self, id, value);
}

void Vst3Guard::guardProcessor(void* processor) {
    auto* table = tableOf<v3_audio_processor_cpp>(processor);
    if (table->proc.process == process)
        return;
    innerSetupProcessing.store(table->proc.setup_processing);
    innerProcess.store(table->proc.process);
    table->proc.setup_processing = setupProcessing;
    table->proc.process = process;
}

v3_result V3_API Vst3Guard::setupProcessing(void* self, v3_process_setup* setup) {
    if (setup == nullptr)
        return V3_INVALID_ARG;
    v3_process_setup fixed = *setup;
    fixed.max_block_size = chunkFrames;
    return innerSetupProcessing.load()(self, &fixed);
}

v3_result V3_API Vst3Guard::process(void* self, v3_process_data* data) {
    const Process inner = innerProcess.load();
    if (data == nullptr || data->nframes <= chunkFrames)
        return inner(self, data);
    // Only the first output bus carries sound, and DPF reads no inputs: each piece gets that
    // bus with its channels moved on by the piece's start.
    constexpr int32_t maxChannels = 8;
    float* channels[maxChannels] = {};
    v3_audio_bus_buffers bus{};
    const bool hasBus = data->num_output_buses > 0 && data->outputs != nullptr &&
                        data->outputs[0].channel_buffers_32 != nullptr;
    if (hasBus) {
        bus = data->outputs[0];
        bus.num_channels = std::clamp(bus.num_channels, int32_t{0}, maxChannels);
        bus.channel_buffers_32 = channels;
    }
    v3_result result = V3_OK;
    for (int32_t start = 0; start < data->nframes && result == V3_OK; start += chunkFrames) {
        const int32_t frames = std::min(chunkFrames, data->nframes - start);
        for (int32_t c = 0; hasBus && c < bus.num_channels; ++c) {
            float* channel = data->outputs[0].channel_buffers_32[c];
            channels[c] = channel != nullptr ? channel + start : nullptr;
        }
        EventWindow window{&eventWindowTable, data->input_events, data->nframes, start};
        void* windowInterface = &window;
        v3_process_data piece = *data;
        piece.nframes = frames;
        piece.num_input_buses = 0;
        piece.inputs = nullptr;
        piece.num_output_buses = hasBus ? 1 : 0;
        piece.outputs = hasBus ? &bus : nullptr;
        piece.input_params = start == 0 ? data->input_params : nullptr;
        piece.input_events =
            data->input_events != nullptr ? static_cast<v3_event_list**>(windowInterface) : nullptr;
        result = inner(self, &piece);
    }
    return result;
}
