// Block pools: what the audio thread's objects are made from, and what happens when one runs
// out.
#include "EngineDriver.h"
#include "Zelvar_BlockPool.h"
#include "Zelvar_Dsp.h"
#include "Zelvar_PoolAllocated.h"
#include "Zelvar_Sequencer.h"
#include "Zelvar_Voice.h"
#include "Zelvar_VoiceList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace {

struct Thing : Zelvar_PoolAllocated {
    explicit Thing(int v) : value(v) {}
    int value;
    double payload[5] = {};
};

} // namespace

TEST(BlockPool, HandsOutAlignedDistinctBlocksThenRefuses) {
    Zelvar_BlockPool pool;
    pool.reserve(sizeof(Thing), 3);
    std::set<Thing*> things;
    for (int i = 0; i < 3; ++i) {
        Thing* thing = new (&pool) Thing(i);
        ASSERT_NE(thing, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(thing) % alignof(std::max_align_t), 0u);
        things.insert(thing);
    }
    EXPECT_EQ(things.size(), 3u);
    EXPECT_EQ(pool.getFreeCount(), 0);
    EXPECT_EQ(new (&pool) Thing(9), nullptr) << "exhausted: refused, never the system allocator";
    EXPECT_EQ(pool.allocate(pool.getBlockSize() + 1), nullptr) << "too large for a block";

    Thing* first = *things.begin();
    delete first;
    EXPECT_EQ(pool.getFreeCount(), 1);
    Thing* again = new (&pool) Thing(7);
    EXPECT_EQ(again, first) << "the freed block is reused";
    EXPECT_EQ(again->value, 7);
    things.erase(first);
    things.insert(again);
    for (Thing* thing : things)
        delete thing;
    EXPECT_EQ(pool.getFreeCount(), 3);
}

TEST(BlockPool, EveryBlockReturnsToThePoolItCameFrom) {
    Zelvar_BlockPool a, b;
    a.reserve(sizeof(Thing), 2);
    b.reserve(sizeof(Thing), 2);
    Thing* fromA = new (&a) Thing(1);
    Thing* fromB = new (&b) Thing(2);
    Thing* plain = new Thing(3); // no pool: system memory, released the same way
    delete fromB;
    delete fromA;
    delete plain;
    EXPECT_EQ(a.getFreeCount(), 2);
    EXPECT_EQ(b.getFreeCount(), 2);
}

TEST(BlockPool, AnUnreservedPoolHandsOutSystemMemory) {
    Zelvar_BlockPool pool;
    Thing* thing = new (&pool) Thing(5);
    ASSERT_NE(thing, nullptr);
    EXPECT_FALSE(pool.isReserved());
    delete thing;
}

// Far more notes in one frame than the pool holds: every block ends up with a voice fading out
// from a steal, and then each new note ends the oldest fade at once, so the newest notes always
// play, nothing breaks, and the pool is whole again once the fades are over.
TEST(VoicePool, ExhaustionEndsTheOldestFadeSoTheNewestNotesPlay) {
    EngineDriver driver;
    auto* list = static_cast<Zelvar_Dsp*>(driver.handle())->getVoiceList();
    const int notes = Zelvar_VoiceList::voiceCapacity + 36;
    for (int i = 0; i < notes; ++i)
        driver.noteOn(0, 20 + i, 100);
    driver.render(1025);
    EXPECT_EQ(list->getVoicePool().getFreeCount(), 0);
    EXPECT_EQ(list->getDroppedNoteCount(), 0);
    int count = 0;
    std::vector<int> sounding;
    for (auto* v = list->getFirstVoice(); v != nullptr; v = v->nextVoice) {
        ++count;
        if (v->getState() != EnvelopeStateFadeOut)
            sounding.push_back(v->getNoteNumber());
    }
    EXPECT_EQ(count, Zelvar_VoiceList::voiceCapacity);
    std::vector<int> newest;
    for (int i = notes - 8; i < notes; ++i)
        newest.push_back(20 + i);
    EXPECT_EQ(sounding, newest) << "the last eight notes played are the ones sounding";

    driver.render(200); // the stolen voices' 100-sample fades end
    EXPECT_EQ(list->getCurrentVoiceCount(), 8);
    EXPECT_EQ(list->getVoicePool().getFreeCount(), Zelvar_VoiceList::voiceCapacity - 8);
    driver.noteOn(driver.position(), 100, 100);
    driver.render(1024 + 200);
    EXPECT_EQ(list->getDroppedNoteCount(), 0);
    EXPECT_EQ(list->getVoicePool().getFreeCount(), Zelvar_VoiceList::voiceCapacity - 8)
        << "the new note stole a voice, whose fade has ended";
}

TEST(SequencerPool, StepsBeyondTheCapacityAreRefused) {
    Zelvar_Sequencer sequencer;
    sequencer.initialize();
    for (int i = 0; i < Zelvar_Sequencer::stepCapacity; ++i)
        ASSERT_TRUE(sequencer.setEvent(i, i, EventSubTypeNoteOn, ParameterTypeNone, 60, 100, 0));
    EXPECT_FALSE(sequencer.setEvent(-1, 0, EventSubTypeNoteOn, ParameterTypeNone, 60, 100, 0));
    EXPECT_EQ(sequencer.getStepCount(), Zelvar_Sequencer::stepCapacity);
    sequencer.deleteEvent(5);
    EXPECT_TRUE(sequencer.setEvent(-1, 0, EventSubTypeNoteOn, ParameterTypeNone, 60, 100, 0))
        << "a deleted step's block takes the next one";
}
