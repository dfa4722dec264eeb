// Triangular (TPDF) dither for reducing float samples to integers: the sum of two independent
// uniform values, spanning −1 to +1 least significant bit. Added before rounding, it makes the
// rounding error noise that is independent of the signal, instead of distortion that follows
// it, at the cost of a little more noise.
//
// The generator is seeded with a constant, and std::mt19937's sequence is fixed by the
// language, so the same samples always get the same dither: renders stay byte-identical.
#pragma once

#include <cstdint>
#include <random>

class TpdfDither {
public:
    static constexpr uint32_t defaultSeed = 0x436f7276;

    explicit TpdfDither(uint32_t seed = defaultSeed) : generator(seed) {}

    // In least significant bits, within (−1, 1).
    double next() { return uniform() - uniform(); }

    // `sample` (full scale ±1.0) as a signed integer of `bits` bits, dithered, rounded to
    // nearest and clipped to the integer range.
    int32_t quantize(float sample, int bits);
    // The same without dither, for sample formats deep enough not to need it.
    static int32_t rounded(float sample, int bits) { return toInteger(sample, bits, 0.0); }

private:
    // `sample` scaled to `bits` bits, `offset` least significant bits added, rounded to nearest
    // and clipped. NaN never comes from the engine; should it, it becomes silence rather than
    // undefined.
    static int32_t toInteger(float sample, int bits, double offset);

    // [0, 1) from the generator's raw 32 bits (the library's distributions are not the same
    // everywhere; the generator is).
    double uniform() { return double(generator()) * (1.0 / 4294967296.0); }

    std::mt19937 generator;
};
