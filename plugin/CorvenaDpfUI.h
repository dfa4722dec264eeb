// The plugin's window: the program's panel drawn with cairo in a pugl window that the host
// embeds, so no toolkit enters the host's process.
//
// DPF builds it into each format (the LV2 UI library, the VST3 and CLAP plugins). What the
// panel does lives in PluginPanel; this class turns pixels into panel points at the host's
// scale, draws the panel's pieces through the shared painting (app/design), and passes edits,
// gestures and notes to DPF, which hands them to the host and the plugin's input.
#pragma once

#include "PluginPanel.h"

#include "DistrhoUI.hpp"

#include <cairo.h>

class CorvenaDpfUI : public DISTRHO::UI, private PluginPanel::Listener {
public:
    CorvenaDpfUI();
    ~CorvenaDpfUI() override;

protected:
    void parameterChanged(uint32_t index, float value) override;
    void onCairoDisplay(const DGL::CairoGraphicsContext& context) override;
    bool onMouse(const MouseEvent& event) override;
    bool onMotion(const MotionEvent& event) override;
    bool onScroll(const ScrollEvent& event) override;
    void uiFocus(bool focus, DGL::CrossingMode mode) override;

private:
    void gestureBegan(ParameterType parameter) override;
    void valueEdited(ParameterType parameter, double value) override;
    void gestureEnded(ParameterType parameter) override;
    void noteOn(int note, int velocity) override;
    void noteOff(int note) override;
    void invalidate(toolkit::Rect area) override;

    void drawPanel(cairo_t* cr);
    toolkit::Point panelPoint(const DGL::Point<double>& pixel) const;
    // DPF's parameter index of a panel parameter, or -1.
    static int32_t indexOf(ParameterType parameter);

    PluginPanel panel;
    // What the window shows, at its size in pixels (see onCairoDisplay).
    cairo_surface_t* image = nullptr;
    bool dragging = false;
};
