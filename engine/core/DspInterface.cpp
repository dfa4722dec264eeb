// The C interface: one forwarder per engine method. A null handle, or an engine that has not been
// initialised where the call needs its units, is ignored and yields 0.
#include "Corvena_Core.h"
#include "ParameterTable.h"
#include "Zelvar_Dsp.h"

#include <cstring>

namespace {

Zelvar_Dsp* engine(DspObject dsp) {
    return static_cast<Zelvar_Dsp*>(dsp);
}

} // namespace

extern "C" {

DspObject CreateDspObject(void) {
    return new Zelvar_Dsp;
}

void ReleaseDspObject(DspObject dsp) {
    delete engine(dsp);
}

char* DspSetBundleDirectoryPath(DspObject dsp, char* path) {
    if (dsp == nullptr)
        return nullptr;
    engine(dsp)->setBundleDirectoryPath(path);
    return engine(dsp)->getBundleDirectoryPath();
}

void DspSetParameterCallback(DspObject dsp, void (*callback)(double)) {
    if (dsp != nullptr)
        engine(dsp)->setParameterCallback(callback);
}

void DspInitialize(DspObject dsp) {
    if (dsp != nullptr)
        engine(dsp)->initialize();
}

OSStatus DspAudioUnitSetCreateOutputProc(DspObject dsp, AudioUnit* unit) {
    if (dsp == nullptr || !engine(dsp)->isInitialized())
        return 0;
    return engine(dsp)->audioUnitSetOutputProc(unit);
}

OSStatus DspCreateOutputProc(DspObject dsp, AudioDeviceID device, AudioDeviceIOProcID* outId) {
    if (dsp == nullptr || !engine(dsp)->isInitialized())
        return 0;
    return engine(dsp)->createOutputProc(device, outId);
}

OSStatus DspCreateInputProc(DspObject dsp, AudioDeviceID device, AudioDeviceIOProcID* outId) {
    if (dsp == nullptr || !engine(dsp)->isInitialized())
        return 0;
    return engine(dsp)->createInputProc(device, outId);
}

double DspSetEvent(DspObject dsp, EventSubType subType, ParameterType parameterType, double value1,
                   double value2, double value3) {
    if (dsp == nullptr)
        return 0.0;
    return engine(dsp)->setEvent(subType, parameterType, value1, value2, value3);
}

double DspSetEventWithTimeStamp(DspObject dsp, AudioTimeStamp timeStamp, EventSubType subType,
                                ParameterType parameterType, double value1, double value2,
                                double value3) {
    if (dsp == nullptr)
        return 0.0;
    return engine(dsp)->setEventWithTimeStamp(timeStamp, subType, parameterType, value1, value2,
                                              value3);
}

double DspSetEventToSubBuffer(DspObject dsp, EventSubType subType, ParameterType parameterType,
                              double value1, double value2, double value3) {
    if (dsp == nullptr)
        return 0.0;
    return engine(dsp)->setEventToSubBuffer(subType, parameterType, value1, value2, value3);
}

double DspSetEventWithTimeStampToSubBuffer(DspObject dsp, AudioTimeStamp timeStamp,
                                           EventSubType subType, ParameterType parameterType,
                                           double value1, double value2, double value3) {
    if (dsp == nullptr)
        return 0.0;
    return engine(dsp)->setEventWithTimeStampToSubBuffer(timeStamp, subType, parameterType, value1,
                                                         value2, value3);
}

double DspSetSequencerEvent(DspObject dsp, EventType eventType, EventSubType subType,
                            ParameterType parameterType, double value1, double value2,
                            double value3, int eventId, int tick) {
    if (dsp == nullptr)
        return 0.0;
    return engine(dsp)->setSequencerEvent(eventType, subType, parameterType, value1, value2, value3,
                                          eventId, tick);
}

int DspGetParameterDescription(ParameterType type, ParameterDescription* out) {
    if (!isValidParameterType(type) || out == nullptr)
        return 0;
    const ParameterDefinition& row = parameterTable[type];
    ParameterDescription description;
    std::memset(&description, 0, sizeof description);
    description.type = row.type;
    description.steps = row.steps;
    description.name = row.name;
    description.symbol = row.symbol;
    description.unit = row.unit;
    description.valueLabels = row.valueLabels;
    description.minValue = row.minValue;
    description.maxValue = row.maxValue;
    description.defaultNormalizedValue = row.defaultNormalizedValue;
    description.defaultValue = scaleParameterValue(row, row.defaultNormalizedValue);
    description.curve = row.curve;
    description.exponent = row.exponent;
    *out = description;
    return 1;
}

double DspGetScaledValue(ParameterType type, double normalized) {
    return isValidParameterType(type) ? scaleParameterValue(parameterTable[type], normalized) : 0.0;
}

double DspGetNormalizedValue(ParameterType type, double value) {
    return isValidParameterType(type) ? normalizeParameterValue(parameterTable[type], value) : 0.0;
}

ParameterInfo DspGetParameterInfo(DspObject dsp, ParameterType type) {
    if (dsp == nullptr) {
        ParameterInfo empty;
        std::memset(&empty, 0, sizeof empty);
        return empty;
    }
    return engine(dsp)->getParameterInfo(type);
}

OSStatus AudioUnitAudioOutputProc(void* refCon, uint32_t*, const AudioTimeStamp* timeStamp,
                                  uint32_t, uint32_t, AudioBufferList* data) {
    if (refCon != nullptr)
        engine(refCon)->renderOutput(timeStamp, data);
    return 0;
}

OSStatus AudioOutputIOProc(AudioObjectID, const AudioTimeStamp*, const AudioBufferList*,
                           const AudioTimeStamp*, AudioBufferList* outputData,
                           const AudioTimeStamp* outputTime, void* clientData) {
    if (clientData != nullptr)
        engine(clientData)->renderOutput(outputTime, outputData);
    return 0;
}

OSStatus AudioInputIOProc(AudioObjectID, const AudioTimeStamp* now,
                          const AudioBufferList* inputData, const AudioTimeStamp*, AudioBufferList*,
                          const AudioTimeStamp*, void* clientData) {
    if (clientData != nullptr)
        engine(clientData)->processInput(now, inputData);
    return 0;
}

} // extern "C"
