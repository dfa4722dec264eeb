#include "WavFileBuilder.h"
#include "Zelvar_PcmDataManager.h"
#include "Zelvar_PcmDataProvider.h"
#include "Zelvar_PcmOscillator.h"
#include "Zelvar_PcmPlayer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace wavtest;

namespace {

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "corvena_pcm_" + name;
}

// Writes the bytes to a file and loads it into the provider.
bool load(Zelvar_PcmDataProvider& provider, const std::string& name, const Bytes& bytes) {
    const std::string path = tempPath(name);
    EXPECT_TRUE(writeFile(path, bytes));
    EXPECT_TRUE(provider.setFilePath(path.c_str()));
    return provider.readFile();
}

Bytes samples16(std::initializer_list<int16_t> values) {
    Bytes out;
    for (int16_t v : values)
        appendLe16(out, static_cast<uint16_t>(v));
    return out;
}

struct Frame {
    double left;
    double right;
};

Frame frameAt(const Zelvar_PcmDataProvider& provider, int frame) {
    Frame f{-9.0, -9.0};
    provider.getValue(frame, &f.left, &f.right);
    return f;
}

class EnvironmentHome {
public:
    EnvironmentHome() {
        const char* home = std::getenv("HOME");
        hadHome = home != nullptr;
        if (hadHome)
            saved = home;
    }
    ~EnvironmentHome() {
        if (hadHome)
            setenv("HOME", saved.c_str(), 1);
        else
            unsetenv("HOME");
    }

private:
    bool hadHome = false;
    std::string saved;
};

} // namespace

TEST(PcmDataProvider, StereoSixteenBitWithListChunkBetweenFormatAndData) {
    Format format;
    Bytes chunks;
    appendChunk(chunks, "fmt ", formatChunkContent(format));
    appendChunk(chunks, "LIST", Bytes(26, 'x'));
    appendChunk(chunks, "data", samples16({1000, -2000, 3000, -4000, 5, 6}));
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "list.wav", riff(chunks)));
    EXPECT_EQ(provider.getChannelCount(), 2);
    EXPECT_EQ(provider.getBitsPerSample(), 16);
    EXPECT_EQ(provider.getSampleRate(), 44100u);
    EXPECT_EQ(provider.getDataSize(), 12);
    EXPECT_EQ(provider.getLength(), 3);
    const Frame f0 = frameAt(provider, 0);
    EXPECT_DOUBLE_EQ(f0.left, 1000.0 / 32768.0);
    EXPECT_DOUBLE_EQ(f0.right, -2000.0 / 32768.0);
    const Frame f1 = frameAt(provider, 1);
    EXPECT_DOUBLE_EQ(f1.left, 3000.0 / 32768.0);
    EXPECT_DOUBLE_EQ(f1.right, -4000.0 / 32768.0);
    // The last whole frame, and everything after or before the data, read as silence.
    for (int frame : {2, 3, 1000, -1}) {
        const Frame f = frameAt(provider, frame);
        EXPECT_EQ(f.left, 0.0) << frame;
        EXPECT_EQ(f.right, 0.0) << frame;
    }
}

TEST(PcmDataProvider, EightBitMonoIsOffsetBinaryOnBothSides) {
    Format format;
    format.channels = 1;
    format.bitsPerSample = 8;
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "8bit.wav", simpleWav(format, {0x80, 0x00, 0xFF, 0x40})));
    EXPECT_EQ(provider.getLength(), 4);
    const Frame expected[] = {{0.0, 0.0}, {-1.0, -1.0}, {127.0 / 128.0, 127.0 / 128.0}};
    for (int i = 0; i < 3; ++i) {
        const Frame f = frameAt(provider, i);
        EXPECT_DOUBLE_EQ(f.left, expected[i].left) << i;
        EXPECT_DOUBLE_EQ(f.right, expected[i].right) << i;
    }
}

