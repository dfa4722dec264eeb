// A band-limited oscillator built from band-limited impulse trains (BLIT) and leaky integrators.
//
// A Dirichlet-kernel impulse train holds exactly the harmonics below half the sampling rate;
// integrating it once gives a sawtooth or square, twice a triangle, all free of aliasing
// without tables. Each voice creates one beside its wavetable oscillator; the sine is computed
// directly and the triangle passes a DC blocker that removes the integrators' drift.
#pragma once

#include "Zelvar_DcBlockingFilter.h"

#include <cstdint>

enum VcoWaveform : int32_t {
    VcoWaveformSine = 0,
    VcoWaveformTriangle = 1,
    VcoWaveformSawtoothUp = 2,   // rising ramp, falling edge
    VcoWaveformSawtoothDown = 3, // falling ramp, rising edge
    VcoWaveformSquare = 4,
    VcoWaveformPulse = 5,
};

class Zelvar_BlitOscillator {
public:
    void initialize() {}
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setFrequency(double frequencyHz);
    // Selecting the waveform already in use changes nothing; another one resets the phase and
    // the integrators to the new shape's starting point.
    void setWaveform(VcoWaveform waveform);
    void setPulseWidth(double width) { pulseWidth = width; }
    double getValue();

    VcoWaveform getWaveform() const { return waveform; }
    int getHarmonicCount() const { return harmonicCount; }
    double getPeriod() const { return period; }
    double getPhase() const { return phase; }

private:
    double bipolarTrain(double phase) const;
    double unipolarTrain(double x) const;
    double nextTriangle();
    double nextSawtooth();
    double nextSquare();
    double nextPulse();

    VcoWaveform waveform = VcoWaveformSine;
    double samplingRate = 44100.0;
    double frequency = 0.0;
    int harmonicCount = 44;
    double period = 44.1;
    double phaseIncrement = 1.0 / 44.1;
    double phase = 0.0;
    double impulse = 0.0;
    double integrator1 = 0.0;
    double integrator2 = 0.0;
    double output = 0.0;
    double pulseWidth = 0.5;
    double pulseImpulse[2] = {0.0, 0.0};
    double pulseIntegrator[2] = {0.0, 0.0};
    Zelvar_DcBlockingFilter dcBlockingFilter{0.0, 0.0, 0.995};
};
