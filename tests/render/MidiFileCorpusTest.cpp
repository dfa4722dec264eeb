// Seeded random-mutation test of the MIDI file reader over files built here (both formats, both
// kinds of division, running status, tempo, meta and system exclusive events), then thousands
// of damaged variants: flipped bits, lengths set to extremes, truncations, insertions. Whatever
// the bytes, the reader returns, either with a one-line reason or with a song whose messages are
// complete and whose times lie within its length; and the tempo map gives every message a
// sample no earlier than the one before. Under AddressSanitizer (or the libFuzzer target in
// fuzz/) this also shows that no read leaves the file.
#include "MidiFileBuilder.h"
#include "MidiFileReader.h"
#include "TempoMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using Bytes = MidiFileBuilder::Bytes;
using Track = MidiFileBuilder::Track;

std::vector<Bytes> seedCorpus() {
    std::vector<Bytes> corpus;
    Track tempo;
    tempo.tempo(0, 500000).meta(0, 0x03, {'T', 'e', 's', 't'}).tempo(384, 375000).end(768);
    Track melody;
    melody.noteOn(0, 0, 60, 100)
        .event(96, {62, 90})
        .event(96, {60, 0})
        .controller(0, 0, 64, 127)
        .event(0, {0xE0, 0x00, 0x50})
        .event(48, {0xF0, 0x04, 0x7E, 0x7F, 0x09, 0xF7})
        .noteOff(48, 0, 62)
        .controller(0, 0, 123, 0)
        .end();
    Track drums;
    drums.noteOn(10, 9, 36, 127).event(0, {0xC9, 3}).event(200, {0xD9, 20}).noteOff(5, 9, 36).end();
    corpus.push_back(MidiFileBuilder::file(1, 96, {tempo, melody, drums}));
    corpus.push_back(MidiFileBuilder::file(0, 480, {melody}));
    corpus.push_back(MidiFileBuilder::file(0, 0xE728, {drums})); // 25 frames, 40 ticks each
    corpus.push_back(MidiFileBuilder::file(1, 1, {tempo, drums}));
    return corpus;
}

void putBigEndian32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = uint8_t(value >> (24 - 8 * i));
}

Bytes mutate(const Bytes& original, std::mt19937& random) {
    Bytes bytes = original;
    const int mutations = 1 + int(random() % 4);
    for (int m = 0; m < mutations && !bytes.empty(); ++m) {
        const size_t at = random() % bytes.size();
        switch (random() % 7) {
        case 0:
            bytes[at] ^= uint8_t(1u << (random() % 8));
            break;
        case 1: {
            static constexpr uint8_t interesting[] = {0x00, 0x7F, 0x80, 0x81, 0xF0, 0xF7, 0xFF};
            bytes[at] = interesting[random() % 7];
            break;
        }
        case 2: { // a length (or any word) set to an extreme
            static constexpr uint32_t lengths[] = {0, 1,          5,          6,
                                                   7, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFF8};
            putBigEndian32(bytes, at, lengths[random() % 8]);
            break;
        }
        case 3:
            bytes.resize(at);
            break;
        case 4:
            bytes.insert(bytes.begin() + long(at), 1 + random() % 9, uint8_t(random()));
            break;
        case 5:
            bytes.erase(bytes.begin() + long(at),
                        bytes.begin() + long(std::min(bytes.size(), at + 1 + random() % 9)));
            break;
        default: // a chunk name the reader knows, somewhere
            if (at + 4 <= bytes.size())
                std::copy_n((random() % 2) ? "MTrk" : "MThd", 4, bytes.begin() + long(at));
            break;
        }
    }
    return bytes;
}

void checkSong(const MidiSong& song, int iteration) {
    ASSERT_TRUE(song.format == 0 || song.format == 1) << iteration;
    ASSERT_GT(song.trackCount, 0) << iteration;
    const TempoMap tempo(song.division, song.tempoChanges);
    uint64_t previousTick = 0;
    uint64_t previousSample = 0;
    for (const MidiFileMessage& message : song.messages) {
        ASSERT_TRUE(message.size == 2 || message.size == 3) << iteration;
        ASSERT_GE(message.bytes[0], 0x80) << iteration;
        ASSERT_LT(message.bytes[0], 0xF0) << iteration;
        for (int i = 1; i < message.size; ++i)
            ASSERT_LT(message.bytes[i], 0x80) << iteration;
        ASSERT_LT(message.track, song.trackCount) << iteration;
        ASSERT_GE(message.tick, previousTick) << iteration;
        ASSERT_LE(message.tick, song.lengthTicks) << iteration;
        const uint64_t sample = tempo.sampleAt(message.tick);
        ASSERT_GE(sample, previousSample) << iteration;
        previousTick = message.tick;
        previousSample = sample;
    }
    ASSERT_LE(previousSample, tempo.sampleAt(song.lengthTicks)) << iteration;
}

} // namespace

TEST(MidiFileCorpus, SeedFilesReadCompletely) {
    const std::vector<Bytes> corpus = seedCorpus();
    const size_t expectedMessages[] = {11, 7, 4, 4};
    for (size_t i = 0; i < corpus.size(); ++i) {
        MidiSong song;
        std::string error;
        ASSERT_TRUE(MidiFileReader::read(corpus[i].data(), corpus[i].size(), song, error))
            << i << ": " << error;
        EXPECT_EQ(song.messages.size(), expectedMessages[i]) << i;
        checkSong(song, -1);
    }
}

TEST(MidiFileCorpus, MutatedFilesAreReadOrRefusedCleanly) {
    const std::vector<Bytes> corpus = seedCorpus();
    std::mt19937 random(20240612);
    int refused = 0;
    for (int iteration = 0; iteration < 200000; ++iteration) {
        const Bytes bytes = mutate(corpus[random() % corpus.size()], random);
        MidiSong song;
        std::string error;
        if (MidiFileReader::read(bytes.data(), bytes.size(), song, error)) {
            checkSong(song, iteration);
        } else {
            ++refused;
            ASSERT_FALSE(error.empty()) << iteration;
            ASSERT_EQ(error.find('\n'), std::string::npos) << iteration;
        }
        if (HasFatalFailure())
            break;
    }
    // Both outcomes must be exercised for the test to mean anything.
    EXPECT_GT(refused, 10000);
    EXPECT_LT(refused, 190000);
}