TEST(PcmDataProvider, DepthsTwentyFourAndThirtyTwoBitScaleToFullRange) {
    Format format;
    format.channels = 2;
    format.bitsPerSample = 24;
    Zelvar_PcmDataProvider provider;
    // -8388608 (0x800000) and +8388607 (0x7FFFFF), then a padding frame.
    ASSERT_TRUE(load(provider, "24bit.wav",
                     simpleWav(format, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0})));
    Frame f = frameAt(provider, 0);
    EXPECT_DOUBLE_EQ(f.left, -1.0);
    EXPECT_DOUBLE_EQ(f.right, 8388607.0 / 8388608.0);

    format.bitsPerSample = 32;
    Bytes data;
    appendLe32(data, 0x80000000u);
    appendLe32(data, 0x40000000u);
    data.resize(16, 0);
    ASSERT_TRUE(load(provider, "32bit.wav", simpleWav(format, data)));
    f = frameAt(provider, 0);
    EXPECT_DOUBLE_EQ(f.left, -1.0);
    EXPECT_DOUBLE_EQ(f.right, 0.5);
}

TEST(PcmDataProvider, ThirtyTwoBitFloatDataIsTakenAsFloats) {
    Format format;
    format.audioFormat = Zelvar_PcmDataProvider::formatIeeeFloat;
    format.bitsPerSample = 32;
    const float values[] = {0.25f, -0.75f, 0.0f, 0.0f};
    Bytes data(sizeof values);
    std::memcpy(data.data(), values, sizeof values);
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "float.wav", simpleWav(format, data)));
    Frame f = frameAt(provider, 0);
    EXPECT_DOUBLE_EQ(f.left, 0.25);
    EXPECT_DOUBLE_EQ(f.right, -0.75);

    // The same through an extensible format chunk whose sub-format says float.
    format.audioFormat = Zelvar_PcmDataProvider::formatExtensible;
    format.extension = {22, 0, 32, 0, 3, 0, 0, 0, 3, 0};
    format.extension.resize(24, 0x11);
    ASSERT_TRUE(load(provider, "extensible.wav", simpleWav(format, data)));
    f = frameAt(provider, 0);
    EXPECT_DOUBLE_EQ(f.left, 0.25);
    EXPECT_DOUBLE_EQ(f.right, -0.75);
}

TEST(PcmDataProvider, ExtendedFormatChunkAndOddSizedChunksAreSkipped) {
    Format format;
    format.channels = 1;
    format.extension = {0, 0}; // an 18-byte format chunk with its extension size field
    const Bytes data = samples16({-16384, 0});
    for (bool pad : {true, false}) {
        Bytes chunks;
        appendChunk(chunks, "fmt ", formatChunkContent(format));
        appendChunk(chunks, "junk", Bytes(5, 'j'), pad);
        appendChunk(chunks, "data", data);
        Zelvar_PcmDataProvider provider;
        ASSERT_TRUE(load(provider, "odd.wav", riff(chunks))) << "pad " << pad;
        EXPECT_EQ(provider.getDataSize(), 4);
        EXPECT_DOUBLE_EQ(frameAt(provider, 0).left, -0.5);
    }
}

TEST(PcmDataProvider, DataBeforeFormatAndSecondDataChunkLoadCleanly) {
    Format format;
    format.channels = 1;
    Bytes chunks;
    appendChunk(chunks, "data", samples16({1, 2, 3}));
    appendChunk(chunks, "data", samples16({16384, 0}));
    appendChunk(chunks, "fmt ", formatChunkContent(format));
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "order.wav", riff(chunks)));
    EXPECT_EQ(provider.getDataSize(), 4);
    EXPECT_DOUBLE_EQ(frameAt(provider, 0).left, 0.5);
}

