// The waveform knob places its picture flatter than the inner disc, in the disc's colour so
// the two merge, and changes the picture with each shown value.
#include "Zelvar_SimpleWaveformKnob.h"

#include "MainQueue.h"
#include "WaveformPicture.h"

#include <QPointer>

#include <cmath>

Zelvar_SimpleWaveformKnob::Zelvar_SimpleWaveformKnob()
    : Zelvar_SimpleWaveformKnob(toolkit::Rect{}) {}

Zelvar_SimpleWaveformKnob::Zelvar_SimpleWaveformKnob(toolkit::Rect frame)
    : Zelvar_SimpleKnob(frame), waveformImageView(std::make_unique<Zelvar_WaveformImageView>()) {}

// The picture is deleted here, before the widget base would delete it as a child.
Zelvar_SimpleWaveformKnob::~Zelvar_SimpleWaveformKnob() = default;

std::optional<Waveform> Zelvar_SimpleWaveformKnob::waveformForPosition(long long position) {
    return WaveformPicture::forKnobPosition(position);
}

void Zelvar_SimpleWaveformKnob::initialize() {
    computeCenters();
    waveformImageView->setFrame(PanelPainting::waveformPictureFrame(look(), frame().size));
    waveformImageView->backgroundColor = centerColor;
    addSubview(waveformImageView.get());
}

void Zelvar_SimpleWaveformKnob::updateDisplay(double normalizedValue) {
    const double q = getDiscretedValue(normalizedValue);
    value = q;
    QPointer<Zelvar_SimpleWaveformKnob> knob(this);
    toolkit::MainQueue::async([knob, q] {
        if (!knob) {
            return;
        }
        knob->display();
        const long long position = std::llround(static_cast<double>(knob->resolution - 1) * q);
        if (const auto waveform = waveformForPosition(position)) {
            knob->waveformImageView->waveform = *waveform;
            knob->waveformImageView->display();
        }
        knob->valueShown();
    });
}
