// The panel's description drawn by both painters: the Qt views' and the plugin window's cairo
// painter must agree on every piece within what two anti-aliasing renderers differ by, and the
// description itself must hold together (knobs on the panel, the waveform knob's positions
// round-tripping through the engine's waveforms).
#include "PanelPainting.h"
#include "BezierPath.h"
#include "CairoGraphicsContext.h"
#include "PanelLayout.h"
#include "QtGraphicsContext.h"

#include <QImage>
#include <QPainter>
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

using Drawing = std::function<void()>;

QImage drawWithQt(int width, int height, const Drawing& draw) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0.0, height);
    painter.scale(1.0, -1.0);
    toolkit::QtGraphicsContext context(painter, height);
    draw();
    return image;
}

QImage drawWithCairo(int width, int height, const Drawing& draw) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    {
        toolkit::CairoGraphicsContext context(cr, toolkit::makeRect(0, 0, width, height), height);
        draw();
    }
    cairo_surface_flush(surface);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), data + y * stride, static_cast<size_t>(width) * 4);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return image;
}

struct Difference {
    double mean = 0.0;     // per channel, 0..255
    double farShare = 0.0; // of pixels, some channel off by more than a quarter
};

Difference compare(const QImage& a, const QImage& b) {
    Difference d;
    long long sum = 0, far = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int dr = std::abs(qRed(p) - qRed(q)), dg = std::abs(qGreen(p) - qGreen(q));
            const int db = std::abs(qBlue(p) - qBlue(q));
            sum += dr + dg + db;
            far += std::max({dr, dg, db}) > 64;
        }
    const double pixels = static_cast<double>(a.width()) * a.height();
    d.mean = static_cast<double>(sum) / (3 * pixels);
    d.farShare = static_cast<double>(far) / pixels;
    return d;
}

void expectPaintersAgree(int width, int height, const Drawing& draw, const char* what) {
    const QImage qt = drawWithQt(width, height, draw);
    const QImage cairo = drawWithCairo(width, height, draw);
    const Difference d = compare(qt, cairo);
    EXPECT_LT(d.mean, 2.0) << what;
    EXPECT_LT(d.farShare, 0.01) << what;
    // And the painters drew something: the white key's frame, every other piece's body.
    QImage white(width, height, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    EXPECT_GT(compare(qt, white).mean, 1.0) << what;
}

TEST(TwoPainters, AgreeOnEveryPieceOfThePanel) {
    const KnobLook look = KnobLook::standard();
    for (double value : {0.0, 0.3, 0.5, 1.0}) {
        expectPaintersAgree(
            65, 65,
            [&] {
                PanelPainting::knob(look, toolkit::Size{65, 65}, value, 0.0);
                PanelPainting::linePointer(look, toolkit::Size{65, 65}, value);
            },
            "line knob");
    }
    // The octave knob's ring grows either way from the middle.
    expectPaintersAgree(
        65, 65,
        [&] {
            PanelPainting::knob(look, {65, 65}, 0.2, 0.5);
        },
        "ring to the left");
    expectPaintersAgree(
        45, 35,
        [&] {
            PanelPainting::waveformPicture(Waveform::sawtooth, {45, 35}, 0.1, look.center);
        },
        "waveform picture");
    expectPaintersAgree(
        30, 120,
        [] {
            PanelPainting::key(KeyType::white, false, {30, 120});
        },
        "white key");
    expectPaintersAgree(
        18, 72,
        [] {
            PanelPainting::key(KeyType::black, true, {18, 72});
        },
        "pressed black key");
    expectPaintersAgree(
        480, 360,
        [] {
            PanelPainting::background({480, 360});
        },
        "gradient");
}

TEST(TwoPainters, CairoDrawsInTheViewsYUpCoordinates) {
    // A square in the lower-left quarter of a view placed at (10, 20) of a 100 × 100 window
    // lands at the window's pixels counted from the bottom.
    const QImage image = drawWithCairo(100, 100, [] {
        toolkit::Color::black().set();
        toolkit::BezierPath::withRect(toolkit::makeRect(0, 0, 10, 10)).fill();
    });
    EXPECT_EQ(image.pixel(5, 95), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
}

TEST(PathBounds, CoverTheArcsTheyPassThrough) {
    toolkit::BezierPath quarter;
    quarter.appendArc({0, 0}, 10.0, 0.0, 90.0, false);
    const toolkit::Rect q = quarter.bounds();
    EXPECT_NEAR(q.minX(), 0.0, 1e-9);
    EXPECT_NEAR(q.maxX(), 10.0, 1e-9);
    EXPECT_NEAR(q.maxY(), 10.0, 1e-9);
    // Clockwise from 90° to 0° the long way round passes left, down and right.
    toolkit::BezierPath longWay;
    longWay.appendArc({0, 0}, 10.0, 90.0, 0.0, false);
    const toolkit::Rect l = longWay.bounds();
    EXPECT_NEAR(l.minX(), -10.0, 1e-9);
    EXPECT_NEAR(l.minY(), -10.0, 1e-9);
    EXPECT_TRUE(toolkit::BezierPath().bounds() == toolkit::Rect{});
}

TEST(PanelDescription, KnobsAndCaptionsSitOnThePanelAboveTheKeyboard) {
    const double keyboardTop = PanelLayout::keyboardFrame().maxY();
    for (const PanelLayout::KnobPlace& place : PanelLayout::knobs()) {
        const toolkit::Rect caption = PanelLayout::captionFrame(place.frame);
        EXPECT_GE(caption.minY(), keyboardTop) << place.name;
        EXPECT_LE(place.frame.maxY(), PanelLayout::height) << place.name;
        EXPECT_GE(place.resolution, 2) << place.name;
    }
}

TEST(PanelDescription, WaveformKnobPositionsRoundTripThroughTheEnginesWaveforms) {
    const double last = static_cast<double>(PanelLayout::waveformKnobPositions - 1);
    for (int k = 0; k <= static_cast<int>(last); ++k) {
        const auto engine = PanelLayout::waveformEngineValue(k / last);
        ASSERT_TRUE(engine.has_value());
        EXPECT_DOUBLE_EQ(PanelLayout::waveformKnobValue(*engine), k / last);
    }
    EXPECT_FALSE(PanelLayout::waveformEngineValue(std::nan("")).has_value());
    EXPECT_DOUBLE_EQ(PanelLayout::waveformKnobValue(std::nan("")), 0.0);
}

} // namespace
