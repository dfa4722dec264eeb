#include "MidiEventMapper.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t noteOffStatus = 0x80;
constexpr uint8_t noteOnStatus = 0x90;
constexpr uint8_t controlChangeStatus = 0xB0;
constexpr uint8_t pitchBendStatus = 0xE0;
constexpr int sustainController = 64;
constexpr int allSoundOffController = 120;
constexpr int allNotesOffController = 123;
constexpr int pitchBendCentre = 8192;

} // namespace

int MidiEventMapper::map(const uint8_t* bytes, size_t size, double sampleTime) {
    if (bytes == nullptr || size != 3 || !std::isfinite(sampleTime) || sampleTime < 0.0)
        return 0; // every message acted on is three bytes long
    const uint8_t status = bytes[0] & 0xF0;
    const int data1 = bytes[1];
    const int data2 = bytes[2];
    if ((bytes[0] & 0x80) == 0 || (data1 | data2) >= 0x80)
        return 0;
    switch (status) {
    case noteOnStatus:
        return data2 == 0 ? noteOff(data1, sampleTime) : noteOn(data1, data2, sampleTime);
    case noteOffStatus:
        return noteOff(data1, sampleTime);
    case controlChangeStatus:
        return controlChange(data1, data2, sampleTime);
    case pitchBendStatus:
        return pitchBend(data1, data2, sampleTime);
    default:
        return 0;
    }
}

int MidiEventMapper::releaseAll(double sampleTime) {
    if (!std::isfinite(sampleTime) || sampleTime < 0.0)
        return 0;
    // The pedal goes first: a note-off under a held pedal would only move the voice to its hold.
    post(sampleTime, EventSubTypeParameter, ParameterTypeDamper, 0.0, 0.0);
    int posted = 1;
    for (int note = 0; note < 128; ++note)
        if (isNoteHeld(note))
            posted += noteOff(note, sampleTime);
    return posted;
}

bool MidiEventMapper::isNoteHeld(int note) const {
    if (note < 0 || note >= 128)
        return false;
    return (heldNotes[note >> 6] >> (note & 63)) & 1u;
}

int MidiEventMapper::noteOn(int note, int velocity, double sampleTime) {
    post(sampleTime, EventSubTypeNoteOn, ParameterTypeNone, note, velocity);
    setHeld(note, true);
    return 1;
}

int MidiEventMapper::noteOff(int note, double sampleTime) {
    post(sampleTime, EventSubTypeNoteOff, ParameterTypeNone, note, 0.0);
    setHeld(note, false);
    return 1;
}

int MidiEventMapper::controlChange(int controller, int value, double sampleTime) {
    switch (controller) {
    case sustainController:
        post(sampleTime, EventSubTypeParameter, ParameterTypeDamper, value >= 64 ? 1.0 : 0.0, 0.0);
        return 1;
    case allSoundOffController:
    case allNotesOffController:
        return releaseAll(sampleTime);
    default:
        return 0;
    }
}

int MidiEventMapper::pitchBend(int lsb, int msb, double sampleTime) {
    // Both halves of the 14-bit range reach their end: 0 bends fully down, 16383 fully up,
    // and the centre 8192 is exactly no bend.
    const int offset = ((msb << 7) | lsb) - pitchBendCentre;
    const double bend = double(offset) / (offset < 0 ? 8192.0 : 8191.0);
    post(sampleTime, EventSubTypeParameter, ParameterTypePitchBend, 0.5 + 0.5 * bend, 0.0);
    return 1;
}

void MidiEventMapper::post(double sampleTime, EventSubType subType, ParameterType type,
                           double value1, double value2) {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = sampleTime;
    DspSetEventWithTimeStamp(engine, stamp, subType, type, value1, value2, 0.0);
}

void MidiEventMapper::setHeld(int note, bool held) {
    const uint64_t bit = uint64_t(1) << (note & 63);
    if (held)
        heldNotes[note >> 6] |= bit;
    else
        heldNotes[note >> 6] &= ~bit;
}
