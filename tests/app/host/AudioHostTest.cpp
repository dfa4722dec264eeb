// The audio host's pieces that need no sound server: the stream format the wrapper gives the
// unit, the unit's refusals, the parameter callback's log line and the declared-only device
// types.
#include "AudioObject.h"
#include "AudioUnitWrapper.h"
#include "OutputUnitServices.h"
#include "ParameterCallback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace {

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
