#include "Zelvar_Sequencer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct Hit {
    uint64_t time;
    int tick;
    int subType;
    double value1;
    bool operator==(const Hit&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Hit& hit) {
    return os << "{t=" << hit.time << " tick=" << hit.tick << " sub=" << hit.subType
              << " v1=" << hit.value1 << "}";
}

// Drains the sequencer frame by frame as the render loop does: getEvent with the same time
// until nothing is due.
std::vector<Hit> drain(Zelvar_Sequencer& sequencer, uint64_t from, uint64_t to) {
    std::vector<Hit> hits;
    for (uint64_t t = from; t < to; ++t) {
        for (int guard = 0; guard < 1000; ++guard) {
            const SequencerEvent e = sequencer.getEvent(t);
            if (e.subType == EventSubTypeNone)
                break;
            EXPECT_EQ(e.time, t);
            hits.push_back({t, e.tick, e.subType, e.value1});
        }
    }
    return hits;
}

void addNote(Zelvar_Sequencer& sequencer, int id, int tick, int note) {
    ASSERT_TRUE(sequencer.setEvent(id, tick, EventSubTypeNoteOn, ParameterTypeNone, note, 100, 0));
}

constexpr uint64_t passSamples = 88202; // trunc(1920 × 45.9375 + 1) + 1

} // namespace

TEST(Sequencer, DefaultsGiveTheDocumentedTiming) {
    Zelvar_Sequencer sequencer;
    EXPECT_DOUBLE_EQ(sequencer.samplesPerTick(), 45.9375);
    addNote(sequencer, 1, 0, 60);
    addNote(sequencer, 2, 480, 62);
    drain(sequencer, 0, 1000); // a stopped sequencer hands out nothing
    sequencer.start(1000);
    const std::vector<Hit> hits = drain(sequencer, 1000, 1000 + 2 * passSamples + 1);
    const std::vector<Hit> expected = {
        {1000, 0, EventSubTypeNoteOn, 60},
        {23050, 480, EventSubTypeNoteOn, 62},
        {1000 + passSamples, 0, EventSubTypeNoteOn, 60},
        {1000 + passSamples + 22050, 480, EventSubTypeNoteOn, 62},
        {1000 + 2 * passSamples, 0, EventSubTypeNoteOn, 60},
    };
    EXPECT_EQ(hits, expected);
}

TEST(Sequencer, DueStepsComeOutInListOrderWithinOneFrame) {
    Zelvar_Sequencer sequencer;
    addNote(sequencer, 1, 480, 64);
    addNote(sequencer, 2, 0, 60);
    addNote(sequencer, 3, 480, 65); // same tick as id 1: after it
    // Other sub-types are stored and handed out (the engine ignores them); sub-type none is
    // passed over so it does not end the frame's drain early.
    ASSERT_TRUE(sequencer.setEvent(4, 480, EventSubTypeNone, ParameterTypeNone, 1, 0, 0));
    ASSERT_TRUE(
        sequencer.setEvent(5, 480, EventSubTypeParameter, ParameterTypeLpfResonance, 2, 0, 0));
    addNote(sequencer, 6, 480, 67);
    EXPECT_EQ(sequencer.getStepCount(), 6);
    sequencer.start(0);
    const std::vector<Hit> hits = drain(sequencer, 0, 30000);
    const std::vector<Hit> expected = {
        {0, 0, EventSubTypeNoteOn, 60},       {22050, 480, EventSubTypeNoteOn, 64},
        {22050, 480, EventSubTypeNoteOn, 65}, {22050, 480, EventSubTypeParameter, 2},
        {22050, 480, EventSubTypeNoteOn, 67},
    };
    EXPECT_EQ(hits, expected);
}

