// The CLAP library's one exported symbol, clap_entry: DPF's entry (renamed dpf_clap_entry when
// its wrapper is compiled) with a factory whose instances are ClapInstance's.
#include "ClapInstance.h"

#include "clap/entry.h"
#include "clap/plugin-factory.h"

#include <cstring>

extern "C" const clap_plugin_entry_t dpf_clap_entry;

namespace {

const clap_plugin_factory_t* innerFactory() {
    return static_cast<const clap_plugin_factory_t*>(
        dpf_clap_entry.get_factory(CLAP_PLUGIN_FACTORY_ID));
}

uint32_t pluginCount(const clap_plugin_factory_t*) {
    const clap_plugin_factory_t* inner = innerFactory();
    return inner->get_plugin_count(inner);
}

const clap_plugin_descriptor_t* pluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
    const clap_plugin_factory_t* inner = innerFactory();
    return inner->get_plugin_descriptor(inner, index);
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* id) {
    const clap_plugin_factory_t* inner = innerFactory();
    return ClapInstance::wrap(inner->create_plugin(inner, host, id), host);
}

const clap_plugin_factory_t factory = {pluginCount, pluginDescriptor, createPlugin};

bool init(const char* path) {
    return dpf_clap_entry.init(path);
}

void deinit() {
    dpf_clap_entry.deinit();
}

const void* getFactory(const char* id) {
    if (id != nullptr && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0)
        return &factory;
    return dpf_clap_entry.get_factory(id);
}

} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, init, deinit,
                                                               getFactory};
