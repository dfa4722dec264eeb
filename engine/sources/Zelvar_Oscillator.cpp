// Zelvar_Oscillator: waveform routing between the wavetable oscillator and the noise generator.
#include "Zelvar_Oscillator.h"

// The wavetable oscillator is already in its creation state; only the noise register needs a
// seed.
void Zelvar_Oscillator::initialize(Zelvar_RandomGenerator& random) {
    noiseGenerator.initialize(random);
}

void Zelvar_Oscillator::setWavetableProvider(Zelvar_WavetableProvider* provider) {
    wavetableOscillator.setWavetableProvider(provider);
}

void Zelvar_Oscillator::setWaveform(OscillatorWaveform w) {
    waveform = w;
    if (w >= OscillatorWaveformSine && w <= OscillatorWaveformPulse)
        wavetableOscillator.setWaveform(static_cast<WavetableWaveform>(w));
}

void Zelvar_Oscillator::render(double* out, int n, const double* frequencyHz, int stride) {
    if (waveform != OscillatorWaveformNoise) {
        wavetableOscillator.render(out, n, frequencyHz, stride);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = noiseGenerator.getValue();
    // The table choice depends on the frequency alone: the last one set is all that counts.
    if (n > 0)
        wavetableOscillator.setFrequency(frequencyHz[(n - 1) * stride]);
}

double Zelvar_Oscillator::getValue() {
    if (waveform == OscillatorWaveformNoise)
        return noiseGenerator.getValue();
    return wavetableOscillator.getValue();
}
