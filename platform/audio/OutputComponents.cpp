#include "OutputUnitServices.h"

#include "DefaultOutput.h"
#include "OutputUnit.h"

namespace {

struct OutputComponentRecord {
    AudioComponentDescription description;
    OutputDevice* (*createDevice)(OutputUnit* unit);
};

OutputDevice* createDefaultOutput(OutputUnit* unit) {
    return new DefaultOutput(unit);
}

// Components are static records: a handle to one stays valid for the life of the process.
OutputComponentRecord components[] = {
    {{kAudioUnitType_Output, kAudioUnitSubType_DefaultOutput, kAudioUnitManufacturer_System, 0, 0},
     &createDefaultOutput},
    {{kAudioUnitType_Output, kAudioUnitSubType_ManualOutput, kAudioUnitManufacturer_System, 0, 0},
     nullptr},
};

bool matches(const AudioComponentDescription& have, const AudioComponentDescription& want) {
    auto field = [](uint32_t value, uint32_t wanted) { return wanted == 0 || value == wanted; };
    return field(have.componentType, want.componentType) &&
           field(have.componentSubType, want.componentSubType) &&
           field(have.componentManufacturer, want.componentManufacturer);
}

} // namespace

AudioComponent AudioComponentFindNext(AudioComponent previous,
                                      const AudioComponentDescription* description) {
    if (description == nullptr)
        return nullptr;
    const size_t count = sizeof(components) / sizeof(components[0]);
    size_t start = 0;
    if (previous != nullptr)
        start = size_t(reinterpret_cast<OutputComponentRecord*>(previous) - components) + 1;
    for (size_t i = start; i < count; ++i)
        if (matches(components[i].description, *description))
            return reinterpret_cast<AudioComponent>(&components[i]);
    return nullptr;
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioUnit* outUnit) {
    if (component == nullptr || outUnit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    auto* record = reinterpret_cast<OutputComponentRecord*>(component);
    auto* unit = new OutputUnit;
    unit->subType = record->description.componentSubType;
    unit->createDevice = record->createDevice;
    *outUnit = unit;
    return kOutputUnitErr_None;
}

OSStatus AudioComponentInstanceDispose(AudioUnit unit) {
    if (unit == nullptr)
        return kOutputUnitErr_InvalidParameter;
    AudioOutputUnitStop(unit);
    delete unit;
    return kOutputUnitErr_None;
}
