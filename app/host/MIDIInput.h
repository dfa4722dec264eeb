// MIDI input parsing: the read callback of the program's MIDI input port and the notification
// callback of its MIDI clients. MIDIInputProc runs on the MIDI thread: it passes every packet
// list on to the MIDI thru destination, if one is selected, then reads each packet as
// three-byte channel messages and posts note on, note off and pitch bend straight to the engine
// with DspSetEvent. MIDINotifyProc runs on the main thread and rebuilds the ports after a
// set-up change.
//
// Reads never leave a packet: a list whose packets run past its end is refused whole, a status
// byte of no interest (or a stray data byte) moves on by one byte, and a message that the end
// of its packet cuts short is dropped.
//
// Timing: a packet's time stamp is the host time its bytes arrived (a JACK keyboard's events
// each carry their own frame of the cycle). Once start-up has given the parser the output's
// sample clock, an event is stamped with that time on it, so messages that came a few
// milliseconds apart within one cycle sound that far apart; without the clock, or for a stamp
// that is not within the last second, the engine stamps the event when it is posted.
#pragma once

#include "Corvena_Core.h"
#include "MidiServices.h"

#include <cstdint>

// One kind of message the parser knows: its name and the bytes one message takes, status
// byte included (0 for the kinds it does not read).
struct midiMessageTypeInfo {
    const char* messageType;
    int messageLength;
};

extern const midiMessageTypeInfo x80; // "NoteOff"
extern const midiMessageTypeInfo x90; // "NoteOn"
extern const midiMessageTypeInfo xB0; // "ControlChange"
extern const midiMessageTypeInfo xE0; // "PitchBend"
extern const midiMessageTypeInfo x00; // "Unknown"

// The kind of the message a status byte begins, by its high nibble.
const midiMessageTypeInfo& midiMessageTypeInfoFor(std::uint8_t statusByte);

// The value of the normalized "Pitch Bend" parameter for a 14-bit bend: 0 at the lowest
// bend, 0.5 at the centre (0x2000), 16383/16384 at the highest.
inline double pitchBendNormalizedValue(std::uint8_t leastSignificant,
                                       std::uint8_t mostSignificant) {
    return (mostSignificant * 128.0 + leastSignificant) * 6.103515625e-05;
}

// Turns a host time (CLOCK_MONOTONIC ns) into the output's sample time; false while the output
// has not started. Start-up sets it once; nullptr stamps every event when it is posted.
using MIDIStampClock = bool (*)(std::uint64_t hostNanoseconds, double* sampleTime);
void MIDIInputSetStampClock(MIDIStampClock clock);

// The parser alone, without thru: posts the list's messages to `dsp` in order. Returns the
// number of events posted, or -1 when the list is refused because its lengths run past its
// size. Never allocates.
int MIDIParsePacketList(const MIDIPacketList& list, DspObject dsp);

void MIDIInputProc(const MIDIPacketList* pktlist, void* readProcRefCon, void* srcConnRefCon);
void MIDINotifyProc(const MIDINotification* message, void* refCon);
