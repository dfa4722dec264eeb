#include "Zelvar_Voice.h"

#include "Corvena_Core.h"
#include "SameBits.h"
#include "Zelvar_ParameterManager.h"
#include "Zelvar_ValueSmoother.h"

#include <cmath>

Zelvar_Voice::Zelvar_Voice(Zelvar_ValueSmoother* sustainSmoother,
                           Zelvar_RandomGenerator& randomGenerator)
    : sustainLevelSmoother(sustainSmoother), random(randomGenerator) {}

// The units are built with the voice (they are members); initialize() seeds the three noise
// registers in the order the units were once created, and starts the low-pass filter at the
// present setting.
void Zelvar_Voice::initialize() {
    blitOscillator.initialize();
    oscillator.initialize(random);
    // Two more oscillators come with every voice; nothing reads them yet, and they cost only
    // their seeds since they are never advanced.
    for (Zelvar_Oscillator& spare : spareOscillators)
        spare.initialize(random);
    // A new voice starts at the present filter setting instead of gliding in from a default.
    lowPassFilter.setInitialValue(parameter(ParameterTypeLpfCutoffFrequency),
                                  parameter(ParameterTypeLpfResonance));
}

double Zelvar_Voice::parameter(int type) const {
    return parameterManager != nullptr ? parameterManager->getDspValue(type) : 0.0;
}

void Zelvar_Voice::setSamplingRate(double rate) {
    samplingRate = rate;
    blitOscillator.setSamplingRate(rate);
    envelopeGenerator.setSamplingRate(rate);
    lowFrequencyOscillator.setSamplingRate(rate);
    lowPassFilter.setSamplingRate(rate);
    highPassFilter.setSamplingRate(rate);
    oscillator.setSamplingRate(rate);
    for (Zelvar_Oscillator& spare : spareOscillators)
        spare.setSamplingRate(rate);
}

void Zelvar_Voice::setWavetableProvider(Zelvar_WavetableProvider* provider) {
    wavetableProvider = provider;
    oscillator.setWavetableProvider(provider);
    for (Zelvar_Oscillator& spare : spareOscillators)
        spare.setWavetableProvider(provider);
}

void Zelvar_Voice::setPcmDataManager(Zelvar_PcmDataManager* manager) {
    pcmDataManager = manager;
    pcmOscillator.setPcmDataManager(manager);
}

void Zelvar_Voice::startNote(int note, int velocity) {
    noteNumber = note;
    const double transpose = parameter(ParameterTypeOctaveTranspose);
    noteFrequency = 440.0 * std::pow(2.0, ((note - 69) + 12.0 * transpose) / 12.0);
    portamentoCounter = 0.0;
    // Velocities outside MIDI's range are clamped before they index the table.
    const int index = velocity < 0 ? 0 : (velocity > 127 ? 127 : velocity);
    velocityGain = velocity_default[index];
    pcmOscillator.setPcmIndex(note % 4);
}

void Zelvar_Voice::noteOn(int note, int velocity) {
    startNote(note, velocity);
    envelopeGenerator.noteOn();
}

void Zelvar_Voice::legatoNoteOn(int note, int velocity) {
    startNote(note, velocity);
    envelopeGenerator.legatoNoteOn();
}

void Zelvar_Voice::noteOff(int note) {
    if (note != noteNumber)
        return;
    if (parameter(ParameterTypeDamper) > 0.5)
        envelopeGenerator.setHold();
    else
        envelopeGenerator.noteOff();
}

void Zelvar_Voice::allNoteOff() {
    envelopeGenerator.noteOff();
}

void Zelvar_Voice::setFadeOut() {
    envelopeGenerator.setFadeOut();
}

int Zelvar_Voice::getState() const {
    return envelopeGenerator.getState();
}

bool Zelvar_Voice::canNoteOff(int note) const {
    return note == noteNumber && getState() == EnvelopeStateNoteOn;
}

bool Zelvar_Voice::canAllNoteOff() const {
    return getState() == EnvelopeStateNoteOn;
}

double Zelvar_Voice::glidedFrequency() {
    const double glideSamples = parameter(ParameterTypePortamentoTime) * samplingRate;
    if (!(glideSamples > portamentoCounter))
        return noteFrequency;
    // Exponential approach: e^-10 of the distance remains at the glide time, then it snaps.
    const double f = noteFrequency + (portamentoStartFrequency - noteFrequency) *
                                         std::exp(-10.0 * portamentoCounter / glideSamples);
    portamentoCounter += 1.0;
    return f;
}

