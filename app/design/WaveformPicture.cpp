// Waveform picture geometry. The sine is sampled once per point of width, so it reads as a
// smooth curve at the picture's small size without a curve primitive.
#include "WaveformPicture.h"

#include <cmath>

using toolkit::Point;

std::vector<Point> WaveformPicture::points(Waveform waveform, double width, double height,
                                           double margin) {
    const double w = width, h = height;
    const double x0 = margin * w, yB = margin * h;
    const double iw = (1 - 2 * margin) * w, ih = (1 - 2 * margin) * h;
    switch (waveform) {
    case Waveform::sine: {
        std::vector<Point> path{Point{x0, h / 2}};
        const int n = static_cast<int>(iw) + 1;
        for (int i = 0; i <= n; ++i) {
            path.push_back(Point{x0 + i, h / 2 + 0.5 * ih * std::sin(2 * M_PI * i / iw)});
        }
        return path;
    }
    case Waveform::triangle:
        return {Point{x0, h / 2}, Point{x0 + 0.25 * iw, h - yB}, Point{x0 + 0.75 * iw, yB},
                Point{w - x0, h / 2}};
    case Waveform::sawtooth:
        return {Point{x0, yB}, Point{x0, h - yB}, Point{w - x0, yB}};
    case Waveform::square:
        return {Point{x0, h / 2}, Point{x0, h - yB}, Point{w / 2, h - yB},
                Point{w / 2, yB}, Point{w - x0, yB}, Point{w - x0, h / 2}};
    case Waveform::noise: {
        std::vector<Point> path{Point{x0, h / 2}};
        constexpr double fractions[][2] = {{0.15, 1.0}, {0.35, 0.15}, {0.5, 0.45},
                                           {0.7, 0.0},  {0.9, 0.7},   {1.0, 0.5}};
        for (const auto& f : fractions) {
            path.push_back(Point{x0 + f[0] * iw, yB + f[1] * ih});
        }
        return path;
    }
    case Waveform::pulse25:
    case Waveform::pulse75:
        break;
    }
    return {};
}

std::optional<Waveform> WaveformPicture::forKnobPosition(long long position) {
    switch (position) {
    case 0:
        return Waveform::sine;
    case 1:
        return Waveform::triangle;
    case 2:
        return Waveform::sawtooth;
    case 3:
        return Waveform::square;
    case 4:
        return Waveform::noise;
    default:
        return std::nullopt;
    }
}
