#include "Zelvar_Dsp.h"

#include "DspEventBuilder.h"
#include "HostClock.h"
#include "NumericConversion.h"
#include "OutputUnitServices.h"
#include "Zelvar_CircularBuffer.h"
#include "Zelvar_SamplingRateConverter.h"
#include "Zelvar_Sequencer.h"
#include "Zelvar_Voice.h"
#include "Zelvar_VoiceList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

Zelvar_Dsp::Zelvar_Dsp() = default;

Zelvar_Dsp::~Zelvar_Dsp() {
    delete samplingRateConverter;
    delete voiceList;
    delete sequencer;
    delete circularBuffer;
    delete subEventBuffer;
    delete eventBuffer;
    delete parameterManager;
}

void Zelvar_Dsp::initialize() {
    if (isInitialized())
        return; // units are built once; a second call would free them under the audio thread
    circularBuffer = new Zelvar_CircularBuffer;
    circularBuffer->initialize(2048);
    parameterManager = new Zelvar_ParameterManager;
    parameterManager->initialize();
    eventBuffer = new Zelvar_EventBuffer;
    eventBuffer->initialize(eventBufferCapacity);
    subEventBuffer = new Zelvar_EventBuffer;
    subEventBuffer->initialize(eventBufferCapacity);
    sequencer = new Zelvar_Sequencer(480, 120.0, 1920, true, samplingRate);
    sequencer->initialize();
    voiceList = new Zelvar_VoiceList;
    voiceList->setBundleDirectoryPath(bundleDirectoryPath);
    voiceList->setParameterManager(parameterManager);
    voiceList->initialize();
    voiceList->setSamplingRate(samplingRate);
    // Built for hosts that need 48 kHz; the render loop itself produces 44.1 kHz directly.
    samplingRateConverter = new Zelvar_SamplingRateConverter(
        &Zelvar_SamplingRateConverter::renderFrom<Zelvar_Dsp>, this, samplingRate, 48000.0, 1024);
    samplingRateConverter->initialize();
    hostTimeOffset.store(0, std::memory_order_release);
}

ParameterInfo Zelvar_Dsp::getParameterInfo(int type) {
    if (!isInitialized()) {
        ParameterInfo empty;
        std::memset(&empty, 0, sizeof empty);
        return empty;
    }
    return parameterManager->getParameterInfo(type);
}

bool Zelvar_Dsp::setBundleDirectoryPath(const char* path) {
    if (path == nullptr)
        return false;
    const size_t length = strnlen(path, sizeof bundleDirectoryPath);
    if (length >= sizeof bundleDirectoryPath)
        return false;
    std::memcpy(bundleDirectoryPath, path, length + 1);
    return true;
}

void Zelvar_Dsp::hello() {
    std::fputs("hello", stdout);
    std::fflush(stdout);
}

OSStatus Zelvar_Dsp::audioUnitSetOutputProc(AudioUnit* unit) {
    if (unit == nullptr)
        return 0;
    AURenderCallbackStruct callback{AudioUnitAudioOutputProc, this};
    AudioUnitSetProperty(*unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                         &callback, sizeof callback);
    AudioOutputUnitStart(*unit);
    audioUnitMode.store(true, std::memory_order_release);
    return 0;
}

OSStatus Zelvar_Dsp::createOutputProc(uint32_t device, AudioDeviceIOProcID* outId) {
    outputDeviceId = device;
    const OSStatus status = AudioDeviceCreateIOProcID(device, AudioOutputIOProc, this, outId);
    audioUnitMode.store(false, std::memory_order_release);
    return status;
}

OSStatus Zelvar_Dsp::createInputProc(uint32_t device, AudioDeviceIOProcID* outId) {
    inputDeviceId = device;
    return AudioDeviceCreateIOProcID(device, AudioInputIOProc, this, outId);
}

