// The panel's layout and the routing of knob and key actions to the engine.
#include "MainViewController.h"

#include "Color.h"
#include "ColorCode.h"
#include "DspPointer.h"
#include "Font.h"
#include "KeyboardView.h"
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

constexpr double knobSize = 65.0;
constexpr double upperRowFromTop = 90.0;  // y = H − 90
constexpr double lowerRowFromTop = 195.0; // y = H − 195
constexpr double keyboardHeight = 120.0;
constexpr double keyboardInset = 0.0;
constexpr int keyboardOctaves = 2;
constexpr double captionFontSize = 13.0;
constexpr double captionHeight = 20.0;
constexpr double captionGap = 20.0;      // caption y = knob y − 20
constexpr double captionOverhang = 50.0; // on each side of the knob
constexpr double octaveRingStart = 0.5;  // transpose 0 in the middle, the ring grows either way
constexpr double keyboardVelocity = 100.0;

// The waveform knob has a position for each of its pictures, and each selects an engine
// waveform: sine, triangle, sawtooth, square and noise. The engine's pulse has no picture.
constexpr std::array<int, 5> waveformKnobSelects = {0, 1, 2, 3, 5};
constexpr int64_t waveformKnobPositions = waveformKnobSelects.size();
// The continuous knobs are turned in hundredths, whatever the parameter's own steps.
constexpr int64_t lineKnobPositions = 100;

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
    const double h = panel->frame().height();
    const double upper = h - upperRowFromTop;
    const double lower = h - lowerRowFromTop;

    // A knob starts at its parameter's default, which is where the engine starts too; the
    // octave knob has a position for each of the parameter's steps.
    auto entry = [](Zelvar_SimpleKnob* knob, const char* name, double x, double y,
                    int64_t resolution, ParameterType assign) {
        return KnobInfo{knob,       name,   makeRect(x, y, knobSize, knobSize),
                        resolution, assign, describe(assign).defaultNormalizedValue};
    };
    const int64_t octavePositions = describe(ParameterTypeOctaveTranspose).steps;
    // clang-format off
    knobInfo[0] = entry(waveformKnob,        "Waveform",  30,  upper, waveformKnobPositions, ParameterTypeOscillatorWaveform);
    knobInfo[1] = entry(octaveTransposeKnob, "Octave",    30,  lower, octavePositions,       ParameterTypeOctaveTranspose);
    knobInfo[2] = entry(lpfCutoffKnob,       "Cutoff",    145, upper, lineKnobPositions,     ParameterTypeLpfCutoffFrequency);
    knobInfo[3] = entry(lpfResonanceKnob,    "Resonance", 225, upper, lineKnobPositions,     ParameterTypeLpfResonance);
    knobInfo[4] = entry(egAttackKnob,        "Attack",    145, lower, lineKnobPositions,     ParameterTypeVcaEgAttackTime);
    knobInfo[5] = entry(egDecayKnob,         "Decay",     225, lower, lineKnobPositions,     ParameterTypeVcaEgDecayTime);
    knobInfo[6] = entry(egSustainKnob,       "Sustain",   305, lower, lineKnobPositions,     ParameterTypeVcaEgSustainLevel);
    knobInfo[7] = entry(egReleaseKnob,       "Release",   385, lower, lineKnobPositions,     ParameterTypeVcaEgReleaseTime);
    knobInfo[8] = entry(masterOutputKnob,    "Output",    385, upper, lineKnobPositions,     ParameterTypeMasterOutputLevel);
    // clang-format on

    const std::optional<toolkit::Font> captionFont =
        toolkit::Font::withName("Futura", captionFontSize);
    for (int i = 0; i < knobCount; ++i) {
        const KnobInfo& info = *knobInfo[static_cast<size_t>(i)];
        Zelvar_SimpleKnob* knob = info.knob;
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
        if (i == 1)
            knob->ringStartValue = octaveRingStart;

        auto* caption = new ZVLabel();
        toolkit::Rect captionFrame = caption->frame();
        captionFrame.origin.x = info.frame.minX() - captionOverhang;
        captionFrame.origin.y = info.frame.minY() - captionGap;
        captionFrame.size.height = captionHeight;
        captionFrame.size.width = info.frame.width() + 2 * captionOverhang;
        caption->setFrame(captionFrame);
        if (captionFont)
            caption->setFont(*captionFont);
        caption->setTextColor(toolkit::Color::darkGray());
        caption->setStringValue(info.name);
        panel->addSubview(caption);
    }

    auto* keyboard = new KeyboardView();
    keyboard->setFrameOrigin(toolkit::Point{keyboardInset, 0.0});
    const toolkit::Point origin = keyboard->frame().origin;
    keyboard->setFrame(
        makeRect(origin.x, origin.y, panel->frame().width() - 2 * origin.x, keyboardHeight));
    keyboard->octaves = keyboardOctaves;
    keyboard->keyboardDelegate = this;
    keyboard->initialize();
    panel->addSubview(keyboard);
}

std::optional<double> MainViewController::waveformEngineValue(double normalizedValue) {
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
    DspSetEvent(dspPointer, EventSubTypeNoteOn, ParameterTypeNone, noteNumber, keyboardVelocity,
                0.0);
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
        const toolkit::Rect left = lpfResonanceKnob->frame();
        const toolkit::Rect right = masterOutputKnob->frame();
        constexpr double gap = 6.0;
        notice = new toolkit::TextLabel(toolkit::makeRect(
            left.maxX() + gap, right.minY(), right.minX() - left.maxX() - 2 * gap, right.height()));
        notice->setEditable(false);
        notice->setBordered(true);
        notice->setDrawsBackground(true);
        notice->setBackgroundColor(initWithColorCode("#fefff9"));
        notice->setTextColor(toolkit::Color::darkGray());
        notice->setAlignment(toolkit::TextAlignment::center);
        notice->setLineBreakMode(toolkit::LineBreakMode::byWordWrapping);
        notice->setFont(
            toolkit::Font::withName("Futura", 11.0).value_or(toolkit::Font::systemFont(11.0)));
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
