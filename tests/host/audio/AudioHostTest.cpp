// The audio host's pieces that need no sound server: the resource lookup, the stream format the
// wrapper gives the unit, the unit's refusals, the parameter callback's log line and the
// declared-only device types.
#include "AudioObject.h"
#include "AudioUnitWrapper.h"
#include "OutputUnitServices.h"
#include "ParameterCallback.h"
#include "ResourceDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ScratchTree : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("corvena-resources-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root / "lib");
        library = (root / "lib" / "libCorvena_Core.so.1").string();
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    std::string library;
};

TEST_F(ScratchTree, BuildTreeBundleBesideTheLibraryComesFirst) {
    fs::create_directories(root / "lib" / "Resources.bundle");
    fs::create_directories(root / "lib" / "corvena" / "Resources.bundle");
    const ResourceLookup found =
        ResourceDirectory::firstExisting(ResourceDirectory::candidates(library));
    ASSERT_TRUE(found.found) << found.error;
    EXPECT_EQ(found.path, (fs::canonical(root / "lib") / "Resources.bundle").string());
}

TEST_F(ScratchTree, InstalledLayoutIsFoundUnderTheLibraryFolder) {
    fs::create_directories(root / "lib" / "corvena" / "Resources.bundle");
    const ResourceLookup found =
        ResourceDirectory::firstExisting(ResourceDirectory::candidates(library));
    ASSERT_TRUE(found.found) << found.error;
    EXPECT_EQ(found.path, (fs::canonical(root / "lib") / "corvena" / "Resources.bundle").string());
}

TEST_F(ScratchTree, MissingBundleNamesEveryPlaceLookedAt) {
    std::ofstream(root / "lib" / "Resources.bundle") << "a file, not a directory";
    const std::vector<std::string> candidates = ResourceDirectory::candidates(library);
    const ResourceLookup found = ResourceDirectory::firstExisting(candidates);
    EXPECT_FALSE(found.found);
    EXPECT_EQ(found.error.rfind("no resource directory", 0), 0u) << found.error;
    for (const std::string& candidate : candidates)
        EXPECT_NE(found.error.find(candidate), std::string::npos) << found.error;
}

TEST_F(ScratchTree, PathThatIsNotUtf8IsRefusedWithItsBytesShown) {
    const fs::path bad = root / "lib\xff" / "Resources.bundle";
    fs::create_directories(bad);
    const ResourceLookup found = ResourceDirectory::firstExisting({bad.string()});
    EXPECT_FALSE(found.found);
    EXPECT_NE(found.error.find("not valid UTF-8"), std::string::npos) << found.error;
    EXPECT_NE(found.error.find("lib\\xff"), std::string::npos) << found.error;
}

TEST(ResourceLookup, EngineLibraryIsFoundThroughItsOwnAddress) {
    const ResourceLookup found =
        ResourceDirectory::locate(reinterpret_cast<const void*>(&CreateDspObject));
    const std::string expected =
        (fs::canonical(CORVENA_TEST_LIBRARY_DIR) / "Resources.bundle").string();
    if (found.found)
        EXPECT_EQ(found.path, expected);
    else
        EXPECT_NE(found.error.find(expected), std::string::npos)
            << "looked beside the engine library: " << found.error;
    EXPECT_FALSE(ResourceDirectory::locate(nullptr).found);
}

TEST(ResourceLookup, Utf8ValidationFollowsRfc3629) {
    EXPECT_TRUE(ResourceDirectory::isValidUtf8("/home/gr\xc3\xbc\xc3\x9f"
                                               "e/\xe2\x82\xac/\xf0\x9f\x8e\xb9"));
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xc0\xaf"));         // overlong '/'
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("ab\xe2\x82"));       // cut short
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\x80"));             // lone continuation
}

TEST(AudioUnitWrapperFormat, UnitGetsTwoInterleavedFloatChannelsWhateverTheStandardLayout) {
    const AudioStreamBasicDescription standard = AudioUnitWrapper::standardFormat(44100.0, 2);
    EXPECT_NE(standard.mFormatFlags & kAudioFormatFlagIsNonInterleaved, 0u);
    const AudioStreamBasicDescription format = AudioUnitWrapper::streamFormatFrom(standard);
    EXPECT_EQ(format.mSampleRate, 44100.0);
    EXPECT_EQ(format.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(format.mFormatFlags, 9u);
    EXPECT_EQ(format.mBytesPerPacket, 8u);
    EXPECT_EQ(format.mFramesPerPacket, 1u);
    EXPECT_EQ(format.mBytesPerFrame, 8u);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mBitsPerChannel, 32u);
    EXPECT_EQ(format.mReserved, 0u);
    EXPECT_EQ(AudioUnitWrapper().samplingRate, 44100.0);
}

