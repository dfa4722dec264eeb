// DPF's VST3 wrapper, compiled for our VST3 module with its factory under another name:
// Vst3Entry's GetPluginFactory is the one hosts see, and it mends the wrapper's faults
// (Vst3Guard), with what this file reaches of the wrapper's inside.
#define GetPluginFactory dpf_GetPluginFactory
#include "DistrhoPluginMain.cpp"

#include "DpfVst3Internals.h"

namespace {

using DISTRHO_NAMESPACE::dpf_edit_controller;
using DISTRHO_NAMESPACE::PluginVst3;

// DPF keeps the values its controller answers with in a private member. An explicit
// instantiation may name a private member, which is the one way to reach it without editing
// DPF: the friend function below returns the member pointer it was instantiated with.
using CachedValues = float* PluginVst3::*;
CachedValues cachedValues();
template <CachedValues Member> struct CachedValuesAccess {
    friend CachedValues cachedValues() { return Member; }
};
template struct CachedValuesAccess<&PluginVst3::fCachedParameterValues>;

} // namespace

v3_param_id DpfVst3Internals::firstPluginParameter() {
    return DISTRHO_NAMESPACE::kVst3InternalParameterCount;
}

double DpfVst3Internals::firstParameterNormalised(void* controller) {
    PluginVst3* const vst3 = (*static_cast<dpf_edit_controller**>(controller))->vst3;
    if (vst3 == nullptr)
        return 0.0;
    const float plain = (vst3->*cachedValues())[DISTRHO_NAMESPACE::kVst3InternalParameterBaseCount];
    return vst3->plainParameterToNormalized(firstPluginParameter(), plain);
}
