#include "EngineResampler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

namespace {

AudioTimeStamp engineTimeStamp(uint64_t engineFrame) {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    // Engine frame n is rendered at sample time latency + n: an event stamped n is due exactly
    // then.
    const uint64_t sampleTime = engineFrame + DspEventLatencySamples;
    stamp.mSampleTime = double(sampleTime);
    stamp.mHostTime = 1000000000ull + uint64_t(double(sampleTime) / 44100.0 * 1e9);
    return stamp;
}

// The engine takes a list of n buffers as the declared list with room for n behind it.
struct StereoBufferList {
    uint32_t mNumberBuffers;
    AudioBuffer mBuffers[2];
};
static_assert(offsetof(StereoBufferList, mBuffers) == offsetof(AudioBufferList, mBuffers));

} // namespace

EngineResampler::EngineResampler(DspObject engine, double hostRate)
    : engine(engine), hostRate(hostRate) {
    if (engine == nullptr) {
        fail("no engine");
        return;
    }
    if (!(hostRate >= lowestHostRate && hostRate <= highestHostRate)) {
        fail("sample rate outside 8000 to 768000 Hz");
        return;
    }
    scratch.reset(new (std::nothrow) float[passThroughFrames]);
    if (scratch == nullptr) {
        fail("out of memory");
        return;
    }
    if (hostRate == engineRate) {
        ready = true;
        return;
    }
    outputBuffer.reset(new (std::nothrow) float[2 * outputFrames]);
    converter.reset(new (std::nothrow)
                        RateConverter(engineRate, hostRate, &EngineResampler::pull, this));
    if (outputBuffer == nullptr || converter == nullptr) {
        fail("out of memory");
        return;
    }
    if (!converter->isReady()) {
        fail(converter->failure());
        return;
    }
    // Events for a block are posted before its render, so the engine must not have rendered
    // the frame an event is meant for: the latency is the most the converter is ever ahead,
    // plus the half engine frame by which a host frame is rounded onto the engine's grid.
    const double ratio = hostRate / engineRate;
    latencyFrames = uint32_t(std::ceil(converter->readAheadFrames() + 0.5 * ratio)) + 1;
    ready = true;
}

EngineResampler::~EngineResampler() = default;

void EngineResampler::fail(const char* reason) {
    ready = false;
    failureReason = reason;
}

double EngineResampler::stampForHostFrame(uint64_t frame) {
    uint64_t engineFrame = hostFrames + frame;
    if (converter != nullptr) {
        const double exact = double(hostFrames + frame + latencyFrames) * engineRate / hostRate;
        engineFrame = uint64_t(std::floor(exact + 0.5));
    }
    return stampForEngineFrame(engineFrame);
}

double EngineResampler::stampForEngineFrame(uint64_t frame) {
    if (frame < engineFrames) {
        ++lateStamps;
        frame = engineFrames;
    }
    return double(frame);
}

void EngineResampler::render(float* left, float* right, uint32_t frames) {
    if (!ready || frames == 0)
        return;
    if (converter == nullptr)
        renderPassThrough(left, right, frames);
    else
        renderConverted(left, right, frames);
    hostFrames += frames;
}

void EngineResampler::renderPassThrough(float* left, float* right, uint32_t frames) {
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min(frames - done, passThroughFrames);
        // A dropped channel is still rendered, into scratch memory: the engine writes both.
        renderEngine(left != nullptr ? left + done : scratch.get(),
                     right != nullptr ? right + done : scratch.get(), n);
        done += n;
    }
}

void EngineResampler::renderConverted(float* left, float* right, uint32_t frames) {
    for (uint32_t done = 0; done < frames;) {
        const uint32_t wanted = std::min(frames - done, outputFrames);
        converter->read(outputBuffer.get(), wanted);
        for (uint32_t i = 0; i < wanted; ++i) {
            if (left != nullptr)
                left[done + i] = outputBuffer[2 * i];
            if (right != nullptr)
                right[done + i] = outputBuffer[2 * i + 1];
        }
        done += wanted;
    }
}

void EngineResampler::pull(void* self, float* interleaved, uint32_t frames) {
    static_cast<EngineResampler*>(self)->renderEngine(interleaved, frames);
}

void EngineResampler::renderEngine(float* interleaved, uint32_t frames) {
    const AudioTimeStamp stamp = engineTimeStamp(engineFrames);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 2;
    list.mBuffers[0].mDataByteSize = frames * 2 * uint32_t(sizeof(float));
    list.mBuffers[0].mData = interleaved;
    uint32_t flags = 0;
    AudioUnitAudioOutputProc(engine, &flags, &stamp, 0, frames, &list);
    engineFrames += frames;
}

void EngineResampler::renderEngine(float* left, float* right, uint32_t frames) {
    const AudioTimeStamp stamp = engineTimeStamp(engineFrames);
    StereoBufferList list;
    list.mNumberBuffers = 2;
    list.mBuffers[0] = {1, frames * uint32_t(sizeof(float)), left};
    list.mBuffers[1] = {1, frames * uint32_t(sizeof(float)), right};
    uint32_t flags = 0;
    AudioUnitAudioOutputProc(engine, &flags, &stamp, 0, frames,
                             reinterpret_cast<AudioBufferList*>(&list));
    engineFrames += frames;
}