TEST(Sequencer, TempoChangeKeepsTheMusicalPosition) {
    Zelvar_Sequencer sequencer;
    addNote(sequencer, 1, 0, 60);
    addNote(sequencer, 2, 480, 62);
    addNote(sequencer, 3, 960, 64);
    addNote(sequencer, 4, 1440, 65);
    sequencer.start(1000);
    ASSERT_EQ(drain(sequencer, 1000, 23050).size(), 1u);

    // Same tempo: nothing moves.
    const uint64_t startBefore = sequencer.getStartTime();
    EXPECT_TRUE(sequencer.setTempo(120.0));
    EXPECT_EQ(sequencer.getStartTime(), startBefore);

    // At frame 23050 (tick 480, a quarter into the pass) the tempo halves before the frame's
    // steps are taken, as processEvent runs ahead of the drain. The pass start moves to
    // 23050 − 44100, before sample 0: the clock arithmetic must carry it.
    const uint64_t t = 23050;
    ASSERT_TRUE(sequencer.setTempo(60.0));
    EXPECT_EQ(sequencer.getStartTime(), uint64_t(int64_t(t) - 44100));
    const std::vector<Hit> hits = drain(sequencer, t, t + 200000);
    // Before the change the later steps were 22050 samples apart; now 44100. A pass at 60 BPM
    // lasts trunc(1920 × 91.875 + 1) + 1 = 176402 samples from the moved start.
    const uint64_t newStart = t - 44100;
    const std::vector<Hit> expected = {
        {t, 480, EventSubTypeNoteOn, 62},
        {t + 44100, 960, EventSubTypeNoteOn, 64},
        {t + 88200, 1440, EventSubTypeNoteOn, 65},
        {newStart + 176402, 0, EventSubTypeNoteOn, 60},
        {newStart + 176402 + 44100, 480, EventSubTypeNoteOn, 62},
    };
    EXPECT_EQ(hits, expected);
}

TEST(Sequencer, StepsInsertedDuringAPassPlayFromTheNext) {
    Zelvar_Sequencer sequencer;
    addNote(sequencer, 1, 960, 64);
    sequencer.start(0);
    EXPECT_TRUE(drain(sequencer, 0, 30000).empty());
    addNote(sequencer, 2, 480, 62);  // behind the position and ahead of the next step
    addNote(sequencer, 3, 1440, 65); // after the next step: still in this pass
    const std::vector<Hit> hits = drain(sequencer, 30000, passSamples + 23000);
    const std::vector<Hit> expected = {
        {44100, 960, EventSubTypeNoteOn, 64},
        {66150, 1440, EventSubTypeNoteOn, 65},
        {passSamples + 22050, 480, EventSubTypeNoteOn, 62},
    };
    EXPECT_EQ(hits, expected);
}

TEST(Sequencer, DeletingSteps) {
    Zelvar_Sequencer sequencer;
    addNote(sequencer, 1, 0, 60);
    addNote(sequencer, 2, 480, 62);
    addNote(sequencer, 3, 960, 64);
    addNote(sequencer, 3, 1440, 65); // identifiers need not be unique
    sequencer.start(0);
    ASSERT_EQ(drain(sequencer, 0, 100).size(), 1u);
    sequencer.deleteEvent(2); // the next step: its successor becomes next
    sequencer.deleteEvent(99);
    const std::vector<Hit> pass = drain(sequencer, 100, 70000);
    const std::vector<Hit> expected = {
        {44100, 960, EventSubTypeNoteOn, 64},
        {66150, 1440, EventSubTypeNoteOn, 65},
    };
    EXPECT_EQ(pass, expected);

    sequencer.deleteEvent(3); // the first with that identifier, from the front
    EXPECT_EQ(sequencer.getStepCount(), 2);
    const std::vector<Hit> next = drain(sequencer, 70000, 2 * passSamples);
    const std::vector<Hit> expectedNext = {
        {passSamples, 0, EventSubTypeNoteOn, 60},
        {passSamples + 66150, 1440, EventSubTypeNoteOn, 65},
    };
    EXPECT_EQ(next, expectedNext);

    // Deleting every step, the last one while it is next, leaves a silent but safe sequencer.
    sequencer.deleteEvent(1);
    sequencer.deleteEvent(3);
    EXPECT_EQ(sequencer.getStepCount(), 0);
    EXPECT_TRUE(drain(sequencer, 2 * passSamples, 3 * passSamples).empty());
    addNote(sequencer, 7, 0, 70);
    EXPECT_EQ(drain(sequencer, 3 * passSamples, 4 * passSamples).size(), 1u);
}

