// The MIDI file reader on files built here: what it keeps from good files (merged tracks,
// running status, tempo, divisions, skipped meta and system exclusive events) and the one
// sentence it gives for each kind of broken file.
#include "MidiFileReader.h"
#include "MidiFileBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = MidiFileBuilder::Bytes;
using Track = MidiFileBuilder::Track;

struct Read {
    bool ok = false;
    MidiSong song;
    std::string error;
};

Read read(const Bytes& bytes) {
    Read result;
    result.ok = MidiFileReader::read(bytes.data(), bytes.size(), result.song, result.error);
    return result;
}

std::vector<uint8_t> messageBytes(const MidiFileMessage& message) {
    return std::vector<uint8_t>(message.bytes, message.bytes + message.size);
}

TEST(MidiFileReaderTest, FormatOneTracksMergeByTickThenTrackOrder) {
    Track tempo;
    tempo.tempo(0, 400000).tempo(960, 250000).end(0);
    Track first;
    first.noteOn(0, 0, 60, 100).noteOff(480, 0, 60).end();
    Track second;
    second.noteOn(480, 9, 36, 90).event(0, {0xC9, 5}).noteOff(480, 9, 36).end(100);
    const Read r = read(MidiFileBuilder::file(1, 480, {tempo, first, second}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.song.format, 1);
    EXPECT_EQ(r.song.trackCount, 3);
    EXPECT_FALSE(r.song.division.timeCode);
    EXPECT_EQ(r.song.division.ticksPerQuarter, 480u);
    ASSERT_EQ(r.song.messages.size(), 5u);
    const struct {
        uint64_t tick;
        uint32_t track;
        std::vector<uint8_t> bytes;
    } expected[] = {
        {0, 1, {0x90, 60, 100}}, {480, 1, {0x80, 60, 64}}, {480, 2, {0x99, 36, 90}},
        {480, 2, {0xC9, 5}},     {960, 2, {0x89, 36, 64}},
    };
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(r.song.messages[i].tick, expected[i].tick) << i;
        EXPECT_EQ(r.song.messages[i].track, expected[i].track) << i;
        EXPECT_EQ(messageBytes(r.song.messages[i]), expected[i].bytes) << i;
    }
    ASSERT_EQ(r.song.tempoChanges.size(), 2u);
    EXPECT_EQ(r.song.tempoChanges[0].tick, 0u);
    EXPECT_EQ(r.song.tempoChanges[0].microsecondsPerQuarter, 400000u);
    EXPECT_EQ(r.song.tempoChanges[1].tick, 960u);
    EXPECT_EQ(r.song.tempoChanges[1].microsecondsPerQuarter, 250000u);
    EXPECT_EQ(r.song.lengthTicks, 1060u) << "the last end of track sets the length";
}

TEST(MidiFileReaderTest, RunningStatusCarriesAcrossMetaAndSystemExclusive) {
    Track track;
    track.noteOn(0, 3, 60, 100)
        .event(10, {62, 101}) // running status
        .meta(0, 0x01, {'h', 'i'})
        .event(0, {64, 102}) // still running after a meta event
        .event(5, {0xF0, 0x03, 0x7E, 0x00, 0xF7})
        .event(0, {65, 0}) // and after system exclusive
        .event(0, {0xF7, 0x01, 0xF8})
        .event(0, {0xD3, 40}) // one data byte
        .event(0, {41})
        .end();
    const Read r = read(MidiFileBuilder::file(0, 96, {track}));
    ASSERT_TRUE(r.ok) << r.error;
    const std::vector<std::vector<uint8_t>> expected = {
        {0x93, 60, 100}, {0x93, 62, 101}, {0x93, 64, 102}, {0x93, 65, 0}, {0xD3, 40}, {0xD3, 41}};
    ASSERT_EQ(r.song.messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(messageBytes(r.song.messages[i]), expected[i]) << i;
    EXPECT_EQ(r.song.messages[5].tick, 15u);
}

TEST(MidiFileReaderTest, SkipsUnknownChunksAndIgnoresWhatFollowsEndOfTrack) {
    Track track;
    track.noteOn(0, 0, 60, 100).end(0).noteOn(0, 0, 61, 100);
    Bytes bytes = MidiFileBuilder::header(0, 1, 96);
    const Bytes vendor = MidiFileBuilder::chunk("XFIH", {1, 2, 3, 4, 5});
    bytes.insert(bytes.end(), vendor.begin(), vendor.end());
    const Bytes trackChunk = MidiFileBuilder::chunk("MTrk", track.events);
    bytes.insert(bytes.end(), trackChunk.begin(), trackChunk.end());
    bytes.insert(bytes.end(), {0xDE, 0xAD}); // trailing bytes after the declared tracks
    const Read r = read(bytes);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.song.messages.size(), 1u);
    EXPECT_EQ(r.song.messages[0].bytes[1], 60);
}

TEST(MidiFileReaderTest, LongerHeaderTempoOfOtherLengthsAndMissingEndOfTrack) {
    Bytes bytes = MidiFileBuilder::chunk("MThd", {0, 0, 0, 1, 0, 120, 0xAA, 0xBB});
    Track track;
    track.meta(0, 0x51, {1, 2}).meta(0, 0x51, {0x07, 0xA1, 0x20, 0}).noteOn(7, 0, 60, 1);
    const Bytes trackChunk = MidiFileBuilder::chunk("MTrk", track.events);
    bytes.insert(bytes.end(), trackChunk.begin(), trackChunk.end());
    const Read r = read(bytes);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.song.division.ticksPerQuarter, 120u);
    EXPECT_TRUE(r.song.tempoChanges.empty()) << "a tempo is three bytes";
    EXPECT_EQ(r.song.lengthTicks, 7u);
}

