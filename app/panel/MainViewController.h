// The controller of the synthesizer panel: it builds the panel (nine knobs with captions and the
// on-screen keyboard on a gradient) and is the panel's only road to the engine. As the delegate
// of every knob and of the keyboard it turns a knob move into a parameter event and a key press
// or release into a note event, posted with DspSetEvent on the process-wide handle dspPointer.
// Nothing comes back from the engine: the knobs start at defaults equal to the engine's own, and
// building the panel posts nothing.
//
// It also shows a knob's value readout while the pointer is over the knob or drags it (the
// readout label is made the first time one is wanted, so the panel at rest is exactly as laid
// out), turns the octave knob when the computer keyboard's Z or X asks for it, and shows a notice
// in the free space between the Resonance and Output knobs while the sound has stopped (made the
// first time one is wanted, too).
//
// Threads: everything runs on the main thread, except auParameterCallback, which may be called
// from any thread (the knob queues its redraw on the main queue).
//
// Linking: the panel needs an engine to post to but does not pick one. The program links the
// shared engine (through the audio host, which also defines dspPointer); the tests link the
// static engine so that they can read back the events posted.
#pragma once

#include "Corvena_Core.h"
#include "Geometry.h"
#include "KnobReadoutLabel.h"
#include "PanelLayout.h"
#include "TextLabel.h"
#include "View.h"
#include "Zelvar_SimpleKeyboardDelegate.h"
#include "Zelvar_SimpleKnob.h"
#include "Zelvar_SimpleKnobDelegate.h"
#include "Zelvar_SimpleLineKnob.h"
#include "Zelvar_SimpleWaveformKnob.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

// One knob of the panel: what it is, where it sits, how many positions it has, which engine
// parameter it moves and the value it shows at start.
struct KnobInfo {
    Zelvar_SimpleKnob* knob = nullptr;
    std::string name;
    toolkit::Rect frame;
    int64_t resolution = 0;
    ParameterType assign = ParameterTypeNone;
    double defaultValue = 0.0;
};

class MainViewController : public Zelvar_SimpleKnobDelegate, public Zelvar_SimpleKeyboardDelegate {
public:
    static constexpr int knobCount = PanelLayout::knobCount;
    static constexpr double panelWidth = PanelLayout::width;
    static constexpr double panelHeight = PanelLayout::height;

    MainViewController();
    ~MainViewController() override;
    MainViewController(const MainViewController&) = delete;
    MainViewController& operator=(const MainViewController&) = delete;

    // The panel view. The first read builds it (loadView, then viewDidLoad). Once the panel is
    // added to a window, the window owns it.
    toolkit::View* view();
    bool isViewLoaded() const { return viewLoaded; }
    void loadView();
    void viewDidLoad();

    // Zelvar_SimpleKnobDelegate: a knob the user moved.
    void dspSetParameter(ParameterType parameterType, double normalizedValue) override;
    // Zelvar_SimpleKeyboardDelegate: the on-screen keyboard. The velocity sent is always 100.
    void dspNoteOn(double noteNumber, double velocity) override;
    void dspNoteOff(double noteNumber) override;
    // Z and X on the computer keyboard: the octave knob moves by `positions`, as if turned.
    void keyboardOctaveStep(int positions) override;
    // Shows, moves or hides the readout for `knob`.
    void knobReadoutChanged(Zelvar_SimpleKnob* knob) override;

    // The readout text for `knob` at the value it shows: its parameter with the value the
    // engine uses once the knob's value is posted.
    static std::string readoutText(const Zelvar_SimpleKnob& knob);
    // The readout label, or null before one was first wanted.
    KnobReadoutLabel* readoutLabel() const { return readout.data(); }

    // Shows `text` in the panel's free space at the top right, or hides it for an empty one.
    void showNotice(const std::string& text);
    // The notice label, or null before one was first wanted.
    toolkit::TextLabel* noticeLabel() const { return notice.data(); }

    // Shows a value that changed outside the panel on knob `pluginParameterID` (0..8, after the
    // panel is built) without sending anything to the engine. An index outside 0..8 or a call
    // before the panel exists is ignored.
    void auParameterCallback(int64_t pluginParameterID, double normalizedValue);

    // (x, y, width, height); with `fromTop`, y is measured down from the panel's top edge.
    toolkit::Rect ZVMakeRect(double x, double y, double width, double height, bool fromTop);

    // The engine value a waveform knob value posts: its five positions select engine waveforms
    // 0, 1, 2, 3 and 5 (sine, triangle, sawtooth, square, noise). Nothing for a value whose
    // nearest position lies outside 0..4.
    static std::optional<double> waveformEngineValue(double normalizedValue);

    // Owned by the controller until the panel is built, then by the panel view.
    Zelvar_SimpleWaveformKnob* waveformKnob;
    Zelvar_SimpleLineKnob* lpfCutoffKnob;
    Zelvar_SimpleLineKnob* lpfResonanceKnob;
    Zelvar_SimpleLineKnob* octaveTransposeKnob;
    Zelvar_SimpleLineKnob* egAttackKnob;
    Zelvar_SimpleLineKnob* egDecayKnob;
    Zelvar_SimpleLineKnob* egSustainKnob;
    Zelvar_SimpleLineKnob* egReleaseKnob;
    Zelvar_SimpleLineKnob* masterOutputKnob;

    std::array<std::optional<KnobInfo>, knobCount> knobInfo;
    // Engine parameter → index of the knob that shows it (the inverse of the `assign` column).
    std::map<uint32_t, uint32_t> pluginParameter;

private:
    // Guarded: a window that owns the panel may delete it before the controller goes.
    QPointer<toolkit::View> panel;
    bool viewLoaded = false;
    QPointer<KnobReadoutLabel> readout;
    QPointer<toolkit::TextLabel> notice;
    // The knob whose readout is showing.
    QPointer<Zelvar_SimpleKnob> readoutKnob;
};
