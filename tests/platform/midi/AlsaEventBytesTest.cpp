// The ALSA backend's byte conversion, run without a sequencer device: decoded sequencer
// events to wire bytes (input) and wire bytes to events (MIDI thru), and back again.
#include "AlsaEventBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes toBytes(const snd_seq_event_t& event) {
    std::uint8_t out[64];
    const std::size_t n = alsaEventToMidiBytes(event, out, sizeof out);
    return Bytes(out, out + n);
}

// Bytes -> event -> bytes, one message.
Bytes roundTrip(const Bytes& message, std::size_t* consumed = nullptr) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    const std::size_t n = midiBytesToAlsaEvent(message.data(), message.size(), &event);
    if (consumed != nullptr)
        *consumed = n;
    return event.type == SND_SEQ_EVENT_NONE ? Bytes{} : toBytes(event);
}

} // namespace

TEST(AlsaEventBytes, SequencerEventsBecomeTheWireBytesTheParserReads) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_noteon(&event, 0, 60, 100);
    EXPECT_EQ(toBytes(event), (Bytes{0x90, 0x3C, 0x64}));
    snd_seq_ev_set_noteon(&event, 3, 60, 0);
    EXPECT_EQ(toBytes(event), (Bytes{0x93, 0x3C, 0x00})) << "velocity 0 stays a note on";
    snd_seq_ev_set_noteoff(&event, 15, 60, 64);
    EXPECT_EQ(toBytes(event), (Bytes{0x8F, 0x3C, 0x40}));
    snd_seq_ev_set_controller(&event, 0, 64, 127);
    EXPECT_EQ(toBytes(event), (Bytes{0xB0, 0x40, 0x7F}));
    snd_seq_ev_set_pgmchange(&event, 1, 5);
    EXPECT_EQ(toBytes(event), (Bytes{0xC1, 0x05}));

    // The sequencer's bend is centred on 0; the wire's on 0x2000, LSB first.
    snd_seq_ev_set_pitchbend(&event, 0, 0);
    EXPECT_EQ(toBytes(event), (Bytes{0xE0, 0x00, 0x40}));
    snd_seq_ev_set_pitchbend(&event, 0, -8192);
    EXPECT_EQ(toBytes(event), (Bytes{0xE0, 0x00, 0x00}));
    snd_seq_ev_set_pitchbend(&event, 0, 8191);
    EXPECT_EQ(toBytes(event), (Bytes{0xE0, 0x7F, 0x7F}));
    snd_seq_ev_set_pitchbend(&event, 0, 9000);
    EXPECT_TRUE(toBytes(event).empty()) << "out of range: nothing rather than a wrapped bend";

    event.type = SND_SEQ_EVENT_CLOCK;
    EXPECT_EQ(toBytes(event), (Bytes{0xF8}));
    event.type = SND_SEQ_EVENT_PORT_START;
    EXPECT_TRUE(toBytes(event).empty());
    EXPECT_TRUE(alsaEventIsSetupChange(event));
    snd_seq_ev_set_noteon(&event, 0, 60, 100);
    EXPECT_FALSE(alsaEventIsSetupChange(event));

    std::uint8_t small[2];
    EXPECT_EQ(alsaEventToMidiBytes(event, small, sizeof small), 0u) << "never past the buffer";
}

TEST(AlsaEventBytes, ThruMessagesSurviveTheTripThroughTheSequencerEvent) {
    const std::vector<Bytes> messages = {{0x90, 0x3C, 0x64},
                                         {0x9A, 0x00, 0x00},
                                         {0x80, 0x3C, 0x40},
                                         {0xA2, 0x3C, 0x10},
                                         {0xB0, 0x07, 0x50},
                                         {0xC4, 0x7F},
                                         {0xD5, 0x20},
                                         {0xE0, 0x00, 0x40},
                                         {0xEF, 0x7F, 0x7F},
                                         {0xE1, 0x01, 0x00},
                                         {0xF2, 0x10, 0x20},
                                         {0xF3, 0x03},
                                         {0xF8},
                                         {0xFA},
                                         {0xFC},
                                         {0xF0, 0x7E, 0x01, 0xF7}};
    for (const Bytes& message : messages) {
        std::size_t consumed = 0;
        EXPECT_EQ(roundTrip(message, &consumed), message) << "status " << int(message[0]);
        EXPECT_EQ(consumed, message.size());
    }
}

TEST(AlsaEventBytes, BrokenInputIsConsumedWithoutAnEvent) {
    std::size_t consumed = 0;
    EXPECT_TRUE(roundTrip({0x90, 0x3C}, &consumed).empty());
    EXPECT_EQ(consumed, 2u) << "cut short by the end";
    EXPECT_TRUE(roundTrip({0x3C, 0x64}, &consumed).empty());
    EXPECT_EQ(consumed, 1u) << "no running status";
    EXPECT_TRUE(roundTrip({0x90, 0x80, 0x3C, 0x40}, &consumed).empty());
    EXPECT_EQ(consumed, 1u) << "stops before the next status byte";
    EXPECT_TRUE(roundTrip({0xF0, 0x01, 0x02}, &consumed).empty());
    EXPECT_EQ(consumed, 3u) << "unterminated SysEx";
    snd_seq_event_t event;
    EXPECT_EQ(midiBytesToAlsaEvent(nullptr, 0, &event), 0u);
}
