// What the plugin's window does, free of the window system: the panel's knobs with the host's
// parameter values, the on-screen keyboard, the readout, and the areas that need drawing again.
//
// The window (CorvenaDpfUI) hands it pointer events in panel points (y up, origin at the
// panel's lower-left corner, whatever the window's scale) and host values as DPF delivers
// them; the panel answers through its Listener: gestures and values for the host, notes for
// the plugin's own input, areas to repaint. Knob arithmetic, layout and readout text are the
// program's own (app/design), so a knob turns and reads as it does in the program.
#pragma once

#include "Corvena_Core.h"
#include "Geometry.h"
#include "KeyboardLayout.h"
#include "PanelLayout.h"

#include <array>
#include <optional>
#include <string>

class PluginPanel {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // A knob's value in its parameter's own unit, between the begin and end of a gesture.
        virtual void gestureBegan(ParameterType parameter) = 0;
        virtual void valueEdited(ParameterType parameter, double value) = 0;
        virtual void gestureEnded(ParameterType parameter) = 0;
        virtual void noteOn(int note, int velocity) = 0;
        virtual void noteOff(int note) = 0;
        // Panel points to draw again.
        virtual void invalidate(toolkit::Rect area) = 0;
    };

    explicit PluginPanel(Listener& listener);

    // The host's value of a parameter, in its own unit; a NaN or a parameter without a knob is
    // ignored.
    void setHostValue(ParameterType parameter, double value);

    void mouseDown(toolkit::Point p);
    void mouseDragged(toolkit::Point p);
    void mouseUp(toolkit::Point p);
    void mouseMoved(toolkit::Point p);
    // `notches` of the vertical wheel, positive away from the user.
    void scroll(toolkit::Point p, double notches);
    // Ends every note the window started and any gesture in progress: the window is closing.
    void releaseEverything();

    int knobCount() const { return PanelLayout::knobCount; }
    const PanelLayout::KnobPlace& knob(int i) const { return places[static_cast<size_t>(i)]; }
    // A knob's position on its travel, 0..1.
    double knobValue(int i) const { return values[static_cast<size_t>(i)]; }
    const KeyboardLayout& keyboard() const { return keys; }
    bool keyPressed(int keyIndex) const { return keyIndex == heldKey; }
    // The knob whose readout shows (pointer over it or dragging it), if any, and its text.
    std::optional<int> readoutKnob() const;
    std::string readoutText() const;
    // The readout's frame for a text `textWidth` points wide in a font `lineHeight` high.
    toolkit::Rect readoutFrame(double textWidth, double lineHeight) const;

private:
    std::optional<int> knobAt(toolkit::Point p) const;
    void edit(int knobIndex, double value);
    double plainValue(int knobIndex, double knobValue) const;
    void setHover(std::optional<int> knobIndex);
    void invalidateKnob(int knobIndex);
    void invalidateKey(int keyIndex);

    Listener& listener;
    std::array<PanelLayout::KnobPlace, PanelLayout::knobCount> places;
    std::array<double, PanelLayout::knobCount> values{};
    KeyboardLayout keys;
    std::optional<int> hovered;
    std::optional<int> dragged;
    double bandMin = 0.0;
    double bandMax = 0.0;
    int heldKey = -1;
    std::array<double, PanelLayout::knobCount> wheelRemainder{};
};
