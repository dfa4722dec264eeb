// DPF's CLAP wrapper, compiled for our CLAP library with its entry under another name:
// ClapEntry's clap_entry is the one hosts see, and it hands DPF only filtered events.
#define clap_entry dpf_clap_entry
#include "DistrhoPluginMain.cpp"
