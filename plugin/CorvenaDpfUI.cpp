// The window keeps the panel's 480 × 360 points at any scale: DPF sizes it by the host's scale
// factor and applies that factor itself to drawing (cairo is scaled before onCairoDisplay) and
// to repaint areas, so those are in panel points here and the panel is drawn afresh, sharp, at
// every scale (a factor of our own on top would enlarge it twice). Pointer positions reach the
// window itself in pixels, and are turned into points here.
#include "CorvenaDpfUI.h"

#include "CairoGraphicsContext.h"
#include "PanelPainting.h"
#include "PortMap.h"
#include "WaveformPicture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

START_NAMESPACE_DISTRHO

UI* createUI() {
    return new CorvenaDpfUI();
}

END_NAMESPACE_DISTRHO

using toolkit::makeRect;

namespace {

// One view's drawing pass at `frame` (panel points) of the panel.
toolkit::CairoGraphicsContext viewAt(cairo_t* cr, toolkit::Rect frame) {
    return toolkit::CairoGraphicsContext(cr, frame, PanelLayout::height);
}

toolkit::Rect offset(toolkit::Rect r, toolkit::Point by) {
    return makeRect(r.minX() + by.x, r.minY() + by.y, r.width(), r.height());
}

} // namespace

CorvenaDpfUI::CorvenaDpfUI()
    : UI(static_cast<uint>(PanelLayout::width), static_cast<uint>(PanelLayout::height), true),
      panel(*this) {}

// A host may close the window while a key is held or a knob dragged: the note ends and the
// gesture closes, so nothing keeps sounding and no host waits for an end that never comes.
CorvenaDpfUI::~CorvenaDpfUI() {
    panel.releaseEverything();
    if (image != nullptr)
        cairo_surface_destroy(image);
}

int32_t CorvenaDpfUI::indexOf(ParameterType parameter) {
    for (uint32_t i = 0; i < PortMap::controlCount(); ++i)
        if (PortMap::parameterOf(PortMap::firstControl + i) == parameter)
            return static_cast<int32_t>(i);
    return -1;
}

void CorvenaDpfUI::parameterChanged(uint32_t index, float value) {
    panel.setHostValue(PortMap::parameterOf(PortMap::firstControl + index), value);
}

// Pixels run down from the top; the panel's points run up from the bottom.
toolkit::Point CorvenaDpfUI::panelPoint(const DGL::Point<double>& pixel) const {
    const double s = static_cast<double>(getWidth()) / PanelLayout::width;
    return toolkit::Point{pixel.getX() / s, PanelLayout::height - pixel.getY() / s};
}

// The panel is drawn into an image of our own, then copied to the window. Text drawn straight
// on the window's X11 surface makes cairo keep about 3 kB of the window's X connection after it
// closes (its glyph cache for that connection is never released), which every window a host
// opens and closes would add to; an image's glyphs stay in memory that the image owns. Only the
// area the expose covers is drawn and copied, as it was when drawing straight on the window.
void CorvenaDpfUI::onCairoDisplay(const DGL::CairoGraphicsContext& context) {
    cairo_t* window = context.handle;
    const int width = static_cast<int>(getWidth()), height = static_cast<int>(getHeight());
    if (image == nullptr || cairo_image_surface_get_width(image) != width ||
        cairo_image_surface_get_height(image) != height) {
        if (image != nullptr)
            cairo_surface_destroy(image);
        image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    }
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    cairo_clip_extents(window, &x0, &y0, &x1, &y1);
    cairo_matrix_t scale;
    cairo_get_matrix(window, &scale);
    cairo_t* cr = cairo_create(image);
    cairo_set_matrix(cr, &scale);
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    cairo_clip(cr);
    drawPanel(cr);
    cairo_destroy(cr);
    cairo_surface_flush(image);

    cairo_save(window);
    cairo_identity_matrix(window);
    cairo_set_source_surface(window, image, 0, 0);
    cairo_paint(window);
    cairo_restore(window);
}

