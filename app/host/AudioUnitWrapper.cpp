#include "AudioUnitWrapper.h"

#include "DspPointer.h"
#include "OutputUnitServices.h"
#include "ParameterCallback.h"
#include "ResourceDirectory.h"

#include <vector>

AudioUnitWrapper audioUnitWrapper;

namespace {

// The engine copies the path into its buffer with the terminator.
constexpr size_t longestEnginePath = DspBundleDirectoryPathCapacity - 1;

} // namespace

AudioStreamBasicDescription AudioUnitWrapper::standardFormat(double rate, uint32_t channels) {
    AudioStreamBasicDescription format{};
    format.mSampleRate = rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerPacket = 4;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = 4;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    format.mReserved = 0;
    return format;
}

AudioStreamBasicDescription
AudioUnitWrapper::streamFormatFrom(const AudioStreamBasicDescription& standard) {
    AudioStreamBasicDescription format{};
    format.mSampleRate = standard.mSampleRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked; // 9: interleaved
    format.mBytesPerPacket = 8;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = 8;
    format.mChannelsPerFrame = 2;
    format.mBitsPerChannel = 32;
    format.mReserved = standard.mReserved;
    return format;
}

bool AudioUnitWrapper::fail(std::string message) {
    state = State::failed;
    failure = std::move(message);
    // A unit that will never play is let go, with whatever device it had opened. The engine
    // keeps this field's address; the handle it finds there is then null, not a freed unit.
    if (audioUnit != nullptr) {
        AudioComponentInstanceDispose(audioUnit);
        audioUnit = nullptr;
    }
    return false;
}

bool AudioUnitWrapper::initialize() {
    if (state != State::notStarted)
        return state == State::running;

    // 1. The system's default output.
    const AudioComponentDescription description{kAudioUnitType_Output,
                                                kAudioUnitSubType_DefaultOutput,
                                                kAudioUnitManufacturer_System, 0, 0};
    AudioComponent component = AudioComponentFindNext(nullptr, &description);
    if (component == nullptr)
        return fail("audio output: no default output component");

    // 2. and 3. An instance, initialised before its format is set.
    AudioComponentInstanceNew(component, &audioUnit);
    if (audioUnit == nullptr)
        return fail("audio output: the default output unit could not be created");
    AudioUnitInitialize(audioUnit);

    // 4. and 5. The stream format on the input scope, the side the render callback feeds.
    const AudioStreamBasicDescription format = streamFormatFrom(standardFormat(samplingRate, 2));
    AudioUnitSetProperty(audioUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                         &format, sizeof format);

    // 6. The engine, also as the process-wide handle the MIDI input and the panel post to.
    ptr = CreateDspObject();
    dspPointer = ptr;

    // 7. The resource directory, found from where the engine library was loaded.
    const ResourceLookup resources =
        ResourceDirectory::locate(reinterpret_cast<const void*>(&CreateDspObject));
    if (!resources.found)
        return fail(resources.error);
    if (resources.path.size() > longestEnginePath)
        return fail("the resource directory path is longer than " +
                    std::to_string(longestEnginePath) + " bytes: " + resources.path);
    std::vector<char> path(resources.path.begin(), resources.path.end());
    path.push_back('\0');
    DspSetBundleDirectoryPath(ptr, path.data());

    // 8. to 10. Callback, initialisation, and the unit handed over: the engine installs its
    // render callback and starts the unit.
    DspSetParameterCallback(ptr, parameterCallback);
    DspInitialize(ptr);
    DspAudioUnitSetCreateOutputProc(ptr, &audioUnit);

    // The engine does not read the start's status; a unit that is not running means silence for
    // the whole session, so the unit's own account of why stops start-up here.
    if (!OutputUnitIsRunning(audioUnit))
        return fail(std::string("audio output: ") + OutputUnitErrorText(audioUnit));
    state = State::running;
    return true;
}

std::string AudioUnitWrapper::startLine() const {
    if (state != State::running)
        return {};
    return std::string("audio through ") + OutputUnitDeviceDescription(audioUnit);
}

std::string AudioUnitWrapper::xrunLine() const {
    if (state != State::running)
        return {};
    const uint64_t xruns = OutputUnitXrunCount(audioUnit);
    return std::to_string(xruns) + (xruns == 1 ? " xrun" : " xruns") + " on the audio output";
}
