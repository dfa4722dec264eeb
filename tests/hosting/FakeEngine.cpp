#include "FakeEngine.h"

FakeEngine::FakeEngine() {
    posted.reserve(4096);
    renderStartTimes.reserve(65536);
    renderFrameCounts.reserve(65536);
}

double FakeEngine::outputAt(uint64_t frame) const {
    double value = signal(frame);
    for (const PostedEvent& event : posted)
        if (event.subType == EventSubTypeNoteOn && double(frame) >= event.sampleTime)
            value += 1.0;
    return value;
}

extern "C" double DspSetEventWithTimeStamp(DspObject dsp, AudioTimeStamp timeStamp,
                                           EventSubType subType, ParameterType parameterType,
                                           double value1, double value2, double) {
    auto* engine = static_cast<FakeEngine*>(dsp);
    engine->posted.push_back({timeStamp.mSampleTime, subType, parameterType, value1, value2});
    return value1;
}

extern "C" OSStatus AudioUnitAudioOutputProc(void* refCon, uint32_t*,
                                             const AudioTimeStamp* timeStamp, uint32_t, uint32_t,
                                             AudioBufferList* data) {
    auto* engine = static_cast<FakeEngine*>(refCon);
    const AudioBuffer& first = data->mBuffers[0];
    const uint32_t frames = first.mDataByteSize / (first.mNumberChannels * 4u);
    const auto start = uint64_t(timeStamp->mSampleTime) - DspEventLatencySamples;
    if (engine->recordRenders) {
        engine->renderStartTimes.push_back(timeStamp->mSampleTime);
        engine->renderFrameCounts.push_back(frames);
    }
    for (uint32_t i = 0; i < frames; ++i) {
        const auto value = float(engine->outputAt(start + i));
        if (data->mNumberBuffers == 2) {
            static_cast<float*>(data->mBuffers[0].mData)[i] = value;
            static_cast<float*>((&data->mBuffers[0])[1].mData)[i] = -value;
        } else {
            static_cast<float*>(first.mData)[2 * i] = value;
            static_cast<float*>(first.mData)[2 * i + 1] = -value;
        }
    }
    return 0;
}