AudioUnit manualUnit() {
    const AudioComponentDescription description{
        kAudioUnitType_Output, kAudioUnitSubType_ManualOutput, kAudioUnitManufacturer_System, 0, 0};
    AudioUnit unit = nullptr;
    AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description), &unit);
    AudioUnitInitialize(unit);
    return unit;
}

TEST(OutputUnit, FormatOtherThanTheDeliveredLayoutIsRefusedWithAReason) {
    AudioUnit unit = manualUnit();
    AudioStreamBasicDescription format =
        AudioUnitWrapper::streamFormatFrom(AudioUnitWrapper::standardFormat(48000.0, 2));
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                         sizeof format);
    EXPECT_EQ(AudioOutputUnitStart(unit), kOutputUnitErr_FormatNotSupported);
    EXPECT_FALSE(OutputUnitIsRunning(unit));
    EXPECT_NE(std::string(OutputUnitErrorText(unit)).find("44100"), std::string::npos);

    format = AudioUnitWrapper::standardFormat(44100.0, 2); // non-interleaved
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                         sizeof format);
    EXPECT_EQ(AudioOutputUnitStart(unit), kOutputUnitErr_FormatNotSupported);

    format = AudioUnitWrapper::streamFormatFrom(format);
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                         sizeof format);
    EXPECT_EQ(AudioOutputUnitStart(unit), 0);
    EXPECT_TRUE(OutputUnitIsRunning(unit));
    EXPECT_STREQ(OutputUnitErrorText(unit), "");
    AudioComponentInstanceDispose(unit);
}

TEST(OutputUnit, WithoutARenderCallbackTheBufferIsSilence) {
    AudioUnit unit = manualUnit();
    ASSERT_EQ(AudioOutputUnitStart(unit), 0);
    std::vector<float> buffer(2 * 64, 0.75f);
    ASSERT_EQ(OutputUnitPull(unit, 64, buffer.data()), 0);
    for (float sample : buffer)
        EXPECT_EQ(sample, 0.0f);
    AudioComponentInstanceDispose(unit);
}

// Start-up with no sound server to talk to: initialize() reports failure instead of exiting, and
// the message names every API tried.
TEST(AudioUnitWrapperStartUp, NoOutputDeviceFailsWithAMessageNamingWhatWasTried) {
    setenv("JACK_DEFAULT_SERVER", "corvena-no-such-server", 1);
    setenv("PIPEWIRE_RUNTIME_DIR", "/nonexistent/corvena-no-pipewire", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/corvena-no-pulse", 1);
    AudioUnitWrapper wrapper;
    if (wrapper.initialize())
        GTEST_SKIP() << "another audio API has a device here: "
                     << OutputUnitDeviceDescription(wrapper.audioUnit);
    EXPECT_EQ(wrapper.failureMessage().rfind("audio output: ", 0), 0u) << wrapper.failureMessage();
    for (const char* system : {"PipeWire", "JACK", "PulseAudio", "ALSA"})
        EXPECT_NE(wrapper.failureMessage().find(system), std::string::npos)
            << wrapper.failureMessage();
    EXPECT_FALSE(wrapper.initialize()) << "a second call repeats the first result";
    EXPECT_EQ(wrapper.audioUnit, nullptr) << "the unit that could not play was disposed of";
}

TEST(ParameterCallback, WritesOneLogLineWithTheValue) {
    ::testing::internal::CaptureStderr();
    parameterCallback(0.5);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Parameter Callback : 0.5\n");
    EXPECT_EQ(parameterCallbackLine(1234.25), "Parameter Callback : 1234.25");
    EXPECT_EQ(parameterCallbackLine(-0.1), "Parameter Callback : -0.1");
}

TEST(AudioObject, DeclaredTypesHoldTheirDefaults) {
    EXPECT_NE(std::hash<AudioIOType>{}(AudioIOType::input),
              std::hash<AudioIOType>{}(AudioIOType::output));
    const channelInfo info;
    EXPECT_EQ(info.type, AudioIOType::output);
    const AudioObject object;
    EXPECT_EQ(object.delegate, nullptr);
    EXPECT_FALSE(object.currentOutputProcID.has_value());
}

} // namespace
