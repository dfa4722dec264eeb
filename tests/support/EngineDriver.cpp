#include "EngineDriver.h"

#include <algorithm>
#include <cstring>

EngineDriver::EngineDriver(const std::string& resourceDirectory) {
    dsp = CreateDspObject();
    std::vector<char> path(resourceDirectory.begin(), resourceDirectory.end());
    path.push_back('\0');
    DspSetBundleDirectoryPath(dsp, path.data());
    DspInitialize(dsp);
}

EngineDriver::~EngineDriver() {
    ReleaseDspObject(dsp);
}

double EngineDriver::post(uint64_t stampSample, EventSubType subType, ParameterType type,
                          double value1, double value2, double value3) {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = double(stampSample);
    return DspSetEventWithTimeStamp(dsp, stamp, subType, type, value1, value2, value3);
}

void EngineDriver::noteOn(uint64_t stampSample, int note, int velocity) {
    post(stampSample, EventSubTypeNoteOn, ParameterTypeNone, note, velocity);
}

void EngineDriver::noteOff(uint64_t stampSample, int note) {
    post(stampSample, EventSubTypeNoteOff, ParameterTypeNone, note);
}

double EngineDriver::parameter(uint64_t stampSample, ParameterType type, double normalized) {
    return post(stampSample, EventSubTypeParameter, type, normalized);
}

EngineDriver::Stereo EngineDriver::render(size_t frames, uint32_t blockSize) {
    Stereo out;
    out.left.reserve(frames);
    out.right.reserve(frames);
    std::vector<float> block(size_t(blockSize) * 2);
    while (frames > 0) {
        const uint32_t n = uint32_t(std::min<size_t>(frames, blockSize));
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = double(sampleTime);
        stamp.mHostTime = hostTime + sampleTime * 1000000000ull / 44100;
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0].mNumberChannels = 2;
        list.mBuffers[0].mDataByteSize = n * 2 * sizeof(float);
        list.mBuffers[0].mData = block.data();
        uint32_t flags = 0;
        AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, n, &list);
        for (uint32_t i = 0; i < n; ++i) {
            out.left.push_back(block[2 * i]);
            out.right.push_back(block[2 * i + 1]);
        }
        sampleTime += n;
        frames -= n;
    }
    return out;
}
