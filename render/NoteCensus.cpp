#include "NoteCensus.h"

#include "ChannelSelection.h"

#include <bitset>

NoteCensus NoteCensus::of(const RenderPlan& plan, bool legato) {
    NoteCensus census;
    std::bitset<128> keys;     // held by a key
    std::bitset<128> pedalled; // released while the pedal was down
    bool pedal = false;
    for (const ScheduledMessage& message : plan.messages) {
        if (message.size < 3)
            continue;
        const int kind = message.bytes[0] & 0xf0;
        const int note = message.bytes[1] & 0x7f;
        const bool noteOn = kind == 0x90 && message.bytes[2] > 0;
        if (noteOn) {
            if ((message.bytes[0] & 0x0f) + 1 == ChannelSelection::drumChannel)
                ++census.drumChannelNotes;
            const bool sounding = keys[note] || pedalled[note];
            if (!legato && !sounding && (keys | pedalled).count() >= voices)
                ++census.notesPastPolyphony;
            keys.set(note);
            pedalled.reset(note);
        } else if (kind == 0x80 || kind == 0x90) {
            if (keys[note] && pedal)
                pedalled.set(note);
            keys.reset(note);
        } else if (kind == 0xb0 && message.bytes[1] == 64) {
            pedal = message.bytes[2] >= 64;
            if (!pedal)
                pedalled.reset();
        } else if (kind == 0xb0 && (message.bytes[1] == 120 || message.bytes[1] == 123)) {
            keys.reset();
            pedalled.reset();
            pedal = false;
        }
    }
    return census;
}
