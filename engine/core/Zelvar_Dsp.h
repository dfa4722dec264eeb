// The engine object: owns every unit, hooks itself into an output unit as its render callback,
// and for every output frame first dispatches the events that are due, then asks the voice list
// for one stereo sample. The render loop takes the frames between two due events as one run,
// which the voice list renders voice by voice; renderSample is the same with runs of one frame.
//
// Threads: the audio thread runs renderOutput and everything below it. Posting threads (main,
// MIDI) call the set* methods, which touch only the event buffers and the parameter table rows;
// what they read of the render state (host-time offset, sample position, mode) is atomic.
#pragma once

#include "Corvena_Core.h"
#include "Zelvar_EventBuffer.h"
#include "Zelvar_ParameterManager.h"

#include <atomic>
#include <cstdint>

class Zelvar_CircularBuffer;
class Zelvar_SamplingRateConverter;
class Zelvar_Sequencer;
class Zelvar_VoiceList;

class Zelvar_Dsp {
public:
    static constexpr int eventBufferCapacity = 10000;
    // One hour at the engine's rate: no host schedules an event further ahead than that.
    static constexpr double furthestStampAheadSamples = 3600.0 * 44100.0;

    Zelvar_Dsp();
    ~Zelvar_Dsp();
    Zelvar_Dsp(const Zelvar_Dsp&) = delete;
    Zelvar_Dsp& operator=(const Zelvar_Dsp&) = delete;

    void initialize();
    bool isInitialized() const { return parameterManager != nullptr; }
    ParameterInfo getParameterInfo(int type);
    // Returns false, keeping the old path, for a null path or one that does not fit.
    bool setBundleDirectoryPath(const char* path);
    char* getBundleDirectoryPath() { return bundleDirectoryPath; }
    void setParameterCallback(void (*callback)(double)) { parameterCallback = callback; }
    void hello();

    OSStatus audioUnitSetOutputProc(AudioUnit* unit);
    OSStatus createOutputProc(uint32_t device, AudioDeviceIOProcID* outId);
    OSStatus createInputProc(uint32_t device, AudioDeviceIOProcID* outId);

    void renderOutput(const AudioTimeStamp* timeStamp, AudioBufferList* buffers);
    void render(uint64_t sampleTime, AudioBufferList* buffers);
    void renderSample(uint64_t sampleTime, double* left, double* right);
    void processInput(const AudioTimeStamp* timeStamp, const AudioBufferList* buffers);

    double setEvent(EventSubType subType, ParameterType parameterType, double value1, double value2,
                    double value3);
    double setEventWithTimeStamp(AudioTimeStamp timeStamp, EventSubType subType,
                                 ParameterType parameterType, double value1, double value2,
                                 double value3);
    double setEventToSubBuffer(EventSubType subType, ParameterType parameterType, double value1,
                               double value2, double value3);
    double setEventWithTimeStampToSubBuffer(AudioTimeStamp timeStamp, EventSubType subType,
                                            ParameterType parameterType, double value1,
                                            double value2, double value3);
    double setSequencerEvent(EventType eventType, EventSubType subType, ParameterType parameterType,
                             double value1, double value2, double value3, int eventId, int tick);
    void processEvent(const DspEvent& event, uint64_t sampleTime);

    // Read-only views for the host's diagnostics and for tests.
    uint64_t getHostTimeOffset() const { return hostTimeOffset.load(std::memory_order_acquire); }
    uint64_t getSamplePosition() const { return samplePosition.load(std::memory_order_relaxed); }
    bool isAudioUnitMode() const { return audioUnitMode.load(std::memory_order_relaxed); }
    Zelvar_ParameterManager* getParameterManager() { return parameterManager; }
    Zelvar_EventBuffer* getEventBuffer() { return eventBuffer; }
    Zelvar_EventBuffer* getSubEventBuffer() { return subEventBuffer; }
    Zelvar_VoiceList* getVoiceList() { return voiceList; }

private:
    AudioTimeStamp presentTimeStamp();
    double plausibleSampleTime(double stamp) const;
    double postSynthEvent(Zelvar_EventBuffer* buffer, const AudioTimeStamp& timeStamp,
                          EventSubType subType, ParameterType parameterType, double value1,
                          double value2, double value3);
    void processSynthEvent(const DspEvent& event);
    // Everything due at this frame: events of both rings, then sequencer steps.
    void dispatch(uint64_t sampleTime);
    void playSequencerSteps(uint64_t sampleTime);
    void renderNonInterleaved(uint32_t frames, AudioBufferList* buffers);
    void renderInterleaved(uint32_t frames, AudioBuffer* buffer);
    // Left samples go `leftStride` floats apart from `left`, right ones likewise; a null
    // `right` drops the right channel.
    void renderFrames(uint32_t frames, float* left, uint32_t leftStride, float* right,
                      uint32_t rightStride);

    double samplingRate = 44100.0;
    std::atomic<bool> audioUnitMode{false};
    uint32_t inputDeviceId = 0;
    uint32_t outputDeviceId = 0;
    char bundleDirectoryPath[DspBundleDirectoryPathCapacity] = {};
    Zelvar_CircularBuffer* circularBuffer = nullptr;
    Zelvar_ParameterManager* parameterManager = nullptr;
    Zelvar_SamplingRateConverter* samplingRateConverter = nullptr;
    Zelvar_EventBuffer* eventBuffer = nullptr;
    Zelvar_EventBuffer* subEventBuffer = nullptr;
    DspEvent currentEvent{};
    Zelvar_Sequencer* sequencer = nullptr;
    std::atomic<uint64_t> hostTimeOffset{0};
    std::atomic<uint64_t> samplePosition{0};
    Zelvar_VoiceList* voiceList = nullptr;
    void (*parameterCallback)(double) = nullptr;
};
