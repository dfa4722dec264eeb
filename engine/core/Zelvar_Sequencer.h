// The engine's looping step sequencer: a list of note steps placed in ticks, played against the
// output sample clock at a tempo in beats per minute, starting over after a fixed loop length.
//
// The engine feeds it from processEvent (transport, tempo, add step, delete step) and drains it
// at every frame where nextActionTime says it may act (at least the first and last frame of each
// run of frames the engine renders at once), calling getEvent with the frame's sample time until
// it reports nothing due; note-on and note-off steps then go to the voice list like played notes.
// Everything here runs on the audio thread; steps are created and freed there, in blocks of a
// pool reserved by initialize(). A step added while the pool is exhausted is refused.
//
// Timing: a step at tick k is due at startTime + trunc(k × samplesPerTick); a pass lasts
// trunc(loopLength × samplesPerTick + 1) + 1 samples. Positions are compared as the signed
// distance from startTime, so a tempo change that moves the pass start before sample 0 keeps
// working (the start is then held modulo 2^64, as the unsigned clock arithmetic implies).
//
// Refused input (the call returns false and changes nothing): a step at a negative tick, a note
// step whose note number or velocity is not a finite number within int range, and a tempo that
// is not a finite number above 0. A step of any other sub-type is stored and handed out; the
// engine plays only note on and note off. Steps of sub-type none are stored and skipped.
#pragma once

#include "Corvena_Core.h"
#include "Zelvar_BlockPool.h"
#include "Zelvar_PoolAllocated.h"

#include <cstdint>

struct SequencerEvent {
    uint64_t time; // the sample time of the getEvent call
    int tick;
    int subType; // EventSubTypeNone: nothing due; the other fields are then left over
    int parameterType;
    double value1;
    double value2;
    double value3;
};

class Zelvar_Sequencer {
public:
    static constexpr int defaultTicksPerBeat = 480;
    static constexpr double defaultTempo = 120.0;
    static constexpr int defaultLoopLength = 1920;
    static constexpr double defaultSamplingRate = 44100.0;
    static constexpr int stepCapacity = 1024;

    // A value that would make the timing meaningless (ticks per beat, tempo, loop length or rate
    // not above 0, or not finite) is replaced by its default.
    Zelvar_Sequencer(int ticksPerBeat = defaultTicksPerBeat, double tempo = defaultTempo,
                     int loopLength = defaultLoopLength, bool loop = true,
                     double samplingRate = defaultSamplingRate);
    ~Zelvar_Sequencer();
    Zelvar_Sequencer(const Zelvar_Sequencer&) = delete;
    Zelvar_Sequencer& operator=(const Zelvar_Sequencer&) = delete;

    void initialize();

    // Steps at equal ticks keep the order they were added in. A step inserted ahead of the next
    // step of the running pass plays from the next pass on. Returns false if refused (also when
    // stepCapacity steps are stored already).
    bool setEvent(int eventId, int tick, EventSubType subType, ParameterType parameterType,
                  double value1, double value2, double value3);
    // Removes the first step with this identifier; an unknown identifier is ignored.
    void deleteEvent(int eventId);

    void start(uint64_t time);
    void stop(uint64_t time);
    // Keeps the present musical position. Returns false if refused.
    bool setTempo(double beatsPerMinute);

    SequencerEvent getEvent(uint64_t time);
    // The earliest sample time after `time` at which getEvent may act (hand out a step, skip
    // one, or start a pass); UINT64_MAX if it cannot act without a new command. Until then
    // getEvent only notes the time.
    uint64_t nextActionTime(uint64_t time) const;

    bool isPlaying() const { return playing; }
    double getTempo() const { return tempo; }
    uint64_t getStartTime() const { return startTime; }
    int getStepCount() const;
    double samplesPerTick() const;

private:
    struct Step : Zelvar_PoolAllocated {
        int eventId;
        int tick;
        int subType;
        int parameterType;
        double value1;
        double value2;
        double value3;
        Step* previous;
        Step* next;
    };

    int64_t stepOffset(const Step* step) const;
    int64_t passLength() const;
    int64_t elapsed(uint64_t time) const { return int64_t(time - startTime); }
    void unlink(Step* step);

    Zelvar_BlockPool stepPool;
    Step* firstStep = nullptr;
    Step* lastStep = nullptr;
    SequencerEvent currentEvent{};
    int ticksPerBeat;
    double tempo;
    int loopLength;
    bool loop;
    double samplingRate;
    uint64_t startTime = 0;
    uint64_t lastTime = 0;
    bool playing = false;
    Step* nextStep = nullptr;
};
