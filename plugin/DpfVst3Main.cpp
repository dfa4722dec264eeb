// DPF's VST3 wrapper, compiled for our VST3 module with its factory under another name:
// Vst3Entry's GetPluginFactory is the one hosts see, and it hands DPF no block longer than DPF
// was set up for.
#define GetPluginFactory dpf_GetPluginFactory
#include "DistrhoPluginMain.cpp"