void Zelvar_Dsp::renderOutput(const AudioTimeStamp* timeStamp, AudioBufferList* buffers) {
    if (timeStamp == nullptr)
        return;
    if (hostTimeOffset.load(std::memory_order_relaxed) == 0) {
        const double elapsedNs = timeStamp->mSampleTime / samplingRate * 1000 * 1000 * 1000;
        hostTimeOffset.store(timeStamp->mHostTime - truncateToUInt64(elapsedNs),
                             std::memory_order_release);
    }
    render(truncateToUInt64(timeStamp->mSampleTime), buffers);
}

void Zelvar_Dsp::render(uint64_t sampleTime, AudioBufferList* buffers) {
    samplePosition.store(sampleTime, std::memory_order_relaxed);
    if (buffers == nullptr || buffers->mNumberBuffers == 0)
        return;
    const AudioBuffer& first = buffers->mBuffers[0];
    // A buffer with no channel, no memory or room for less than one frame renders nothing.
    if (first.mNumberChannels == 0 || first.mData == nullptr)
        return;
    const uint32_t frames = first.mDataByteSize / (first.mNumberChannels * 4u);
    if (frames == 0)
        return;
    if (buffers->mNumberBuffers == 2)
        renderNonInterleaved(frames, buffers);
    else if (buffers->mNumberBuffers == 1)
        renderInterleaved(frames, &buffers->mBuffers[0]);
}

void Zelvar_Dsp::renderNonInterleaved(uint32_t frames, AudioBufferList* buffers) {
    const AudioBuffer& second = buffers->mBuffers[1];
    if (second.mData == nullptr)
        return;
    // The right buffer may be shorter than the left: never write past it.
    const uint32_t rightFrames = second.mDataByteSize / 4u;
    if (rightFrames < frames)
        frames = rightFrames;
    renderFrames(frames, static_cast<float*>(buffers->mBuffers[0].mData), 1,
                 static_cast<float*>(second.mData), 1);
}

void Zelvar_Dsp::renderInterleaved(uint32_t frames, AudioBuffer* buffer) {
    const uint32_t channels = buffer->mNumberChannels;
    float* data = static_cast<float*>(buffer->mData);
    // A mono buffer has no slot for the right channel: it carries the left one alone.
    renderFrames(frames, data, channels, channels >= 2 ? data + 1 : nullptr, channels);
}

namespace {

// The most frames the voice list renders in one run.
constexpr int runCapacity = Zelvar_Voice::maximumRunFrames;

} // namespace

// Frames go in runs: at a run's first frame the due events are dispatched, as renderSample
// does; the run then lasts until the next frame at which an event, a sequencer step or a pass
// start falls due, so the voice list can render it voice by voice. Events waiting in the rings
// when a run starts land on their exact frame.
void Zelvar_Dsp::renderFrames(uint32_t frames, float* left, uint32_t leftStride, float* right,
                              uint32_t rightStride) {
    uint64_t position = samplePosition.load(std::memory_order_relaxed);
    if (!isInitialized()) {
        for (uint32_t i = 0; i < frames; ++i) {
            left[i * leftStride] = 0.0f;
            if (right != nullptr)
                right[i * rightStride] = 0.0f;
        }
        samplePosition.store(position + frames, std::memory_order_relaxed);
        return;
    }
    double l[runCapacity];
    double r[runCapacity];
    for (uint32_t i = 0; i < frames;) {
        dispatch(position);
        voiceList->update();
        uint64_t limit = std::min<uint64_t>(frames - i, runCapacity);
        for (uint64_t due : {eventBuffer->nextDueTime(), subEventBuffer->nextDueTime(),
                             sequencer->nextActionTime(position)})
            limit = std::min(limit, due > position ? due - position : 1);
        const int n = voiceList->render(l, r, int(limit));
        // The sequencer notes the time of every frame; nothing is due inside the run.
        if (n > 1)
            sequencer->getEvent(position + uint64_t(n) - 1);
        for (int k = 0; k < n; ++k, ++i) {
            left[i * leftStride] = float(l[k]);
            if (right != nullptr)
                right[i * rightStride] = float(r[k]);
        }
        position += uint64_t(n);
        samplePosition.store(position, std::memory_order_relaxed);
    }
}

