// The host's CLAP event list made safe for DPF's CLAP wrapper, which takes every event at its
// word: a parameter event's id indexes its arrays unchecked (an unknown id writes past them), a
// note event's size is never compared with its type, a NaN velocity is converted to an integer,
// and times go on to the plugin as given. This copies, into storage of its own reserved at
// construction, the events DPF can take blindly:
//
// - note on and off, MIDI and parameter values alone, each of the core event space and of its
//   type's exact size, on note port 0; every other event (DPF ignores them) is dropped;
// - a parameter event only for a parameter the plugin has and with a finite value (DPF would
//   keep a NaN for the host to read back and save); a note event only with a finite velocity,
//   clamped to [0, 1];
// - times held to the previous event's when earlier (the engine takes its events in order);
//   notes and MIDI at or past the block's end dropped, parameter values taken at its last frame
//   (a host may flush parameters with a block of no frames);
// - at most `capacity` events, and none past an event the list cannot give.
//
// filter() runs on the thread that processes: no allocation, no lock.
#pragma once

#include "clap/events.h"

#include <cstdint>
#include <vector>

class ClapEventFilter {
public:
    static constexpr uint32_t capacity = 1024;

    explicit ClapEventFilter(uint32_t parameterCount);
    ClapEventFilter(const ClapEventFilter&) = delete;
    ClapEventFilter& operator=(const ClapEventFilter&) = delete;

    // The clean list for one block of `frames`; valid until the next call.
    const clap_input_events_t* filter(const clap_input_events_t* input, uint32_t frames);
    uint32_t eventCount() const { return count; }

private:
    union Event {
        clap_event_header_t header;
        clap_event_note_t note;
        clap_event_midi_t midi;
        clap_event_param_value_t param;
    };
    bool accept(const clap_event_header_t* event) const;
    static uint32_t size(const clap_input_events_t* list);
    static const clap_event_header_t* get(const clap_input_events_t* list, uint32_t index);

    uint32_t parameterCount;
    std::vector<Event> events;
    uint32_t count = 0;
    clap_input_events_t list;
};