TEST(MidiFileReaderTest, TimeCodeDivisions) {
    const struct {
        uint8_t high;
        uint32_t framesPerSecond;
    } cases[] = {{0xE8, 24}, {0xE7, 25}, {0xE3, 29}, {0xE2, 30}};
    for (const auto& c : cases) {
        Track track;
        track.end();
        const Read r = read(MidiFileBuilder::file(0, uint16_t(c.high << 8 | 80), {track}));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.song.division.timeCode);
        EXPECT_EQ(r.song.division.framesPerSecond, c.framesPerSecond);
        EXPECT_EQ(r.song.division.ticksPerFrame, 80u);
    }
}

TEST(MidiFileReaderTest, EveryBrokenFileGetsItsOwnSentence) {
    Track note;
    note.noteOn(0, 0, 60, 100).end();
    const Bytes good = MidiFileBuilder::file(0, 96, {note});
    const auto withTrack = [](const Bytes& events, uint16_t division = 96) {
        Track track;
        track.events = events;
        return MidiFileBuilder::file(0, division, {track});
    };
    Bytes liarTrack = good;
    liarTrack[14 + 7] += 50; // the track's length, larger than the file
    Bytes liarHeader = good;
    liarHeader[7] = 200;
    Bytes shortHeader = good;
    shortHeader[7] = 4;
    Bytes twoTracksDeclared = good;
    twoTracksDeclared[11] = 2;
    Bytes garbageChunk = good;
    garbageChunk.insert(garbageChunk.begin() + 14, {0x00, 0x01, 0x02, 0x03, 0, 0, 0, 0});

    const struct {
        const char* what;
        Bytes bytes;
        std::string message;
    } cases[] = {
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, "not a MIDI file"},
        {"empty", Bytes{}, "not a MIDI file"},
        {"RIFF", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "not a MIDI file"},
        {"header cut", Bytes(good.begin(), good.begin() + 10), "truncated: the file ends inside"},
        {"track cut", Bytes(good.begin(), good.end() - 3), "track 1 claims 8 bytes at byte 14"},
        {"no track", Bytes(good.begin(), good.begin() + 14), "declares 1 tracks but the file"},
        {"chunk header cut", Bytes(good.begin(), good.begin() + 18), "chunk header at byte 14"},
        {"track length lies", liarTrack, "track 1 claims 58 bytes"},
        {"header length lies", liarHeader, "header chunk claims 200 bytes"},
        {"header too short", shortHeader, "needs 6"},
        {"missing track", twoTracksDeclared, "declares 2 tracks but the file ends after 1"},
        {"not a chunk", garbageChunk, "byte 14 should start a chunk"},
        {"format 2", MidiFileBuilder::file(2, 96, {note}), "format 2"},
        {"format 7", MidiFileBuilder::file(7, 96, {note}), "unknown format 7"},
        {"no tracks", MidiFileBuilder::header(1, 0, 96), "declares no tracks"},
        {"division 0", withTrack({0x00, 0xFF, 0x2F, 0x00}, 0), "0 ticks per quarter note"},
        {"0 ticks per frame", withTrack({}, 0xE800), "0 ticks per frame"},
        {"frame rate", withTrack({}, 0xE050), "32 frames per second"},
        {"running status without status", withTrack({0x00, 60, 100}),
         "data byte 0x3C at byte 23 has no status byte"},
        {"delta past the end", withTrack({0x00, 0x90, 60, 100, 0x81, 0x80}),
         "the delta time at byte 26 runs past the end"},
        {"delta too long", withTrack({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100}),
         "delta time at byte 22 is longer than four bytes"},
        {"event missing", withTrack({0x00, 0x90, 60, 100, 0x10}), "between a delta time"},
        {"meta length past the end", withTrack({0x00, 0xFF, 0x01, 0x20, 'a', 'b'}),
         "meta event at byte 23 claims 32 bytes but only 2 remain"},
        {"meta length cut", withTrack({0x00, 0xFF, 0x01, 0x81}),
         "meta event length at byte 25 runs past"},
        {"meta type cut", withTrack({0x00, 0xFF}), "meta event at byte 23 is cut off"},
        {"sysex past the end", withTrack({0x00, 0xF0, 0x05, 0x01, 0xF7}),
         "system exclusive message at byte 23 claims 5 bytes"},
        {"message cut", withTrack({0x00, 0x90, 60}), "message at byte 23 is cut off"},
        {"status in data", withTrack({0x00, 0x90, 60, 0x80}), "status byte 0x80 where a data"},
        {"system real time", withTrack({0x00, 0xF8}), "status byte 0xF8 at byte 23 cannot"},
    };
    for (const auto& c : cases) {
        const Read r = read(c.bytes);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_NE(r.error.find(c.message), std::string::npos)
            << c.what << ": \"" << r.error << "\" lacks \"" << c.message << "\"";
        EXPECT_EQ(r.error.find('\n'), std::string::npos) << c.what;
    }
    EXPECT_TRUE(read(good).ok);
    MidiSong song;
    std::string error;
    EXPECT_FALSE(MidiFileReader::read(nullptr, 10, song, error));
}

TEST(MidiFileReaderTest, RefusesFilesLargerThanItsLimit) {
    Track track;
    track.end();
    Bytes bytes = MidiFileBuilder::file(0, 96, {track});
    bytes.resize(MidiFileReader::largestFileBytes + 1);
    const Read r = read(bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("larger than the 32 MiB"), std::string::npos) << r.error;
}

} // namespace
