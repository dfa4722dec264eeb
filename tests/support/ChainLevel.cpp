#include "ChainLevel.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace chain {

namespace {

constexpr double engineRate = 44100.0;

std::complex<double> biquadResponse(double b0, double b1, double b2, double a1, double a2,
                                    double frequencyHz) {
    const std::complex<double> z1 =
        std::polar(1.0, -2.0 * std::numbers::pi * frequencyHz / engineRate);
    return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
}

} // namespace

double predictedSineLevel(double frequencyHz, int velocity, ParameterSource parameter,
                          const void* context) {
    const double lpCutoff = parameter(ParameterTypeLpfCutoffFrequency, context);
    const double lpQ = parameter(ParameterTypeLpfResonance, context);
    double k = std::tan(std::numbers::pi * lpCutoff / engineRate);
    double d = 1.0 + k / lpQ + k * k;
    const double lowPass =
        std::norm(biquadResponse(k * k / d, 2 * k * k / d, k * k / d, (2 * k * k - 2) / d,
                                 (1 - k / lpQ + k * k) / d, frequencyHz)) *
        2.0 / lpQ;
    const double hpCutoff = parameter(ParameterTypeHpfCutoffFrequency, context);
    const double hpQ = parameter(ParameterTypeHpfResonance, context);
    k = std::tan(std::numbers::pi * hpCutoff / engineRate);
    d = 1.0 + k / hpQ + k * k;
    const double highPass = std::abs(biquadResponse(1 / d, -2 / d, 1 / d, (2 * k * k - 2) / d,
                                                    (1 - k / hpQ + k * k) / d, frequencyHz)) /
                            hpQ;
    return lowPass * highPass * parameter(ParameterTypeVcaEgSustainLevel, context) *
           velocity_default[velocity] * parameter(ParameterTypeMasterOutputLevel, context) * 0.1;
}

double predictedSineLevel(DspObject engine, double frequencyHz, int velocity) {
    return predictedSineLevel(
        frequencyHz, velocity,
        [](ParameterType type, const void* context) {
            return DspGetParameterInfo(const_cast<void*>(context), type).currentValue;
        },
        engine);
}

double predictedSineLevelAtDefaults(double frequencyHz, int velocity) {
    return predictedSineLevel(
        frequencyHz, velocity,
        [](ParameterType type, const void*) {
            ParameterDescription description{};
            DspGetParameterDescription(type, &description);
            return description.defaultValue;
        },
        nullptr);
}

} // namespace chain
