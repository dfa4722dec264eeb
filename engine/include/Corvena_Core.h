/*
 * Corvena_Core: the synthesis engine's C interface.
 *
 * A host creates one engine, gives it its resource directory, initialises it, hands it an
 * output unit to render into, and from then on only posts events. Every function takes the
 * engine handle first (except SetEventToSubBuffer); a null handle is ignored and yields 0.
 */
#ifndef CORVENA_CORE_H
#define CORVENA_CORE_H

#include "CorvenaAudioTypes.h"

#include <stddef.h>
#include <stdint.h>

#if defined(CORVENA_CORE_BUILDING)
#define CORVENA_CORE_API __attribute__((visibility("default")))
#else
#define CORVENA_CORE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t ParameterType;
enum {
    ParameterTypeNone = 0,
    ParameterTypeOscillatorWaveform = 1,
    ParameterTypeOscillatorPulseWidth = 2,
    ParameterTypeVcaEgAttackTime = 3,
    ParameterTypeVcaEgDecayTime = 4,
    ParameterTypeVcaEgSustainLevel = 5,
    ParameterTypeVcaEgReleaseTime = 6,
    ParameterTypeLpfCutoffFrequency = 7,
    ParameterTypeLpfResonance = 8,
    ParameterTypeHpfCutoffFrequency = 9,
    ParameterTypeHpfResonance = 10,
    ParameterTypeVcaLfoFrequency = 11,
    ParameterTypePortamentoTime = 12,
    ParameterTypeMasterOutputLevel = 13,
    ParameterTypeOctaveTranspose = 14,
    ParameterTypePitchBend = 15,
    ParameterTypePitchBendRange = 16,
    ParameterTypeDelayTimeL = 17,
    ParameterTypeDelayTimeR = 18,
    ParameterTypeDelayFeedback = 19,
    ParameterTypeDelayMix = 20,
    ParameterTypeDamper = 21,
    ParameterTypeLegato = 22,
    ParameterTypeCount = 23
};

/* An event acts when the engine renders the frame at sample time stamp + DspEventLatencySamples
   (at once for a stamp further in the past). */
enum { DspEventLatencySamples = 1024 };

/* The engine keeps its resource directory's path in this many bytes, terminator included; a
   longer path is refused by DspSetBundleDirectoryPath. */
enum { DspBundleDirectoryPathCapacity = 256 };

/* ParameterDescription.curve: how a normalized position maps to the parameter's value. */
enum { DspParameterCurveLinear = 0, DspParameterCurvePower = 2 };

typedef int32_t EventType;
enum {
    EventTypeNone = 0,
    EventTypeSynth = 1,
    EventTypeSequencerTransport = 2,
    EventTypeSequencerTempo = 3,
    EventTypeSequencerSetEvent = 4,
    EventTypeSequencerDeleteEvent = 5
};

typedef int32_t EventSubType;
enum {
    EventSubTypeNone = 0,
    EventSubTypeNoteOn = 1,
    EventSubTypeNoteOff = 2,
    EventSubTypeParameter = 6
};

typedef struct DspEvent {
    AudioTimeStamp timeStamp;
    EventType eventType;
    EventSubType subType;
    ParameterType parameterType;
    int32_t reserved;
    double value1;
    double value2;
    double value3;
    int32_t eventId;
    int32_t tick;
} DspEvent;

typedef struct ParameterInfo {
    int32_t type;
    char name[256];
    double minValue;
    double maxValue;
    int32_t steps;
    double defaultNormalizedValue;
    double defaultValue;
    double normalizedValue;
    double currentValue;
} ParameterInfo;

/* The constant description of one parameter, for hosts that store, show and convert values in
   the parameter's own unit (plugin ports, command-line options, value readouts). */
typedef struct ParameterDescription {
    ParameterType type;
    int32_t steps;      /* distinct positions: 2 = on/off, 1001 = quasi-continuous */
    const char* name;   /* display name, as ParameterInfo gives it */
    const char* symbol; /* stable lower-case identifier: saved by hosts, never renamed */
    const char* unit;   /* "Hz", "s", "octaves", "semitones", or "" */
    const char* const* valueLabels; /* one name per position ("Sine", ...), or NULL */
    double minValue;
    double maxValue;
    double defaultNormalizedValue;
    double defaultValue; /* the scaled default */
    int32_t curve;       /* DspParameterCurveLinear, or DspParameterCurvePower (see exponent) */
    int32_t reserved;
    double exponent; /* power curves: value = min + (max - min) * x^exponent */
} ParameterDescription;

/* The engine handle: opaque to the host. */
typedef void* DspObject;

CORVENA_CORE_API extern const double velocity_default[128];
CORVENA_CORE_API extern const double Corvena_CoreVersionNumber;
CORVENA_CORE_API extern const unsigned char Corvena_CoreVersionString[];

