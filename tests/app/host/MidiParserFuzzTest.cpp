// Random packet lists against a plain reference reading of the same bytes: the parser must
// post exactly the reference's events, in order, and refuse exactly the images whose packets
// run past their end. Seeds are fixed so a failure reproduces.
#include "EngineUnderTest.h"
#include "MIDIInput.h"
#include "MidiPacketImages.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Expected {
    EventSubType subType;
    double value; // note number, or the normalized bend before the engine snaps it
    double velocity;
};

bool isData(std::uint8_t b) {
    return b < 0x80;
}

// The rules, written out as plainly as possible over whole vectors.
std::vector<Expected> reference(const std::vector<Bytes>& packets) {
    std::vector<Expected> out;
    for (const Bytes& p : packets) {
        std::size_t i = 0;
        while (i < p.size()) {
            const int nibble = p[i] >> 4;
            const bool known = nibble == 0x8 || nibble == 0x9 || nibble == 0xB || nibble == 0xE;
            if (!known) {
                ++i;
                continue;
            }
            if (i + 3 > p.size())
                break;
            if (!isData(p[i + 1]) || !isData(p[i + 2])) {
                ++i;
                continue;
            }
            const double n = p[i + 1], v = p[i + 2];
            if (nibble == 0x9 && v != 0)
                out.push_back({EventSubTypeNoteOn, n, v});
            else if (nibble == 0x9 || nibble == 0x8)
                out.push_back({EventSubTypeNoteOff, n, 0});
            else if (nibble == 0xE)
                out.push_back({EventSubTypeParameter, (v * 128 + n) / 16384.0, 0});
            i += 3;
        }
    }
    return out;
}

std::uint8_t randomByte(std::mt19937& rng) {
    // Mostly the bytes that matter: status bytes of every kind and data bytes, including 0.
    switch (rng() % 4) {
    case 0:
        return static_cast<std::uint8_t>(0x80 | (rng() % 128));
    case 1:
        return static_cast<std::uint8_t>(rng() % 4 == 0 ? 0 : rng() % 128);
    case 2: {
        static const std::uint8_t statuses[] = {0x80, 0x90, 0xB0, 0xE0};
        return static_cast<std::uint8_t>(statuses[rng() % 4] | (rng() % 16));
    }
    default:
        return static_cast<std::uint8_t>(rng() % 256);
    }
}

std::vector<Bytes> randomPackets(std::mt19937& rng) {
    std::vector<Bytes> packets(rng() % 6);
    for (Bytes& p : packets) {
        p.resize(rng() % 24);
        for (auto& b : p)
            b = randomByte(rng);
    }
    return packets;
}

void expectSame(const std::vector<Expected>& expected, const std::vector<DspEvent>& got,
                int iteration) {
    ASSERT_EQ(got.size(), expected.size()) << "iteration " << iteration;
    for (std::size_t k = 0; k < got.size(); ++k) {
        const DspEvent& e = got[k];
        EXPECT_EQ(e.subType, expected[k].subType) << "iteration " << iteration << " event " << k;
        if (expected[k].subType == EventSubTypeParameter) {
            EXPECT_EQ(e.parameterType, ParameterTypePitchBend);
            EXPECT_NEAR(e.value2, expected[k].value, 0.0005 + 1e-12) << "snapped to 1001 steps";
        } else {
            EXPECT_EQ(e.value1, expected[k].value) << "iteration " << iteration;
            EXPECT_EQ(e.value2, expected[k].velocity) << "iteration " << iteration;
        }
    }
}

} // namespace

TEST(MidiParserFuzz, RandomPacketListsMatchThePlainReading) {
    EngineUnderTest engine;
    std::mt19937 rng(20240611);
    for (int iteration = 0; iteration < 4000; ++iteration) {
        const std::vector<Bytes> packets = randomPackets(rng);
        const Bytes image = packetListImage(packets);
        const int posted = MIDIParsePacketList(view(image), engine.handle());
        const std::vector<Expected> expected = reference(packets);
        EXPECT_EQ(posted, static_cast<int>(expected.size())) << "iteration " << iteration;
        expectSame(expected, engine.drain(), iteration);
        if (HasFailure())
            return;
    }
}

TEST(MidiParserFuzz, TruncatedOrCorruptedImagesAreRefusedOrReadWithinBounds) {
    EngineUnderTest engine;
    std::mt19937 rng(77);
    int refused = 0;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        const std::vector<Bytes> packets = randomPackets(rng);
        const Bytes image = packetListImage(packets);
        // Copy the image into a buffer of exactly the claimed size, so reading past it would be
        // a heap overflow that sanitizer builds catch.
        std::size_t size = image.size();
        Bytes corrupted(image);
        if (rng() % 2 == 0 && size > 0)
            size = rng() % size; // cut the image
        else if (!corrupted.empty())
            corrupted[rng() % corrupted.size()] = static_cast<std::uint8_t>(rng()); // flip a byte
        Bytes exact(corrupted.begin(), corrupted.begin() + static_cast<std::ptrdiff_t>(size));
        const int posted = MIDIParsePacketList({exact.data(), exact.size()}, engine.handle());
        const std::vector<DspEvent> got = engine.drain();
        if (posted < 0) {
            ++refused;
            EXPECT_FALSE(MIDIPacketListIsWellFormed({exact.data(), exact.size()}));
            EXPECT_TRUE(got.empty()) << "a refused list posts nothing";
        } else {
            EXPECT_EQ(static_cast<int>(got.size()), posted);
        }
        if (size < image.size() && size >= midiPacketListHeaderBytes && corrupted == image) {
            // A cut that removes part of a packet must be refused; a cut that removes nothing a
            // packet needs (there is none after the last) cannot happen when size < image size.
            EXPECT_EQ(posted, -1) << "iteration " << iteration;
        }
        if (HasFailure())
            return;
    }
    EXPECT_GT(refused, 1000) << "the corruptions should often make lists unreadable";
}
