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
inline double heldStep(double level, double counter, double attackLength, double attackCoefficient,
                       double target, double decayCoefficient) {
    if (counter <= attackLength)
        return 1.0 + (level - 1.0) * attackCoefficient;
    return target - (target - level) * decayCoefficient;
}

// A decay step that leaves the level's bits as they were has reached its fixed point: every
// following frame that brings the same sustain level (with its bits) steps to the same level
// again, since the attack never returns while the note is held. How many such frames follow
// frame i. The stage counter holds whole numbers, so adding their count at once equals that
// many additions of 1.
inline int settledFrames(const double* sustainLevels, int i, int n, int stride) {
    const double target = sustainLevels[i * stride];
    int end = i + 1;
    while (end < n && sameBits(sustainLevels[end * stride], target))
        ++end;
    return end - i - 1;
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
void Zelvar_EnvelopeGenerator::setStageTime(Stage& stage, double seconds) const {
    if (seconds == stage.seconds)
        return;
    stage.seconds = seconds;
    stage.lengthSamples = seconds * samplingRate;
    stage.coefficient = std::pow(stageResidue, 1.0 / stage.lengthSamples);
}

void Zelvar_EnvelopeGenerator::setAttackTime(double seconds) {
    setStageTime(attack, seconds);
}

void Zelvar_EnvelopeGenerator::setDecayTime(double seconds) {
    setStageTime(decay, seconds);
}

void Zelvar_EnvelopeGenerator::setReleaseTime(double seconds) {
    setStageTime(release, seconds);
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

void Zelvar_EnvelopeGenerator::render(double* gains, int n, const double* sustainLevels,
                                      int stride) {
    if (n <= 0)
        return;
    int stage = state;
    double value = level;
    double releaseFactor = releaseGain;
    double fade = fadeOutGain;
    double counter = stageCounter;
    double fadeCounter = fadeOutCounter;
    const Stage a = attack;
    const double decayCoefficient = decay.coefficient;
    const double releaseCoefficient = release.coefficient;
    for (int i = 0; i < n; ++i) {
        int held = 0;
        switch (stage) {
        case EnvelopeStateNoteOn:
        case EnvelopeStateHold: {
            releaseFactor = 1.0;
            const double target = sustainLevels[i * stride];
            const bool decays = !(counter <= a.lengthSamples);
            const double next =
                heldStep(value, counter, a.lengthSamples, a.coefficient, target, decayCoefficient);
            counter += 1.0;
            if (decays && sameBits(next, value)) {
                held = settledFrames(sustainLevels, i, n, stride);
                counter += held;
            }
            value = next;
            break;
        }
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
        gains[i] = value * releaseFactor * fade;
        for (; held > 0; --held, ++i)
            gains[i + 1] = gains[i];
    }
    sustainLevel = sustainLevels[(n - 1) * stride];
    state = stage;
    level = value;
    releaseGain = releaseFactor;
    fadeOutGain = fade;
    stageCounter = counter;
    fadeOutCounter = fadeCounter;
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
