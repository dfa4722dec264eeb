#include "LilvTestHost.h"

#include "AllocationCounter.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>

#include <algorithm>
#include <cmath>
#include <cstring>

LilvTestHost::LilvTestHost(const std::string& bundleDirectory) : bundleDirectory(bundleDirectory) {
    lilvWorld = lilv_world_new();
    std::string directory = bundleDirectory;
    if (directory.back() != '/')
        directory += '/';
    LilvNode* bundleUri = lilv_new_file_uri(lilvWorld, nullptr, directory.c_str());
    lilv_world_load_specifications(lilvWorld);
    lilv_world_load_plugin_classes(lilvWorld);
    lilv_world_load_bundle(lilvWorld, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* uri = lilv_new_uri(lilvWorld, pluginUri);
    lilvPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), uri);
    lilv_node_free(uri);
    uris.emplace_back(); // URID 0 is no URI
    const LV2_URID atomInt = map(LV2_ATOM__Int);
    const auto option = [&](const char* key, const int32_t* value) {
        return LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0,       map(key),
                                  sizeof(int32_t),      atomInt, value};
    };
    options[0] = option(LV2_BUF_SIZE__minBlockLength, &minBlockLength);
    options[1] = option(LV2_BUF_SIZE__nominalBlockLength, &nominalBlockLength);
    options[2] = option(LV2_BUF_SIZE__maxBlockLength, &maxBlockLength);
    options[3] = LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
}

LilvTestHost::~LilvTestHost() {
    lilv_world_free(lilvWorld);
}

LV2_URID LilvTestHost::map(const char* uri) {
    for (size_t i = 1; i < uris.size(); ++i)
        if (uris[i] == uri)
            return LV2_URID(i);
    uris.emplace_back(uri);
    return LV2_URID(uris.size() - 1);
}

LV2_URID LilvTestHost::mapUri(LV2_URID_Map_Handle self, const char* uri) {
    return static_cast<LilvTestHost*>(self)->map(uri);
}

const LV2_Feature* const* LilvTestHost::features(bool withMap) {
    return withMap ? withMapFeatures : noFeatures;
}

std::unique_ptr<LilvTestHost::Instance> LilvTestHost::instantiate(double sampleRate) {
    if (lilvPlugin == nullptr)
        return nullptr;
    LilvInstance* instance = lilv_plugin_instantiate(lilvPlugin, sampleRate, features(true));
    if (instance == nullptr)
        return nullptr;
    return std::make_unique<Instance>(*this, instance);
}

LilvTestHost::Instance::Instance(LilvTestHost& host, LilvInstance* instance)
    : host(host), instance(instance) {
    const LilvPlugin* plugin = host.plugin();
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.assign(ports, 0.0f);
    std::vector<float> defaults(ports, NAN);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t i = 0; i < ports; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        indices[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = i;
        if (!std::isnan(defaults[i]))
            controls[i] = defaults[i];
    }
    sequence.assign(8192, 0);
    lilv_instance_activate(instance);
}

LilvTestHost::Instance::~Instance() {
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

const LV2_Descriptor* LilvTestHost::Instance::descriptor() const {
    return lilv_instance_get_descriptor(instance);
}

LV2_Handle LilvTestHost::Instance::handle() const {
    return lilv_instance_get_handle(instance);
}

void LilvTestHost::Instance::restart() {
    lilv_instance_deactivate(instance);
    lilv_instance_activate(instance);
}

uint32_t LilvTestHost::Instance::portIndex(const std::string& symbol) const {
    const auto found = indices.find(symbol);
    return found == indices.end() ? UINT32_MAX : found->second;
}

void LilvTestHost::Instance::setControl(const std::string& symbol, float value) {
    controls.at(portIndex(symbol)) = value;
}

float LilvTestHost::Instance::control(const std::string& symbol) const {
    return controls.at(portIndex(symbol));
}

void LilvTestHost::Instance::queueMidi(int64_t frame, std::vector<uint8_t> bytes) {
    const auto size = uint32_t(bytes.size());
    queued.push_back({frame, size, host.map(LV2_MIDI__MidiEvent), std::move(bytes)});
}

void LilvTestHost::Instance::queueRawEvent(int64_t frame, uint32_t declaredSize, LV2_URID type,
                                           std::vector<uint8_t> payload) {
    queued.push_back({frame, declaredSize, type, std::move(payload)});
}

void LilvTestHost::Instance::disconnect(const std::string& symbol) {
    disconnected.push_back(symbol);
}

void LilvTestHost::Instance::writeSequence() {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence.data());
    seq->atom.type = host.map(LV2_ATOM__Sequence);
    seq->body.unit = 0;
    seq->body.pad = 0;
    auto* cursor = reinterpret_cast<uint8_t*>(seq + 1);
    for (const QueuedEvent& queuedEvent : queued) {
        auto* event = reinterpret_cast<LV2_Atom_Event*>(cursor);
        event->time.frames = queuedEvent.frame;
        event->body.size = queuedEvent.declaredSize;
        event->body.type = queuedEvent.type;
        std::memcpy(event + 1, queuedEvent.payload.data(), queuedEvent.payload.size());
        cursor += sizeof(LV2_Atom_Event) + ((queuedEvent.payload.size() + 7) & ~size_t(7));
    }
    seq->atom.size = uint32_t(cursor - reinterpret_cast<uint8_t*>(&seq->body));
    queued.clear();
}

void LilvTestHost::Instance::run(uint32_t frames) {
    leftBlock.assign(frames, NAN);
    rightBlock.assign(frames, NAN);
    writeSequence();
    for (const auto& [symbol, index] : indices) {
        void* data = &controls[index];
        if (symbol == "midi_in")
            data = sequence.data();
        else if (symbol == "out_left")
            data = leftBlock.data();
        else if (symbol == "out_right")
            data = rightBlock.data();
        else if (symbol == "latency")
            data = &latencyValue;
        if (std::find(disconnected.begin(), disconnected.end(), symbol) != disconnected.end())
            data = nullptr;
        lilv_instance_connect_port(instance, index, data);
    }
    {
        AllocationCounter counter;
        lilv_instance_run(instance, frames);
        allocationsInRun += counter.count();
    }
    left.insert(left.end(), leftBlock.begin(), leftBlock.end());
    right.insert(right.end(), rightBlock.begin(), rightBlock.end());
}

void LilvTestHost::Instance::runBlocks(size_t frames, uint32_t block) {
    for (size_t done = 0; done < frames;) {
        const auto n = uint32_t(std::min<size_t>(block, frames - done));
        run(n);
        done += n;
    }
}