CORVENA_CORE_API DspObject CreateDspObject(void);
CORVENA_CORE_API void ReleaseDspObject(DspObject dsp);
CORVENA_CORE_API char* DspSetBundleDirectoryPath(DspObject dsp, char* path);
CORVENA_CORE_API void DspSetParameterCallback(DspObject dsp, void (*callback)(double));
CORVENA_CORE_API void DspInitialize(DspObject dsp);
CORVENA_CORE_API OSStatus DspAudioUnitSetCreateOutputProc(DspObject dsp, AudioUnit* unit);
CORVENA_CORE_API OSStatus DspCreateOutputProc(DspObject dsp, AudioDeviceID device,
                                              AudioDeviceIOProcID* outId);
CORVENA_CORE_API OSStatus DspCreateInputProc(DspObject dsp, AudioDeviceID device,
                                             AudioDeviceIOProcID* outId);
CORVENA_CORE_API double DspSetEvent(DspObject dsp, EventSubType subType,
                                    ParameterType parameterType, double value1, double value2,
                                    double value3);
CORVENA_CORE_API double DspSetEventWithTimeStamp(DspObject dsp, AudioTimeStamp timeStamp,
                                                 EventSubType subType, ParameterType parameterType,
                                                 double value1, double value2, double value3);
CORVENA_CORE_API double DspSetEventToSubBuffer(DspObject dsp, EventSubType subType,
                                               ParameterType parameterType, double value1,
                                               double value2, double value3);
CORVENA_CORE_API double DspSetEventWithTimeStampToSubBuffer(DspObject dsp, AudioTimeStamp timeStamp,
                                                            EventSubType subType,
                                                            ParameterType parameterType,
                                                            double value1, double value2,
                                                            double value3);
CORVENA_CORE_API double DspSetSequencerEvent(DspObject dsp, EventType eventType,
                                             EventSubType subType, ParameterType parameterType,
                                             double value1, double value2, double value3,
                                             int eventId, int tick);
CORVENA_CORE_API ParameterInfo DspGetParameterInfo(DspObject dsp, ParameterType type);
/* The parameter table's constant columns; no engine is needed. Returns 0 and leaves *out as it
   was for a type outside the table or a null out. */
CORVENA_CORE_API int DspGetParameterDescription(ParameterType type, ParameterDescription* out);
/* A normalized position (0..1) to the value in the parameter's unit, by its curve, and back
   (clamped to 0..1; the engine still snaps a posted value to its steps). 0 for a type outside
   the table. */
CORVENA_CORE_API double DspGetScaledValue(ParameterType type, double normalized);
CORVENA_CORE_API double DspGetNormalizedValue(ParameterType type, double value);
/* eventBuffer is an engine-internal event buffer; a null one is ignored. */
CORVENA_CORE_API void SetEventToSubBuffer(void* eventBuffer, EventSubType subType,
                                          ParameterType parameterType, double value1, double value2,
                                          double value3);

/* The callbacks an audio output or device drives. refCon / clientData is the engine handle. */
CORVENA_CORE_API OSStatus AudioUnitAudioOutputProc(void* refCon, uint32_t* actionFlags,
                                                   const AudioTimeStamp* timeStamp,
                                                   uint32_t busNumber, uint32_t frameCount,
                                                   AudioBufferList* data);
CORVENA_CORE_API OSStatus AudioOutputIOProc(AudioObjectID device, const AudioTimeStamp* now,
                                            const AudioBufferList* inputData,
                                            const AudioTimeStamp* inputTime,
                                            AudioBufferList* outputData,
                                            const AudioTimeStamp* outputTime, void* clientData);
CORVENA_CORE_API OSStatus AudioInputIOProc(AudioObjectID device, const AudioTimeStamp* now,
                                           const AudioBufferList* inputData,
                                           const AudioTimeStamp* inputTime,
                                           AudioBufferList* outputData,
                                           const AudioTimeStamp* outputTime, void* clientData);

#ifdef __cplusplus
} /* extern "C" */
#endif

CORVENA_STATIC_ASSERT(sizeof(DspEvent) == 112, "DspEvent is 112 bytes");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, timeStamp) == 0, "timeStamp at 0");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, eventType) == 64, "eventType at 64");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, subType) == 68, "subType at 68");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, parameterType) == 72, "parameterType at 72");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, reserved) == 76, "reserved at 76");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, value1) == 80, "value1 at 80");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, value2) == 88, "value2 at 88");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, value3) == 96, "value3 at 96");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, eventId) == 104, "eventId at 104");
CORVENA_STATIC_ASSERT(offsetof(DspEvent, tick) == 108, "tick at 108");

CORVENA_STATIC_ASSERT(sizeof(ParameterInfo) == 320, "ParameterInfo is 320 bytes");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, type) == 0, "type at 0");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, name) == 4, "name at 4");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, minValue) == 264, "minValue at 264");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, maxValue) == 272, "maxValue at 272");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, steps) == 280, "steps at 280");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, defaultNormalizedValue) == 288, "default at 288");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, defaultValue) == 296, "defaultValue at 296");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, normalizedValue) == 304, "normalized at 304");
CORVENA_STATIC_ASSERT(offsetof(ParameterInfo, currentValue) == 312, "currentValue at 312");

#endif