void CorvenaDpfUI::drawPanel(cairo_t* cr) {
    cairo_save(cr);
    const KnobLook look = KnobLook::standard();
    {
        auto g = viewAt(cr, makeRect(0, 0, PanelLayout::width, PanelLayout::height));
        PanelPainting::background(toolkit::Size{PanelLayout::width, PanelLayout::height});
    }
    for (int i = 0; i < panel.knobCount(); ++i) {
        const PanelLayout::KnobPlace& place = panel.knob(i);
        const double v = panel.knobValue(i);
        {
            auto g = viewAt(cr, place.frame);
            PanelPainting::knob(look, place.frame.size, v, place.ringStartValue);
            if (place.parameter != ParameterTypeOscillatorWaveform)
                PanelPainting::linePointer(look, place.frame.size, v);
        }
        if (place.parameter == ParameterTypeOscillatorWaveform) {
            const toolkit::Rect picture = offset(
                PanelPainting::waveformPictureFrame(look, place.frame.size), place.frame.origin);
            auto g = viewAt(cr, picture);
            const long long position =
                std::llround(v * static_cast<double>(PanelLayout::waveformKnobPositions - 1));
            PanelPainting::waveformPicture(
                WaveformPicture::forKnobPosition(position).value_or(Waveform::sine), picture.size,
                PanelPainting::waveformMargin, look.center);
        }
        const toolkit::Rect caption = PanelLayout::captionFrame(place.frame);
        auto g = viewAt(cr, caption);
        g.setColor(PanelLayout::captionColor());
        g.drawText(place.name, makeRect(0, 0, caption.width(), caption.height()),
                   PanelLayout::fontStandIn, PanelLayout::captionFontSize, 0);
    }
    const toolkit::Rect keyboard = PanelLayout::keyboardFrame();
    for (const KeyboardLayout::Key& key : panel.keyboard().keys()) {
        auto g = viewAt(cr, offset(key.frame, keyboard.origin));
        PanelPainting::key(key.keyType, panel.keyPressed(key.keyIndex), key.frame.size);
    }
    if (panel.readoutKnob()) {
        const std::string text = panel.readoutText();
        const double width = toolkit::CairoGraphicsContext::textWidth(
            cr, text, PanelLayout::fontStandIn, PanelLayout::readoutFontSize);
        const toolkit::Rect frame = panel.readoutFrame(width, PanelLayout::readoutFontSize * 1.4);
        auto g = viewAt(cr, frame);
        const toolkit::Rect box = makeRect(0, 0, frame.width(), frame.height());
        PanelLayout::readoutBackgroundColor().set();
        toolkit::BezierPath::withRect(box).fill();
        toolkit::Color::gray().set();
        toolkit::GraphicsContext::frameRectWithWidth(box, 1.0);
        g.setColor(PanelLayout::captionColor());
        g.drawText(text, box, PanelLayout::fontStandIn, PanelLayout::readoutFontSize, 0);
    }
    cairo_restore(cr);
}

bool CorvenaDpfUI::onMouse(const MouseEvent& event) {
    if (event.button != 1)
        return false;
    const toolkit::Point p = panelPoint(event.pos);
    dragging = event.press;
    if (event.press)
        panel.mouseDown(p);
    else
        panel.mouseUp(p);
    return true;
}

bool CorvenaDpfUI::onMotion(const MotionEvent& event) {
    const toolkit::Point p = panelPoint(event.pos);
    if (dragging)
        panel.mouseDragged(p);
    else
        panel.mouseMoved(p);
    return true;
}

bool CorvenaDpfUI::onScroll(const ScrollEvent& event) {
    panel.scroll(panelPoint(event.pos), event.delta.getY());
    return true;
}

void CorvenaDpfUI::uiFocus(bool focus, DGL::CrossingMode) {
    // The release of a button pressed now would go to another window.
    if (!focus && dragging) {
        dragging = false;
        panel.releaseEverything();
    }
}

void CorvenaDpfUI::gestureBegan(ParameterType parameter) {
    if (const int32_t i = indexOf(parameter); i >= 0)
        editParameter(static_cast<uint32_t>(i), true);
}

void CorvenaDpfUI::valueEdited(ParameterType parameter, double value) {
    if (const int32_t i = indexOf(parameter); i >= 0)
        setParameterValue(static_cast<uint32_t>(i), static_cast<float>(value));
}

void CorvenaDpfUI::gestureEnded(ParameterType parameter) {
    if (const int32_t i = indexOf(parameter); i >= 0)
        editParameter(static_cast<uint32_t>(i), false);
}

void CorvenaDpfUI::noteOn(int note, int velocity) {
    sendNote(0, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity));
}

void CorvenaDpfUI::noteOff(int note) {
    sendNote(0, static_cast<uint8_t>(note), 0);
}

void CorvenaDpfUI::invalidate(toolkit::Rect area) {
    const double x0 = std::floor(area.minX());
    const double y0 = std::floor(PanelLayout::height - area.maxY());
    const double x1 = std::ceil(area.maxX());
    const double y1 = std::ceil(PanelLayout::height - area.minY());
    const double w = PanelLayout::width, h = PanelLayout::height;
    const auto clampTo = [](double v, double hi) { return std::clamp(v, 0.0, hi); };
    const uint left = static_cast<uint>(clampTo(x0, w)), top = static_cast<uint>(clampTo(y0, h));
    const uint right = static_cast<uint>(clampTo(x1, w)),
               bottom = static_cast<uint>(clampTo(y1, h));
    if (right > left && bottom > top)
        repaint(DGL::Rectangle<uint>(left, top, right - left, bottom - top));
}
