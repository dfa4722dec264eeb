// The panel's description, free of any toolkit: its size, where each knob, caption and the
// keyboard sit, how many positions each knob has, the captions' and readout's fonts and
// colours, and how the waveform knob's positions select the engine's waveforms.
//
// The program's Qt panel and the plugin's cairo window both lay themselves out from here, so
// the two cannot drift apart. Frames are y up, origin at the panel's lower-left corner. What a
// knob's parameter is called, its default and its steps come from the engine's table.
#pragma once

#include "Color.h"
#include "Corvena_Core.h"
#include "Geometry.h"

#include <array>
#include <cstdint>
#include <optional>

class PanelLayout {
public:
    static constexpr double width = 480.0;
    static constexpr double height = 360.0;
    static constexpr int knobCount = 9;
    static constexpr int keyboardOctaves = 2;
    // The keyboard's lowest key is middle C.
    static constexpr int keyboardLowestNote = 60;
    static constexpr double keyboardVelocity = 100.0;
    static constexpr double captionFontSize = 13.0;
    static constexpr double readoutFontSize = 12.0;
    static constexpr double noticeFontSize = 11.0;
    // The panel's font family as the desktop it was drawn for names it.
    static constexpr const char* fontFamily = "Futura";
    // Its close relative from the URW base-35 set, where the desktop lacks it.
    static constexpr const char* fontStandIn = "URW Gothic";
    // The waveform knob has a position for each of its pictures.
    static constexpr int64_t waveformKnobPositions = 5;

    struct KnobPlace {
        ParameterType parameter;
        const char* name;
        toolkit::Rect frame;
        // Positions the knob is turned in.
        int64_t resolution;
        // Where its ring starts: the octave knob's grows either way from the middle.
        double ringStartValue;
    };

    // In the order the panel stacks them: waveform, octave, cutoff, resonance, attack, decay,
    // sustain, release, output.
    static std::array<KnobPlace, knobCount> knobs();
    // The caption under a knob: as wide as the knob with overhang on both sides.
    static toolkit::Rect captionFrame(toolkit::Rect knobFrame);
    static toolkit::Rect keyboardFrame();
    // Where the notice shows while the sound is gone: between the top row's knobs with room.
    static toolkit::Rect noticeFrame();
    static toolkit::Color captionColor() { return toolkit::Color::darkGray(); }
    // Where a readout of `size` goes for a knob at `knobFrame` on a panel `parentWidth` wide:
    // centred under the knob over its caption, pushed inwards at the panel's edges.
    static toolkit::Rect readoutFrame(toolkit::Rect knobFrame, toolkit::Size size,
                                      double parentWidth);
    // Room beside the readout's text inside its frame, on each side.
    static constexpr double readoutTextMargin = 5.0;
    // The readout's and the notice's background.
    static toolkit::Color readoutBackgroundColor();

    // The engine's normalized waveform for a waveform-knob value, or nothing for a value that
    // selects no position (NaN, outside 0..1).
    static std::optional<double> waveformEngineValue(double normalizedValue);
    // The waveform knob's value that shows an engine waveform (normalized over its steps);
    // a waveform without a picture shows the nearest position below it.
    static double waveformKnobValue(double engineNormalizedValue);
};
