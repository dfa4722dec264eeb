// The waveform knob: a knob with a waveform picture in its middle showing what its position
// selects — sine, triangle, sawtooth, square, noise for positions 0 to 4.
#pragma once

#include "Zelvar_SimpleKnob.h"
#include "Zelvar_WaveformImageView.h"

#include <memory>
#include <optional>

class Zelvar_SimpleWaveformKnob : public Zelvar_SimpleKnob {
public:
    Zelvar_SimpleWaveformKnob();
    explicit Zelvar_SimpleWaveformKnob(toolkit::Rect frame);
    ~Zelvar_SimpleWaveformKnob() override;

    void initialize() override;
    void updateDisplay(double normalizedValue) override;

    // The picture a knob position selects, or nothing for a position outside 0..4.
    static std::optional<Waveform> waveformForPosition(long long position);

    // Owned by the knob; a subview once `initialize` has run.
    std::unique_ptr<Zelvar_WaveformImageView> waveformImageView;
};
