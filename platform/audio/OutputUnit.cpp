#include "OutputUnit.h"

#include "HostClock.h"
#include "OutputDevice.h"

#include <cstring>

OutputUnit::~OutputUnit() {
    delete device;
}

void OutputUnit::renderInterleaved(uint32_t frames, float* interleaved) {
    AudioTimeStamp stamp{};
    stamp.mSampleTime = sampleTime;
    stamp.mHostTime = HostClock::nowNanoseconds();
    stamp.mRateScalar = 1.0;
    AudioBufferList list{};
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 2;
    list.mBuffers[0].mDataByteSize = frames * 2 * sizeof(float);
    list.mBuffers[0].mData = interleaved;
    uint32_t flags = 0;
    if (callback.inputProc != nullptr)
        callback.inputProc(callback.inputProcRefCon, &flags, &stamp, 0, frames, &list);
    else
        std::memset(interleaved, 0, size_t(frames) * 2 * sizeof(float));
    sampleTime += frames;
}
