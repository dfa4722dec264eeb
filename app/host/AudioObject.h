// A description of audio at the level of devices, their streams and channels, beside the
// engine's device-level entry points (DspCreateInputProc, DspCreateOutputProc). The program
// declares these types but builds no AudioObject and calls neither entry point: sound goes
// through the output unit that AudioUnitWrapper starts.
#pragma once

#include "CorvenaAudioTypes.h"

#include <optional>
#include <string>
#include <vector>

enum class AudioIOType { input, output };

struct channelInfo {
    int number = 0;
    int deviceID = 0;
    std::string deviceName;
    AudioIOType type = AudioIOType::output;
    int streamID = 0;
    AudioStreamBasicDescription audioStreamBasicDescription{};
    int channelID = 0;
    std::string channelName;
    int channelCount = 0;
    int bufferSize = 0;
};

// The delegate of an AudioObject; nothing adopts or calls it.
class AudioObjectDelegate {};

class AudioObject {
public:
    AudioObjectDelegate* delegate = nullptr; // not owned
    void* ptr = nullptr;                     // an engine handle
    std::vector<channelInfo> channelInfoArray;
    std::vector<channelInfo> inputChannelInfoArray;
    std::vector<channelInfo> outputChannelInfoArray;
    std::optional<channelInfo> currentOutputChannelInfo;
    std::optional<channelInfo> currentInputChannelInfo;
    std::optional<AudioDeviceIOProc> currentInputProcID;
    std::optional<AudioDeviceIOProc> currentOutputProcID;
    int inputChannelOffset = 0;
    int outputChannelOffset = 0;
    double currentSapmleRate = 0.0;
    bool outputMute = false;
    double outputVolume = 0.0;
    double meterMagnification = 0.0;
};
