// Low-frequency oscillator, one value per sample, with six simple (not band-limited) waveforms.
//
// Each voice owns one as a modulator of its low-pass cutoff (1000 Hz per unit of output). A run
// of frames is one loop with the phase and the cached value in locals; getValue() is a run of
// one frame.
#pragma once

#include <cstdint>

enum LfoWaveform : int32_t {
    LfoWaveformSine = 0,
    LfoWaveformTriangle = 1,
    LfoWaveformSawtoothUp = 2,
    LfoWaveformSawtoothDown = 3,
    LfoWaveformSquare = 4,
    LfoWaveformPulse = 5,
};

class Zelvar_LowFrequencyOscillator {
public:
    explicit Zelvar_LowFrequencyOscillator(double frequencyHz = 0.5, double samplingRate = 44100.0,
                                           LfoWaveform waveform = LfoWaveformSine)
        : waveform(waveform), samplingRate(samplingRate), frequency(frequencyHz),
          phaseIncrement(frequencyHz / samplingRate) {}

    void setSamplingRate(double rate);
    void setFrequency(double frequencyHz);
    void setWaveform(LfoWaveform newWaveform) { waveform = newWaveform; }
    void setPulseWidth(double width) { pulseWidth = width; }
    // The value at the present phase; the phase then advances one sample.
    double getValue();
    // n frames of getValue(); true when all n are the value of the first.
    bool render(double* out, int n);

private:
    // An unknown waveform holds `last`.
    double valueAt(double phase, double last) const;

    LfoWaveform waveform;
    double pulseWidth = 0.5;
    double samplingRate;
    double frequency;
    double phaseIncrement;
    double phase = 0.0;
    // The waveform's value at cachedPhase with cachedWaveform and cachedPulseWidth. A new
    // oscillator's 0 is already right for its key: the sine at phase 0.
    double value = 0.0;
    double cachedPhase = 0.0;
    double cachedPulseWidth = 0.0;
    LfoWaveform cachedWaveform = LfoWaveformSine;
};
