// Waveform image drawing.
#include "Zelvar_WaveformImageView.h"

#include "BezierPath.h"
#include "WaveformPicture.h"

Zelvar_WaveformImageView::Zelvar_WaveformImageView() : Zelvar_WaveformImageView(toolkit::Rect{}) {}

Zelvar_WaveformImageView::Zelvar_WaveformImageView(toolkit::Rect frame) : View(frame) {}

void Zelvar_WaveformImageView::draw(toolkit::Rect) {
    const double w = frame().width(), h = frame().height();
    backgroundColor.set();
    toolkit::BezierPath::withRect(toolkit::makeRect(0, 0, w, h)).fill();

    const auto points = WaveformPicture::points(waveform, w, h, margin);
    if (points.empty()) {
        return;
    }
    toolkit::BezierPath path;
    path.moveTo(points.front());
    for (size_t i = 1; i < points.size(); ++i) {
        path.lineTo(points[i]);
    }
    path.setLineWidth(2.0);
    toolkit::Color::black().set();
    path.stroke();
}
