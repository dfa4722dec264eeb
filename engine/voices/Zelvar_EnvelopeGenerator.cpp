// Attack / decay / release envelope with hold and fade-out.
#include "Zelvar_EnvelopeGenerator.h"

#include "SameBits.h"

#include <cmath>

namespace {
// -60 dB: the fraction of a stage's gap left at the end of the stage's time.
constexpr double stageResidue = 0.001;
constexpr double fadeOutSamples = 100.0;

// One sample of a held note: the attack toward 1 while the counter lies within it, then the
// decay toward `target`. No separate sustain state: the decay keeps tracking the sustain level,
// so a sustain change under a held key glides at the decay rate.
inline double decayStep(double level, double target, double decayCoefficient) {
    return target - (target - level) * decayCoefficient;
}

inline double attackStep(double level, double attackCoefficient) {
    return 1.0 + (level - 1.0) * attackCoefficient;
}

inline double heldStep(double level, double counter, double attackLength, double attackCoefficient,
                       double target, double decayCoefficient) {
    if (counter <= attackLength)
        return attackStep(level, attackCoefficient);
    return decayStep(level, target, decayCoefficient);
}

// The release law: the gain falls by the stage's coefficient every sample, and the envelope
// ends on the sample at which it drops below -60 dB. Returns true on that sample.
inline bool releaseStep(double& gain, double coefficient) {
    gain *= coefficient;
    return gain < stageResidue;
}

// The fade-out: a straight line to 0 over 100 samples, ending on the sample whose counter has
// reached 100. The counter is not reset by setFadeOut, so a second fade-out of a finished
// envelope would count past 100; the gain stops at 0 instead of turning negative.
inline bool fadeOutStep(double& gain, double& counter) {
    gain = std::fmax(0.0, (fadeOutSamples - counter) / fadeOutSamples);
    const bool finished = counter >= fadeOutSamples;
    counter += 1.0;
    return finished;
}
} // namespace

// The voice calls the setters every sample; the equality test keeps pow() off that path until
// the time really changes. A length of 0 gives pow(0.001, inf) = 0: the stage ends at once.
void Zelvar_EnvelopeGenerator::setStageTime(Stage& stage, double seconds, StageMemo* memo) const {
    if (seconds == stage.seconds)
        return;
    if (memo != nullptr && memo->valid && sameBits(memo->stage.seconds, seconds) &&
        sameBits(memo->samplingRate, samplingRate)) {
        stage = memo->stage;
        return;
    }
    stage.seconds = seconds;
    stage.lengthSamples = seconds * samplingRate;
    stage.coefficient = std::pow(stageResidue, 1.0 / stage.lengthSamples);
    if (memo != nullptr)
        *memo = {stage, samplingRate, true};
}

void Zelvar_EnvelopeGenerator::setAttackTime(double seconds, StageMemo* memo) {
    setStageTime(attack, seconds, memo);
}

void Zelvar_EnvelopeGenerator::setDecayTime(double seconds, StageMemo* memo) {
    setStageTime(decay, seconds, memo);
}

void Zelvar_EnvelopeGenerator::setReleaseTime(double seconds, StageMemo* memo) {
    setStageTime(release, seconds, memo);
}

void Zelvar_EnvelopeGenerator::noteOn() {
    state = EnvelopeStateNoteOn;
    stageCounter = 0.0;
    level = 0.0;
    releaseGain = 1.0;
    fadeOutCounter = 0.0;
    fadeOutGain = 1.0;
}

// Folding the release gain into the level restarts the attack from the present output, so a
// legato note during hold or release rises without a jump to zero.
void Zelvar_EnvelopeGenerator::legatoNoteOn() {
    if (state != EnvelopeStateHold && state != EnvelopeStateRelease)
        return;
    state = EnvelopeStateNoteOn;
    level *= releaseGain;
    stageCounter = 0.0;
    releaseGain = 1.0;
    fadeOutCounter = 0.0;
    fadeOutGain = 1.0;
}

// One envelope's moving parts over a run, held by value.
// One envelope's moving parts over a run, held by value.
class Zelvar_EnvelopeGenerator::Run {
public:
    Run() = default;
    explicit Run(const Zelvar_EnvelopeGenerator& e)
        : stage(e.state), value(e.level), releaseFactor(e.releaseGain), fade(e.fadeOutGain),
          counter(e.stageCounter), fadeCounter(e.fadeOutCounter), attack(e.attack),
          decayCoefficient(e.decay.coefficient), releaseCoefficient(e.release.coefficient) {}

    void storeInto(Zelvar_EnvelopeGenerator& e, double lastSustainLevel) const {
        e.sustainLevel = lastSustainLevel;
        e.state = stage;
        e.level = value;
        e.releaseGain = releaseFactor;
        e.fadeOutGain = fade;
        e.stageCounter = counter;
        e.fadeOutCounter = fadeCounter;
    }

