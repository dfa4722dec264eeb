// The render loop and the event clock, driven through the exported render callback.
#include "EngineDriver.h"
#include "OutputUnitServices.h"
#include "Zelvar_Dsp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

AudioTimeStamp stampAt(double sampleTime, uint64_t hostTime = 0) {
    AudioTimeStamp stamp;
    std::memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = sampleTime;
    stamp.mHostTime = hostTime;
    return stamp;
}

struct Buffers {
    explicit Buffers(uint32_t count) {
        storage.resize(sizeof(AudioBufferList) + sizeof(AudioBuffer) * count);
        list()->mNumberBuffers = count;
    }
    AudioBufferList* list() { return reinterpret_cast<AudioBufferList*>(storage.data()); }
    std::vector<unsigned char> storage;
};

void render(Zelvar_Dsp& dsp, const AudioTimeStamp& stamp, AudioBufferList* list) {
    uint32_t flags = 0;
    AudioUnitAudioOutputProc(&dsp, &flags, &stamp, 0, 0, list);
}

class EngineRender : public ::testing::Test {
protected:
    void SetUp() override { dsp.initialize(); }
    Zelvar_Dsp dsp;
};

} // namespace

TEST_F(EngineRender, FirstCallbackLearnsTheHostTimeOfSampleZero) {
    std::vector<float> data(8);
    Buffers buffers(1);
    buffers.list()->mBuffers[0] = {2, 32, data.data()};
    render(dsp, stampAt(0, 5000000000ull), buffers.list());
    EXPECT_EQ(dsp.getHostTimeOffset(), 5000000000ull);
    render(dsp, stampAt(4, 9000000000ull), buffers.list());
    EXPECT_EQ(dsp.getHostTimeOffset(), 5000000000ull) << "set once, never again";

    Zelvar_Dsp later;
    later.initialize();
    render(later, stampAt(44100, 5000000000ull), buffers.list());
    EXPECT_EQ(later.getHostTimeOffset(), 4000000000ull);
}

TEST_F(EngineRender, InterleavedBufferRendersEveryFrameAndAdvancesThePosition) {
    std::vector<float> data(1024, 7.0f);
    Buffers buffers(1);
    buffers.list()->mBuffers[0] = {2, 4096, data.data()};
    render(dsp, stampAt(3000, 1), buffers.list());
    EXPECT_EQ(dsp.getSamplePosition(), 3512u);
    for (float sample : data)
        ASSERT_EQ(sample, 0.0f) << "an empty engine renders silence into every slot";
}

TEST_F(EngineRender, NonInterleavedBuffersRenderLeftAndRight) {
    std::vector<float> left(512, 7.0f), right(512, 7.0f);
    Buffers buffers(2);
    buffers.list()->mBuffers[0] = {1, 2048, left.data()};
    buffers.list()->mBuffers[1] = {1, 2048, right.data()};
    render(dsp, stampAt(0, 1), buffers.list());
    EXPECT_EQ(dsp.getSamplePosition(), 512u);
    for (size_t i = 0; i < 512; ++i) {
        ASSERT_EQ(left[i], 0.0f);
        ASSERT_EQ(right[i], 0.0f);
    }
}

TEST_F(EngineRender, UnusableListsAreLeftUntouched) {
    std::vector<float> a(64, 7.0f), b(64, 7.0f), c(64, 7.0f);
    Buffers three(3);
    three.list()->mBuffers[0] = {1, 256, a.data()};
    three.list()->mBuffers[1] = {1, 256, b.data()};
    three.list()->mBuffers[2] = {1, 256, c.data()};
    render(dsp, stampAt(0, 1), three.list());

    Buffers noChannel(1);
    noChannel.list()->mBuffers[0] = {0, 256, a.data()};
    render(dsp, stampAt(0, 1), noChannel.list());

    Buffers tooSmall(1);
    tooSmall.list()->mBuffers[0] = {2, 7, a.data()};
    render(dsp, stampAt(0, 1), tooSmall.list());

    Buffers noMemory(1);
    noMemory.list()->mBuffers[0] = {2, 256, nullptr};
    render(dsp, stampAt(0, 1), noMemory.list());
    render(dsp, stampAt(0, 1), nullptr);
    AudioUnitAudioOutputProc(&dsp, nullptr, nullptr, 0, 0, three.list());

    for (const auto* v : {&a, &b, &c})
        for (float sample : *v)
            ASSERT_EQ(sample, 7.0f);
}