TEST(PcmDataProvider, SizeFieldsBeyondTheFileNeverAllocateMoreThanItHolds) {
    Format format;
    format.channels = 1;
    // A data chunk that claims 4 GB but holds 6 bytes keeps the 6 bytes.
    Bytes bytes = simpleWav(format, samples16({8192, 8192, 0}));
    bytes[40] = bytes[41] = bytes[42] = bytes[43] = 0xFF;
    Zelvar_PcmDataProvider provider;
    EXPECT_TRUE(load(provider, "huge.wav", bytes));
    EXPECT_EQ(provider.getDataSize(), 6);
    EXPECT_DOUBLE_EQ(frameAt(provider, 0).left, 0.25);

    // A chunk before the data that claims more than the file ends the read.
    Bytes chunks;
    appendChunk(chunks, "fmt ", formatChunkContent(format));
    appendChunk(chunks, "LIST", Bytes(4, 0));
    appendChunk(chunks, "data", samples16({1, 2}));
    bytes = riff(chunks);
    bytes[40] = 0xF0; // LIST size low byte, now far past the end
    bytes[43] = 0x7F;
    EXPECT_FALSE(load(provider, "skip.wav", bytes));
    EXPECT_EQ(provider.getDataSize(), 0);
    EXPECT_EQ(frameAt(provider, 0).left, 0.0);
}

TEST(PcmDataProvider, BrokenHeadersLeaveAnEmptyProvider) {
    Format format;
    Bytes good = simpleWav(format, samples16({100, 100, 0, 0}));
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "good.wav", good));

    // Shorter than the RIFF header, cut inside the format chunk, and a format chunk too short
    // for its six fields: no format, no data, silence, and a previous load is forgotten.
    for (size_t cut : {size_t(0), size_t(7), size_t(30)}) {
        EXPECT_FALSE(load(provider, "cut.wav", Bytes(good.begin(), good.begin() + cut))) << cut;
        EXPECT_EQ(provider.getDataSize(), 0);
        EXPECT_EQ(provider.getLength(), 0);
        EXPECT_EQ(frameAt(provider, 0).left, 0.0);
    }
    Bytes chunks;
    appendChunk(chunks, "fmt ", Bytes(8, 1));
    appendChunk(chunks, "data", samples16({100, 100, 0, 0}));
    EXPECT_FALSE(load(provider, "shortfmt.wav", riff(chunks)));
    EXPECT_EQ(provider.getLength(), 0);
}

TEST(PcmDataProvider, UnsupportedLayoutsDecodeToSilence) {
    const Bytes data(64, 0x7F);
    for (auto [channels, bits] : {std::pair{3, 16}, std::pair{0, 16}, std::pair{2, 12},
                                  std::pair{1, 64}, std::pair{2, 0}}) {
        Format format;
        format.channels = static_cast<uint16_t>(channels);
        format.bitsPerSample = static_cast<uint16_t>(bits);
        Zelvar_PcmDataProvider provider;
        ASSERT_TRUE(load(provider, "layout.wav", simpleWav(format, data)));
        const Frame f = frameAt(provider, 0);
        EXPECT_EQ(f.left, 0.0) << channels << "ch " << bits << " bits";
        EXPECT_EQ(f.right, 0.0);
    }
}

TEST(PcmDataProvider, MissingFileAndOverlongPathAreRefused) {
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(provider.setFilePath(tempPath("does_not_exist.wav").c_str()));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(provider.readFile());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error!");
    EXPECT_EQ(frameAt(provider, 0).left, 0.0);

    const std::string longest(255, 'a');
    EXPECT_TRUE(provider.setFilePath(longest.c_str()));
    EXPECT_STREQ(provider.getFilePath(), longest.c_str());
    const std::string tooLong(256, 'a');
    EXPECT_FALSE(provider.setFilePath(tooLong.c_str()));
    EXPECT_STREQ(provider.getFilePath(), "");
    EXPECT_FALSE(provider.setFilePath(nullptr));
}

