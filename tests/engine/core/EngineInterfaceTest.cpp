// The C interface's contract: results, guards against bad input, exported data.
#include "Corvena_Core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

TEST(EngineInterface, NullHandleIsIgnoredEverywhere) {
    ReleaseDspObject(nullptr);
    DspInitialize(nullptr);
    DspSetParameterCallback(nullptr, nullptr);
    char path[] = "/tmp";
    EXPECT_EQ(DspSetBundleDirectoryPath(nullptr, path), nullptr);
    EXPECT_EQ(DspAudioUnitSetCreateOutputProc(nullptr, nullptr), 0);
    EXPECT_EQ(DspCreateOutputProc(nullptr, 1, nullptr), 0);
    EXPECT_EQ(DspCreateInputProc(nullptr, 1, nullptr), 0);
    EXPECT_EQ(DspSetEvent(nullptr, EventSubTypeNoteOn, 0, 60, 100, 0), 0.0);
    AudioTimeStamp stamp{};
    EXPECT_EQ(DspSetEventWithTimeStamp(nullptr, stamp, EventSubTypeNoteOn, 0, 60, 100, 0), 0.0);
    EXPECT_EQ(DspSetEventToSubBuffer(nullptr, EventSubTypeNoteOn, 0, 60, 100, 0), 0.0);
    EXPECT_EQ(DspSetEventWithTimeStampToSubBuffer(nullptr, stamp, EventSubTypeNoteOn, 0, 60, 1, 0),
              0.0);
    EXPECT_EQ(DspSetSequencerEvent(nullptr, EventTypeSynth, 0, 0, 0, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(DspGetParameterInfo(nullptr, ParameterTypeLegato).type, 0);
    SetEventToSubBuffer(nullptr, EventSubTypeNoteOn, 0, 60, 100, 0);
    uint32_t flags = 0;
    EXPECT_EQ(AudioUnitAudioOutputProc(nullptr, &flags, &stamp, 0, 0, nullptr), 0);
    EXPECT_EQ(AudioOutputIOProc(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(AudioInputIOProc(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST(EngineInterface, CallsBeforeInitialiseAreRefused) {
    DspObject dsp = CreateDspObject();
    EXPECT_EQ(DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeDamper, 1.0, 0, 0), 0.0);
    EXPECT_EQ(DspSetEvent(dsp, EventSubTypeNoteOn, 0, 60, 100, 0), 0.0);
    EXPECT_EQ(DspSetEventToSubBuffer(dsp, EventSubTypeNoteOn, 0, 60, 100, 0), 0.0);
    EXPECT_EQ(DspGetParameterInfo(dsp, ParameterTypeLegato).steps, 0);
    std::vector<float> data(64);
    AudioBufferList list{1, {{2, 256, data.data()}}};
    AudioTimeStamp stamp{};
    stamp.mHostTime = 1;
    uint32_t flags = 0;
    EXPECT_EQ(AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, 32, &list), 0);
    DspInitialize(dsp);
    EXPECT_EQ(DspGetParameterInfo(dsp, ParameterTypeLegato).steps, 2);
    ReleaseDspObject(dsp);
}

TEST(EngineInterface, PostingResults) {
    DspObject dsp = CreateDspObject();
    DspInitialize(dsp);
    EXPECT_DOUBLE_EQ(
        DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeLpfResonance, 0.4996, 0, 0), 0.5);
    EXPECT_EQ(DspSetEvent(dsp, EventSubTypeNoteOn, ParameterTypeNone, 60.7, 100, 0), 60.7);
    EXPECT_EQ(DspSetEvent(dsp, 4, ParameterTypeNone, 3.25, 0, 0), 3.25) << "unassigned sub-type";
    EXPECT_EQ(DspSetSequencerEvent(dsp, EventTypeSequencerTempo, 0, 0, 140, 0, 0, 0, 0), 0.0);

    DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeLpfCutoffFrequency, 0.3, 0, 0);
    const ParameterInfo cutoff = DspGetParameterInfo(dsp, ParameterTypeLpfCutoffFrequency);
    EXPECT_NEAR(cutoff.currentValue, 360.38, 1e-9);
    EXPECT_DOUBLE_EQ(cutoff.normalizedValue, 0.3);
    ReleaseDspObject(dsp);
}

TEST(EngineInterface, ParameterTypesOutsideTheTableAreRefused) {
    DspObject dsp = CreateDspObject();
    DspInitialize(dsp);
    for (ParameterType type : {-1, 23, 0x7fffffff}) {
        EXPECT_EQ(DspSetEvent(dsp, EventSubTypeParameter, type, 0.7, 0, 0), 0.0);
        EXPECT_EQ(DspSetEventToSubBuffer(dsp, EventSubTypeParameter, type, 0.7, 0, 0), 0.0);
        const ParameterInfo info = DspGetParameterInfo(dsp, type);
        EXPECT_EQ(info.type, 0);
        EXPECT_EQ(info.steps, 0);
    }
    ReleaseDspObject(dsp);
}

TEST(EngineInterface, BundlePathIsCopiedAndOverlongPathsAreRefused) {
    DspObject dsp = CreateDspObject();
    char path[] = "/usr/lib/corvena/Resources.bundle";
    char* copy = DspSetBundleDirectoryPath(dsp, path);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, path);
    EXPECT_STREQ(copy, path);

    std::string longest(255, 'a');
    EXPECT_STREQ(DspSetBundleDirectoryPath(dsp, longest.data()), longest.c_str());
    std::string tooLong(256, 'b');
    EXPECT_STREQ(DspSetBundleDirectoryPath(dsp, tooLong.data()), longest.c_str())
        << "the old path is kept";
    EXPECT_STREQ(DspSetBundleDirectoryPath(dsp, nullptr), longest.c_str());
    ReleaseDspObject(dsp);
}

TEST(EngineInterface, VelocityTableIsTheSixtyDecibelCurve) {
    for (int v = 0; v < 128; ++v) {
        const double exact = std::pow(10.0, 3.0 * (v - 127) / 127.0);
        EXPECT_NEAR(velocity_default[v], std::round(exact * 1e10) / 1e10, 1e-16) << "v=" << v;
    }
    EXPECT_EQ(velocity_default[0], 0.001);
    EXPECT_EQ(velocity_default[64], 0.0324945872);
    EXPECT_EQ(velocity_default[100], 0.2302526962);
    EXPECT_EQ(velocity_default[127], 1.0);
}

TEST(EngineInterface, VersionData) {
    EXPECT_EQ(Corvena_CoreVersionNumber, 1.0);
    const std::string version(reinterpret_cast<const char*>(Corvena_CoreVersionString));
    EXPECT_EQ(version.rfind("@(#)PROGRAM:Corvena_Core", 0), 0u);
    EXPECT_NE(version.find("PROJECT:Corvena"), std::string::npos);
    EXPECT_EQ(version.back(), '\n');
}
