// How each piece of the panel is drawn, written once for every painter: the knob's layers,
// the line knob's pointer, the waveform picture, a key of the keyboard and the panel's
// gradient. Each draws into the current GraphicsContext in the piece's own y-up coordinates,
// origin at its lower-left corner, whether the Qt views of the program or the plugin's cairo
// window call it.
#pragma once

#include "Color.h"
#include "Geometry.h"
#include "KeyType.h"
#include "Waveform.h"

struct KnobLook {
    toolkit::Color background;
    toolkit::Color backgroundCircle;
    toolkit::Color ring;
    toolkit::Color ringBackground;
    toolkit::Color center;
    double startAngle = 45.0;
    double endAngle = 315.0;
    double ringWidth = 0.2;

    // The panel's knobs: pale rose disc, cyan ring, cream centre.
    static KnobLook standard();
};

class PanelPainting {
public:
    // Background, outer disc, travel arc, value ring from `ringStartValue` to `value`, inner
    // disc and zero mark.
    static void knob(const KnobLook& look, toolkit::Size size, double value, double ringStartValue);
    // The line knob's pointer from the centre to the rim, over disc and ring.
    static void linePointer(const KnobLook& look, toolkit::Size size, double value);
    // Where the waveform knob's picture sits: flatter than the inner disc.
    static toolkit::Rect waveformPictureFrame(const KnobLook& look, toolkit::Size knobSize);
    static constexpr double waveformMargin = 0.1;
    static void waveformPicture(Waveform waveform, toolkit::Size size, double margin,
                                const toolkit::Color& background);
    // A pressed key is a shade darker: white keys light grey without their frame, black keys
    // grey.
    static void key(KeyType type, bool pressed, toolkit::Size size);
    // The panel's gradient, its axis 20° below +x so the start colour lies upper left.
    static void background(toolkit::Size size);
};
