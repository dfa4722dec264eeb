// The parser's contract: which bytes become which engine events, and that reads stay inside
// every packet whatever the bytes are.
#include "EngineUnderTest.h"
#include "HostClock.h"
#include "MIDIInput.h"
#include "MidiPacketImages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Posted {
    EventSubType subType;
    ParameterType parameterType;
    double value1;
    double value2;
};

class MidiParser : public ::testing::Test {
protected:
    std::vector<Posted> parse(const std::vector<Bytes>& packets, int* result = nullptr) {
        const Bytes image = packetListImage(packets);
        const int posted = MIDIParsePacketList(view(image), engine.handle());
        if (result != nullptr)
            *result = posted;
        std::vector<Posted> out;
        for (const DspEvent& e : engine.drain()) {
            EXPECT_EQ(e.eventType, EventTypeSynth);
            out.push_back({e.subType, e.parameterType, e.value1, e.value2});
        }
        EXPECT_EQ(static_cast<int>(out.size()), posted);
        return out;
    }

    EngineUnderTest engine;
};

void expectNote(const Posted& p, EventSubType subType, double note, double velocity) {
    EXPECT_EQ(p.subType, subType);
    EXPECT_EQ(p.parameterType, ParameterTypeNone);
    EXPECT_EQ(p.value1, note);
    EXPECT_EQ(p.value2, velocity);
}

} // namespace

TEST_F(MidiParser, NoteOnAndNoteOnWithVelocityZero) {
    auto posted = parse({{0x90, 0x3C, 0x64}});
    ASSERT_EQ(posted.size(), 1u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);

    posted = parse({{0x90, 0x3C, 0x00}});
    ASSERT_EQ(posted.size(), 1u);
    expectNote(posted[0], EventSubTypeNoteOff, 60, 0);
}

TEST_F(MidiParser, NoteOffDropsReleaseVelocity) {
    auto posted = parse({{0x80, 0x3C, 0x40}});
    ASSERT_EQ(posted.size(), 1u);
    expectNote(posted[0], EventSubTypeNoteOff, 60, 0);
}

TEST_F(MidiParser, EverySixteenChannelsActAlike) {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        auto posted = parse({{static_cast<std::uint8_t>(0x90 | channel), 0x3C, 0x64},
                             {static_cast<std::uint8_t>(0x80 | channel), 0x3C, 0x40},
                             {static_cast<std::uint8_t>(0xE0 | channel), 0x00, 0x40}});
        ASSERT_EQ(posted.size(), 3u) << "channel " << int(channel);
        expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
        expectNote(posted[1], EventSubTypeNoteOff, 60, 0);
        EXPECT_EQ(posted[2].parameterType, ParameterTypePitchBend);
    }
}

