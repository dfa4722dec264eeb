#include "OutputUnitServices.h"

#include "OutputDevice.h"
#include "OutputUnit.h"

#include <cstring>

namespace {

// The one layout the units deliver: 44100 Hz, two interleaved 32-bit float channels. A unit
// whose format was never set plays that layout too.
bool isDeliverable(const AudioStreamBasicDescription& format) {
    if (format.mSampleRate == 0.0 && format.mFormatID == 0)
        return true;
    return format.mSampleRate == double(outputSampleRateHz) &&
           format.mFormatID == kAudioFormatLinearPCM &&
           (format.mFormatFlags & kAudioFormatFlagIsFloat) != 0 &&
           (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0 &&
           format.mChannelsPerFrame == outputChannelCount && format.mBitsPerChannel == 32 &&
           format.mBytesPerFrame == 8;
}

} // namespace

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
        if (unit->createDevice == nullptr) {
            unit->errorText = "no audio output device support in this program";
            return kOutputUnitErr_NoDevice;
        }
        unit->followsHostClock = true;
        OutputDevice* device = unit->createDevice(unit);
        unit->device = device; // before the stream starts: the callback reads the unit at once
        const OutputDevice::StartResult result = device->start(unit->errorText);
        if (result != OutputDevice::StartResult::started) {
            unit->device = nullptr;
            delete device;
            return result == OutputDevice::StartResult::noDevice ? kOutputUnitErr_NoDevice
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

bool OutputUnitIsInterrupted(AudioUnit unit) {
    return unit != nullptr && unit->device != nullptr && unit->device->interrupted();
}

uint64_t OutputUnitXrunCount(AudioUnit unit) {
    if (unit == nullptr || unit->device == nullptr)
        return 0;
    return unit->device->xrunCount();
}

bool OutputUnitSampleTimeAt(AudioUnit unit, uint64_t hostNanoseconds, double* outSampleTime) {
    return unit != nullptr && outSampleTime != nullptr &&
           unit->sampleTimeAt(hostNanoseconds, outSampleTime);
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
