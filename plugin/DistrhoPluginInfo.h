// What DPF builds the plugin as, read by its wrappers at compile time (DPF looks for this file
// by name). The LV2 URI is the one users' projects hold: never change it.
#pragma once

#define DISTRHO_PLUGIN_BRAND "Corvena"
#define DISTRHO_PLUGIN_NAME "Corvena"
#define DISTRHO_PLUGIN_URI "urn:corvena:synth"
#define DISTRHO_PLUGIN_CLAP_ID "corvena.synth"

// The window is the program's panel on cairo (CorvenaDpfUI), at the panel's size in points.
// It reaches the plugin directly, as a window inside the host's process does: hosts then keep
// one VST3 component for sound and parameters, and the LV2 UI asks for instance access.
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1
#define DISTRHO_UI_USE_CAIRO 1
#define DISTRHO_UI_USER_RESIZABLE 0
#define DISTRHO_UI_URI "urn:corvena:synth#ui"
#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 1
#define DISTRHO_PLUGIN_NUM_INPUTS 0
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_WANT_LATENCY 1
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1

#define DISTRHO_PLUGIN_VST3_CATEGORIES "Instrument|Synth|Stereo"
#define DISTRHO_PLUGIN_CLAP_FEATURES "instrument", "synthesizer", "stereo"

// A CLAP host saves a plugin's parameters only through its state extension, which DPF offers
// with its state feature alone; LV2 hosts save the control ports and VST3 hosts the parameters
// without it. The feature changes DPF's classes, so CorvenaDpfPlugin is compiled into each
// format's library rather than shared between them.
#ifdef DISTRHO_PLUGIN_TARGET_CLAP
#define DISTRHO_PLUGIN_WANT_STATE 1
#endif

// VST3 hosts list the factory bank as DPF's programs (one hidden program-change parameter whose
// steps are named by the presets' labels). LV2 hosts find the bank as pset:Preset resources in
// our own description, and DPF's CLAP wrapper offers programs to no host, so neither takes them:
// their classes and what hosts see of them stay as they are.
#ifdef DISTRHO_PLUGIN_TARGET_VST3
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
#endif