TEST_F(MidiParser, PitchBendIsTheFourteenBitValueTimesTwoToTheMinusFourteen) {
    EXPECT_EQ(pitchBendNormalizedValue(0x00, 0x40), 0.5);
    EXPECT_EQ(pitchBendNormalizedValue(0x7F, 0x7F), 16383.0 / 16384.0);
    EXPECT_EQ(pitchBendNormalizedValue(0x00, 0x00), 0.0);
    EXPECT_EQ(pitchBendNormalizedValue(0x01, 0x00), 1.0 / 16384.0) << "first byte is the LSB";

    // Posted as the normalized "Pitch Bend" parameter; the engine snaps it to its 1001 steps
    // (value2 of the queued event) and scales it to -1..1 (value1).
    auto posted = parse({{0xE0, 0x00, 0x40}, {0xE0, 0x7F, 0x7F}, {0xE0, 0x00, 0x00}});
    ASSERT_EQ(posted.size(), 3u);
    for (const Posted& p : posted) {
        EXPECT_EQ(p.subType, EventSubTypeParameter);
        EXPECT_EQ(p.parameterType, ParameterTypePitchBend);
    }
    EXPECT_DOUBLE_EQ(posted[0].value2, 0.5);
    EXPECT_NEAR(posted[0].value1, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(posted[1].value2, 1.0);
    EXPECT_DOUBLE_EQ(posted[1].value1, 1.0);
    EXPECT_DOUBLE_EQ(posted[2].value2, 0.0);
    EXPECT_DOUBLE_EQ(posted[2].value1, -1.0);
    EXPECT_DOUBLE_EQ(DspGetParameterInfo(engine.handle(), ParameterTypePitchBend).normalizedValue,
                     0.0);
}

TEST_F(MidiParser, ControlChangeIsSkippedWholeAndPostsNothing) {
    // The sustain pedal's three bytes are passed over: the note after it still parses, and
    // 0x7F is not read as a status byte.
    auto posted = parse({{0xB0, 0x40, 0x7F, 0x90, 0x3C, 0x64}});
    ASSERT_EQ(posted.size(), 1u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
    EXPECT_TRUE(parse({{0xB0, 0x40, 0x7F}}).empty());
}

TEST_F(MidiParser, MessagesArePostedInPacketOrder) {
    auto posted = parse({{0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}, {0x90, 0x40, 0x10}});
    ASSERT_EQ(posted.size(), 3u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
    expectNote(posted[1], EventSubTypeNoteOff, 60, 0);
    expectNote(posted[2], EventSubTypeNoteOn, 64, 16);
}

TEST_F(MidiParser, EmptyListAndEmptyPacketPostNothing) {
    int result = -2;
    EXPECT_TRUE(parse({}, &result).empty());
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(parse({{}}, &result).empty());
    EXPECT_EQ(result, 0);
    auto posted = parse({{}, {0x90, 0x3C, 0x64}});
    ASSERT_EQ(posted.size(), 1u) << "a packet after an empty one still parses";
}

TEST_F(MidiParser, UnknownStatusBytesMoveOnOneByte) {
    // Program change, channel pressure, key pressure, clock and SysEx are "Unknown": each byte
    // of them is passed over on its own, and the note behind them is found.
    auto posted = parse({{0xC0, 0x05, 0xD0, 0x40, 0xA0, 0x3C, 0x10, 0xF8, 0xF0, 0x7E, 0x7F, 0xF7,
                          0x90, 0x3C, 0x64}});
    ASSERT_EQ(posted.size(), 1u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);

    // No running status: data bytes where a status byte is expected post nothing.
    EXPECT_TRUE(parse({{0x3C, 0x64, 0x3E, 0x64}}).empty());
}

TEST_F(MidiParser, MessageCutShortByThePacketEndIsDropped) {
    auto posted = parse({{0x90, 0x3C}, {0x80}, {0xE0, 0x00}, {0x90, 0x3C, 0x64, 0x90, 0x3E}});
    ASSERT_EQ(posted.size(), 1u) << "only the complete note on";
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
}

TEST_F(MidiParser, StatusByteWhereADataByteBelongsIsNotReadAsData) {
    // 0x90 followed by another status byte is not a note (it would be note 144): the parser
    // moves on one byte and reads the message that really starts there.
    auto posted = parse({{0x90, 0x90, 0x3C, 0x64}, {0x90, 0x3C, 0x80, 0x3C, 0x40}});
    ASSERT_EQ(posted.size(), 2u);
    expectNote(posted[0], EventSubTypeNoteOn, 60, 100);
    expectNote(posted[1], EventSubTypeNoteOff, 60, 0);
}

TEST_F(MidiParser, ListWhoseLengthsRunPastItsSizeIsRefusedWhole) {
    Bytes image = packetListImage({{0x90, 0x3C, 0x64}, {0x90, 0x3E, 0x64}});
    // One byte short: the second packet's last data byte lies outside the image.
    int result = MIDIParsePacketList({image.data(), image.size() - 1}, engine.handle());
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(engine.drain().empty()) << "not even the first, complete packet";

    // A count that promises more packets than the image holds.
    Bytes lying = packetListImage({{0x90, 0x3C, 0x64}});
    lying[0] = 2;
    EXPECT_EQ(MIDIParsePacketList(view(lying), engine.handle()), -1);
    // A length field beyond the end.
    Bytes longPacket = packetListImage({{0x90, 0x3C, 0x64}});
    longPacket[12] = 0xFF;
    EXPECT_EQ(MIDIParsePacketList(view(longPacket), engine.handle()), -1);
    // Too short to hold even the count.
    EXPECT_EQ(MIDIParsePacketList({image.data(), 3}, engine.handle()), -1);
    EXPECT_EQ(MIDIParsePacketList({nullptr, 0}, engine.handle()), -1);
    EXPECT_TRUE(engine.drain().empty());

    // Bytes after the last packet are allowed.
    Bytes padded = packetListImage({{0x90, 0x3C, 0x64}});
    padded.resize(padded.size() + 7, 0x90);
    EXPECT_EQ(MIDIParsePacketList(view(padded), engine.handle()), 1);
    engine.drain();
}

TEST(MidiMessageKinds, HighNibbleSelectsTheKind) {
    for (int status = 0; status < 256; ++status) {
        const midiMessageTypeInfo& kind = midiMessageTypeInfoFor(static_cast<std::uint8_t>(status));
        const int nibble = status >> 4;
        const std::string expected = nibble == 0x8   ? "NoteOff"
                                     : nibble == 0x9 ? "NoteOn"
                                     : nibble == 0xB ? "ControlChange"
                                     : nibble == 0xE ? "PitchBend"
                                                     : "Unknown";
        EXPECT_EQ(kind.messageType, expected) << "status " << status;
        EXPECT_EQ(kind.messageLength, expected == "Unknown" ? 0 : 3) << "status " << status;
    }
}

// With the output's clock given, each message is stamped with its packet's arrival on it; a
// stamp that is missing, in the future or over a second old is left to the engine, which
// stamps the event when it is posted (0 here: the engine has not rendered yet).
TEST_F(MidiParser, PacketArrivalTimeBecomesTheEventsStampOnTheOutputClock) {
    // An output that started ten seconds ago: the engine takes stamps near its present position
    // as they are (one from hours ahead would be taken as "now").
    static std::uint64_t outputStart = 0;
    const std::uint64_t now = HostClock::nowNanoseconds();
    outputStart = now - 10000000000ull;
    MIDIInputSetStampClock([](std::uint64_t hostNanoseconds, double* sampleTime) {
        *sampleTime = double(hostNanoseconds - outputStart) * 44100e-9;
        return true;
    });
    const std::uint64_t stamps[] = {now - 3000000, now - 2000000, 0, now + 1000000000,
                                    now - 2000000000};
    Bytes image(1024);
    MIDIPacketListWriter writer(image.data(), image.size());
    const std::uint8_t noteOn[] = {0x90, 0x3C, 0x64};
    for (std::uint64_t stamp : stamps)
        writer.add(stamp, noteOn, sizeof noteOn);
    ASSERT_EQ(MIDIParsePacketList(writer.list(), engine.handle()), 5);
    MIDIInputSetStampClock(nullptr);

    const std::vector<DspEvent> events = engine.drain();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].timeStamp.mSampleTime, double(stamps[0] - outputStart) * 44100e-9);
    EXPECT_EQ(events[0].timeStamp.mHostTime, stamps[0]);
    EXPECT_NEAR(events[1].timeStamp.mSampleTime - events[0].timeStamp.mSampleTime, 44.1, 1e-6)
        << "a millisecond apart on arrival, a millisecond apart on the output";
    for (size_t i = 2; i < 5; ++i)
        EXPECT_EQ(events[i].timeStamp.mSampleTime, 0.0) << "packet " << i;
}
