// The panel's layout and the routing of knob and key actions to the engine.
#include "MainViewController.h"

#include "Color.h"
#include "DspPointer.h"
#include "Font.h"
#include "KeyboardView.h"
#include "PanelLayout.h"
#include "ParameterReadout.h"
#include "ZVLabel.h"
#include "Zelvar_GradientView.h"
#include "Zelvar_SimpleLineKnob.h"
#include "Zelvar_SimpleWaveformKnob.h"

#include <algorithm>
#include <array>
#include <cmath>

using toolkit::makeRect;

namespace {

// The parameter's row in the engine's table; every row there has a description.
ParameterDescription describe(ParameterType type) {
    ParameterDescription description{};
    DspGetParameterDescription(type, &description);
    return description;
}

} // namespace

MainViewController::MainViewController()
    : waveformKnob(new Zelvar_SimpleWaveformKnob()), lpfCutoffKnob(new Zelvar_SimpleLineKnob()),
      lpfResonanceKnob(new Zelvar_SimpleLineKnob()),
      octaveTransposeKnob(new Zelvar_SimpleLineKnob()), egAttackKnob(new Zelvar_SimpleLineKnob()),
      egDecayKnob(new Zelvar_SimpleLineKnob()), egSustainKnob(new Zelvar_SimpleLineKnob()),
      egReleaseKnob(new Zelvar_SimpleLineKnob()), masterOutputKnob(new Zelvar_SimpleLineKnob()),
      pluginParameter{{ParameterTypeOscillatorWaveform, 0}, {ParameterTypeOctaveTranspose, 1},
                      {ParameterTypeLpfCutoffFrequency, 2}, {ParameterTypeLpfResonance, 3},
                      {ParameterTypeVcaEgAttackTime, 4},    {ParameterTypeVcaEgDecayTime, 5},
                      {ParameterTypeVcaEgSustainLevel, 6},  {ParameterTypeVcaEgReleaseTime, 7},
                      {ParameterTypeMasterOutputLevel, 8}} {}

MainViewController::~MainViewController() {
    if (!viewLoaded) {
        for (Zelvar_SimpleKnob* knob : std::initializer_list<Zelvar_SimpleKnob*>{
                 waveformKnob, lpfCutoffKnob, lpfResonanceKnob, octaveTransposeKnob, egAttackKnob,
                 egDecayKnob, egSustainKnob, egReleaseKnob, masterOutputKnob})
            delete knob;
        return;
    }
    // A panel that no window took over goes with its controller, knobs included; one inside a
    // window is the window's.
    if (panel != nullptr && panel->parentWidget() == nullptr)
        delete panel.data();
}

toolkit::View* MainViewController::view() {
    if (!viewLoaded) {
        viewLoaded = true;
        loadView();
        viewDidLoad();
    }
    return panel.data();
}

void MainViewController::loadView() {
    auto* gradient = new Zelvar_GradientView();
    gradient->setFrameOrigin(toolkit::Point{0.0, 0.0});
    gradient->setFrameSize(toolkit::Size{panelWidth, panelHeight});
    panel = gradient;
}

void MainViewController::viewDidLoad() {
    // The knobs in the order of knobInfo, each starting at its parameter's default, which is
    // where the engine starts too.
    const std::array<Zelvar_SimpleKnob*, knobCount> knobs = {
        waveformKnob, octaveTransposeKnob, lpfCutoffKnob, lpfResonanceKnob, egAttackKnob,
        egDecayKnob,  egSustainKnob,       egReleaseKnob, masterOutputKnob};
    const auto places = PanelLayout::knobs();
    const std::optional<toolkit::Font> captionFont =
        toolkit::Font::withName(PanelLayout::fontFamily, PanelLayout::captionFontSize);
    for (int i = 0; i < knobCount; ++i) {
        const PanelLayout::KnobPlace& place = places[static_cast<size_t>(i)];
        Zelvar_SimpleKnob* knob = knobs[static_cast<size_t>(i)];
        knobInfo[static_cast<size_t>(i)] =
            KnobInfo{knob,
                     place.name,
                     place.frame,
                     place.resolution,
                     place.parameter,
                     describe(place.parameter).defaultNormalizedValue};
        const KnobInfo& info = *knobInfo[static_cast<size_t>(i)];
        knob->setFrame(info.frame);
        knob->resolution = info.resolution;
        knob->ringStartValue = 0.0;
        // Stored directly: the knob shows its default without rounding it to its positions and
        // without telling the delegate, so opening the panel posts nothing to the engine.
        knob->value = info.defaultValue;
        knob->assignedParameter = info.assign;
        knob->knobDelegate = this;
        knob->initialize();
        panel->addSubview(knob);
        knob->ringStartValue = place.ringStartValue;

        auto* caption = new ZVLabel();
        caption->setFrame(PanelLayout::captionFrame(info.frame));
        if (captionFont)
            caption->setFont(*captionFont);
        caption->setTextColor(PanelLayout::captionColor());
        caption->setStringValue(info.name);
        panel->addSubview(caption);
    }

    auto* keyboard = new KeyboardView();
    keyboard->setFrame(PanelLayout::keyboardFrame());
    keyboard->octaves = PanelLayout::keyboardOctaves;
    keyboard->keyboardDelegate = this;
    keyboard->initialize();
    panel->addSubview(keyboard);
}

