#include "ClapInstance.h"

#include "PortMap.h"

#include <cstring>
#include <new>

const clap_plugin_t* ClapInstance::wrap(const clap_plugin_t* inner) {
    if (inner == nullptr)
        return nullptr;
    auto* instance = new (std::nothrow) ClapInstance(inner);
    if (instance == nullptr) {
        inner->destroy(inner);
        return nullptr;
    }
    return &instance->plugin;
}

ClapInstance::ClapInstance(const clap_plugin_t* inner)
    : plugin(*inner), inner(inner),
      processFilter(std::make_unique<ClapEventFilter>(PortMap::controlCount())),
      flushFilter(std::make_unique<ClapEventFilter>(PortMap::controlCount())) {
    plugin.destroy = destroy;
    plugin.process = process;
    plugin.get_extension = getExtension;
    innerParams =
        static_cast<const clap_plugin_params_t*>(inner->get_extension(inner, CLAP_EXT_PARAMS));
    if (innerParams != nullptr) {
        params = *innerParams;
        params.flush = flush;
    }
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
    filtered.in_events = instance->processFilter->filter(data->in_events, data->frames_count);
    return instance->inner->process(plugin, &filtered);
}

const void* ClapInstance::getExtension(const clap_plugin_t* plugin, const char* id) {
    ClapInstance* instance = of(plugin);
    if (id != nullptr && std::strcmp(id, CLAP_EXT_PARAMS) == 0)
        return instance->innerParams != nullptr ? &instance->params : nullptr;
    return instance->inner->get_extension(plugin, id);
}

void ClapInstance::flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                         const clap_output_events_t* out) {
    ClapInstance* instance = of(plugin);
    instance->innerParams->flush(plugin, instance->flushFilter->filter(in, 0), out);
}
