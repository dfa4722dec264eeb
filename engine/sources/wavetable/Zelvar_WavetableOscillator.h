// The tone generator the voices sound: sine, triangle, sawtooth, square and pulse read from the
// shared provider's band-limited tables.
//
// For each frequency it picks the table with every harmonic that fits below half the sampling
// rate and cross-fades the next harmonic in as the pitch falls, so the spectrum changes smoothly
// across the keyboard and nothing aliases. Square and pulse are the difference of two sawtooth
// readings. A Zelvar_Oscillator owns one; the provider must outlive it.
//
// A run of frames takes one frequency per frame: it is cut into stretches over which the
// frequency keeps its value, the table choice and cross-fade are worked out at each stretch's
// start (as setFrequency() would), and each stretch is one loop with the phase in a local that
// reads the same tables with the same operations as a single frame. The sawtooth and the
// triangle, with a harmonic to fade in, go in two passes instead: the phases and the sines of
// the stretch in one loop (the phase's chain from frame to frame hides under the calls), then
// the table readings and the cross-fade two frames at a time in the lanes of a VoicePair, so
// the divisions of one frame overlap the readings of the next. getValue() is a run of one
// frame, so the samples keep their bits however the frames are cut.
#pragma once

#include "Zelvar_WavetableProvider.h"

#include <cstdint>

enum WavetableWaveform : int32_t {
    WavetableWaveformSine = 0,
    WavetableWaveformTriangle = 1,
    WavetableWaveformSawtooth = 2,
    WavetableWaveformSquare = 3,
    WavetableWaveformPulse = 4,
};

class Zelvar_WavetableOscillator {
public:
    static constexpr double lowestFrequencyHz = 1.0;
    static constexpr double highestFrequencyHz = 18000.0;

    void setWavetableProvider(Zelvar_WavetableProvider* provider);
    void setSamplingRate(double rate);
    // Only a real change recomputes the table choice: a glide sets a new value every frame, a
    // held note the same one.
    void setFrequency(double frequencyHz) {
        if (frequencyHz != frequency)
            retune(frequencyHz);
    }
    void setWaveform(WavetableWaveform waveform) { this->waveform = waveform; }
    void setPulseWidth(double width) { pulseWidth = width; }

    double getSawtooth(double phase) const;
    double getTriangle(double phase) const;
    // One frame at the frequency last set.
    double getValue();
    // n frames, frame i at frequencyHz[i * stride] (stride 0: one frequency for all); the last
    // frequency stays set.
    void render(double* out, int n, const double* frequencyHz, int stride);

    WavetableWaveform getWaveform() const { return waveform; }
    double getPhase() const { return phase; }
    int getHarmonicLimit() const { return harmonicLimit; }

private:
    // One set's table for the present frequency and the cross-faded next harmonic: value +
    // (constant x sin(twoPiHarmonic x phase) / harmonic) x distanceToTop / span, where span is
    // the frequency range over which the harmonic fades in and distanceToTop how far into it
    // the frequency lies. A table below 0 means the fundamental alone.
    struct CrossFade {
        int table = -1;
        double harmonic = 1.0;
        double twoPiHarmonic = 0.0;
        double sign = 1.0;
        double distanceToTop = 0.0;
        double span = 1.0;
    };
    template <bool Folds, typename Shape> struct Reader;
    struct SawtoothShape;
    struct TriangleShape;
    void retune(double frequencyHz);
    void updateCrossFades();
    // One stretch of frames at the present frequency.
    void renderAtFrequency(double* out, int n);

    Zelvar_WavetableProvider* provider = nullptr;
    WavetableWaveform waveform = WavetableWaveformTriangle;
    double pulseWidth = 0.1;
    double samplingRate = 44100.0;
    double frequency = 1000.0;
    double phase = 0.0;
    double phaseIncrement = 1000.0 / 44100.0;
    int harmonicLimit = 22;
    int tableCount = 0;
    int tableLength = 0;
    CrossFade sawtooth;
    CrossFade triangle;
};
