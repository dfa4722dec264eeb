// Seeded random-mutation test of the WAV reader over real files generated here: every depth
// and channel layout the reader knows, extra chunks, odd sizes, then thousands of damaged
// variants (flipped bits, overwritten size fields, truncations, insertions). Whatever the
// file, the reader must return, hold no more data than the file has, and decode only finite
// values within range. A run under AddressSanitizer (or the libFuzzer target in fuzz/) also
// proves that no read leaves its buffer.
#include "WavFileBuilder.h"
#include "Zelvar_PcmDataProvider.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace wavtest;

namespace {

std::vector<Bytes> seedCorpus() {
    std::vector<Bytes> corpus;
    std::mt19937 random(7);
    for (uint16_t bits : {8, 16, 24, 32}) {
        for (uint16_t channels : {1, 2}) {
            Format format;
            format.bitsPerSample = bits;
            format.channels = channels;
            Bytes data(static_cast<size_t>(37) * channels * (bits / 8));
            for (uint8_t& b : data)
                b = static_cast<uint8_t>(random());
            corpus.push_back(simpleWav(format, data));

            Bytes chunks;
            format.extension = {0, 0};
            appendChunk(chunks, "fmt ", formatChunkContent(format));
            appendChunk(chunks, "LIST", Bytes(11, 'i'));
            appendChunk(chunks, "data", data);
            corpus.push_back(riff(chunks));
        }
    }
    Format floatFormat;
    floatFormat.audioFormat = Zelvar_PcmDataProvider::formatIeeeFloat;
    floatFormat.bitsPerSample = 32;
    std::vector<float> values(64);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = std::sin(0.1f * static_cast<float>(i));
    Bytes floatData(values.size() * sizeof(float));
    std::memcpy(floatData.data(), values.data(), floatData.size());
    corpus.push_back(simpleWav(floatFormat, floatData));
    return corpus;
}

void putLe32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

Bytes mutate(const Bytes& original, std::mt19937& random) {
    Bytes bytes = original;
    const int mutations = 1 + static_cast<int>(random() % 4);
    for (int m = 0; m < mutations && !bytes.empty(); ++m) {
        const size_t at = random() % bytes.size();
        switch (random() % 7) {
        case 0: // bit flip
            bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 1: { // an interesting byte value
            static constexpr uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
            bytes[at] = interesting[random() % 5];
            break;
        }
        case 2: { // a size field (or any word) set to an extreme
            static constexpr uint32_t sizes[] = {0,          1,          15,         16,        17,
                                                 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0};
            putLe32(bytes, at & ~size_t(3), sizes[random() % 9]);
            break;
        }
        case 3: // truncation
            bytes.resize(at);
            break;
        case 4: // insertion
            bytes.insert(bytes.begin() + static_cast<long>(at), 1 + random() % 9,
                         static_cast<uint8_t>(random()));
            break;
        case 5: // deletion
            bytes.erase(bytes.begin() + static_cast<long>(at),
                        bytes.begin() +
                            static_cast<long>(std::min(bytes.size(), at + 1 + random() % 9)));
            break;
        default: // a chunk id turned into one the reader knows
            if (at + 4 <= bytes.size())
                std::memcpy(&bytes[at], (random() % 2) ? "data" : "fmt ", 4);
            break;
        }
    }
    return bytes;
}

void checkProvider(const Zelvar_PcmDataProvider& provider, size_t fileSize, int iteration) {
    ASSERT_GE(provider.getDataSize(), 0) << iteration;
    ASSERT_LE(static_cast<size_t>(provider.getDataSize()), fileSize) << iteration;
    const int length = provider.getLength();
    ASSERT_GE(length, 0) << iteration;
    const bool isFloat = provider.getAudioFormat() == Zelvar_PcmDataProvider::formatIeeeFloat ||
                         provider.getAudioFormat() == Zelvar_PcmDataProvider::formatExtensible;
    const int last = std::min(length + 2, 4096);
    for (int frame = -2; frame <= last; ++frame) {
        double left = 0.0;
        double right = 0.0;
        provider.getValue(frame, &left, &right);
        ASSERT_TRUE(std::isfinite(left) && std::isfinite(right)) << iteration;
        if (!isFloat) {
            ASSERT_LE(std::fabs(left), 1.0) << iteration;
            ASSERT_LE(std::fabs(right), 1.0) << iteration;
        }
    }
    for (int frame : {length, length + 1, 1 << 30, -(1 << 30)}) {
        double left = 1.0;
        double right = 1.0;
        provider.getValue(frame, &left, &right);
        ASSERT_EQ(left, 0.0) << iteration;
        ASSERT_EQ(right, 0.0) << iteration;
    }
}

} // namespace

TEST(PcmReaderCorpus, SeedFilesLoadCompletely) {
    const std::string path = ::testing::TempDir() + "corvena_corpus_seed.wav";
    for (const Bytes& seed : seedCorpus()) {
        ASSERT_TRUE(writeFile(path, seed));
        Zelvar_PcmDataProvider provider;
        provider.setFilePath(path.c_str());
        ASSERT_TRUE(provider.readFile());
        EXPECT_EQ(provider.getLength(),
                  provider.getBitsPerSample() == 32 && provider.getAudioFormat() == 3 ? 32 : 37);
    }
}

TEST(PcmReaderCorpus, MutatedFilesNeverCrashOrOverreach) {
    // A name of this process's own: test runs of two checkouts may share the temporary folder.
    const std::string path =
        ::testing::TempDir() + "corvena_corpus_mutant_" + std::to_string(getpid()) + ".wav";
    const std::vector<Bytes> corpus = seedCorpus();
    std::mt19937 random(20240611);
    Zelvar_PcmDataProvider provider; // reused: each load must forget the previous file
    ::testing::internal::CaptureStdout();
    for (int iteration = 0; iteration < 20000; ++iteration) {
        Bytes bytes = mutate(corpus[random() % corpus.size()], random);
        ASSERT_TRUE(writeFile(path, bytes));
        provider.setFilePath(path.c_str());
        provider.readFile();
        checkProvider(provider, bytes.size(), iteration);
        if (HasFatalFailure())
            break;
    }
    ::testing::internal::GetCapturedStdout();
    std::remove(path.c_str());
}