TEST(Sequencer, TransportStartStopAndOneShotPass) {
    Zelvar_Sequencer sequencer;
    addNote(sequencer, 1, 0, 60);
    addNote(sequencer, 2, 960, 62);
    sequencer.start(0);
    drain(sequencer, 0, 100);
    sequencer.start(100); // ignored while playing
    EXPECT_EQ(sequencer.getStartTime(), 0u);
    sequencer.stop(500);
    EXPECT_FALSE(sequencer.isPlaying());
    EXPECT_TRUE(drain(sequencer, 500, 100000).empty());
    sequencer.start(100000); // from the top again
    const std::vector<Hit> hits = drain(sequencer, 100000, 100001);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].tick, 0);

    Zelvar_Sequencer oneShot(480, 120.0, 1920, false);
    addNote(oneShot, 1, 0, 60);
    oneShot.start(0);
    EXPECT_EQ(drain(oneShot, 0, 3 * passSamples).size(), 1u);
    EXPECT_FALSE(oneShot.isPlaying());
    EXPECT_EQ(oneShot.getStartTime(), passSamples);
}

TEST(Sequencer, BadInputIsRefusedWithoutHarm) {
    Zelvar_Sequencer sequencer;
    EXPECT_FALSE(sequencer.setEvent(1, -1, EventSubTypeNoteOn, ParameterTypeNone, 60, 100, 0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(sequencer.setEvent(1, 0, EventSubTypeNoteOn, ParameterTypeNone, nan, 100, 0));
    EXPECT_FALSE(sequencer.setEvent(1, 0, EventSubTypeNoteOn, ParameterTypeNone, 60, 1e12, 0));
    EXPECT_FALSE(sequencer.setEvent(1, 0, EventSubTypeNoteOff, ParameterTypeNone, -inf, 0, 0));
    EXPECT_EQ(sequencer.getStepCount(), 0);
    addNote(sequencer, 1, 0, 60);
    addNote(sequencer, 2, 480, 62);

    for (double bad : {0.0, -120.0, nan, inf, -inf})
        EXPECT_FALSE(sequencer.setTempo(bad)) << bad;
    EXPECT_EQ(sequencer.getTempo(), 120.0);
    sequencer.start(1000);
    const std::vector<Hit> hits = drain(sequencer, 1000, 23051);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].time, 23050u);

    // Meaningless construction values fall back to the defaults.
    Zelvar_Sequencer odd(0, -1.0, -5, true, 0.0);
    EXPECT_DOUBLE_EQ(odd.samplesPerTick(), 45.9375);
}

TEST(Sequencer, ExtremeTempiStayBounded) {
    // Vanishingly slow: steps past tick 0 lie out of reach; the tick-0 step plays once.
    Zelvar_Sequencer slow;
    addNote(slow, 1, 0, 60);
    addNote(slow, 2, 1, 61);
    ASSERT_TRUE(slow.setTempo(1e-300));
    slow.start(0);
    EXPECT_EQ(drain(slow, 0, 50000).size(), 1u);

    // Absurdly fast: a pass lasts two samples and each pass hands out every step once.
    Zelvar_Sequencer fast;
    addNote(fast, 1, 0, 60);
    addNote(fast, 2, 1919, 61);
    ASSERT_TRUE(fast.setTempo(1e12));
    fast.start(0);
    EXPECT_EQ(drain(fast, 0, 10).size(), 10u);
}
