// The plugin library's one exported symbol, lv2_descriptor, and the plain functions of the
// descriptor, each a forwarder to CorvenaPlugin.
#include "CorvenaPlugin.h"
#include "PluginIdentity.h"

#include "lv2/core/lv2.h"

namespace {

CorvenaPlugin* instance(LV2_Handle handle) {
    return static_cast<CorvenaPlugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    return CorvenaPlugin::create(sampleRate, bundlePath, features);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    instance(handle)->connectPort(port, data);
}

void activate(LV2_Handle handle) {
    instance(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    instance(handle)->run(frames);
}

void deactivate(LV2_Handle handle) {
    instance(handle)->deactivate();
}

void cleanup(LV2_Handle handle) {
    delete instance(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor descriptor = {plugin_identity::uri, instantiate, connectPort,  activate, run,
                                   deactivate,           cleanup,     extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
