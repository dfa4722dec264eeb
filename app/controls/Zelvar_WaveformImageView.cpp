// The waveform picture as the panel's description draws it.
#include "Zelvar_WaveformImageView.h"

#include "PanelPainting.h"

Zelvar_WaveformImageView::Zelvar_WaveformImageView() : Zelvar_WaveformImageView(toolkit::Rect{}) {}

Zelvar_WaveformImageView::Zelvar_WaveformImageView(toolkit::Rect frame) : View(frame) {}

void Zelvar_WaveformImageView::draw(toolkit::Rect) {
    PanelPainting::waveformPicture(waveform, frame().size, margin, backgroundColor);
}