TEST_F(EngineRender, ShortRightBufferIsNotOverrun) {
    std::vector<float> left(512), right(8 + 4, 7.0f);
    Buffers buffers(2);
    buffers.list()->mBuffers[0] = {1, 2048, left.data()};
    buffers.list()->mBuffers[1] = {1, 32, right.data()};
    render(dsp, stampAt(0, 1), buffers.list());
    for (size_t i = 8; i < right.size(); ++i)
        EXPECT_EQ(right[i], 7.0f);
}

TEST_F(EngineRender, MonoInterleavedBufferGetsTheLeftChannelOnly) {
    std::vector<float> data(64 + 1, 7.0f);
    Buffers buffers(1);
    buffers.list()->mBuffers[0] = {1, 256, data.data()};
    render(dsp, stampAt(0, 1), buffers.list());
    EXPECT_EQ(dsp.getSamplePosition(), 64u);
    EXPECT_EQ(data[64], 7.0f) << "nothing written past the buffer";
}

// An event acts at the first frame whose sample time is its stamp plus 1024, main buffer first.
TEST(EngineEvents, EventsActExactly1024SamplesAfterTheirStampInArrivalOrder) {
    EngineDriver driver;
    auto* dsp = static_cast<Zelvar_Dsp*>(driver.handle());
    auto* parameters = dsp->getParameterManager();
    driver.parameter(100, ParameterTypeDelayMix, 0.25);
    driver.parameter(100, ParameterTypeDelayMix, 0.5);     // same stamp: the later one wins
    driver.parameter(50, ParameterTypeDelayFeedback, 1.0); // behind the first: held back
    driver.render(1123, 1);
    EXPECT_EQ(parameters->getDspValue(ParameterTypeDelayMix), 0.0);
    driver.render(1, 1); // frame 1123, one short of the due time
    EXPECT_EQ(parameters->getDspValue(ParameterTypeDelayMix), 0.0);
    driver.render(1, 1); // frame 1124
    EXPECT_EQ(parameters->getDspValue(ParameterTypeDelayMix), 0.5);
    EXPECT_EQ(parameters->getDspValue(ParameterTypeDelayFeedback), 1.0);
}

TEST(EngineEvents, MainBufferActsBeforeTheSubBufferAtOneSampleTime) {
    EngineDriver driver;
    auto* dsp = static_cast<Zelvar_Dsp*>(driver.handle());
    AudioTimeStamp stamp = stampAt(0);
    DspSetEventWithTimeStampToSubBuffer(driver.handle(), stamp, EventSubTypeParameter,
                                        ParameterTypeDelayMix, 0.1, 0, 0);
    DspSetEventWithTimeStamp(driver.handle(), stamp, EventSubTypeParameter, ParameterTypeDelayMix,
                             0.9, 0, 0);
    driver.render(1025, 1);
    EXPECT_DOUBLE_EQ(dsp->getParameterManager()->getDspValue(ParameterTypeDelayMix), 0.1);
}

TEST(EngineEvents, SubBufferStampIsTheCurrentSamplePosition) {
    EngineDriver driver;
    auto* dsp = static_cast<Zelvar_Dsp*>(driver.handle());
    driver.render(5000);
    DspSetEventToSubBuffer(driver.handle(), EventSubTypeParameter, ParameterTypeDelayMix, 1.0, 0,
                           0);
    driver.render(1024, 1);
    EXPECT_EQ(dsp->getParameterManager()->getDspValue(ParameterTypeDelayMix), 0.0);
    driver.render(1, 1);
    EXPECT_EQ(dsp->getParameterManager()->getDspValue(ParameterTypeDelayMix), 1.0);
}

