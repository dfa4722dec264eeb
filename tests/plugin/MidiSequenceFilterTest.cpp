// The LV2 MIDI input on its way to DPF's wrapper: sequences as hosts really write them (an
// unpadded last event, the unit left 0, events out of order or outside the block) and as a
// broken host might (sizes past the buffer, another atom type, beats, thousands of events),
// each checked on the sequence handed on, which DPF walks without any check of its own.
#include "MidiSequenceFilter.h"

#include <gtest/gtest.h>
#include <lv2/atom/util.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr LV2_URID sequenceType = 1, midiType = 2, beatTime = 3, frameTime = 4, otherType = 5;

struct Out {
    int64_t frame;
    std::vector<uint8_t> bytes;
};

// A sequence written byte by byte, so a test can spoil any field; the buffer is exactly as long
// as the atom says (plus `slack`), so a walk past it reads outside the vector.
class SequenceBuilder {
public:
    explicit SequenceBuilder(LV2_URID unit = 0) : unit(unit) {}
    SequenceBuilder& event(int64_t frame, std::vector<uint8_t> payload, LV2_URID type = midiType,
                           int64_t declared = -1, bool pad = true) {
        const size_t start = body.size();
        body.resize(start + sizeof(LV2_Atom_Event));
        LV2_Atom_Event header{};
        header.time.frames = frame;
        header.body.size = declared < 0 ? uint32_t(payload.size()) : uint32_t(declared);
        header.body.type = type;
        std::memcpy(body.data() + start, &header, sizeof header);
        body.insert(body.end(), payload.begin(), payload.end());
        if (pad)
            body.resize((body.size() + 7) & ~size_t(7));
        return *this;
    }
    // The atom, its size as the host claims (all it wrote when negative).
    const LV2_Atom_Sequence* build(LV2_URID type = sequenceType, int64_t claimedSize = -1) {
        storage.assign((sizeof(LV2_Atom_Sequence) + body.size() + 7) / 8, 0);
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(storage.data());
        sequence->atom.type = type;
        // A host may claim less than it wrote, never more: its buffer ends where it says.
        const int64_t written = int64_t(sizeof(LV2_Atom_Sequence_Body) + body.size());
        sequence->atom.size = uint32_t(claimedSize < 0 ? written : std::min(claimedSize, written));
        sequence->body.unit = unit;
        sequence->body.pad = 0xDEADBEEF; // never read
        if (!body.empty())
            std::memcpy(sequence + 1, body.data(), body.size());
        return sequence;
    }

private:
    LV2_URID unit;
    std::vector<uint8_t> body;
    std::vector<uint64_t> storage;
};

std::vector<Out> walk(const LV2_Atom_Sequence* sequence) {
    std::vector<Out> events;
    EXPECT_EQ(sequence->atom.type, sequenceType);
    EXPECT_EQ(sequence->body.unit, 0u);
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(event + 1);
        EXPECT_EQ(event->body.type, midiType);
        events.push_back({event->time.frames, {bytes, bytes + event->body.size}});
    }
    return events;
}

std::vector<Out> filtered(const LV2_Atom_Sequence* input, uint32_t frames) {
    MidiSequenceFilter filter(sequenceType, midiType, beatTime);
    return walk(filter.filter(input, frames));
}

using Bytes = std::vector<uint8_t>;

TEST(MidiSequenceFilter, WellFormedMidiPassesOnItsFramesAndOtherAtomsAreDropped) {
    SequenceBuilder builder(frameTime);
    builder.event(0, {0x90, 60, 100})
        .event(17, {0x80, 60, 0}, otherType)
        .event(17, {0xB0, 64, 127})
        .event(255, {0xE0, 0, 64});
    const auto events = filtered(builder.build(), 256);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].frame, 0);
    EXPECT_EQ(events[0].bytes, (Bytes{0x90, 60, 100}));
    EXPECT_EQ(events[1].frame, 17);
    EXPECT_EQ(events[1].bytes, (Bytes{0xB0, 64, 127}));
    EXPECT_EQ(events[2].frame, 255);
}

TEST(MidiSequenceFilter, UnitLeftUnsetMeansFramesAndTheLastEventNeedsNoPadding) {
    SequenceBuilder builder(0);
    builder.event(3, {0x90, 60, 100}).event(9, {0x90, 64, 100}, midiType, -1, false);
    const auto events = filtered(builder.build(), 64);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].frame, 9);
    EXPECT_EQ(events[1].bytes, (Bytes{0x90, 64, 100}));
}

TEST(MidiSequenceFilter, BeatTimesHaveNoFrameAndAreHeldToTheBlocksStart) {
    SequenceBuilder builder(beatTime);
    builder.event(100, {0x90, 60, 100}).event(5000, {0x80, 60, 0});
    const auto events = filtered(builder.build(), 64);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].frame, 0);
    EXPECT_EQ(events[1].frame, 0);
}

