// DPF's LV2 wrapper, compiled for our LV2 library with its descriptor under another name:
// Lv2Entry's lv2_descriptor is the one hosts see, and it hands DPF only filtered MIDI.
#define lv2_descriptor dpf_lv2_descriptor
#include "DistrhoPluginMain.cpp"
