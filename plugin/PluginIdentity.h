// What names the plugin to hosts: its URI (saved in users' projects: never change it), the
// LV2 bundle's file names and where each format keeps the wavetables. Shared by the plugin and
// the generator of its LV2 description.
#pragma once

#include "DistrhoPluginInfo.h"

namespace plugin_identity {

constexpr const char* uri = "urn:corvena:synth";
constexpr const char* name = "Corvena";
constexpr const char* binaryFile = "corvena.so";
// The window's LV2 UI, under the URI DPF's UI library answers to.
constexpr const char* uiUri = DISTRHO_UI_URI;
constexpr const char* uiBinaryFile = "corvena_ui.so";
constexpr const char* descriptionFile = "corvena.ttl";
constexpr const char* presetsFile = "presets.ttl";
// Factory presets are named under this prefix, by category and name ("...:bass-round-sub").
constexpr const char* presetUriPrefix = "urn:corvena:synth:preset:";
constexpr const char* resourceDirectory = "Resources.bundle";
// A CLAP plugin is one file: its tables live in the directory of its name with this added.
constexpr const char* singleFileResourceSuffix = ".resources";
constexpr const char* logPrefix = "corvena.lv2: ";

} // namespace plugin_identity
