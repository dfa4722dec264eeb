// Zelvar_BlitOscillator: the impulse trains and the per-waveform integration.
//
// B(p) = sin(2N pi p) / ((P/2) sin(2 pi p)), N even, has a positive impulse at p = 0 and a
// negative one at p = 1/2, so one integration gives a square and two a triangle.
// U(x) = sin(4N pi x) / (P sin(4 pi x)) - 1/P, N odd, advanced by a quarter of the phase
// increment, has one positive impulse per period with its mean removed, so its integral is a
// sawtooth without drift. Where the denominator vanishes the ratio of sines is replaced by its
// limit, N cos(n a) / cos(a), instead of dividing two rounding errors.
#include "Zelvar_BlitOscillator.h"

#include "MathConstants.h"
#include "NumericConversion.h"
#include "Phase.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double vanishingDenominator = 1e-9;
constexpr double integratorLeak = 0.995;
constexpr double triangleLeak = 0.98;

// sin(n a) / sin(a), continuous through the zeros of sin(a).
double sineRatio(double n, double a) {
    const double denominator = std::sin(a);
    if (std::fabs(denominator) < vanishingDenominator)
        return n * std::cos(n * a) / std::cos(a);
    return std::sin(n * a) / denominator;
}

// Harmonic counts are P truncated, kept in a range where the integer and the sine arguments
// stay meaningful.
constexpr int mostHarmonics = 1000000000;

} // namespace

void Zelvar_BlitOscillator::setFrequency(double frequencyHz) {
    if (frequencyHz == frequency)
        return;
    frequency = frequencyHz;
    period = samplingRate / frequencyHz;
    phaseIncrement = frequencyHz / samplingRate;
    harmonicCount = truncateToCount(period, mostHarmonics);
}

void Zelvar_BlitOscillator::setWaveform(VcoWaveform w) {
    if (w == waveform)
        return;
    waveform = w;
    switch (w) {
    case VcoWaveformSine:
        phase = 0.0;
        break;
    case VcoWaveformTriangle:
        phase = 0.25;
        integrator1 = 0.5;
        integrator2 = 0.0;
        break;
    case VcoWaveformSawtoothUp:
    case VcoWaveformSawtoothDown:
    case VcoWaveformSquare:
        phase = 0.0;
        integrator1 = -0.5;
        break;
    default:
        break;
    }
}

double Zelvar_BlitOscillator::bipolarTrain(double p) const {
    if (p == 0.0)
        return 1.0;
    return sineRatio(harmonicCount, twoPi * p) / (0.5 * period);
}

double Zelvar_BlitOscillator::unipolarTrain(double x) const {
    if (x == 0.0)
        return 1.0;
    return sineRatio(harmonicCount, 4.0 * std::numbers::pi * x) / period - 1.0 / period;
}

double Zelvar_BlitOscillator::nextTriangle() {
    int n = truncateToCount(0.5 * period, mostHarmonics);
    if (n % 2 != 0)
        n -= 1;
    harmonicCount = n;
    impulse = bipolarTrain(phase);
    phase += phaseIncrement;
    integrator1 = triangleLeak * integrator1 + impulse;
    integrator2 = triangleLeak * integrator2 + integrator1;
    return dcBlockingFilter.process(integrator2 / (0.25 * period));
}

double Zelvar_BlitOscillator::nextSawtooth() {
    if (harmonicCount % 2 == 0)
        harmonicCount -= 1;
    impulse = unipolarTrain(phase);
    phase += 0.25 * phaseIncrement;
    integrator1 = integratorLeak * integrator1 + impulse;
    return integrator1;
}

double Zelvar_BlitOscillator::nextSquare() {
    int n = truncateToCount(0.5 * period, mostHarmonics);
    if (n % 2 != 0)
        n += 1;
    harmonicCount = n;
    impulse = bipolarTrain(phase);
    phase += phaseIncrement;
    integrator1 = integratorLeak * integrator1 + impulse;
    return integrator1;
}

// The second train runs a pulse width of a period behind the first: the trains repeat every
// quarter of the phase, so that is an offset of pulseWidth / 4. Their integrals are two
// sawtooths whose difference is high for the pulse width's share of the period.
double Zelvar_BlitOscillator::nextPulse() {
    if (harmonicCount % 2 == 0)
        harmonicCount -= 1;
    pulseImpulse[0] = unipolarTrain(phase);
    double secondPhase = phase - 0.25 * pulseWidth;
    if (secondPhase < 0.0)
        secondPhase += 1.0;
    pulseImpulse[1] = unipolarTrain(secondPhase);
    phase += 0.25 * phaseIncrement;
    pulseIntegrator[0] = integratorLeak * pulseIntegrator[0] + pulseImpulse[0];
    pulseIntegrator[1] = integratorLeak * pulseIntegrator[1] + pulseImpulse[1];
    return pulseIntegrator[0] - pulseIntegrator[1];
}

double Zelvar_BlitOscillator::getValue() {
    switch (waveform) {
    case VcoWaveformSine:
        output = std::sin(twoPi * phase);
        phase += phaseIncrement;
        break;
    case VcoWaveformTriangle:
        output = nextTriangle();
        break;
    case VcoWaveformSawtoothUp:
        output = -nextSawtooth();
        break;
    case VcoWaveformSawtoothDown:
        output = nextSawtooth();
        break;
    case VcoWaveformSquare:
        output = nextSquare();
        break;
    case VcoWaveformPulse:
        output = nextPulse();
        break;
    default:
        break;
    }
    // Each waveform advanced the phase by its (whole or quarter) increment.
    phase = wrapPhaseOnce(phase);
    return output;
}