    // One frame at the sustain level `target`; returns its gain.
    double step(double target) {
        switch (stage) {
        case EnvelopeStateNoteOn:
        case EnvelopeStateHold:
            releaseFactor = 1.0;
            value = heldStep(value, counter, attack.lengthSamples, attack.coefficient, target,
                             decayCoefficient);
            counter += 1.0;
            break;
        case EnvelopeStateRelease:
            if (releaseStep(releaseFactor, releaseCoefficient))
                stage = EnvelopeStateFinished;
            counter += 1.0;
            break;
        case EnvelopeStateFadeOut:
            if (fadeOutStep(fade, fadeCounter))
                stage = EnvelopeStateFinished;
            break;
        default:
            break;
        }
        return value * releaseFactor * fade;
    }

    // A held note past its attack: it decays on every frame of the run, since only an event
    // ends the hold and the counter only grows.
    bool decays() const {
        return (stage == EnvelopeStateNoteOn || stage == EnvelopeStateHold) &&
               !(counter <= attack.lengthSamples);
    }
    // step() of a frame of such a note, without the choices.
    double decay(double target) {
        releaseFactor = 1.0;
        value = decayStep(value, target, decayCoefficient);
        counter += 1.0;
        return value * releaseFactor * fade;
    }
    // A held note whose attack lasts through the next n frames (the counter holds whole
    // numbers, so the last of them is counter + n - 1 exactly).
    bool attacksFor(int n) const {
        return (stage == EnvelopeStateNoteOn || stage == EnvelopeStateHold) &&
               counter + (n - 1) <= attack.lengthSamples;
    }
    // step() of a frame of such a note, without the choices.
    double rise() {
        releaseFactor = 1.0;
        value = attackStep(value, attack.coefficient);
        counter += 1.0;
        return value * releaseFactor * fade;
    }

private:
    int stage = EnvelopeStateIdle;
    double value = 0.0;
    double releaseFactor = 1.0;
    double fade = 1.0;
    double counter = 0.0;
    double fadeCounter = 0.0;
    Stage attack;
    double decayCoefficient = 0.0;
    double releaseCoefficient = 0.0;
};

// Frame by frame, each frame lane by lane: the lanes' steps are chains of their own, which
// the processor overlaps. While every note of the group decays (the note held, as it mostly
// is), or rises through the whole run, the frames take that step alone.
template <int Count>
void Zelvar_EnvelopeGenerator::renderLanes(Zelvar_EnvelopeGenerator* const* envelopes,
                                           double* const* gains, int n, const double* sustainLevels,
                                           int stride) {
    if (n <= 0)
        return;
    Run runs[Count];
    bool decaying = true;
    bool rising = true;
    for (int lane = 0; lane < Count; ++lane) {
        runs[lane] = Run(*envelopes[lane]);
        decaying = decaying && runs[lane].decays();
        rising = rising && runs[lane].attacksFor(n);
    }
    if (decaying) {
        for (int i = 0; i < n; ++i)
            for (int lane = 0; lane < Count; ++lane)
                gains[lane][i] = runs[lane].decay(sustainLevels[i * stride + lane]);
    } else if (rising) {
        for (int i = 0; i < n; ++i)
            for (int lane = 0; lane < Count; ++lane)
                gains[lane][i] = runs[lane].rise();
    } else {
        for (int i = 0; i < n; ++i)
            for (int lane = 0; lane < Count; ++lane)
                gains[lane][i] = runs[lane].step(sustainLevels[i * stride + lane]);
    }
    for (int lane = 0; lane < Count; ++lane)
        runs[lane].storeInto(*envelopes[lane], sustainLevels[(n - 1) * stride + lane]);
}

void Zelvar_EnvelopeGenerator::render(double* gains, int n, const double* sustainLevels,
                                      int stride) {
    Zelvar_EnvelopeGenerator* const self = this;
    renderLanes<1>(&self, &gains, n, sustainLevels, stride);
}

void Zelvar_EnvelopeGenerator::renderGroup(Zelvar_EnvelopeGenerator* const* envelopes,
                                           double* const* gains, int count, int n,
                                           const double* sustainLevels, int stride) {
    static_assert(maximumGroup == 4);
    switch (count) {
    case 1:
        return renderLanes<1>(envelopes, gains, n, sustainLevels, stride);
    case 2:
        return renderLanes<2>(envelopes, gains, n, sustainLevels, stride);
    case 3:
        return renderLanes<3>(envelopes, gains, n, sustainLevels, stride);
    default:
        return renderLanes<4>(envelopes, gains, n, sustainLevels, stride);
    }
}

double Zelvar_EnvelopeGenerator::getValue() {
    const double levelNow = sustainLevel;
    double gain = 0.0;
    render(&gain, 1, &levelNow, 0);
    return gain;
}

int Zelvar_EnvelopeGenerator::framesUntilFinished(int limit) const {
    switch (state) {
    case EnvelopeStateFinished:
        return 0;
    case EnvelopeStateRelease: {
        double gain = releaseGain;
        for (int i = 1; i <= limit; ++i)
            if (releaseStep(gain, release.coefficient))
                return i;
        return limit;
    }
    case EnvelopeStateFadeOut: {
        double gain = fadeOutGain;
        double counter = fadeOutCounter;
        for (int i = 1; i <= limit; ++i)
            if (fadeOutStep(gain, counter))
                return i;
        return limit;
    }
    default:
        return limit;
    }
}
