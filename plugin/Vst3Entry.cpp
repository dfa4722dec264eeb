// The VST3 module's factory, GetPluginFactory: DPF's (renamed dpf_GetPluginFactory when its
// wrapper is compiled), guarded against blocks longer than a host announced.
#include "Vst3Guard.h"

extern "C" const void* dpf_GetPluginFactory(void);

extern "C" __attribute__((visibility("default"))) const void* GetPluginFactory(void) {
    return Vst3Guard::guardFactory(dpf_GetPluginFactory());
}
