// Test helpers: a mouse driver that sends window-system mouse events to a content view shown
// as a window, rendering a view to an image at a device pixel ratio, reading a pixel at a
// y-up point, and delegates that record what the controls report.
#pragma once

#include "Geometry.h"
#include "View.h"
#include "Zelvar_SimpleKeyboardDelegate.h"
#include "Zelvar_SimpleKnobDelegate.h"

#include <QColor>
#include <QEvent>
#include <QImage>

#include <string>
#include <utility>
#include <vector>

// Sends presses, drags and releases through the window system to a content view, positions in
// window coordinates (y up). Presses lie far apart in time unless a shorter gap is asked for,
// so they count as single clicks.
class MouseDriver {
public:
    explicit MouseDriver(toolkit::View& content);
    void press(double x, double y, int millisecondsSinceLast = 2000);
    void drag(double x, double y);
    void release(double x, double y);
    // The pointer moved with no button held: enters and leaves views on its way.
    void move(double x, double y);
    // Wheel deltas in eighths of a degree (120 a notch), positive turned away from the user.
    void wheel(double x, double y, int deltaY, bool inverted = false);

private:
    void send(double x, double y, Qt::MouseButtons state, QEvent::Type type, int gap);
    toolkit::View& view;
};

// Runs everything queued on the main queue (redraws, picture changes).
void drainMainQueue();

// The view drawn alone into an image of its size at `devicePixelRatio`.
QImage render(toolkit::View& view, double devicePixelRatio = 1.0);
// The pixel under the point (x, y) of the view's coordinates (y up), unpremultiplied.
QColor pixelAt(const QImage& image, double viewHeight, double x, double y);
// Whether two colours agree within `tolerance` per 8-bit channel, alpha included.
bool near(const QColor& a, const QColor& b, int tolerance = 3);
std::string describe(const QColor& c);
QColor fromCode(const char* code);

class RecordingKnobDelegate : public Zelvar_SimpleKnobDelegate {
public:
    void dspSetParameter(ParameterType parameterType, double normalizedValue) override {
        calls.emplace_back(parameterType, normalizedValue);
    }
    // Whether the knob wanted its readout, at each notice.
    void knobReadoutChanged(Zelvar_SimpleKnob* knob) override;
    std::vector<std::pair<ParameterType, double>> calls;
    std::vector<bool> readoutNotices;
};

class RecordingKeyboardDelegate : public Zelvar_SimpleKeyboardDelegate {
public:
    void dspNoteOn(double noteNumber, double velocity) override {
        log.push_back("on " + std::to_string(static_cast<int>(noteNumber)) + " " +
                      std::to_string(static_cast<int>(velocity)));
    }
    void dspNoteOff(double noteNumber) override {
        log.push_back("off " + std::to_string(static_cast<int>(noteNumber)));
    }
    void keyboardOctaveStep(int positions) override {
        log.push_back("octave " + std::to_string(positions));
    }
    std::vector<std::string> log;
};
