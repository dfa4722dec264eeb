// What a song asks of the engine's eight voices, counted from its messages before it is
// rendered, so the renderer can say what a listener would otherwise only hear: notes that took
// a sounding voice because eight were already held (by key or by the sustain pedal), and notes
// on channel 10, which General MIDI files use for drums that this synthesizer plays as pitches.
// The engine knows notes by number on every channel alike, and so does the count.
#pragma once

#include "SongRenderer.h"

#include <cstdint>

class NoteCensus {
public:
    static constexpr int voices = 8;

    // With legato on, the engine plays one voice that glides: no note takes another's voice.
    static NoteCensus of(const RenderPlan& plan, bool legato);

    uint64_t notesPastPolyphony = 0; // note ons while eight notes were already held
    uint64_t drumChannelNotes = 0;   // note ons on channel 10
};
