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

// A full bend moves the pitch by the "Pitch Bend Range" in semitones. The factor is recomputed
// only when the bend's or the range's bits change (pow() per run otherwise); at the range's
// default of 2 it is the same product 2.0 * bend as ever, so renders made before the range
// acted keep their bits.
void Zelvar_Voice::updateBendFactor() {
    const double bend = parameter(ParameterTypePitchBend);
    const double range = parameter(ParameterTypePitchBendRange);
    if (!sameBits(bend, cachedBend) || !sameBits(range, cachedBendRange)) {
        bendFactor = std::pow(2.0, range * bend / 12.0);
        cachedBend = bend;
        cachedBendRange = range;
    }
}

// Exponential approach: e^-10 of the distance remains at the glide time, then it snaps. Returns
// the stride of `frequencies`: 0 once the glide is over, when one frequency holds for the run.
int Zelvar_Voice::glide(double* frequencies, int n) {
    const double glideSamples = parameter(ParameterTypePortamentoTime) * samplingRate;
    const double target = noteFrequency;
    const double bend = bendFactor;
    if (!(glideSamples > portamentoCounter)) {
        frequencies[0] = target * bend;
        return 0;
    }
    const double start = portamentoStartFrequency;
    double counter = portamentoCounter;
    for (int i = 0; i < n; ++i) {
        double f = target;
        if (glideSamples > counter) {
            f = target + (start - target) * std::exp(-10.0 * counter / glideSamples);
            counter += 1.0;
        }
        frequencies[i] = f * bend;
    }
    portamentoCounter = counter;
    return 1;
}

// What the envelope takes from the knobs. It comes first in a run, before the look-ahead of
// framesUntilFinished() as before rendering: a release time moved at the run's start already
// counts.
void Zelvar_Voice::setUpEnvelope() {
    if (parameter(ParameterTypeDamper) < 0.5 && getState() == EnvelopeStateHold)
        envelopeGenerator.noteOff();
    Zelvar_EnvelopeGenerator::StageMemo* memos = stageMemos;
    envelopeGenerator.setAttackTime(parameter(ParameterTypeVcaEgAttackTime),
                                    memos != nullptr ? &memos[0] : nullptr);
    envelopeGenerator.setDecayTime(parameter(ParameterTypeVcaEgDecayTime),
                                   memos != nullptr ? &memos[1] : nullptr);
    envelopeGenerator.setReleaseTime(parameter(ParameterTypeVcaEgReleaseTime),
                                     memos != nullptr ? &memos[2] : nullptr);
}

int Zelvar_Voice::framesUntilFinished(int limit) {
    setUpEnvelope();
    return envelopeGenerator.framesUntilFinished(limit);
}

void Zelvar_Voice::renderSource(double* samples, double* cutoffs, int n,
                                Zelvar_IirLowPassFilter::Lane& low,
                                Zelvar_IirHighPassFilter::Lane& high) {
    setUpEnvelope();
    updateBendFactor();
    // The frequencies share their buffer with the cutoffs, which are worked out after them.
    double* frequencies = cutoffs;
    const int frequencyStride = glide(frequencies, n);
    oscillatorFrequency = frequencies[(n - 1) * frequencyStride];

    oscillator.setWaveform(OscillatorWaveform(int(parameter(ParameterTypeOscillatorWaveform))));
    oscillator.setPulseWidth(parameter(ParameterTypeOscillatorPulseWidth));
    oscillator.render(samples, n, frequencies, frequencyStride);

    // The cutoff follows the LFO frame by frame.
    lowFrequencyOscillator.setFrequency(0.0);
    const int cutoffStride = lowFrequencyOscillator.render(cutoffs, n) ? 0 : 1;
    const double cutoff = parameter(ParameterTypeLpfCutoffFrequency);
    for (int i = 0; i < (cutoffStride == 0 ? 1 : n); ++i)
        cutoffs[i] = cutoff + 1000.0 * cutoffs[i];
    low = {&lowPassFilter, samples, cutoffs, cutoffStride, parameter(ParameterTypeLpfResonance)};
    high = {&highPassFilter, samples, parameter(ParameterTypeHpfCutoffFrequency),
            parameter(ParameterTypeHpfResonance)};
}