void Zelvar_Dsp::dispatch(uint64_t sampleTime) {
    while (eventBuffer->getEvent(sampleTime, &currentEvent))
        processEvent(currentEvent, sampleTime);
    while (subEventBuffer->getEvent(sampleTime, &currentEvent))
        processEvent(currentEvent, sampleTime);
    playSequencerSteps(sampleTime);
}

void Zelvar_Dsp::renderSample(uint64_t sampleTime, double* left, double* right) {
    *left = 0.0;
    *right = 0.0;
    if (!isInitialized())
        return;
    dispatch(sampleTime);
    voiceList->update();
    voiceList->render(left, right, 1);
}

void Zelvar_Dsp::playSequencerSteps(uint64_t sampleTime) {
    for (SequencerEvent step = sequencer->getEvent(sampleTime); step.subType != EventSubTypeNone;
         step = sequencer->getEvent(sampleTime)) {
        if (step.subType == EventSubTypeNoteOn)
            voiceList->noteOn(truncateToInt(step.value1), truncateToInt(step.value2));
        else if (step.subType == EventSubTypeNoteOff)
            voiceList->noteOff(truncateToInt(step.value1));
    }
}

void Zelvar_Dsp::processInput(const AudioTimeStamp* timeStamp, const AudioBufferList* buffers) {
    (void)timeStamp;
    if (!isInitialized() || buffers == nullptr || buffers->mNumberBuffers != 1)
        return;
    const AudioBuffer& buffer = buffers->mBuffers[0];
    // Stereo frames only: a mono buffer has no right sample to take.
    if (buffer.mNumberChannels < 2 || buffer.mData == nullptr)
        return;
    const uint32_t channels = buffer.mNumberChannels;
    const uint32_t frames = buffer.mDataByteSize / (channels * 4u);
    const float* data = static_cast<const float*>(buffer.mData);
    for (uint32_t i = 0; i < frames; ++i)
        circularBuffer->set({double(data[i * channels]), double(data[i * channels + 1])});
}

AudioTimeStamp Zelvar_Dsp::presentTimeStamp() {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    if (!audioUnitMode.load(std::memory_order_acquire)) {
        AudioDeviceGetCurrentTime(outputDeviceId, &stamp);
        return stamp;
    }
    stamp.mHostTime = HostClock::nowNanoseconds();
    const uint64_t offset = hostTimeOffset.load(std::memory_order_acquire);
    const uint64_t now = HostClock::nowNanoseconds();
    // Before the first buffer (offset unknown) or for a clock reading just behind the offset,
    // the event is due at once: counting from host time zero would hold the queue for hours.
    if (offset != 0 && now > offset)
        stamp.mSampleTime = double(now - offset) / 1000000000.0 * samplingRate;
    return stamp;
}

double Zelvar_Dsp::postSynthEvent(Zelvar_EventBuffer* buffer, const AudioTimeStamp& timeStamp,
                                  EventSubType subType, ParameterType parameterType, double value1,
                                  double value2, double value3) {
    // A non-finite knob position has no meaning: refused before it touches the table row.
    if (subType == EventSubTypeParameter && !std::isfinite(value1))
        return 0.0;
    AudioTimeStamp stamp = timeStamp;
    stamp.mSampleTime = plausibleSampleTime(timeStamp.mSampleTime);
    double result = value1;
    if (subType == EventSubTypeParameter) {
        if (!isValidParameterType(parameterType))
            return 0.0;
        const double normalized = parameterManager->setNormalizedValue(parameterType, value1);
        value2 = normalized;
        value1 = parameterManager->getCurrentValue(parameterType);
        result = normalized;
    }
    buffer->set(
        makeDspEvent(stamp, EventTypeSynth, subType, parameterType, value1, value2, value3));
    return result;
}

