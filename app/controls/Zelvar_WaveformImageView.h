// A small view that draws one waveform picture as a black line over its background colour;
// the waveform knob carries one in its middle.
//
// It reports itself opaque, as it is only shown over the knob's opaque inner-disc colour; the
// flag is informational and does not stop what lies beneath from being drawn first.
#pragma once

#include "Color.h"
#include "View.h"
#include "Waveform.h"

class Zelvar_WaveformImageView : public toolkit::View {
public:
    Zelvar_WaveformImageView();
    explicit Zelvar_WaveformImageView(toolkit::Rect frame);

    bool isOpaque() const override { return true; }
    void draw(toolkit::Rect dirtyRect) override;

    Waveform waveform = Waveform::sine;
    double margin = 0.1;
    toolkit::Color backgroundColor = toolkit::Color::clear();
};
