#include "Lv2Instance.h"

#include "CorvenaPlugin.h"
#include "EngineResampler.h"
#include "PluginIdentity.h"
#include "PortMap.h"

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/midi/midi.h"
#include "lv2/parameters/parameters.h"
#include "lv2/urid/urid.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

// One line on stderr, then no instance.
Lv2Instance* refuse(const std::string& reason) {
    std::fprintf(stderr, "%s%s\n", plugin_identity::logPrefix, reason.c_str());
    return nullptr;
}

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (size_t i = 0; features[i] != nullptr; ++i)
        if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, uri) == 0)
            return features[i]->data;
    return nullptr;
}

} // namespace

Lv2Instance* Lv2Instance::create(double sampleRate, const char* bundlePath,
                                 const LV2_Feature* const* features) {
    if (features == nullptr)
        return refuse("the host offers no features, not even urid:map, which reading MIDI needs");
    const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
    if (map == nullptr || map->map == nullptr)
        return refuse("the host offers no urid:map, which reading MIDI needs");
    if (!(sampleRate >= EngineResampler::lowestHostRate &&
          sampleRate <= EngineResampler::highestHostRate))
        return refuse("sample rate " + std::to_string(sampleRate) +
                      " Hz is outside 8000 to 768000 Hz");
    std::string problem;
    if (CorvenaPlugin::resourceDirectory(bundlePath, &problem).empty())
        return refuse(problem);

    // DPF's wrapper reads the options list at instantiation, for the block length alone (a
    // hint: every length plays), and refuses a host without one.
    const int32_t blockLengthHint = 4096;
    const LV2_Options_Option standInOptions[] = {
        {LV2_OPTIONS_INSTANCE, 0, map->map(map->handle, LV2_BUF_SIZE__maxBlockLength),
         sizeof blockLengthHint, map->map(map->handle, LV2_ATOM__Int), &blockLengthHint},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature standInFeature = {LV2_OPTIONS__options,
                                        const_cast<LV2_Options_Option*>(standInOptions)};
    std::vector<const LV2_Feature*> withOptions;
    if (findFeature(features, LV2_OPTIONS__options) == nullptr) {
        for (size_t i = 0; features[i] != nullptr; ++i)
            withOptions.push_back(features[i]);
        withOptions.push_back(&standInFeature);
        withOptions.push_back(nullptr);
        features = withOptions.data();
    }

    const LV2_Descriptor* inner = dpf_lv2_descriptor(0);
    LV2_Handle handle = inner->instantiate(inner, sampleRate, bundlePath, features);
    if (handle == nullptr)
        return refuse("the plugin could not be created");
    MidiSequenceFilter filter(map->map(map->handle, LV2_ATOM__Sequence),
                              map->map(map->handle, LV2_MIDI__MidiEvent),
                              map->map(map->handle, LV2_ATOM__beatTime));
    auto* instance = new (std::nothrow) Lv2Instance(
        inner, handle, std::move(filter), map->map(map->handle, LV2_PARAMETERS__sampleRate));
    if (instance == nullptr) {
        inner->cleanup(handle);
        return refuse("out of memory");
    }
    return instance;
}

Lv2Instance::Lv2Instance(const LV2_Descriptor* inner, LV2_Handle handle, MidiSequenceFilter filter,
                         LV2_URID sampleRateKey)
    : inner(inner), handle(handle), filter(std::move(filter)), sampleRateKey(sampleRateKey) {
    if (inner->extension_data != nullptr)
        options = static_cast<const LV2_Options_Interface*>(
            inner->extension_data(LV2_OPTIONS__interface));
    // DPF reads the filtered sequence, whose buffer never moves.
    inner->connect_port(handle, PortMap::midiInput,
                        const_cast<LV2_Atom_Sequence*>(this->filter.output()));
}

Lv2Instance::~Lv2Instance() {
    inner->cleanup(handle);
}

void Lv2Instance::connectPort(uint32_t port, void* data) {
    if (port == PortMap::midiInput)
        hostMidi = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port < PortMap::portCount())
        inner->connect_port(handle, port, data);
}

void Lv2Instance::activate() {
    if (inner->activate != nullptr)
        inner->activate(handle);
}

void Lv2Instance::run(uint32_t frames) {
    filter.filter(hostMidi, frames);
    inner->run(handle, frames);
}

void Lv2Instance::deactivate() {
    if (inner->deactivate != nullptr)
        inner->deactivate(handle);
}

uint32_t Lv2Instance::getOptions(LV2_Options_Option* list) {
    return options != nullptr && options->get != nullptr ? options->get(handle, list)
                                                         : uint32_t(LV2_OPTIONS_ERR_UNKNOWN);
}

uint32_t Lv2Instance::setOptions(const LV2_Options_Option* list) {
    // DPF would rebuild the synthesizer for a new rate on the calling thread, while run() may be
    // rendering it: an instance keeps the rate it was made at, as LV2 instances do.
    for (const LV2_Options_Option* option = list; option != nullptr && option->key != 0; ++option)
        if (option->key == sampleRateKey)
            return uint32_t(LV2_OPTIONS_ERR_BAD_KEY);
    return options != nullptr && options->set != nullptr ? options->set(handle, list)
                                                         : uint32_t(LV2_OPTIONS_ERR_UNKNOWN);
}

const char* Lv2Instance::directAccessUri() {
    return "urn:distrho:direct-access";
}

void* Lv2Instance::pluginInstancePointer() {
    const auto* access = static_cast<const DirectAccess*>(inner->extension_data(directAccessUri()));
    return access != nullptr ? access->get_instance_pointer(handle) : nullptr;
}
