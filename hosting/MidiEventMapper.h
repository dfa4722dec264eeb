// Turns MIDI channel messages into engine events, for hosts that receive MIDI with a frame
// position (a plugin's event port, a MIDI file being rendered) rather than from a live port.
//
// One message in, zero or more events out, posted with DspSetEventWithTimeStamp on the engine's
// sample clock at the stamp the caller gives (the engine acts on an event 1024 samples after its
// stamp; EngineResampler::stampForHostFrame gives stamps that absorb that delay). All sixteen
// channels play the one engine, which knows notes by number only.
//
//   note on             note on (note, velocity); velocity 0 is a note off
//   note off            note off
//   pitch bend          "Pitch Bend", 14 bits: 0 -> normalized 0, 8192 -> 0.5, 16383 -> 1
//   CC 64 (sustain)     "Damper": on from 64, off below
//   CC 120, CC 123      All Sound Off, All Notes Off: the pedal is lifted ("Damper" off) and
//                       every note this mapper started and has not ended gets its note off, so
//                       every sounding note goes into its release, pedal-held ones included
//   anything else       ignored: other controllers, program change, aftertouch, system
//                       messages, running status, data bytes >= 0x80, a size that does not
//                       match the message
//
// Real-time safe: no allocation, no lock, no I/O, provided the caller's thread is the only one
// posting to that engine: the engine's ring lets several posters in one at a time, and a second
// poster would make this one wait its turn.
#pragma once

#include "Corvena_Core.h"

#include <cstddef>
#include <cstdint>

class MidiEventMapper {
public:
    explicit MidiEventMapper(DspObject engine) : engine(engine) {}

    // Posts the events for one complete message, stamped at `sampleTime` (mSampleTime of the
    // engine's time stamp). Returns how many events were posted: 0 when the message is ignored
    // or the stamp is not a finite, non-negative number.
    int map(const uint8_t* bytes, size_t size, double sampleTime);

    // Posts a note off for every note still held and lifts the pedal, as CC 123 does; for a
    // host that stops or resets.
    int releaseAll(double sampleTime);

    bool isNoteHeld(int note) const;

private:
    int noteOn(int note, int velocity, double sampleTime);
    int noteOff(int note, double sampleTime);
    int controlChange(int controller, int value, double sampleTime);
    int pitchBend(int lsb, int msb, double sampleTime);
    void post(double sampleTime, EventSubType subType, ParameterType type, double value1,
              double value2);
    void setHeld(int note, bool held);

    DspObject engine;
    uint64_t heldNotes[2] = {0, 0}; // one bit per note number
};
