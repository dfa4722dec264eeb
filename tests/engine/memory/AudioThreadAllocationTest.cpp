// The real-time contract: after DspInitialize the rendering thread never calls the system
// allocator, while the engine plays hundreds of notes, steals and releases voices, glides,
// holds notes under the damper, plays noise and runs the sequencer.
//
// The allocator's entry points are replaced in this executable (the engine, linked in
// statically, calls them directly, and the C++ runtime reaches them through the dynamic linker)
// and count the calls made on a thread that has asked to be counted.
#include "AllocationCounter.h"
#include "Corvena_Core.h"
#include "Zelvar_Dsp.h"
#include "Zelvar_VoiceList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t blockFrames = 256;

class Host {
public:
    Host() {
        dsp = CreateDspObject();
        std::vector<char> path(resources, resources + std::strlen(resources) + 1);
        DspSetBundleDirectoryPath(dsp, path.data());
        DspInitialize(dsp);
    }
    ~Host() { ReleaseDspObject(dsp); }
    void post(uint64_t at, EventSubType sub, ParameterType type, double v1, double v2 = 0.0) {
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        stamp.mSampleTime = double(at);
        DspSetEventWithTimeStamp(dsp, stamp, sub, type, v1, v2, 0.0);
    }
    void note(uint64_t on, uint64_t off, int number) {
        post(on, EventSubTypeNoteOn, ParameterTypeNone, number, 100);
        post(off, EventSubTypeNoteOff, ParameterTypeNone, number);
    }
    void sequencer(EventType type, EventSubType sub, double v1, double v2, int id, int tick) {
        DspSetSequencerEvent(dsp, type, sub, ParameterTypeNone, v1, v2, 0.0, id, tick);
    }
    // Renders on a thread of its own, counting that thread's allocator calls only.
    long renderCounting(uint64_t frames) {
        uint64_t calls = 0;
        std::thread audio([this, frames, &calls] {
            AllocationCounter counter;
            for (uint64_t end = position + frames; position < end; position += blockFrames) {
                AudioTimeStamp stamp;
                std::memset(&stamp, 0, sizeof stamp);
                stamp.mSampleTime = double(position);
                stamp.mHostTime = 1;
                AudioBufferList list{1, {{2, blockFrames * 8, block}}};
                uint32_t flags = 0;
                AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, blockFrames, &list);
                for (float sample : block)
                    peak = sample > peak ? sample : peak;
            }
            calls = counter.count();
        });
        audio.join();
        return long(calls);
    }
    Zelvar_VoiceList* voices() { return static_cast<Zelvar_Dsp*>(dsp)->getVoiceList(); }

    DspObject dsp;
    uint64_t position = 0;
    float block[2 * blockFrames] = {};
    float peak = 0.0f;

private:
    static constexpr const char* resources = CORVENA_TEST_RESOURCES;
};

} // namespace

namespace {

// Through pointers the compiler cannot see through, so that it cannot leave a pair out.
void* (*volatile allocate)(size_t) = std::malloc;
void (*volatile release)(void*) = std::free;

} // namespace

TEST(AudioThreadAllocation, TheCounterSeesAllocationsOnTheCountedThreadOnly) {
    uint64_t counted = 0;
    std::thread counting([&counted] {
        AllocationCounter counter;
        release(allocate(100));
        counted = counter.count();
    });
    counting.join();
    EXPECT_EQ(counted, 2u) << "one allocation and one release";

    // While one thread counts, another allocates.
    std::atomic<int> stage{0};
    std::thread quiet([&counted, &stage] {
        AllocationCounter counter;
        stage.store(1);
        while (stage.load() != 2) {
        }
        counted = counter.count();
    });
    while (stage.load() != 1) {
    }
    release(allocate(3)); // this thread is not counted
    stage.store(2);
    quiet.join();
    EXPECT_EQ(counted, 0u);
}

TEST(AudioThreadAllocation, PlayingHundredsOfNotesCallsNoAllocatorOnTheRenderingThread) {
    Host host;
    // Sequencer steps arrive and leave on the rendering thread too.
    for (int i = 0; i < 40; ++i)
        host.sequencer(EventTypeSequencerSetEvent,
                       i % 2 == 0 ? EventSubTypeNoteOn : EventSubTypeNoteOff, 72 + (i / 2) % 12, 90,
                       i + 1, 120 * i);
    for (int i = 0; i < 10; ++i)
        host.sequencer(EventTypeSequencerDeleteEvent, EventSubTypeNone, 0, 0, 4 * i + 1, 0);
    host.sequencer(EventTypeSequencerTempo, EventSubTypeNone, 180, 0, 0, 0);
    host.sequencer(EventTypeSequencerTransport, EventSubTypeNone, 1, 0, 0, 0);

    uint64_t t = 2048;
    // Chords of twelve: every chord steals voices that are still sounding.
    for (int chord = 0; chord < 25; ++chord, t += 2000) {
        host.post(t, EventSubTypeParameter, ParameterTypeOscillatorWaveform, (chord % 6) / 5.0);
        for (int k = 0; k < 12; ++k)
            host.note(t + k, t + 1500 + 37 * k, 36 + (chord * 5 + k * 7) % 60);
    }
    // Legato with a glide: notes overlap, keys return, the one voice slides between them.
    host.post(t, EventSubTypeParameter, ParameterTypePortamentoTime, 0.3);
    host.post(t, EventSubTypeParameter, ParameterTypeLegato, 1.0);
    for (int i = 0; i < 60; ++i)
        host.note(t + 300 * i, t + 300 * i + 700, 50 + (i * 7) % 24);
    t += 300 * 60 + 1000;
    host.post(t, EventSubTypeParameter, ParameterTypeLegato, 0.0);
    // The damper holds released notes until it lifts.
    host.post(t, EventSubTypeParameter, ParameterTypeDamper, 1.0);
    for (int i = 0; i < 40; ++i)
        host.note(t + 100 * i, t + 100 * i + 50, 40 + i);
    t += 100 * 40 + 500;
    host.post(t, EventSubTypeParameter, ParameterTypeDamper, 0.0);
    host.post(t, EventSubTypeParameter, ParameterTypeDelayTimeL, 0.37);
    host.post(t, EventSubTypeParameter, ParameterTypeDelayMix, 0.5);

    const long calls = host.renderCounting(t + 44100);
    EXPECT_EQ(calls, 0) << "allocator calls on the rendering thread after DspInitialize";
    EXPECT_GT(host.peak, 0.01f) << "the notes did sound";
    EXPECT_EQ(host.voices()->getDroppedNoteCount(), 0) << "no note needed more than the pool";

    // Transport stop releases every held note, and the voices finish, on the same thread.
    host.sequencer(EventTypeSequencerTransport, EventSubTypeNone, 0, 0, 0, 0);
    EXPECT_EQ(host.renderCounting(3 * 44100), 0);
    EXPECT_EQ(host.voices()->getFirstVoice(), nullptr) << "every voice finished and was freed";
    EXPECT_EQ(host.voices()->getVoicePool().getFreeCount(), Zelvar_VoiceList::voiceCapacity)
        << "every voice's block went back to its pool";
}
