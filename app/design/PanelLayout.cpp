// The panel's rows sit at fixed distances from its top edge, with the keyboard along the
// bottom; captions hang 20 points under their knobs.
#include "PanelLayout.h"

#include "ColorCode.h"

#include <algorithm>
#include <cmath>

using toolkit::makeRect;

namespace {

constexpr double knobSize = 65.0;
constexpr double upper = PanelLayout::height - 90.0;
constexpr double lower = PanelLayout::height - 195.0;
constexpr double keyboardHeight = 120.0;
constexpr double captionHeight = 20.0;
constexpr double captionGap = 20.0;
constexpr double captionOverhang = 50.0;
// The continuous knobs are turned in hundredths, whatever the parameter's own steps.
constexpr int64_t lineKnobPositions = 100;
// Each waveform picture selects an engine waveform: sine, triangle, sawtooth, square and
// noise. The engine's pulse has no picture.
constexpr std::array<int, PanelLayout::waveformKnobPositions> waveformKnobSelects = {0, 1, 2, 3, 5};

ParameterDescription describe(ParameterType type) {
    ParameterDescription description{};
    DspGetParameterDescription(type, &description);
    return description;
}

} // namespace

std::array<PanelLayout::KnobPlace, PanelLayout::knobCount> PanelLayout::knobs() {
    const int64_t octave = describe(ParameterTypeOctaveTranspose).steps;
    auto at = [](double x, double y) { return makeRect(x, y, knobSize, knobSize); };
    // clang-format off
    return {{
        {ParameterTypeOscillatorWaveform, "Waveform",  at(30, upper),  waveformKnobPositions, 0.0},
        {ParameterTypeOctaveTranspose,    "Octave",    at(30, lower),  octave,                0.5},
        {ParameterTypeLpfCutoffFrequency, "Cutoff",    at(145, upper), lineKnobPositions,     0.0},
        {ParameterTypeLpfResonance,       "Resonance", at(225, upper), lineKnobPositions,     0.0},
        {ParameterTypeVcaEgAttackTime,    "Attack",    at(145, lower), lineKnobPositions,     0.0},
        {ParameterTypeVcaEgDecayTime,     "Decay",     at(225, lower), lineKnobPositions,     0.0},
        {ParameterTypeVcaEgSustainLevel,  "Sustain",   at(305, lower), lineKnobPositions,     0.0},
        {ParameterTypeVcaEgReleaseTime,   "Release",   at(385, lower), lineKnobPositions,     0.0},
        {ParameterTypeMasterOutputLevel,  "Output",    at(385, upper), lineKnobPositions,     0.0},
    }};
    // clang-format on
}

toolkit::Rect PanelLayout::captionFrame(toolkit::Rect knobFrame) {
    return makeRect(knobFrame.minX() - captionOverhang, knobFrame.minY() - captionGap,
                    knobFrame.width() + 2 * captionOverhang, captionHeight);
}

toolkit::Rect PanelLayout::keyboardFrame() {
    return makeRect(0.0, 0.0, width, keyboardHeight);
}

toolkit::Rect PanelLayout::noticeFrame() {
    const auto places = knobs();
    const toolkit::Rect left = places[3].frame;  // resonance
    const toolkit::Rect right = places[8].frame; // output
    constexpr double gap = 6.0;
    return makeRect(left.maxX() + gap, right.minY(), right.minX() - left.maxX() - 2 * gap,
                    right.height());
}

toolkit::Rect PanelLayout::readoutFrame(toolkit::Rect knobFrame, toolkit::Size size,
                                        double parentWidth) {
    const double centre = knobFrame.minX() + knobFrame.width() / 2.0;
    const double x =
        std::clamp(centre - size.width / 2.0, 0.0, std::max(0.0, parentWidth - size.width));
    return makeRect(x, knobFrame.minY() - size.height, size.width, size.height);
}

toolkit::Color PanelLayout::readoutBackgroundColor() {
    return initWithColorCode("#fefff9");
}

std::optional<double> PanelLayout::waveformEngineValue(double normalizedValue) {
    // Halves go away from zero, so 0.375 selects position 2 and 0.625 position 3. A NaN fails
    // every comparison and selects nothing.
    const double last = static_cast<double>(waveformKnobPositions - 1);
    const double k = std::round(normalizedValue * last);
    if (!(k >= 0.0 && k <= last))
        return std::nullopt;
    // The engine's waveform, normalized over the parameter's steps: position 4, the noise
    // picture, is engine waveform 5 of 0..5, so it posts 1.0.
    const double lastWaveform =
        static_cast<double>(describe(ParameterTypeOscillatorWaveform).steps - 1);
    return waveformKnobSelects[static_cast<std::size_t>(k)] / lastWaveform;
}

double PanelLayout::waveformKnobValue(double engineNormalizedValue) {
    const double lastWaveform =
        static_cast<double>(describe(ParameterTypeOscillatorWaveform).steps - 1);
    const double v = std::isnan(engineNormalizedValue) ? 0.0 : engineNormalizedValue;
    const long waveform = std::lround(std::clamp(v, 0.0, 1.0) * lastWaveform);
    std::size_t position = 0;
    for (std::size_t k = 0; k < waveformKnobSelects.size(); ++k)
        if (waveformKnobSelects[k] <= waveform)
            position = k;
    return static_cast<double>(position) / static_cast<double>(waveformKnobPositions - 1);
}