std::optional<double> MainViewController::waveformEngineValue(double normalizedValue) {
    return PanelLayout::waveformEngineValue(normalizedValue);
}
void MainViewController::dspSetParameter(ParameterType parameterType, double normalizedValue) {
    if (parameterType == ParameterTypeOscillatorWaveform) {
        const std::optional<double> value = waveformEngineValue(normalizedValue);
        if (value)
            DspSetEvent(dspPointer, EventSubTypeParameter, ParameterTypeOscillatorWaveform, *value,
                        0.0, 0.0);
        return;
    }
    DspSetEvent(dspPointer, EventSubTypeParameter, parameterType, normalizedValue, 0.0, 0.0);
}

void MainViewController::dspNoteOn(double noteNumber, double) {
    DspSetEvent(dspPointer, EventSubTypeNoteOn, ParameterTypeNone, noteNumber,
                PanelLayout::keyboardVelocity, 0.0);
}

void MainViewController::dspNoteOff(double noteNumber) {
    DspSetEvent(dspPointer, EventSubTypeNoteOff, ParameterTypeNone, noteNumber, 0.0, 0.0);
}

void MainViewController::keyboardOctaveStep(int positions) {
    octaveTransposeKnob->stepPositions(positions);
}

std::string MainViewController::readoutText(const Zelvar_SimpleKnob& knob) {
    const double shown = knob.value;
    if (knob.assignedParameter == ParameterTypeOscillatorWaveform) {
        // What dspSetParameter posts for this position. The panel only moves the knob within
        // 0..1, where there always is one.
        const double held = std::isnan(shown) ? 0.0 : std::clamp(shown, 0.0, 1.0);
        return ParameterReadout::text(ParameterTypeOscillatorWaveform,
                                      waveformEngineValue(held).value_or(0.0));
    }
    return ParameterReadout::text(knob.assignedParameter, shown);
}

void MainViewController::knobReadoutChanged(Zelvar_SimpleKnob* knob) {
    if (knob == nullptr || panel == nullptr)
        return;
    if (knob->showsReadout()) {
        if (readout == nullptr) {
            readout = new KnobReadoutLabel();
            panel->addSubview(readout);
        }
        readoutKnob = knob;
        readout->present(knob->frame(), readoutText(*knob));
    } else if (readoutKnob == knob && readout != nullptr) {
        readout->dismiss();
        readoutKnob = nullptr;
    }
}

void MainViewController::showNotice(const std::string& text) {
    if (panel == nullptr || (text.empty() && notice == nullptr))
        return;
    if (notice == nullptr) {
        // Between the two knobs of the top row with room between them, over the knobs' height:
        // it hides nothing, and reads as the readouts do.
        notice = new toolkit::TextLabel(PanelLayout::noticeFrame());
        notice->setEditable(false);
        notice->setBordered(true);
        notice->setDrawsBackground(true);
        notice->setBackgroundColor(PanelLayout::readoutBackgroundColor());
        notice->setTextColor(toolkit::Color::darkGray());
        notice->setAlignment(toolkit::TextAlignment::center);
        notice->setLineBreakMode(toolkit::LineBreakMode::byWordWrapping);
        notice->setFont(
            toolkit::Font::withName(PanelLayout::fontFamily, PanelLayout::noticeFontSize)
                .value_or(toolkit::Font::systemFont(PanelLayout::noticeFontSize)));
        panel->addSubview(notice);
    }
    notice->setStringValue(text);
    notice->setHidden(text.empty());
    if (!text.empty())
        notice->raise();
}

void MainViewController::auParameterCallback(int64_t pluginParameterID, double normalizedValue) {
    if (pluginParameterID < 0 || pluginParameterID >= knobCount)
        return;
    const std::optional<KnobInfo>& info = knobInfo[static_cast<size_t>(pluginParameterID)];
    if (!info || info->knob == nullptr)
        return;
    info->knob->updateDisplay(normalizedValue);
}

toolkit::Rect MainViewController::ZVMakeRect(double x, double y, double width, double height,
                                             bool fromTop) {
    if (!fromTop)
        return makeRect(x, y, width, height);
    return makeRect(x, view()->frame().height() - (y + height), width, height);
}
