// Turning ALSA sequencer events into MIDI bytes (input) and MIDI bytes into sequencer events
// (MIDI thru). The sequencer speaks in decoded events; the parser and MIDISend speak in the
// bytes of the wire protocol. Pure functions over the event record, so they are tested without
// a sequencer device.
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>

// Writes the wire bytes of `event` to `out`; returns how many (0 for events that carry no MIDI
// message, or when `capacity` is too small). Notes, key pressure, control change, program
// change, channel pressure, pitch bend, SysEx and the system real-time and common messages.
std::size_t alsaEventToMidiBytes(const snd_seq_event_t& event, std::uint8_t* out,
                                 std::size_t capacity);

// Reads one message from the front of `data` into `event` (type, channel data or SysEx
// pointer into `data`; routing fields untouched) and returns the bytes it took, at least one
// when n > 0. A message the sequencer cannot carry, or one cut short, leaves the type
// SND_SEQ_EVENT_NONE.
std::size_t midiBytesToAlsaEvent(const std::uint8_t* data, std::size_t n, snd_seq_event_t* event);

// True for the system announcements of clients and ports coming, going or changing.
bool alsaEventIsSetupChange(const snd_seq_event_t& event);
