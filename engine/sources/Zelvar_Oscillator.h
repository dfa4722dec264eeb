// The tone source of a voice: one waveform selector over two generators.
//
// Waveforms 0 to 4 come from a band-limited wavetable oscillator, waveform 5 from the filtered
// noise generator. The voice sets waveform and pulse width for a run of frames and hands over
// one frequency per frame. While noise plays the wavetable oscillator is not advanced (it only
// takes the frequency), so switching back resumes its phase where it stopped. Both generators are
// held by value: voices are created on the audio thread, and this keeps an oscillator to a single
// allocation.
#pragma once

#include "Zelvar_NoiseGenerator.h"
#include "Zelvar_WavetableOscillator.h"
#include "Zelvar_WavetableProvider.h"

#include <cstdint>

enum OscillatorWaveform : int32_t {
    OscillatorWaveformSine = 0,
    OscillatorWaveformTriangle = 1,
    OscillatorWaveformSawtooth = 2,
    OscillatorWaveformSquare = 3,
    OscillatorWaveformPulse = 4,
    OscillatorWaveformNoise = 5,
};

class Zelvar_Oscillator {
public:
    // Seeds the noise register from the engine's generator.
    void initialize(Zelvar_RandomGenerator& random);
    void setWavetableProvider(Zelvar_WavetableProvider* provider);
    void setSamplingRate(double rate) { wavetableOscillator.setSamplingRate(rate); }
    void setFrequency(double frequencyHz) { wavetableOscillator.setFrequency(frequencyHz); }
    void setPulseWidth(double width) { wavetableOscillator.setPulseWidth(width); }
    // Any value is stored; only 0 to 4 reach the wavetable oscillator, so an unknown value keeps
    // the last wavetable waveform sounding.
    void setWaveform(OscillatorWaveform waveform);
    // One frame at the frequency last set.
    double getValue();
    // n frames, frame i at frequencyHz[i * stride] (stride 0: one frequency for all).
    void render(double* out, int n, const double* frequencyHz, int stride);

    OscillatorWaveform getWaveform() const { return waveform; }
    const Zelvar_WavetableOscillator& getWavetableOscillator() const { return wavetableOscillator; }

private:
    Zelvar_WavetableOscillator wavetableOscillator;
    Zelvar_NoiseGenerator noiseGenerator;
    OscillatorWaveform waveform = OscillatorWaveformSine;
};
