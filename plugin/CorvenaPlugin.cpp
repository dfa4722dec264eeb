#include "CorvenaPlugin.h"

#include "PluginIdentity.h"

#include "lv2/atom/util.h"
#include "lv2/midi/midi.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

// The engine keeps its resource directory with its terminator in DspBundleDirectoryPathCapacity
// bytes and opens "<directory>/data0.wt" from a path of the same size: the directory may take
// that less the terminator and the file name.
constexpr size_t pathCapacity = DspBundleDirectoryPathCapacity - 1;
const char* const wavetableFiles[] = {"data0.wt", "data1.wt"};
// 500 tables of 2049 little-endian doubles each.
constexpr off_t wavetableFileBytes = 500 * 2049 * 8;

// One line on stderr, then no instance.
CorvenaPlugin* refuse(const std::string& reason) {
    std::fprintf(stderr, "%s%s\n", plugin_identity::logPrefix, reason.c_str());
    return nullptr;
}

LV2_URID_Map* findMap(const LV2_Feature* const* features) {
    for (size_t i = 0; features != nullptr && features[i] != nullptr; ++i)
        if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            return static_cast<LV2_URID_Map*>(features[i]->data);
    return nullptr;
}

// The resource directory inside the bundle, or an empty string with the reason in `problem`.
std::string resourceDirectory(const char* bundlePath, std::string* problem) {
    if (bundlePath == nullptr || bundlePath[0] == '\0') {
        *problem = "the host gave no bundle path";
        return std::string();
    }
    std::string directory = bundlePath;
    if (directory.back() != '/')
        directory += '/';
    directory += plugin_identity::resourceDirectory;
    const size_t longest = pathCapacity - std::strlen("/data0.wt");
    if (directory.size() > longest) {
        *problem = "the bundle path is too long (" + std::to_string(directory.size()) +
                   " bytes with its resource directory; at most " + std::to_string(longest) +
                   "): install the bundle under a shorter path";
        return std::string();
    }
    for (const char* name : wavetableFiles) {
        const std::string file = directory + "/" + name;
        struct stat status;
        if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            *problem = "wavetable file " + file + " is missing: reinstall the bundle";
            return std::string();
        }
        if (status.st_size != wavetableFileBytes) {
            *problem = "wavetable file " + file + " is damaged (" + std::to_string(status.st_size) +
                       " bytes, not " + std::to_string(wavetableFileBytes) +
                       "): reinstall the bundle";
            return std::string();
        }
    }
    return directory;
}

} // namespace

CorvenaPlugin* CorvenaPlugin::create(double sampleRate, const char* bundlePath,
                                     const LV2_Feature* const* features) {
    LV2_URID_Map* map = findMap(features);
    if (map == nullptr || map->map == nullptr)
        return refuse("the host offers no urid:map, which reading MIDI needs");
    if (!(sampleRate >= EngineResampler::lowestHostRate &&
          sampleRate <= EngineResampler::highestHostRate))
        return refuse("sample rate " + std::to_string(sampleRate) +
                      " Hz is outside 8000 to 768000 Hz");
    std::string problem;
    std::string directory = resourceDirectory(bundlePath, &problem);
    if (directory.empty())
        return refuse(problem);

    // The engine's calling order: create, resource directory, callback, initialise.
    DspObject engine = CreateDspObject();
    if (engine == nullptr)
        return refuse("the engine could not be created");
    DspSetBundleDirectoryPath(engine, directory.data());
    DspSetParameterCallback(engine, nullptr);
    DspInitialize(engine);
    auto* plugin = new (std::nothrow) CorvenaPlugin(engine, sampleRate, map);
    if (plugin == nullptr) {
        ReleaseDspObject(engine);
        return refuse("out of memory");
    }
    if (!plugin->resampler.isReady()) {
        const std::string reason = plugin->resampler.failure();
        delete plugin;
        return refuse("cannot run at " + std::to_string(sampleRate) + " Hz: " + reason);
    }
    return plugin;
}

CorvenaPlugin::CorvenaPlugin(DspObject engine, double sampleRate, LV2_URID_Map* map)
    : engine(engine), resampler(engine, sampleRate), mapper(engine),
      midiEvent(map->map(map->handle, LV2_MIDI__MidiEvent)),
      sequence(map->map(map->handle, LV2_ATOM__Sequence)),
      beatTime(map->map(map->handle, LV2_ATOM__beatTime)) {
    for (float& value : postedControls)
        value = std::numeric_limits<float>::quiet_NaN();
}