// Every setter of getValue() returns early when given the value it holds; this checks each one
// against what getValue() would pass it, including where a setter stores a clamped value (then
// the next call would not return early).
bool Zelvar_Voice::isSteady() const {
    if (!lowFrequencyOscillator.holdsStill())
        return false;
    if (parameter(ParameterTypeDamper) < 0.5 && getState() == EnvelopeStateHold)
        return false;
    if (!sameBits(parameter(ParameterTypePitchBend), cachedBend) ||
        !sameBits(parameter(ParameterTypePitchBendRange), cachedBendRange))
        return false;
    const double cutoff =
        parameter(ParameterTypeLpfCutoffFrequency) + 1000.0 * lowFrequencyOscillator.getLastValue();
    return cutoff == lowPassFilter.getTargetCutoffFrequency() &&
           parameter(ParameterTypeLpfResonance) == lowPassFilter.getTargetQualityFactor() &&
           highPassFilter.hasFirstValues() &&
           parameter(ParameterTypeHpfCutoffFrequency) ==
               highPassFilter.getTargetCutoffFrequency() &&
           parameter(ParameterTypeHpfResonance) == highPassFilter.getTargetQualityFactor() &&
           parameter(ParameterTypeVcaEgAttackTime) == envelopeGenerator.getAttackTime() &&
           parameter(ParameterTypeVcaEgDecayTime) == envelopeGenerator.getDecayTime() &&
           parameter(ParameterTypeVcaEgReleaseTime) == envelopeGenerator.getReleaseTime();
}

// Stage by stage over the run: the units do not touch each other's state, so running each over
// all n frames in turn computes what n frame-by-frame calls do.
void Zelvar_Voice::renderSteady(double* mix, int n, const double* sustainLevels, int stride) {
    double samples[maximumRunFrames];
    double gains[maximumRunFrames];
    const double glideSamples = parameter(ParameterTypePortamentoTime) * samplingRate;
    if (!(glideSamples > portamentoCounter)) {
        // No glide: the frequency stands for the whole run.
        oscillatorFrequency = noteFrequency * bendFactor;
        oscillator.setFrequency(oscillatorFrequency);
        oscillator.render(samples, n);
    } else {
        for (int i = 0; i < n; ++i) {
            oscillatorFrequency = glidedFrequency() * bendFactor;
            oscillator.setFrequency(oscillatorFrequency);
            samples[i] = oscillator.getValue();
        }
    }
    lowPassFilter.process(samples, n);
    highPassFilter.process(samples, n);
    envelopeGenerator.renderGains(gains, sustainLevels, stride, n);
    for (int i = 0; i < n; ++i)
        mix[i] += gains[i] * samples[i] * velocityGain;
    outputSample = samples[n - 1];
}

double Zelvar_Voice::getValue() {
    if (parameter(ParameterTypeDamper) < 0.5 && getState() == EnvelopeStateHold)
        envelopeGenerator.noteOff();

    // A full bend moves the pitch by the "Pitch Bend Range" in semitones. The factor is
    // recomputed only when the bend's or the range's bits change (pow() per sample otherwise);
    // at the range's default of 2 it is the same product 2.0 * bend as ever, so renders made
    // before the range acted keep their bits.
    const double bend = parameter(ParameterTypePitchBend);
    const double range = parameter(ParameterTypePitchBendRange);
    if (!sameBits(bend, cachedBend) || !sameBits(range, cachedBendRange)) {
        bendFactor = std::pow(2.0, range * bend / 12.0);
        cachedBend = bend;
        cachedBendRange = range;
    }
    oscillatorFrequency = glidedFrequency() * bendFactor;

    lowFrequencyOscillator.setFrequency(0.0);
    oscillator.setWaveform(OscillatorWaveform(int(parameter(ParameterTypeOscillatorWaveform))));
    oscillator.setFrequency(oscillatorFrequency);
    oscillator.setPulseWidth(parameter(ParameterTypeOscillatorPulseWidth));
    outputSample = oscillator.getValue();

    lowPassFilter.setCutoffFrequency(parameter(ParameterTypeLpfCutoffFrequency) +
                                     1000.0 * lowFrequencyOscillator.getValue());
    lowPassFilter.setQualityFactor(parameter(ParameterTypeLpfResonance));
    highPassFilter.setCutoffFrequency(parameter(ParameterTypeHpfCutoffFrequency));
    highPassFilter.setQualityFactor(parameter(ParameterTypeHpfResonance));
    outputSample = lowPassFilter.nextValue(outputSample);
    outputSample = highPassFilter.nextValue(outputSample);

    envelopeGenerator.setAttackTime(parameter(ParameterTypeVcaEgAttackTime));
    envelopeGenerator.setDecayTime(parameter(ParameterTypeVcaEgDecayTime));
    envelopeGenerator.setSustainLevel(sustainLevelSmoother->nextValue());
    envelopeGenerator.setReleaseTime(parameter(ParameterTypeVcaEgReleaseTime));

    return envelopeGenerator.getValue() * outputSample * velocityGain;
}
