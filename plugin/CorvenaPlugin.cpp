#include "CorvenaPlugin.h"

#include "PluginIdentity.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

// The engine keeps its resource directory with its terminator in DspBundleDirectoryPathCapacity
// bytes and opens "<directory>/data0.wt" from a path of the same size: the directory may take
// that less the terminator and the file name.
constexpr size_t pathCapacity = DspBundleDirectoryPathCapacity - 1;
const char* const wavetableFiles[] = {"data0.wt", "data1.wt"};
// 500 tables of 2049 little-endian doubles each.
constexpr off_t wavetableFileBytes = 500 * 2049 * 8;

bool isDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Where each format keeps the tables: an LV2 bundle in its Resources.bundle, a VST3 bundle in
// Contents/Resources, and a CLAP plugin, a single file, in the directory beside it named after
// it (corvena.clap.resources).
std::string layoutDirectory(std::string bundle) {
    struct stat status;
    if (stat(bundle.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        return bundle + plugin_identity::singleFileResourceSuffix;
    while (bundle.size() > 1 && bundle.back() == '/')
        bundle.pop_back();
    if (isDirectory(bundle + "/Contents"))
        return bundle + "/Contents/Resources";
    return bundle + "/" + plugin_identity::resourceDirectory;
}

} // namespace

std::string CorvenaPlugin::resourceDirectory(const char* bundlePath, std::string* problem) {
    if (bundlePath == nullptr || bundlePath[0] == '\0') {
        *problem = "the host gave no bundle path";
        return std::string();
    }
    const std::string directory = layoutDirectory(bundlePath);
    const size_t longest = pathCapacity - std::strlen("/data0.wt");
    if (directory.size() > longest) {
        *problem = "the bundle path is too long (" + std::to_string(directory.size()) +
                   " bytes with its resource directory; at most " + std::to_string(longest) +
                   "): install the plugin under a shorter path";
        return std::string();
    }
    for (const char* name : wavetableFiles) {
        const std::string file = directory + "/" + name;
        struct stat status;
        if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            *problem = "wavetable file " + file + " is missing: reinstall the plugin";
            return std::string();
        }
        if (status.st_size != wavetableFileBytes) {
            *problem = "wavetable file " + file + " is damaged (" + std::to_string(status.st_size) +
                       " bytes, not " + std::to_string(wavetableFileBytes) +
                       "): reinstall the plugin";
            return std::string();
        }
    }
    return directory;
}

std::unique_ptr<CorvenaPlugin> CorvenaPlugin::create(double sampleRate, const char* bundlePath,
                                                     std::string* problem) {
    if (!(sampleRate >= EngineResampler::lowestHostRate &&
          sampleRate <= EngineResampler::highestHostRate)) {
        *problem = "sample rate " + std::to_string(sampleRate) + " Hz is outside 8000 to 768000 Hz";
        return nullptr;
    }
    std::string directory = resourceDirectory(bundlePath, problem);
    if (directory.empty())
        return nullptr;

    // The engine's calling order: create, resource directory, callback, initialise.
    DspObject engine = CreateDspObject();
    if (engine == nullptr) {
        *problem = "the engine could not be created";
        return nullptr;
    }
    DspSetBundleDirectoryPath(engine, directory.data());
    DspSetParameterCallback(engine, nullptr);
    DspInitialize(engine);
    std::unique_ptr<CorvenaPlugin> plugin(new (std::nothrow) CorvenaPlugin(engine, sampleRate));
    if (plugin == nullptr) {
        ReleaseDspObject(engine);
        *problem = "out of memory";
        return nullptr;
    }
    if (!plugin->resampler.isReady()) {
        *problem =
            "cannot run at " + std::to_string(sampleRate) + " Hz: " + plugin->resampler.failure();
        return nullptr;
    }
    return plugin;
}

CorvenaPlugin::CorvenaPlugin(DspObject engine, double sampleRate)
    : engine(engine), resampler(engine, sampleRate), mapper(engine) {
    for (ParameterType type = 0; type < ParameterTypeCount; ++type) {
        controls[type].store(std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);
        postedControls[type] = std::numeric_limits<float>::quiet_NaN();
    }
}

CorvenaPlugin::~CorvenaPlugin() {
    ReleaseDspObject(engine);
}

void CorvenaPlugin::setControl(ParameterType type, float value) {
    if (type <= ParameterTypeNone || type >= ParameterTypeCount || std::isnan(value))
        return;
    controls[type].store(value, std::memory_order_relaxed);
}

void CorvenaPlugin::beginBlock(uint32_t frames) {
    blockFrames = frames;
    lastFrame = 0;
    if (frames == 0)
        return; // nothing is posted: changes wait for a block to place them in
    const double start = resampler.stampForHostFrame(0);
    for (ParameterType type = 0; type < ParameterTypeCount; ++type) {
        const float value = controls[type].load(std::memory_order_relaxed);
        // Bit-equal values need no event; NaN is never posted, so the last good value stays.
        if (std::isnan(value) || std::memcmp(&value, &postedControls[type], sizeof value) == 0)
            continue;
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = start;
        // The table's conversion clamps to its range; the engine snaps to the steps.
        DspSetEventWithTimeStamp(engine, stamp, EventSubTypeParameter, type,
                                 DspGetNormalizedValue(type, value), 0.0, 0.0);
        postedControls[type] = value;
    }
    if (releasePending.exchange(false, std::memory_order_acq_rel))
        mapper.releaseAll(start);
}

void CorvenaPlugin::playMidi(const uint8_t* bytes, size_t size, uint32_t frame) {
    // The engine takes its events in posting order: one earlier than the last is held to the
    // last one's frame; one past the block has no frame to sound on.
    if (bytes == nullptr || frame >= blockFrames)
        return;
    lastFrame = std::max(frame, lastFrame);
    mapper.map(bytes, size, resampler.stampForHostFrame(lastFrame));
}

void CorvenaPlugin::render(float* left, float* right) {
    if (blockFrames == 0)
        return;
    resampler.render(left, right, blockFrames);
    removeNonFinite(left, blockFrames);
    removeNonFinite(right, blockFrames);
}

void CorvenaPlugin::removeNonFinite(float* samples, uint32_t frames) {
    if (samples == nullptr)
        return;
    for (uint32_t i = 0; i < frames; ++i)
        if (!std::isfinite(samples[i]))
            samples[i] = 0.0f;
}