CorvenaPlugin::~CorvenaPlugin() {
    ReleaseDspObject(engine);
}

void CorvenaPlugin::connectPort(uint32_t port, void* data) {
    switch (port) {
    case PortMap::midiInput:
        midiInput = static_cast<const LV2_Atom_Sequence*>(data);
        return;
    case PortMap::leftOutput:
        leftOutput = static_cast<float*>(data);
        return;
    case PortMap::rightOutput:
        rightOutput = static_cast<float*>(data);
        return;
    case PortMap::latencyOutput:
        latencyOutput = static_cast<float*>(data);
        return;
    default:
        break;
    }
    const ParameterType type = PortMap::parameterOf(port);
    if (type != ParameterTypeNone)
        controls[type] = static_cast<const float*>(data);
}

void CorvenaPlugin::activate() {}

void CorvenaPlugin::deactivate() {
    // Whatever was held when the host stopped is let go when it runs again.
    releasePending = true;
}

void CorvenaPlugin::run(uint32_t frames) {
    if (latencyOutput != nullptr)
        *latencyOutput = float(resampler.getLatencyFrames());
    if (frames == 0)
        return; // nothing is posted: changes wait for a block to place them in
    postControls();
    if (releasePending) {
        mapper.releaseAll(resampler.stampForHostFrame(0));
        releasePending = false;
    }
    playMidi(frames);
    resampler.render(leftOutput, rightOutput, frames);
    removeNonFinite(leftOutput, frames);
    removeNonFinite(rightOutput, frames);
}

void CorvenaPlugin::postControls() {
    for (ParameterType type = 0; type < ParameterTypeCount; ++type) {
        if (controls[type] == nullptr)
            continue;
        const float value = *controls[type];
        // Bit-equal values need no event; NaN is never posted, so the last good value stays.
        if (std::isnan(value) || std::memcmp(&value, &postedControls[type], sizeof value) == 0)
            continue;
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = resampler.stampForHostFrame(0);
        // The table's conversion clamps to its range; the engine snaps to the steps.
        DspSetEventWithTimeStamp(engine, stamp, EventSubTypeParameter, type,
                                 DspGetNormalizedValue(type, value), 0.0, 0.0);
        postedControls[type] = value;
    }
}

void CorvenaPlugin::playMidi(uint32_t frames) {
    if (midiInput == nullptr || midiInput->atom.type != sequence ||
        midiInput->atom.size < sizeof(LV2_Atom_Sequence_Body))
        return;
    // Walked by offsets into the sequence's body, never by a difference that can wrap: the last
    // event may leave its padding out of atom.size, and the bytes after it are whatever the host
    // left in its buffer from earlier blocks. An event whose header or body runs past atom.size
    // ends the walk. The header's `pad` is never read, and only a sequence stamped in beats is
    // taken as not in frames: hosts leave `unit` unset as often as they set it to frames.
    const uint32_t size = midiInput->atom.size;
    const bool inFrames = midiInput->body.unit != beatTime;
    const auto* body = reinterpret_cast<const uint8_t*>(&midiInput->body);
    int64_t lastFrame = 0;
    for (uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
         offset + sizeof(LV2_Atom_Event) <= size;) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + offset);
        const uint64_t payload = event->body.size;
        if (payload > size - offset - sizeof(LV2_Atom_Event))
            break;
        offset += sizeof(LV2_Atom_Event) + lv2_atom_pad_size(uint32_t(payload));
        // Events out of order are held to the last one's frame: the engine takes its events
        // in posting order.
        const int64_t frame = inFrames ? std::max(event->time.frames, lastFrame) : lastFrame;
        if (frame >= int64_t(frames))
            break; // stamped past the block: this and every later one are skipped
        lastFrame = frame;
        if (event->body.type != midiEvent)
            continue;
        mapper.map(reinterpret_cast<const uint8_t*>(event + 1), size_t(payload),
                   resampler.stampForHostFrame(uint64_t(frame)));
    }
}

void CorvenaPlugin::removeNonFinite(float* samples, uint32_t frames) {
    if (samples == nullptr)
        return;
    for (uint32_t i = 0; i < frames; ++i)
        if (!std::isfinite(samples[i]))
            samples[i] = 0.0f;
}