TEST(MidiSequenceFilter, EventsBeforeTheBlockOrOutOfOrderAreHeldAndThosePastItEndTheWalk) {
    SequenceBuilder builder;
    builder.event(-5, {0x90, 60, 100})
        .event(40, {0x90, 62, 100})
        .event(20, {0x90, 64, 100})  // earlier than the one before: held to 40
        .event(64, {0x90, 65, 100})  // at the block's length, as a window's note: its last frame
        .event(65, {0x90, 66, 100})  // past the block: ends the walk
        .event(10, {0x90, 67, 100}); // after it in the sequence: never reached
    const auto events = filtered(builder.build(), 64);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].frame, 0);
    EXPECT_EQ(events[1].frame, 40);
    EXPECT_EQ(events[2].frame, 40);
    EXPECT_EQ(events[2].bytes, (Bytes{0x90, 64, 100}));
    EXPECT_EQ(events[3].frame, 63);
    EXPECT_EQ(events[3].bytes, (Bytes{0x90, 65, 100}));
    // An empty block takes nothing, not even at its length.
    SequenceBuilder empty;
    empty.event(0, {0x90, 60, 100});
    EXPECT_TRUE(filtered(empty.build(), 0).empty());
}

TEST(MidiSequenceFilter, AnEventWhoseSizeRunsPastTheSequenceEndsTheWalk) {
    for (const int64_t declared : {int64_t(100000), int64_t(0xFFFFFFFF), int64_t(9)}) {
        SequenceBuilder builder;
        builder.event(1, {0x90, 60, 100}).event(2, {0x90, 61, 100}, midiType, declared, false);
        const auto events = filtered(builder.build(), 64);
        ASSERT_EQ(events.size(), 1u) << declared;
        EXPECT_EQ(events[0].bytes, (Bytes{0x90, 60, 100}));
    }
}

TEST(MidiSequenceFilter, AHeaderCutByTheSequencesEndIsNotRead) {
    SequenceBuilder builder;
    builder.event(1, {0x90, 60, 100}).event(2, {0x90, 61, 100});
    // The atom's size ends 4 bytes into the second event's 16-byte header.
    const size_t claimed = sizeof(LV2_Atom_Sequence_Body) + 24 + 4;
    const auto events = filtered(builder.build(sequenceType, int64_t(claimed)), 64);
    ASSERT_EQ(events.size(), 1u);
}

TEST(MidiSequenceFilter, NoPortAnotherTypeOrATruncatedAtomGiveAnEmptySequence) {
    SequenceBuilder builder;
    builder.event(1, {0x90, 60, 100});
    EXPECT_TRUE(filtered(nullptr, 64).empty());
    EXPECT_TRUE(filtered(builder.build(otherType), 64).empty());
    EXPECT_TRUE(filtered(builder.build(sequenceType, 4), 64).empty());
    EXPECT_TRUE(filtered(builder.build(), 0).empty()) << "a block of no frames has no frame";
}

TEST(MidiSequenceFilter, LongMessagesAreDroppedAndTheCountStopsAtCapacity) {
    SequenceBuilder builder;
    builder.event(0, Bytes(200, 0xF0));
    for (uint32_t i = 0; i < MidiSequenceFilter::capacity + 100; ++i)
        builder.event(i / 8, {0x90, uint8_t(i % 128), 1});
    MidiSequenceFilter filter(sequenceType, midiType, beatTime);
    const auto events = walk(filter.filter(builder.build(), 4096));
    ASSERT_EQ(events.size(), MidiSequenceFilter::capacity);
    EXPECT_EQ(events[0].bytes, (Bytes{0x90, 0, 1}));
    // A later, empty block leaves nothing of the one before.
    EXPECT_TRUE(walk(filter.filter(nullptr, 64)).empty());
}

// Random sequences with every header field spoiled now and then: whatever comes in, what goes
// out is a well-formed sequence of short MIDI events in frame order within the block. Run
// under AddressSanitizer (the fuzz target does), a read past the input fails too.
TEST(MidiSequenceFilter, RandomlySpoiledSequencesAlwaysGiveAWellFormedOne) {
    std::mt19937 random(23);
    MidiSequenceFilter filter(sequenceType, midiType, beatTime);
    for (int round = 0; round < 3000; ++round) {
        const LV2_URID unit = random() % 4 == 0 ? beatTime : (random() % 2 ? frameTime : 0);
        SequenceBuilder builder(unit);
        const int count = int(random() % 40);
        for (int i = 0; i < count; ++i) {
            Bytes payload(random() % 12);
            for (uint8_t& byte : payload)
                byte = uint8_t(random());
            const int64_t frame = int64_t(random() % 600) - 100;
            const LV2_URID type = random() % 6 == 0 ? otherType : midiType;
            const int64_t declared = random() % 30 == 0 ? int64_t(random()) : -1;
            builder.event(frame, payload, type, declared, random() % 10 != 0);
        }
        const int64_t claimed = random() % 10 == 0 ? int64_t(random() % 2000) : -1;
        const uint32_t frames = random() % 5 == 0 ? 0 : random() % 512;
        const auto* out = filter.filter(builder.build(sequenceType, claimed), frames);
        int64_t last = 0;
        for (const Out& event : walk(out)) {
            EXPECT_GE(event.frame, last);
            EXPECT_LT(event.frame, int64_t(frames));
            EXPECT_LE(event.bytes.size(), MidiSequenceFilter::maxMessageBytes);
            last = event.frame;
        }
    }
}

} // namespace
