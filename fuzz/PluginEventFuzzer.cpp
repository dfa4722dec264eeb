// libFuzzer target for the LV2 plugin's event input: each input becomes the MIDI port buffer of
// two blocks, run through the plugin's own descriptor. The first eight bytes choose the block
// length (bytes 0-1), atom.size (2-5) and the rate (bit 0 of byte 6); the rest is the sequence
// body as it stands (unit, pad, events with any sizes, types, frames and paddings). The buffer
// holds as many bytes again after atom.size, stale bytes a host left from an earlier block, and
// they are poisoned for AddressSanitizer: reading any of them stops the run, as does a read past
// the buffer or an output that is not finite.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>
#include <sanitizer/asan_interface.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef CORVENA_FUZZ_BUNDLE
#define CORVENA_FUZZ_BUNDLE ""
#endif

namespace {

// A handful of URIDs, so that random event types name MIDI, the sequence and the time units
// often enough.
const char* const knownUris[] = {LV2_MIDI__MidiEvent, LV2_ATOM__Sequence, LV2_ATOM__frameTime,
                                 LV2_ATOM__beatTime};

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    for (LV2_URID i = 0; i < sizeof knownUris / sizeof *knownUris; ++i)
        if (std::strcmp(uri, knownUris[i]) == 0)
            return i + 1;
    return 100;
}

LV2_URID_Map uridMap{nullptr, mapUri};
LV2_Feature mapFeature{LV2_URID__map, &uridMap};
const LV2_Feature* features[] = {&mapFeature, nullptr};

constexpr uint32_t controlPorts = 64;
constexpr uint32_t largestBlock = 1024;

struct Plugin {
    explicit Plugin(double rate)
        : handle(descriptor->instantiate(descriptor, rate, CORVENA_FUZZ_BUNDLE, features)) {}
    ~Plugin() {
        if (handle != nullptr)
            descriptor->cleanup(handle);
    }
    const LV2_Descriptor* descriptor = lv2_descriptor(0);
    LV2_Handle handle;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One instance a rate lives for the whole run (a new one per input costs more than the
    // input); each input starts from a deactivation, which lets every note go.
    static Plugin atEngineRate(44100.0);
    static Plugin atOtherRate(48000.0);
    if (atEngineRate.handle == nullptr || atOtherRate.handle == nullptr)
        __builtin_trap();
    if (size < 8)
        return 0;
    uint16_t frames;
    uint32_t declaredSize;
    std::memcpy(&frames, data, sizeof frames);
    std::memcpy(&declaredSize, data + 2, sizeof declaredSize);
    // The engine's own rate (no converter) or a host's common other one.
    Plugin& plugin = (data[6] & 1) != 0 ? atOtherRate : atEngineRate;
    data += 8;
    size -= 8;

    const uint32_t blockFrames = frames % (largestBlock + 1);
    // The sequence: its atom header, then the input as the body, then as many stale bytes.
    const size_t bodyBytes = size;
    std::vector<uint64_t> memory((sizeof(LV2_Atom) + 2 * bodyBytes + 7) / 8 + 1, 0);
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(memory.data());
    sequence->atom.type = mapUri(nullptr, LV2_ATOM__Sequence);
    sequence->atom.size = uint32_t(declaredSize % (bodyBytes + 1));
    auto* body = reinterpret_cast<uint8_t*>(&sequence->body);
    std::memcpy(body, data, bodyBytes);
    std::memcpy(body + bodyBytes, data, bodyBytes);
    uint8_t* stale = body + sequence->atom.size;
    const size_t staleBytes = memory.size() * 8 - sizeof(LV2_Atom) - sequence->atom.size;
    ASAN_POISON_MEMORY_REGION(stale, staleBytes);

    std::vector<float> left(blockFrames + 1), right(blockFrames + 1);
    float latency = 0.0f;
    float controls[controlPorts] = {};
    plugin.descriptor->connect_port(plugin.handle, 0, sequence);
    plugin.descriptor->connect_port(plugin.handle, 1, left.data());
    plugin.descriptor->connect_port(plugin.handle, 2, right.data());
    plugin.descriptor->connect_port(plugin.handle, 3, &latency);
    // Controls stay unconnected but for a few, which take the defaults' neighbours: zero.
    for (uint32_t port = 4; port < 8; ++port)
        plugin.descriptor->connect_port(plugin.handle, port, &controls[port]);
    plugin.descriptor->activate(plugin.handle);
    plugin.descriptor->run(plugin.handle, blockFrames);
    // A second block reads the same sequence again, as a host that did not clear it would.
    plugin.descriptor->run(plugin.handle, blockFrames);
    plugin.descriptor->deactivate(plugin.handle);
    ASAN_UNPOISON_MEMORY_REGION(stale, staleBytes);
    for (uint32_t i = 0; i < blockFrames; ++i)
        if (!std::isfinite(left[i]) || !std::isfinite(right[i]))
            __builtin_trap();
    return 0;
}
