#include "EngineResampler.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

namespace {

// Host frames the latency probe reads, one at a time: past the converter's start-up and over
// many periods of every rate pattern, so the read-ahead it sees is the largest there is.
constexpr uint32_t probeFrames = 8192;

struct ZeroSource {
    static constexpr uint32_t frames = EngineResampler::pullFrames;
    float samples[2 * frames] = {};
    uint64_t supplied = 0;

    static long pull(void* self, float** data) {
        auto* source = static_cast<ZeroSource*>(self);
        source->supplied += frames;
        *data = source->samples;
        return frames;
    }
};

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
    ratio = hostRate / engineRate;
    scratch = new (std::nothrow) float[passThroughFrames];
    if (scratch == nullptr) {
        fail("out of memory");
        return;
    }
    if (hostRate == engineRate) {
        ready = true;
        return;
    }
    pullBuffer = new (std::nothrow) float[2 * pullFrames];
    outputBuffer = new (std::nothrow) float[2 * outputFrames];
    int error = 0;
    converter = src_callback_new(&EngineResampler::pull, SRC_SINC_MEDIUM_QUALITY, 2, &error, this);
    if (pullBuffer == nullptr || outputBuffer == nullptr || converter == nullptr) {
        fail(converter == nullptr ? src_strerror(error) : "out of memory");
        return;
    }
    if (!measureLatency(SRC_SINC_MEDIUM_QUALITY)) {
        fail("the sample-rate converter could not be measured");
        return;
    }
    ready = true;
}

EngineResampler::~EngineResampler() {
    if (converter != nullptr)
        src_delete(converter);
    delete[] pullBuffer;
    delete[] outputBuffer;
    delete[] scratch;
}

void EngineResampler::fail(const char* reason) {
    ready = false;
    failureReason = reason;
}

bool EngineResampler::measureLatency(int converterType) {
    // The converter pulls engine frames before it writes the host frames they make. Events for
    // a block are posted before its render, so the engine must not have rendered the frame an
    // event is meant for; the latency is the most the converter is ever ahead, plus the half
    // engine frame by which a host frame is rounded onto the engine's grid. Measured on a twin
    // fed silence, in single-frame reads so that every state between reads is seen.
    ZeroSource source;
    int error = 0;
    SRC_STATE* twin = src_callback_new(&ZeroSource::pull, converterType, 2, &error, &source);
    if (twin == nullptr)
        return false;
    float frame[2];
    double mostAhead = 0.0;
    bool complete = true;
    for (uint32_t written = 1; written <= probeFrames && complete; ++written) {
        complete = src_callback_read(twin, ratio, 1, frame) == 1;
        mostAhead = std::max(mostAhead, double(source.supplied) * ratio - double(written));
    }
    src_delete(twin);
    if (!complete)
        return false;
    latencyFrames = uint32_t(std::ceil(mostAhead + 0.5 * ratio)) + 1;
    return true;
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
        renderEngine(left != nullptr ? left + done : scratch,
                     right != nullptr ? right + done : scratch, n);
        done += n;
    }
}

void EngineResampler::renderConverted(float* left, float* right, uint32_t frames) {
    for (uint32_t done = 0; done < frames;) {
        const uint32_t wanted = std::min(frames - done, outputFrames);
        long got = src_callback_read(converter, ratio, long(wanted), outputBuffer);
        if (got < 0 || uint32_t(got) > wanted)
            got = 0;
        // The converter never runs dry (the engine never ends); should it fail, the rest of the
        // block is silence rather than stale memory.
        std::fill(outputBuffer + 2 * got, outputBuffer + 2 * wanted, 0.0f);
        for (uint32_t i = 0; i < wanted; ++i) {
            if (left != nullptr)
                left[done + i] = outputBuffer[2 * i];
            if (right != nullptr)
                right[done + i] = outputBuffer[2 * i + 1];
        }
        done += wanted;
    }
}

long EngineResampler::pull(void* self, float** data) {
    auto* resampler = static_cast<EngineResampler*>(self);
    resampler->renderEngine(resampler->pullBuffer, pullFrames);
    *data = resampler->pullBuffer;
    return pullFrames;
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