TEST(PcmDataManager, BuildsTheFourPathsUnderHome) {
    EnvironmentHome restore;
    setenv("HOME", "/home/player", 1);
    Zelvar_PcmDataManager manager;
    EXPECT_TRUE(manager.initialize());
    const char* expected[] = {"/home/player/Desktop/Resources/Kick.wav",
                              "/home/player/Desktop/Resources/Snare.wav",
                              "/home/player/Desktop/Resources/ClosedHiHat.wav",
                              "/home/player/Desktop/Resources/OpenHiHat.wav"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(manager.getPcmDataProvider(i), nullptr);
        EXPECT_STREQ(manager.getPcmDataProvider(i)->getFilePath(), expected[i]);
        EXPECT_EQ(manager.getPcmDataProvider(i)->getDataSize(), 0); // nothing is loaded
    }
    for (int index : {-1, 4, 1 << 30})
        EXPECT_EQ(manager.getPcmDataProvider(index), nullptr) << index;
}

TEST(PcmDataManager, MissingOrOverlongHomeGivesProvidersWithoutPaths) {
    EnvironmentHome restore;
    unsetenv("HOME");
    Zelvar_PcmDataManager manager;
    EXPECT_FALSE(manager.initialize());
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(manager.getPcmDataProvider(i)->getFilePath(), "");

    // "/Desktop/Resources/" + "Kick.wav" is 27 bytes: a home of 228 fits for Kick (255 bytes)
    // but not for ClosedHiHat.
    setenv("HOME", std::string(228, 'h').c_str(), 1);
    EXPECT_FALSE(manager.initialize());
    EXPECT_EQ(std::strlen(manager.getPcmDataProvider(0)->getFilePath()), 255u);
    EXPECT_STREQ(manager.getPcmDataProvider(2)->getFilePath(), "");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(manager.getPcmDataProvider(2)->readFile());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error!");
}

TEST(PcmOscillator, PlaysLeftChannelFromStartAndRewindsOnEveryIndex) {
    EnvironmentHome restore;
    const std::filesystem::path home = tempPath("home");
    std::filesystem::create_directories(home / "Desktop" / "Resources");
    Format format;
    ASSERT_TRUE(writeFile((home / "Desktop/Resources/Snare.wav").string(),
                          simpleWav(format, samples16({8192, -1, 16384, -1, 0, 0}))));
    setenv("HOME", home.c_str(), 1);
    Zelvar_PcmDataManager manager;
    ASSERT_TRUE(manager.initialize());
    ASSERT_TRUE(manager.getPcmDataProvider(1)->readFile());

    Zelvar_PcmOscillator oscillator;
    oscillator.setPcmDataManager(&manager);
    EXPECT_TRUE(oscillator.setPcmIndex(1));
    EXPECT_DOUBLE_EQ(oscillator.getValue(), 0.25);
    EXPECT_DOUBLE_EQ(oscillator.getValue(), 0.5);
    EXPECT_EQ(oscillator.getValue(), 0.0);
    EXPECT_TRUE(oscillator.setPcmIndex(1));
    EXPECT_EQ(oscillator.getPosition(), 0);
    EXPECT_DOUBLE_EQ(oscillator.getValue(), 0.25);

    // Indices the manager does not have are refused at every read: silence, no access.
    for (int index : {-1, 4, 100000}) {
        EXPECT_FALSE(oscillator.setPcmIndex(index));
        EXPECT_EQ(oscillator.getValue(), 0.0);
    }
    Zelvar_PcmOscillator withoutManager;
    withoutManager.setPcmIndex(0);
    EXPECT_EQ(withoutManager.getValue(), 0.0);
}

TEST(PcmPlayer, PlaysStereoFramesAndKeepsItsPositionAcrossProviders) {
    Format format;
    Zelvar_PcmDataProvider provider;
    ASSERT_TRUE(load(provider, "player.wav",
                     simpleWav(format, samples16({8192, -8192, 16384, -16384, 0, 0}))));
    Zelvar_PcmPlayer player;
    double left = 1.0;
    double right = 1.0;
    player.getValue(&left, &right); // no provider yet: silence, but time moves on
    EXPECT_EQ(left, 0.0);
    EXPECT_EQ(right, 0.0);
    player.setPcmDataProvider(&provider);
    player.getValue(&left, &right);
    EXPECT_DOUBLE_EQ(left, 0.5);
    EXPECT_DOUBLE_EQ(right, -0.5);
    EXPECT_EQ(player.getPosition(), 2);
}
