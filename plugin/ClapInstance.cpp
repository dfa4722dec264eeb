#include "ClapInstance.h"

#include "FactoryPresets.h"
#include "PortMap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

const clap_plugin_t* ClapInstance::wrap(const clap_plugin_t* inner, const clap_host_t* host) {
    if (inner == nullptr)
        return nullptr;
    auto* instance = new (std::nothrow) ClapInstance(inner, host);
    if (instance == nullptr) {
        inner->destroy(inner);
        return nullptr;
    }
    return &instance->plugin;
}

ClapInstance::ClapInstance(const clap_plugin_t* inner, const clap_host_t* host)
    : plugin(*inner), inner(inner),
      processFilter(std::make_unique<ClapEventFilter>(PortMap::controlCount())),
      flushFilter(std::make_unique<ClapEventFilter>(PortMap::controlCount())), host(host),
      presetEvents(PortMap::controlCount()) {
    plugin.destroy = destroy;
    plugin.process = process;
    plugin.get_extension = getExtension;
    innerParams =
        static_cast<const clap_plugin_params_t*>(inner->get_extension(inner, CLAP_EXT_PARAMS));
    if (innerParams != nullptr) {
        params = *innerParams;
        params.flush = flush;
    }
    presets = {presetCount, presetLabel, loadPreset};
    prepended.ctx = this;
    prepended.size = prependedSize;
    prepended.get = prependedGet;
}

ClapInstance* ClapInstance::of(const clap_plugin_t* plugin) {
    return reinterpret_cast<ClapInstance*>(const_cast<clap_plugin_t*>(plugin));
}

void ClapInstance::destroy(const clap_plugin_t* plugin) {
    ClapInstance* instance = of(plugin);
    instance->inner->destroy(instance->inner);
    delete instance;
}

clap_process_status ClapInstance::process(const clap_plugin_t* plugin, const clap_process_t* data) {
    ClapInstance* instance = of(plugin);
    if (data == nullptr)
        return CLAP_PROCESS_ERROR;
    clap_process_t filtered = *data;
    filtered.in_events = instance->processFilter->filter(
        instance->withPendingPreset(data->in_events, data->out_events), data->frames_count);
    return instance->inner->process(plugin, &filtered);
}

const void* ClapInstance::getExtension(const clap_plugin_t* plugin, const char* id) {
    ClapInstance* instance = of(plugin);
    if (id != nullptr && std::strcmp(id, CLAP_EXT_PARAMS) == 0)
        return instance->innerParams != nullptr ? &instance->params : nullptr;
    if (id != nullptr && std::strcmp(id, CORVENA_CLAP_EXT_FACTORY_PRESETS) == 0)
        return instance->innerParams != nullptr ? &instance->presets : nullptr;
    return instance->inner->get_extension(plugin, id);
}

void ClapInstance::flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                         const clap_output_events_t* out) {
    ClapInstance* instance = of(plugin);
    instance->innerParams->flush(
        plugin, instance->flushFilter->filter(instance->withPendingPreset(in, out), 0), out);
}

uint32_t ClapInstance::presetCount(const clap_plugin_t*) {
    return uint32_t(FactoryPresets::count());
}

bool ClapInstance::presetLabel(const clap_plugin_t*, uint32_t index, char* label,
                               uint32_t capacity) {
    if (index >= FactoryPresets::count() || label == nullptr || capacity == 0)
        return false;
    const std::string text = FactoryPresets::label(FactoryPresets::at(index));
    const size_t length = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(label, text.data(), length);
    label[length] = '\0';
    return true;
}

bool ClapInstance::loadPreset(const clap_plugin_t* plugin, uint32_t index) {
    if (index >= FactoryPresets::count())
        return false;
    of(plugin)->pendingPreset.store(index, std::memory_order_release);
    // A plugin that is not processing gets no block to apply it in until the host flushes.
    const clap_host_t* host = of(plugin)->host;
    const auto* hostParams =
        host != nullptr && host->get_extension != nullptr
            ? static_cast<const clap_host_params_t*>(host->get_extension(host, CLAP_EXT_PARAMS))
            : nullptr;
    if (hostParams != nullptr && hostParams->request_flush != nullptr)
        hostParams->request_flush(host);
    return true;
}

const clap_input_events_t* ClapInstance::withPendingPreset(const clap_input_events_t* in,
                                                           const clap_output_events_t* out) {
    const uint32_t index = pendingPreset.exchange(noPreset, std::memory_order_acquire);
    if (index == noPreset)
        return in;
    const FactoryPreset& preset = FactoryPresets::at(index);
    presetEventCount = 0;
    for (uint32_t i = 0; i < PortMap::controlCount(); ++i) {
        const ParameterType type = PortMap::parameterOf(PortMap::firstControl + i);
        if (!FactoryPresets::covers(type))
            continue;
        clap_event_param_value_t& event = presetEvents[presetEventCount++];
        event = {};
        event.header = {sizeof(clap_event_param_value_t), 0, CLAP_CORE_EVENT_SPACE_ID,
                        CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = i; // DPF's CLAP ids are its parameter indices
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = FactoryPresets::value(preset, type);
        if (out != nullptr && out->try_push != nullptr)
            out->try_push(out, &event.header);
    }
    hostEvents = in;
    return &prepended;
}

uint32_t ClapInstance::prependedSize(const clap_input_events_t* list) {
    const auto* instance = static_cast<const ClapInstance*>(list->ctx);
    const clap_input_events_t* rest = instance->hostEvents;
    const uint32_t restSize = rest != nullptr && rest->size != nullptr ? rest->size(rest) : 0;
    return instance->presetEventCount + std::min(restSize, UINT32_MAX - instance->presetEventCount);
}

const clap_event_header_t* ClapInstance::prependedGet(const clap_input_events_t* list,
                                                      uint32_t index) {
    const auto* instance = static_cast<const ClapInstance*>(list->ctx);
    if (index < instance->presetEventCount)
        return &instance->presetEvents[index].header;
    const clap_input_events_t* rest = instance->hostEvents;
    if (rest == nullptr || rest->get == nullptr)
        return nullptr;
    return rest->get(rest, index - instance->presetEventCount);
}
