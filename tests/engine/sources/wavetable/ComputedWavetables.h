// The sawtooth and triangle sets computed from their formulas (no files), once for the test
// program; the oscillator tests read them and never change them.
#pragma once

#include "Zelvar_WavetableProvider.h"

#include <memory>

inline Zelvar_WavetableProvider* computedWavetables() {
    static const std::unique_ptr<Zelvar_WavetableProvider> provider = [] {
        auto computed = std::make_unique<Zelvar_WavetableProvider>(2048, 500);
        computed->createSawtoothUpWavetable();
        computed->createTriangleWavetable();
        return computed;
    }();
    return provider.get();
}
