// What names the plugin to hosts: its URI (saved in users' projects: never change it) and the
// bundle's file names. Shared by the plugin and the generator of its description.
#pragma once

namespace plugin_identity {

constexpr const char* uri = "urn:corvena:synth";
constexpr const char* name = "Corvena";
constexpr const char* binaryFile = "corvena.so";
constexpr const char* descriptionFile = "corvena.ttl";
constexpr const char* presetsFile = "presets.ttl";
// Factory presets are named under this prefix, by category and name ("...:bass-round-sub").
constexpr const char* presetUriPrefix = "urn:corvena:synth:preset:";
constexpr const char* resourceDirectory = "Resources.bundle";
constexpr const char* logPrefix = "corvena.lv2: ";

} // namespace plugin_identity
