#include "Zelvar_Sequencer.h"

#include "NumericConversion.h"

#include <climits>
#include <cmath>

namespace {

// Sample offsets are truncated and held within ±2^62: far beyond any pass a musical tempo gives
// (2^62 samples are three million years at 44100 Hz), and the signed distance arithmetic cannot
// overflow. An absurdly slow tempo makes steps lie very far away instead of wrapping round the
// sample clock.
constexpr int64_t maximumOffset = int64_t(1) << 62;

bool isPositiveFinite(double value) {
    return std::isfinite(value) && value > 0.0;
}

// The engine converts note numbers and velocities with int(); beyond int range that is
// undefined, so such steps are refused when they are set.
bool fitsInt(double value) {
    return std::isfinite(value) && value > double(INT_MIN) - 1.0 && value < double(INT_MAX) + 1.0;
}

} // namespace

Zelvar_Sequencer::Zelvar_Sequencer(int ticksPerBeat, double tempo, int loopLength, bool loop,
                                   double samplingRate)
    : ticksPerBeat(ticksPerBeat > 0 ? ticksPerBeat : defaultTicksPerBeat),
      tempo(isPositiveFinite(tempo) ? tempo : defaultTempo),
      loopLength(loopLength > 0 ? loopLength : defaultLoopLength), loop(loop),
      samplingRate(isPositiveFinite(samplingRate) ? samplingRate : defaultSamplingRate) {}

Zelvar_Sequencer::~Zelvar_Sequencer() {
    while (firstStep != nullptr) {
        Step* next = firstStep->next;
        delete firstStep;
        firstStep = next;
    }
}

void Zelvar_Sequencer::initialize() {
    stepPool.reserve(sizeof(Step), stepCapacity);
}

double Zelvar_Sequencer::samplesPerTick() const {
    return samplingRate * 60.0 / (double(ticksPerBeat) * tempo);
}

int64_t Zelvar_Sequencer::stepOffset(const Step* step) const {
    return truncateToInt64Within(samplesPerTick() * double(step->tick), maximumOffset);
}

int64_t Zelvar_Sequencer::passLength() const {
    return truncateToInt64Within(double(loopLength) * samplesPerTick() + 1.0, maximumOffset);
}

int Zelvar_Sequencer::getStepCount() const {
    int count = 0;
    for (const Step* step = firstStep; step != nullptr; step = step->next)
        ++count;
    return count;
}

bool Zelvar_Sequencer::setEvent(int eventId, int tick, EventSubType subType,
                                ParameterType parameterType, double value1, double value2,
                                double value3) {
    if (tick < 0)
        return false;
    if ((subType == EventSubTypeNoteOn || subType == EventSubTypeNoteOff) && !fitsInt(value1))
        return false;
    if (subType == EventSubTypeNoteOn && !fitsInt(value2))
        return false;

    Step* step = new (&stepPool)
        Step{{}, eventId, tick, subType, parameterType, value1, value2, value3, nullptr, nullptr};
    if (step == nullptr)
        return false;
    Step* after = firstStep;
    while (after != nullptr && after->tick <= tick)
        after = after->next;
    // nextStep stays: a step inserted ahead of it waits for the next pass.
    if (after == nullptr) {
        step->previous = lastStep;
        if (lastStep != nullptr)
            lastStep->next = step;
        else
            firstStep = step;
        lastStep = step;
        return true;
    }
    step->next = after;
    step->previous = after->previous;
    if (after->previous != nullptr)
        after->previous->next = step;
    else
        firstStep = step;
    after->previous = step;
    return true;
}

void Zelvar_Sequencer::unlink(Step* step) {
    if (step->previous != nullptr)
        step->previous->next = step->next;
    else
        firstStep = step->next;
    if (step->next != nullptr)
        step->next->previous = step->previous;
    else
        lastStep = step->previous;
}

void Zelvar_Sequencer::deleteEvent(int eventId) {
    Step* step = firstStep;
    while (step != nullptr && step->eventId != eventId)
        step = step->next;
    if (step == nullptr)
        return;
    if (step == nextStep)
        nextStep = step->next;
    unlink(step);
    delete step;
}

void Zelvar_Sequencer::start(uint64_t time) {
    if (playing)
        return;
    startTime = time;
    nextStep = firstStep;
    playing = true;
}

void Zelvar_Sequencer::stop(uint64_t time) {
    startTime = time;
    playing = false;
}

bool Zelvar_Sequencer::setTempo(double beatsPerMinute) {
    if (!isPositiveFinite(beatsPerMinute))
        return false;
    if (beatsPerMinute == tempo)
        return true;
    // The frame being rendered lies (now − startTime) samples into the pass; at the new tempo
    // the same musical position lies tempo / bpm times as far from the start.
    const uint64_t now = lastTime + 1;
    const int64_t scaled =
        truncateToInt64Within(tempo / beatsPerMinute * double(elapsed(now)), maximumOffset);
    startTime = now - uint64_t(scaled);
    tempo = beatsPerMinute;
    return true;
}

uint64_t Zelvar_Sequencer::nextActionTime(uint64_t time) const {
    if (!playing || firstStep == nullptr)
        return UINT64_MAX;
    // Distances from the next frame: positions grow by one per frame.
    const uint64_t next = time + 1;
    const int64_t position = elapsed(next);
    // A pass starts at the first time whose distance from startTime exceeds the pass length.
    if (position > passLength())
        return next;
    uint64_t wait = uint64_t(passLength() - position) + 1;
    if (nextStep != nullptr) {
        const int64_t offset = stepOffset(nextStep);
        if (position >= offset)
            return next;
        if (uint64_t(offset - position) < wait)
            wait = uint64_t(offset - position);
    }
    return next + wait;
}

SequencerEvent Zelvar_Sequencer::getEvent(uint64_t time) {
    lastTime = time;
    currentEvent.subType = EventSubTypeNone;
    if (!playing || firstStep == nullptr)
        return currentEvent;

    if (elapsed(time) > passLength()) {
        startTime = time;
        if (!loop) {
            playing = false;
            return currentEvent;
        }
        nextStep = firstStep;
    }
    // A step of sub-type none would read as "nothing due" and cut the frame's drain short,
    // holding back the steps behind it: it is passed over instead.
    while (nextStep != nullptr && nextStep->subType == EventSubTypeNone &&
           elapsed(time) >= stepOffset(nextStep))
        nextStep = nextStep->next;
    Step* candidate = nextStep;
    if (candidate == nullptr || elapsed(time) < stepOffset(candidate))
        return currentEvent;

    currentEvent.time = time;
    currentEvent.tick = candidate->tick;
    currentEvent.subType = candidate->subType;
    currentEvent.parameterType = candidate->parameterType;
    currentEvent.value1 = candidate->value1;
    currentEvent.value2 = candidate->value2;
    currentEvent.value3 = candidate->value3;
    nextStep = candidate->next;
    return currentEvent;
}
