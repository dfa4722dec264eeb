// Knob values are kept as positions on the travel (what the program's knobs hold); the host
// hears them in the parameter's own unit through the engine's scaling, and the waveform knob's
// five pictures map onto the engine's waveforms as in the program.
#include "PluginPanel.h"

#include "KnobTravel.h"
#include "PanelPainting.h"
#include "ParameterReadout.h"

#include <algorithm>
#include <cmath>

namespace {
// The program's knobs follow a vertical drag over 300 points for a full turn.
constexpr double linearTrackingRange = 300.0;
// A readout is drawn this much larger than its frame to clear its frame line's antialiasing.
constexpr double readoutBleed = 1.0;
} // namespace

PluginPanel::PluginPanel(Listener& listener) : listener(listener), places(PanelLayout::knobs()) {
    for (int i = 0; i < knobCount(); ++i) {
        ParameterDescription row{};
        DspGetParameterDescription(places[static_cast<size_t>(i)].parameter, &row);
        setHostValue(places[static_cast<size_t>(i)].parameter, row.defaultValue);
    }
    const toolkit::Rect k = PanelLayout::keyboardFrame();
    keys.compute(k.width(), k.height(), PanelLayout::keyboardOctaves);
}

void PluginPanel::setHostValue(ParameterType parameter, double value) {
    if (std::isnan(value))
        return;
    for (int i = 0; i < knobCount(); ++i) {
        const PanelLayout::KnobPlace& place = places[static_cast<size_t>(i)];
        if (place.parameter != parameter)
            continue;
        const double normalized = std::clamp(DspGetNormalizedValue(parameter, value), 0.0, 1.0);
        const double shown = parameter == ParameterTypeOscillatorWaveform
                                 ? PanelLayout::waveformKnobValue(normalized)
                                 : KnobTravel::discretedValue(normalized, place.resolution);
        if (shown != values[static_cast<size_t>(i)]) {
            values[static_cast<size_t>(i)] = shown;
            invalidateKnob(i);
        }
    }
}

double PluginPanel::plainValue(int knobIndex, double knobValue) const {
    const ParameterType parameter = places[static_cast<size_t>(knobIndex)].parameter;
    double normalized = knobValue;
    if (parameter == ParameterTypeOscillatorWaveform)
        normalized = PanelLayout::waveformEngineValue(knobValue).value_or(0.0);
    return DspGetScaledValue(parameter, normalized);
}

void PluginPanel::edit(int knobIndex, double value) {
    const PanelLayout::KnobPlace& place = places[static_cast<size_t>(knobIndex)];
    const double q = KnobTravel::discretedValue(std::clamp(value, 0.0, 1.0), place.resolution);
    if (q == values[static_cast<size_t>(knobIndex)])
        return;
    values[static_cast<size_t>(knobIndex)] = q;
    listener.valueEdited(place.parameter, plainValue(knobIndex, q));
    invalidateKnob(knobIndex);
}

std::optional<int> PluginPanel::knobAt(toolkit::Point p) const {
    for (int i = 0; i < knobCount(); ++i)
        if (places[static_cast<size_t>(i)].frame.contains(p))
            return i;
    return std::nullopt;
}

void PluginPanel::mouseDown(toolkit::Point p) {
    if (const auto k = knobAt(p)) {
        const KnobLook look = KnobLook::standard();
        const KnobTravel::LinearBand b =
            KnobTravel::linearBand(p.y, values[static_cast<size_t>(*k)], look.startAngle,
                                   look.endAngle, linearTrackingRange);
        bandMin = b.minCoordinate;
        bandMax = b.maxCoordinate;
        dragged = k;
        listener.gestureBegan(places[static_cast<size_t>(*k)].parameter);
        invalidateKnob(*k); // the readout shows
        return;
    }
    if (PanelLayout::keyboardFrame().contains(p)) {
        heldKey = keys.judgeKeyIndex(p.x, p.y, false);
        listener.noteOn(PanelLayout::keyboardLowestNote + heldKey,
                        static_cast<int>(PanelLayout::keyboardVelocity));
        invalidateKey(heldKey);
    }
}

void PluginPanel::mouseDragged(toolkit::Point p) {
    if (dragged) {
        const KnobTravel::LinearBand b{bandMin, bandMax};
        edit(*dragged, KnobTravel::linearValue(KnobTravel::clampToBand(p.y, b), b));
        return;
    }
    if (heldKey < 0)
        return;
    // Sliding along the keyboard plays each key it reaches, as in the program.
    const int k = keys.judgeKeyIndex(p.x, p.y, false);
    if (k == heldKey)
        return;
    listener.noteOff(PanelLayout::keyboardLowestNote + heldKey);
    invalidateKey(heldKey);
    heldKey = k;
    listener.noteOn(PanelLayout::keyboardLowestNote + k,
                    static_cast<int>(PanelLayout::keyboardVelocity));
    invalidateKey(k);
}

