#include "Vst3Guard.h"

#include "DpfVst3Internals.h"
#include "Vst3HostInput.h"

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
    if (data == nullptr || data->nframes <= 0)
        return inner(self, data);
    if (data->nframes <= chunkFrames) {
        Vst3HostInput input(*data, 0, data->nframes, true);
        v3_process_data mended = *data;
        mended.input_events = input.events();
        mended.input_params = input.parameters();
        return inner(self, &mended);
    }
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
        Vst3HostInput input(*data, start, chunkFrames, start == 0);
        v3_process_data piece = *data;
        piece.nframes = frames;
        piece.num_input_buses = 0;
        piece.inputs = nullptr;
        piece.num_output_buses = hasBus ? 1 : 0;
        piece.outputs = hasBus ? &bus : nullptr;
        piece.input_params = input.parameters();
        piece.input_events = input.events();
        result = inner(self, &piece);
    }
    return result;
}
