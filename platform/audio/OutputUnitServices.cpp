#include "OutputUnitServices.h"

#include "DeviceStream.h"
#include "OutputUnit.h"

#include <cstring>

namespace {

struct OutputComponentRecord {
    AudioComponentDescription description;
};

// Components are static records: a handle to one stays valid for the life of the process.
OutputComponentRecord components[] = {
    {{kAudioUnitType_Output, kAudioUnitSubType_DefaultOutput, kAudioUnitManufacturer_System, 0, 0}},
    {{kAudioUnitType_Output, kAudioUnitSubType_ManualOutput, kAudioUnitManufacturer_System, 0, 0}},
};

// The one layout the units deliver: 44100 Hz, two interleaved 32-bit float channels. A unit
// whose format was never set plays that layout too.
bool isDeliverable(const AudioStreamBasicDescription& format) {
    if (format.mSampleRate == 0.0 && format.mFormatID == 0)
        return true;
    return format.mSampleRate == double(DeviceStream::sampleRateHz) &&
           format.mFormatID == kAudioFormatLinearPCM &&
           (format.mFormatFlags & kAudioFormatFlagIsFloat) != 0 &&
           (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0 &&
           format.mChannelsPerFrame == DeviceStream::channelCount && format.mBitsPerChannel == 32 &&
           format.mBytesPerFrame == 8;
}

bool matches(const AudioComponentDescription& have, const AudioComponentDescription& want) {
    auto field = [](uint32_t value, uint32_t wanted) { return wanted == 0 || value == wanted; };
    return field(have.componentType, want.componentType) &&
           field(have.componentSubType, want.componentSubType) &&
           field(have.componentManufacturer, want.componentManufacturer);
}

} // namespace

AudioComponent AudioComponentFindNext(AudioComponent previous,
                                      const AudioComponentDescription* description) {
    if (description == nullptr)
        return nullptr;
    const size_t count = sizeof(components) / sizeof(components[0]);
    size_t start = 0;
    if (previous != nullptr)
        start = size_t(reinterpret_cast<OutputComponentRecord*>(previous) - components) + 1;
    for (size_t i = start; i < count; ++i)
        if (matches(components[i].description, *description))
            return reinterpret_cast<AudioComponent>(&components[i]);
    return nullptr;
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioUnit* outUnit) {
    if (component == nullptr || outUnit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    auto* record = reinterpret_cast<OutputComponentRecord*>(component);
    auto* unit = new OutputUnit;
    unit->subType = record->description.componentSubType;
    *outUnit = unit;
    return kOutputUnitErr_None;
}

OSStatus AudioComponentInstanceDispose(AudioUnit unit) {
    if (unit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    AudioOutputUnitStop(unit);
    delete unit;
    return kOutputUnitErr_None;
}

OSStatus AudioUnitInitialize(AudioUnit unit) {
    if (unit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    unit->initialized = true;
    return kOutputUnitErr_None;
}

OSStatus AudioUnitSetProperty(AudioUnit unit, uint32_t property, uint32_t scope, uint32_t element,
                              const void* data, uint32_t dataSize) {
    if (unit == nullptr || data == nullptr || element != 0)
        return kOutputUnitErr_InvalidParameter;
    if (property == kAudioUnitProperty_StreamFormat && scope == kAudioUnitScope_Input &&
        dataSize == sizeof(AudioStreamBasicDescription)) {
        std::memcpy(&unit->format, data, sizeof unit->format);
        return kOutputUnitErr_None;
    }
    if (property == kAudioUnitProperty_SetRenderCallback && scope == kAudioUnitScope_Input &&
        dataSize == sizeof(AURenderCallbackStruct)) {
        if (unit->device != nullptr)
            return kOutputUnitErr_CannotDoInCurrentContext;
        std::memcpy(&unit->callback, data, sizeof unit->callback);
        return kOutputUnitErr_None;
    }
    return kOutputUnitErr_InvalidProperty;
}

OSStatus AudioOutputUnitStart(AudioUnit unit) {
    if (unit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    if (!unit->initialized) {
        unit->errorText = "the output unit is not initialised";
        return kOutputUnitErr_NotInitialized;
    }
    if (unit->running)
        return kOutputUnitErr_None;
    if (!isDeliverable(unit->format)) {
        unit->errorText = "unsupported stream format: only 44100 Hz, two interleaved 32-bit float "
                          "channels can be played";
        return kOutputUnitErr_FormatNotSupported;
    }
    unit->errorText.clear();
    if (unit->subType != kAudioUnitSubType_ManualOutput) {
        auto* device = new DeviceStream(unit);
        unit->device = device; // before the stream starts: the callback reads the unit at once
        const DeviceStream::StartResult result = device->start(unit->errorText);
        if (result != DeviceStream::StartResult::started) {
            unit->device = nullptr;
            delete device;
            return result == DeviceStream::StartResult::noDevice ? kOutputUnitErr_NoDevice
                                                                 : kOutputUnitErr_StreamFailed;
        }
    }
    unit->running = true;
    return kOutputUnitErr_None;
}

OSStatus AudioOutputUnitStop(AudioUnit unit) {
    if (unit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    if (unit->device != nullptr) {
        unit->device->stop(); // joins the audio thread's last callback before the unit changes
        delete unit->device;
        unit->device = nullptr;
    }
    unit->running = false;
    return kOutputUnitErr_None;
}

const char* OutputUnitErrorText(AudioUnit unit) {
    return unit == nullptr ? "no output unit" : unit->errorText.c_str();
}

bool OutputUnitIsRunning(AudioUnit unit) {
    return unit != nullptr && unit->running;
}

const char* OutputUnitDeviceDescription(AudioUnit unit) {
    if (unit == nullptr || unit->device == nullptr)
        return "";
    return unit->device->description().c_str();
}

uint64_t OutputUnitXrunCount(AudioUnit unit) {
    if (unit == nullptr || unit->device == nullptr)
        return 0;
    return unit->device->xrunCount();
}

OSStatus OutputUnitPull(AudioUnit unit, uint32_t frames, float* interleaved) {
    if (unit == nullptr || interleaved == nullptr ||
        unit->subType != kAudioUnitSubType_ManualOutput)
        return kOutputUnitErr_InvalidParameter;
    if (!unit->running)
        return kOutputUnitErr_NotInitialized;
    unit->renderInterleaved(frames, interleaved);
    return kOutputUnitErr_None;
}

OSStatus AudioDeviceCreateIOProcID(AudioDeviceID, AudioDeviceIOProc, void*, AudioDeviceIOProcID*) {
    return kOutputUnitErr_NoDevice;
}

OSStatus AudioDeviceGetCurrentTime(AudioDeviceID, AudioTimeStamp*) {
    return kOutputUnitErr_NoDevice;
}
