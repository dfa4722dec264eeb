#include "LilvTestHost.h"

#include "AllocationCounter.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

std::string LilvTestHost::bundleUnderTest() {
    const char* installed = std::getenv("CORVENA_LV2_BUNDLE");
    return installed != nullptr && installed[0] != '\0' ? installed : CORVENA_TEST_LV2_BUNDLE;
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

const char* LilvTestHost::unmapUri(LV2_URID_Unmap_Handle self, LV2_URID urid) {
    const auto& uris = static_cast<LilvTestHost*>(self)->uris;
    return urid > 0 && urid < uris.size() ? uris[urid].c_str() : nullptr;
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

int LilvTestHost::Instance::applyState(const LilvState* state) {
    struct Context {
        Instance* instance;
        LV2_URID floatType, doubleType;
        int set = 0;
    } context{this, host.map(LV2_ATOM__Float), host.map(LV2_ATOM__Double)};
    lilv_state_emit_port_values(
        state,
        [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
            auto* c = static_cast<Context*>(data);
            if (c->instance->portIndex(symbol) == UINT32_MAX)
                return;
            if (type == c->floatType && size == sizeof(float))
                c->instance->setControl(symbol, *static_cast<const float*>(value));
            else if (type == c->doubleType && size == sizeof(double))
                c->instance->setControl(symbol, float(*static_cast<const double*>(value)));
            else
                return;
            ++c->set;
        },
        &context);
    return context.set;
}

LilvState* LilvTestHost::Instance::saveState() {
    struct Context {
        Instance* instance;
        LV2_URID floatType;
    } context{this, host.map(LV2_ATOM__Float)};
    return lilv_state_new_from_instance(
        host.plugin(), instance, host.uridMapFeature(), nullptr, nullptr, nullptr, nullptr,
        [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void* {
            auto* c = static_cast<Context*>(data);
            const uint32_t index = c->instance->portIndex(symbol);
            if (index == UINT32_MAX)
                return nullptr;
            *size = sizeof(float);
            *type = c->floatType;
            return &c->instance->controls[index];
        },
        &context, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
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
    seq->body.unit = sequenceUnit;
    seq->body.pad = sequencePad;
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
    if (unpaddedLastEvent && !queued.empty())
        seq->atom.size -= uint32_t(7 - (queued.back().payload.size() + 7) % 8);
    queued.clear();
}

void LilvTestHost::Instance::run(uint32_t frames) {
    writeSequence();
    runConnected(frames, sequence.data());
}

void LilvTestHost::Instance::runWithSequence(uint32_t frames, const void* sequenceMemory) {
    queued.clear();
    runConnected(frames, sequenceMemory);
}

void LilvTestHost::Instance::runConnected(uint32_t frames, const void* sequenceMemory) {
    const bool elsewhere = swapBuffers && runs % 2 == 1;
    ++runs;
    std::vector<float>& leftMemory = elsewhere ? leftElsewhere : leftBlock;
    std::vector<float>& rightMemory = elsewhere ? rightElsewhere : rightBlock;
    // Junk where a host leaves what its buffers last held; NaN otherwise, so that a sample the
    // plugin does not write shows.
    const float unwritten = swapBuffers ? 1e28f : NAN;
    leftMemory.assign(frames, unwritten);
    rightMemory.assign(frames, unwritten);
    if (elsewhere)
        controlsElsewhere = controls;
    std::vector<float>& controlMemory = elsewhere ? controlsElsewhere : controls;
    for (const auto& [symbol, index] : indices) {
        void* data = &controlMemory[index];
        if (symbol == "midi_in")
            data = const_cast<void*>(sequenceMemory);
        else if (symbol == "out_left")
            data = leftMemory.data();
        else if (symbol == "out_right")
            data = rightMemory.data();
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
    left.insert(left.end(), leftMemory.begin(), leftMemory.end());
    right.insert(right.end(), rightMemory.begin(), rightMemory.end());
}

void LilvTestHost::Instance::runBlocks(size_t frames, uint32_t block) {
    for (size_t done = 0; done < frames;) {
        const auto n = uint32_t(std::min<size_t>(block, frames - done));
        run(n);
        done += n;
    }
}
