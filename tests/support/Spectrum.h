// The magnitude spectrum of a whole rendered signal (FFTW) and what the oscillator tests read
// from it: the amplitude of one bin and the worst alias.
#pragma once

#include <vector>

namespace analysis {

// |X[k]| for k = 0 .. n/2 of the plain (rectangular-window) DFT. With a one-second render at an
// integer frequency every harmonic and every alias falls on an exact bin.
std::vector<double> magnitudeSpectrum(const std::vector<double>& signal);

// Amplitude of a sinusoid sitting exactly on bin k of an n-point spectrum.
double binAmplitude(const std::vector<double>& magnitude, int k, int n);

// The strongest bin that is not a multiple of fundamentalBin (nor DC), in dB relative to the
// fundamental.
double worstAliasDb(const std::vector<double>& magnitude, int fundamentalBin);

} // namespace analysis
