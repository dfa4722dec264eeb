// The LV2 library's one exported symbol, lv2_descriptor, and the plain functions of the
// descriptor and of the options interface, each a forwarder to Lv2Instance.
#include "Lv2Instance.h"
#include "PluginIdentity.h"

#include "lv2/core/lv2.h"
#include "lv2/options/options.h"

#include <cstring>

namespace {

Lv2Instance* instance(LV2_Handle handle) {
    return static_cast<Lv2Instance*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char* bundlePath,
                       const LV2_Feature* const* features) {
    return Lv2Instance::create(sampleRate, bundlePath, features);
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

uint32_t getOptions(LV2_Handle handle, LV2_Options_Option* options) {
    return instance(handle)->getOptions(options);
}

uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options) {
    return instance(handle)->setOptions(options);
}

const LV2_Options_Interface optionsInterface = {getOptions, setOptions};

// The host hands our handle to the window; DPF's window wants DPF's plugin behind it.
void* pluginInstancePointer(LV2_Handle handle) {
    return instance(handle)->pluginInstancePointer();
}

const Lv2Instance::DirectAccess directAccess = {pluginInstancePointer};

const void* extensionData(const char* uri) {
    if (uri != nullptr && std::strcmp(uri, LV2_OPTIONS__interface) == 0)
        return &optionsInterface;
    if (uri != nullptr && std::strcmp(uri, Lv2Instance::directAccessUri()) == 0)
        return &directAccess;
    return nullptr;
}

const LV2_Descriptor descriptor = {plugin_identity::uri, instantiate, connectPort,  activate, run,
                                   deactivate,           cleanup,     extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