void Zelvar_Voice::mixInto(double* mix, const double* samples, const double* gains, int n) const {
    for (int i = 0; i < n; ++i)
        mix[i] += gains[i] * samples[i] * velocityGain;
}

// Both filters in one loop: the high-pass recurrence of a frame overlaps the low-pass one of
// the next. A stretch ends where any lane's coefficients in either filter change.
template <typename Lanes>
void Zelvar_Voice::filter(const Zelvar_IirLowPassFilter::Lane* low,
                          const Zelvar_IirHighPassFilter::Lane* high, int n,
                          Zelvar_IirLowPassFilter::GlideStep* lowPassSteps) {
    Zelvar_IirLowPassFilter::Pass<Lanes> lowPass(low, lowPassSteps);
    Zelvar_IirHighPassFilter::Pass<Lanes> highPass(high);
    double* samples[laneCount<Lanes>];
    for (int lane = 0; lane < laneCount<Lanes>; ++lane)
        samples[lane] = low[lane].samples;
    runPasses<Lanes, true>(samples, n, lowPass, highPass);
}

template <int Count>
void Zelvar_Voice::renderVoices(Zelvar_Voice* const* voices, double* mix, int n,
                                const double* sustainLevels, int stride,
                                Zelvar_IirLowPassFilter::GlideStep* lowPassSteps) {
    double samples[Count][maximumRunFrames];
    double cutoffs[Count][maximumRunFrames];
    Zelvar_IirLowPassFilter::Lane low[Count];
    Zelvar_IirHighPassFilter::Lane high[Count];
    for (int v = 0; v < Count; ++v)
        voices[v]->renderSource(samples[v], cutoffs[v], n, low[v], high[v]);
    for (int v = 0; v + 1 < Count; v += 2)
        filter<VoicePair>(low + v, high + v, n, lowPassSteps);
    if constexpr (Count % 2 == 1)
        filter<double>(low + Count - 1, high + Count - 1, n, lowPassSteps);
    double gains[Count][maximumRunFrames];
    Zelvar_EnvelopeGenerator* envelopes[Count];
    double* gainLanes[Count];
    for (int v = 0; v < Count; ++v) {
        envelopes[v] = &voices[v]->envelopeGenerator;
        gainLanes[v] = gains[v];
    }
    Zelvar_EnvelopeGenerator::renderGroup(envelopes, gainLanes, Count, n, sustainLevels, stride);
    for (int v = 0; v < Count; ++v)
        voices[v]->mixInto(mix, samples[v], gains[v], n);
}

void Zelvar_Voice::render(double* mix, int n, const double* sustainLevels, int stride,
                          Zelvar_IirLowPassFilter::GlideStep* lowPassSteps) {
    Zelvar_Voice* const self = this;
    renderVoices<1>(&self, mix, n, sustainLevels, stride, lowPassSteps);
}

void Zelvar_Voice::renderGroup(Zelvar_Voice* const* voices, int count, double* mix, int n,
                               const double* sustainLevels, int stride,
                               Zelvar_IirLowPassFilter::GlideStep* lowPassSteps) {
    static_assert(groupSize == 4 && Zelvar_EnvelopeGenerator::maximumGroup >= groupSize);
    switch (count) {
    case 1:
        return renderVoices<1>(voices, mix, n, sustainLevels, stride, lowPassSteps);
    case 2:
        return renderVoices<2>(voices, mix, n, sustainLevels, stride, lowPassSteps);
    case 3:
        return renderVoices<3>(voices, mix, n, sustainLevels, stride, lowPassSteps);
    default:
        return renderVoices<4>(voices, mix, n, sustainLevels, stride, lowPassSteps);
    }
}

double Zelvar_Voice::getValue() {
    const double sustainLevel = sustainLevelSmoother->nextValue();
    double value = 0.0;
    render(&value, 1, &sustainLevel, 0, nullptr);
    return value;
}