void PluginPanel::mouseUp(toolkit::Point p) {
    if (dragged) {
        const int k = *dragged;
        dragged.reset();
        listener.gestureEnded(places[static_cast<size_t>(k)].parameter);
        invalidateKnob(k);
    }
    if (heldKey >= 0) {
        listener.noteOff(PanelLayout::keyboardLowestNote + heldKey);
        invalidateKey(heldKey);
        heldKey = -1;
    }
    setHover(knobAt(p));
}

void PluginPanel::mouseMoved(toolkit::Point p) {
    setHover(knobAt(p));
}

void PluginPanel::scroll(toolkit::Point p, double notches) {
    const auto k = knobAt(p);
    setHover(k);
    if (!k || dragged)
        return;
    double& remainder = wheelRemainder[static_cast<size_t>(*k)];
    const KnobTravel::WheelSteps steps =
        KnobTravel::wheelSteps(remainder, notches * KnobTravel::wheelNotch);
    remainder = steps.remainder;
    if (steps.positions == 0)
        return;
    const PanelLayout::KnobPlace& place = places[static_cast<size_t>(*k)];
    const double before = values[static_cast<size_t>(*k)];
    const double target = KnobTravel::steppedValue(before, steps.positions, place.resolution);
    if (target == before) {
        remainder = 0.0; // turning on past an end gathers nothing
        return;
    }
    // Each notch is a gesture of its own, so hosts record it as one change.
    listener.gestureBegan(place.parameter);
    edit(*k, target);
    listener.gestureEnded(place.parameter);
}

void PluginPanel::releaseEverything() {
    if (dragged) {
        listener.gestureEnded(places[static_cast<size_t>(*dragged)].parameter);
        dragged.reset();
    }
    if (heldKey >= 0) {
        listener.noteOff(PanelLayout::keyboardLowestNote + heldKey);
        heldKey = -1;
    }
}

std::optional<int> PluginPanel::readoutKnob() const {
    return dragged ? dragged : hovered;
}

std::string PluginPanel::readoutText() const {
    const auto k = readoutKnob();
    if (!k)
        return {};
    const ParameterType parameter = places[static_cast<size_t>(*k)].parameter;
    const double v = values[static_cast<size_t>(*k)];
    if (parameter == ParameterTypeOscillatorWaveform)
        return ParameterReadout::text(parameter, PanelLayout::waveformEngineValue(v).value_or(0.0));
    return ParameterReadout::text(parameter, v);
}

toolkit::Rect PluginPanel::readoutFrame(double textWidth, double lineHeight) const {
    const auto k = readoutKnob();
    if (!k)
        return {};
    const toolkit::Size size{std::ceil(textWidth + 2 * PanelLayout::readoutTextMargin),
                             std::ceil(lineHeight)};
    return PanelLayout::readoutFrame(places[static_cast<size_t>(*k)].frame, size,
                                     PanelLayout::width);
}

void PluginPanel::setHover(std::optional<int> knobIndex) {
    if (knobIndex == hovered)
        return;
    if (hovered)
        invalidateKnob(*hovered);
    hovered = knobIndex;
    if (hovered)
        invalidateKnob(*hovered);
}

void PluginPanel::invalidateKnob(int knobIndex) {
    // The knob, and the band under it where its caption and readout lie: the readout may have
    // grown, shrunk or gone, and it may reach the panel's edges.
    const toolkit::Rect f = places[static_cast<size_t>(knobIndex)].frame;
    const toolkit::Rect caption = PanelLayout::captionFrame(f);
    listener.invalidate(toolkit::makeRect(0.0, caption.minY() - readoutBleed, PanelLayout::width,
                                          f.maxY() - caption.minY() + 2 * readoutBleed));
}

void PluginPanel::invalidateKey(int keyIndex) {
    for (const KeyboardLayout::Key& key : keys.keys())
        if (key.keyIndex == keyIndex) {
            // A white key lies under its black neighbours: redraw them over it.
            const toolkit::Rect k = PanelLayout::keyboardFrame();
            listener.invalidate(
                toolkit::makeRect(key.frame.minX() - k.width() / 28.0, key.frame.minY(),
                                  key.frame.width() + k.width() / 14.0, key.frame.height()));
        }
}