double Zelvar_Dsp::plausibleSampleTime(double stamp) const {
    // Events leave the ring in arrival order, so one stamped for the far future would hold back
    // every later event for as long. A stamp that is not a number, or lies more than an hour
    // ahead of the sample being rendered, is taken as "now": the event still acts, and nothing
    // behind it waits. Stamps in the past are due at once and need no help.
    const double present = double(samplePosition.load(std::memory_order_relaxed));
    if (!std::isfinite(stamp) || stamp > present + furthestStampAheadSamples)
        return present;
    return stamp;
}

double Zelvar_Dsp::setEvent(EventSubType subType, ParameterType parameterType, double value1,
                            double value2, double value3) {
    if (!isInitialized())
        return 0.0;
    return setEventWithTimeStamp(presentTimeStamp(), subType, parameterType, value1, value2,
                                 value3);
}

double Zelvar_Dsp::setEventWithTimeStamp(AudioTimeStamp timeStamp, EventSubType subType,
                                         ParameterType parameterType, double value1, double value2,
                                         double value3) {
    if (!isInitialized())
        return 0.0;
    return postSynthEvent(eventBuffer, timeStamp, subType, parameterType, value1, value2, value3);
}

double Zelvar_Dsp::setEventToSubBuffer(EventSubType subType, ParameterType parameterType,
                                       double value1, double value2, double value3) {
    if (!isInitialized())
        return 0.0;
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = double(samplePosition.load(std::memory_order_relaxed));
    stamp.mHostTime = HostClock::nowNanoseconds();
    return setEventWithTimeStampToSubBuffer(stamp, subType, parameterType, value1, value2, value3);
}

double Zelvar_Dsp::setEventWithTimeStampToSubBuffer(AudioTimeStamp timeStamp, EventSubType subType,
                                                    ParameterType parameterType, double value1,
                                                    double value2, double value3) {
    if (!isInitialized())
        return 0.0;
    return postSynthEvent(subEventBuffer, timeStamp, subType, parameterType, value1, value2,
                          value3);
}

double Zelvar_Dsp::setSequencerEvent(EventType eventType, EventSubType subType,
                                     ParameterType parameterType, double value1, double value2,
                                     double value3, int eventId, int tick) {
    if (!isInitialized())
        return 0.0;
    eventBuffer->set(makeDspEvent(presentTimeStamp(), eventType, subType, parameterType, value1,
                                  value2, value3, eventId, tick));
    return 0.0;
}

void Zelvar_Dsp::processSynthEvent(const DspEvent& event) {
    switch (event.subType) {
    case EventSubTypeNoteOn:
        voiceList->noteOn(truncateToInt(event.value1), truncateToInt(event.value2));
        break;
    case EventSubTypeNoteOff:
        voiceList->noteOff(truncateToInt(event.value1));
        break;
    case EventSubTypeParameter:
        parameterManager->setDspValue(event.parameterType, event.value1);
        break;
    default:
        break;
    }
}

void Zelvar_Dsp::processEvent(const DspEvent& event, uint64_t sampleTime) {
    switch (event.eventType) {
    case EventTypeSynth:
        processSynthEvent(event);
        break;
    case EventTypeSequencerTransport:
        if (roundHalfAway(event.value1) == 1.0) {
            sequencer->start(sampleTime);
        } else {
            sequencer->stop(sampleTime);
            voiceList->allNoteOff();
        }
        break;
    case EventTypeSequencerTempo:
        sequencer->setTempo(event.value1);
        break;
    case EventTypeSequencerSetEvent:
        sequencer->setEvent(event.eventId, event.tick, event.subType, event.parameterType,
                            event.value1, event.value2, event.value3);
        break;
    case EventTypeSequencerDeleteEvent:
        sequencer->deleteEvent(event.eventId);
        break;
    default:
        break;
    }
}
