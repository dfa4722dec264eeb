// A small plugin host on lilv, the reference LV2 host library, for tests: it loads one bundle
// the way hosts do, lists the plugin's ports, and runs instances of it with MIDI written into
// atom sequences at chosen frames, control values of the test's choosing, and the outputs
// recorded. It can also call the plugin's instantiate directly with a bundle path, features and
// rate that no real host would pass, to see the plugin refuse them.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class LilvTestHost {
public:
    static constexpr const char* pluginUri = "urn:corvena:synth";
    // The bundle the tests load: the installed one named by CORVENA_LV2_BUNDLE, or the build
    // tree's.
    static std::string bundleUnderTest();

    // Loads the bundle at `bundleDirectory` (absolute path); plugin() is null when it fails.
    explicit LilvTestHost(const std::string& bundleDirectory);
    ~LilvTestHost();
    LilvTestHost(const LilvTestHost&) = delete;
    LilvTestHost& operator=(const LilvTestHost&) = delete;

    LilvWorld* world() const { return lilvWorld; }
    const LilvPlugin* plugin() const { return lilvPlugin; }
    const std::string& bundle() const { return bundleDirectory; }
    LV2_URID map(const char* uri);
    LV2_URID_Map* uridMapFeature() { return &uridMap; }
    LV2_URID_Unmap* uridUnmapFeature() { return &uridUnmap; }
    // A null-terminated feature list as hosts hand it: the URID map and the options with the
    // block-length bounds (tests also run longer blocks, as a host that breaks its word would); or
    // nothing.
    const LV2_Feature* const* features(bool withMap);
    // The URID map alone, as a host that offers no options does.
    const LV2_Feature* const* mapOnly() { return mapOnlyFeatures; }

    static constexpr int32_t minBlockLength = 0;
    static constexpr int32_t nominalBlockLength = 256;
    static constexpr int32_t maxBlockLength = 8192;

    class Instance;
    // Null when the plugin refuses (its instantiate returned null).
    std::unique_ptr<Instance> instantiate(double sampleRate);

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle self, const char* uri);
    static const char* unmapUri(LV2_URID_Unmap_Handle self, LV2_URID urid);

    std::string bundleDirectory;
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* lilvPlugin = nullptr;
    std::vector<std::string> uris;
    LV2_URID_Map uridMap{this, &LilvTestHost::mapUri};
    LV2_URID_Unmap uridUnmap{this, &LilvTestHost::unmapUri};
    LV2_Feature mapFeature{LV2_URID__map, &uridMap};
    LV2_Options_Option options[4] = {};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
    const LV2_Feature* withMapFeatures[3] = {&mapFeature, &optionsFeature, nullptr};
    const LV2_Feature* mapOnlyFeatures[2] = {&mapFeature, nullptr};
    const LV2_Feature* noFeatures[1] = {nullptr};
};

class LilvTestHost::Instance {
public:
    Instance(LilvTestHost& host, LilvInstance* instance);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const LV2_Descriptor* descriptor() const;
    LV2_Handle handle() const;
    // Deactivates and activates again, as a host does when it stops and restarts processing.
    void restart();

    // Controls start at the description's defaults, as a host's would.
    void setControl(const std::string& symbol, float value);
    // Sets the controls a state (a preset) holds, through lilv_state_emit_port_values; returns
    // how many it set. Values of another type than float or double are not numbers a control
    // port takes, and are left out.
    int applyState(const LilvState* state);
    // The instance's state as a host saves it (lilv_state_new_from_instance): every input
    // control's value. The caller frees it.
    LilvState* saveState();
    float control(const std::string& symbol) const;
    float latency() const { return latencyValue; }

    // Queued for the next run, at `frame` of its block.
    void queueMidi(int64_t frame, std::vector<uint8_t> bytes);
    // Any event at all, for malformed input: the body's declared size and type as given.
    void queueRawEvent(int64_t frame, uint32_t declaredSize, LV2_URID type,
                       std::vector<uint8_t> payload);
    // Leaves a port unconnected (null) from the next run on.
    void disconnect(const std::string& symbol);

    // Habits of real hosts that the plain runs leave out. Each run writes these into the
    // sequence header (hosts leave them unset: any value may stand there), ends atom.size at
    // the last event's bytes without its padding when asked, and with `swapBuffers` connects
    // every port to other memory than the run before, output memory left full of junk.
    uint32_t sequenceUnit = 0;
    uint32_t sequencePad = 0;
    bool unpaddedLastEvent = false;
    bool swapBuffers = false;

    // Runs one block with the MIDI port connected to `sequenceMemory`, written by the caller.
    void runWithSequence(uint32_t frames, const void* sequenceMemory);

    // Runs one block of `frames` and appends the outputs to left and right.
    void run(uint32_t frames);
    void runBlocks(size_t frames, uint32_t block);

    std::vector<float> left, right;
    // Allocator calls made inside the plugin's run(), over all runs so far.
    uint64_t allocationsInRun = 0;

private:
    struct QueuedEvent {
        int64_t frame;
        uint32_t declaredSize;
        LV2_URID type;
        std::vector<uint8_t> payload;
    };
    void writeSequence();
    void runConnected(uint32_t frames, const void* sequenceMemory);
    uint32_t portIndex(const std::string& symbol) const;

    LilvTestHost& host;
    LilvInstance* instance;
    std::vector<float> controls; // one slot per port; audio and MIDI ports unused
    std::map<std::string, uint32_t> indices;
    std::vector<std::string> disconnected;
    std::vector<QueuedEvent> queued;
    std::vector<uint64_t> sequence; // 8-byte aligned atom sequence buffer
    std::vector<float> leftBlock, rightBlock;
    std::vector<float> controlsElsewhere, leftElsewhere, rightElsewhere;
    uint64_t runs = 0;
    float latencyValue = -1.0f;
};