TEST(EngineEvents, SequencerPathDeliversValue1Unconverted) {
    EngineDriver driver;
    auto* dsp = static_cast<Zelvar_Dsp*>(driver.handle());
    EXPECT_EQ(DspSetSequencerEvent(driver.handle(), EventTypeSynth, EventSubTypeParameter,
                                   ParameterTypeLpfCutoffFrequency, 1234.5, 7, 8, 3, 4),
              0.0);
    SetEventToSubBuffer(dsp->getSubEventBuffer(), EventSubTypeParameter, ParameterTypeDelayTimeL,
                        0.75, 0, 0);
    // Out-of-range types arriving by these unchecked paths must not write outside the table.
    SetEventToSubBuffer(dsp->getSubEventBuffer(), EventSubTypeParameter, 4000, 1.0, 0, 0);
    DspSetSequencerEvent(driver.handle(), EventTypeSynth, EventSubTypeParameter, -7, 1, 0, 0, 0, 0);
    driver.render(1100);
    EXPECT_EQ(dsp->getParameterManager()->getDspValue(ParameterTypeLpfCutoffFrequency), 1234.5);
    EXPECT_EQ(dsp->getParameterManager()->getDspValue(ParameterTypeDelayTimeL), 0.75);
}

// In output-unit mode, DspSetEvent stamps from the host clock through the learnt offset. With a
// unit whose clock is the real one, an event posted now acts about 1024 samples later.
TEST(EngineEvents, HostClockStampsLandOnTheOutputSampleClock) {
    DspObject dsp = CreateDspObject();
    DspInitialize(dsp);
    AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_ManualOutput,
                                          kAudioUnitManufacturer_System, 0, 0};
    AudioUnit unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description), &unit), 0);
    AudioUnitInitialize(unit);
    DspAudioUnitSetCreateOutputProc(dsp, &unit);
    std::vector<float> block(2 * 256);
    ASSERT_EQ(OutputUnitPull(unit, 256, block.data()), 0);
    auto* engine = static_cast<Zelvar_Dsp*>(dsp);
    EXPECT_TRUE(engine->isAudioUnitMode());
    EXPECT_NE(engine->getHostTimeOffset(), 0u);

    DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeDelayMix, 1.0, 0, 0);
    // The manual unit runs far faster than real time, so the host clock has barely moved since
    // the first buffer: the stamp is near sample 0 and the event falls due near 1024.
    for (int i = 0; i < 2; ++i)
        OutputUnitPull(unit, 256, block.data());
    EXPECT_EQ(engine->getParameterManager()->getDspValue(ParameterTypeDelayMix), 0.0)
        << "not before the 1024-sample latency";
    for (int i = 0; i < 200; ++i)
        OutputUnitPull(unit, 256, block.data());
    EXPECT_EQ(engine->getParameterManager()->getDspValue(ParameterTypeDelayMix), 1.0);
    AudioComponentInstanceDispose(unit);
    ReleaseDspObject(dsp);
}

TEST(EngineEvents, EventPostedBeforeTheFirstBufferIsNotHeldForHours) {
    DspObject dsp = CreateDspObject();
    DspInitialize(dsp);
    AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_ManualOutput,
                                          kAudioUnitManufacturer_System, 0, 0};
    AudioUnit unit = nullptr;
    AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description), &unit);
    AudioUnitInitialize(unit);
    DspAudioUnitSetCreateOutputProc(dsp, &unit);
    DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeDelayMix, 1.0, 0, 0);
    std::vector<float> block(2 * 1100);
    OutputUnitPull(unit, 1100, block.data());
    auto* engine = static_cast<Zelvar_Dsp*>(dsp);
    EXPECT_EQ(engine->getParameterManager()->getDspValue(ParameterTypeDelayMix), 1.0);
    AudioComponentInstanceDispose(unit);
    ReleaseDspObject(dsp);
}

TEST(EngineEvents, WithoutAnOutputUnitTheDeviceTimeFailsAndEventsAreDueAt1024) {
    DspObject dsp = CreateDspObject();
    DspInitialize(dsp);
    AudioDeviceIOProcID id = nullptr;
    EXPECT_NE(DspCreateOutputProc(dsp, 42, &id), 0) << "no device service behind it";
    EXPECT_EQ(id, nullptr);
    DspSetEvent(dsp, EventSubTypeParameter, ParameterTypeDelayMix, 1.0, 0, 0);
    auto* engine = static_cast<Zelvar_Dsp*>(dsp);
    double l, r;
    engine->renderSample(1023, &l, &r);
    EXPECT_EQ(engine->getParameterManager()->getDspValue(ParameterTypeDelayMix), 0.0);
    engine->renderSample(1024, &l, &r);
    EXPECT_EQ(engine->getParameterManager()->getDspValue(ParameterTypeDelayMix), 1.0);
    ReleaseDspObject(dsp);
}
