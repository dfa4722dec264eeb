// Which of the sixteen MIDI channels a render plays: `--channels LIST`, where LIST is channel
// numbers 1 to 16 and ranges, comma-separated ("1-9,11-16" leaves out the General MIDI drum
// channel). Messages on channels left out are dropped before the song is planned.
#pragma once

#include "SongRenderer.h"

#include <cstdint>
#include <string>

class ChannelSelection {
public:
    static constexpr int drumChannel = 10; // as players count them, 1 to 16

    // Every channel.
    ChannelSelection() = default;

    // On failure returns false with `error` saying why and leaves the selection as it was.
    bool parse(const std::string& list, std::string& error);

    bool plays(int channel) const { return (mask >> (channel - 1) & 1u) != 0; }
    bool playsEvery() const { return mask == 0xffffu; }
    // Removes the messages of channels left out.
    void apply(RenderPlan& plan) const;

private:
    uint32_t mask = 0xffffu; // bit c - 1 for channel c
};
