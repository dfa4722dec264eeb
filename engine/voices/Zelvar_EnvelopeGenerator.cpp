// Attack / decay / release envelope with hold and fade-out.
#include "Zelvar_EnvelopeGenerator.h"

#include <cmath>

namespace {
// -60 dB: the fraction of a stage's gap left at the end of the stage's time.
constexpr double stageResidue = 0.001;
constexpr double fadeOutSamples = 100.0;

// One sample of a held note: the attack toward 1 while the counter lies within it, then the
// decay toward `target`. Forced inline: it is the body of renderGains()'s loop.
inline __attribute__((always_inline)) double heldStep(double level, double counter,
                                                      double attackLength, double attackCoefficient,
                                                      double target, double decayCoefficient) {
    if (counter <= attackLength)
        return 1.0 + (level - 1.0) * attackCoefficient;
    return target - (target - level) * decayCoefficient;
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

// No separate sustain state: the decay formula keeps tracking the sustain level, so a sustain
// change under a held key glides at the decay rate.
void Zelvar_EnvelopeGenerator::advanceNoteOn() {
    releaseGain = 1.0;
    level = heldStep(level, stageCounter, attack.lengthSamples, attack.coefficient, sustainLevel,
                     decay.coefficient);
    stageCounter += 1.0;
}

void Zelvar_EnvelopeGenerator::advanceRelease() {
    releaseGain *= release.coefficient;
    if (releaseGain < stageResidue)
        state = EnvelopeStateFinished;
    stageCounter += 1.0;
}

// The counter is not reset by setFadeOut, so a second fade-out of a finished envelope would
// count past 100; the gain stops at 0 instead of turning negative.
void Zelvar_EnvelopeGenerator::advanceFadeOut() {
    fadeOutGain = std::fmax(0.0, (fadeOutSamples - fadeOutCounter) / fadeOutSamples);
    if (fadeOutCounter >= fadeOutSamples)
        state = EnvelopeStateFinished;
    fadeOutCounter += 1.0;
}

void Zelvar_EnvelopeGenerator::renderGains(double* gains, const double* sustainLevels, int stride,
                                           int n) {
    // A held note with a resting sustain level: attack and decay in locals.
    if ((state == EnvelopeStateNoteOn || state == EnvelopeStateHold) && stride == 0 && n > 0) {
        const double target = sustainLevels[0];
        const double attackLength = attack.lengthSamples;
        const double attackCoefficient = attack.coefficient;
        const double decayCoefficient = decay.coefficient;
        const double fade = fadeOutGain;
        double counter = stageCounter;
        double value = level;
        for (int i = 0; i < n; ++i) {
            value =
                heldStep(value, counter, attackLength, attackCoefficient, target, decayCoefficient);
            counter += 1.0;
            gains[i] = value * 1.0 * fade; // release gain is 1 while the key is held
        }
        sustainLevel = target;
        releaseGain = 1.0;
        stageCounter = counter;
        level = value;
        return;
    }
    for (int i = 0; i < n; ++i) {
        sustainLevel = sustainLevels[i * stride];
        gains[i] = getValue();
    }
}

int Zelvar_EnvelopeGenerator::framesUntilFinished(int limit) const {
    switch (state) {
    case EnvelopeStateFinished:
        return 0;
    case EnvelopeStateRelease: {
        double gain = releaseGain;
        for (int i = 1; i <= limit; ++i) {
            gain *= release.coefficient;
            if (gain < stageResidue)
                return i;
        }
        return limit;
    }
    case EnvelopeStateFadeOut: {
        double counter = fadeOutCounter;
        for (int i = 1; i <= limit; ++i) {
            if (counter >= fadeOutSamples)
                return i;
            counter += 1.0;
        }
        return limit;
    }
    default:
        return limit;
    }
}

double Zelvar_EnvelopeGenerator::getValue() {
    switch (state) {
    case EnvelopeStateNoteOn:
    case EnvelopeStateHold:
        advanceNoteOn();
        break;
    case EnvelopeStateRelease:
        advanceRelease();
        break;
    case EnvelopeStateFadeOut:
        advanceFadeOut();
        break;
    default:
        break;
    }
    return level * releaseGain * fadeOutGain;
}
