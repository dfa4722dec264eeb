// Constants of the oscillators' and filters' formulas, each the double the engine has always
// computed with (the wavetables and the golden renders depend on their bits).
#pragma once

#include <numbers>

// One cycle of phase in radians.
inline constexpr double twoPi = 2.0 * std::numbers::pi;
// The Fourier-series scales of the band-limited sawtooth (2/pi) and triangle (8/pi^2).
inline constexpr double twoOverPi = 2.0 / std::numbers::pi;
inline constexpr double eightOverPiSquared = 8.0 / (std::numbers::pi * std::numbers::pi);
