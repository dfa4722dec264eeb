// The on-screen piano keyboard along the bottom of the panel, one key view per key.
//
// A press plays the key under the pointer, a drag plays a glissando (each new key ends the
// previous note before starting its own), a release ends the note. Notes go to the delegate
// as note number 60 + key index with velocity 100; the mouse plays one note at a time.
//
// The computer keyboard plays it too, by key position (ComputerKeyMap), several keys at once:
// each held key sounds its note and shows its key pressed until released. Holding a key never
// re-triggers its note, and when the keyboard stops taking keys (another window comes to the
// front, the window is minimised) every note still held by a computer key is released, so none
// can stick. Z and X ask the delegate for an octave step. The keyboard takes key focus when its
// window becomes active.
#pragma once

#include "KeyView.h"
#include "KeyboardLayout.h"
#include "TrackingArea.h"
#include "View.h"
#include "Zelvar_SimpleKeyboardDelegate.h"

#include <chrono>
#include <memory>
#include <set>
#include <vector>

class KeyboardView : public toolkit::View {
public:
    KeyboardView();
    explicit KeyboardView(toolkit::Rect frame);
    ~KeyboardView() override;

    // To be called once the frame is set: works out the geometry and creates the keys.
    virtual void initialize();
    virtual void drawKeyboard();
    virtual void midiNoteOn(int keyIndex);
    virtual void midiNoteOff(int keyIndex);
    virtual int judgeKeyIndex(double xCoordinate, double yCoordinate) const;
    virtual void keyViewNoteOn(int keyIndex);
    virtual void keyViewNoteOff(int keyIndex);

    void updateTrackingAreas() override;
    void mouseDown(const toolkit::MouseEvent& event) override;
    void mouseUp(const toolkit::MouseEvent& event) override;
    void mouseDragged(const toolkit::MouseEvent& event) override;
    void keyDown(const toolkit::KeyEvent& event) override;
    void keyUp(const toolkit::KeyEvent& event) override;
    void keyFocusLost() override;

    // Notes held from the computer keyboard: on-screen key indices, in their order.
    const std::set<int>& computerHeldKeys() const { return computerKeys; }

    // Not owned: the delegate (the panel's controller) outlives the keyboard.
    Zelvar_SimpleKeyboardDelegate* keyboardDelegate = nullptr;
    std::unique_ptr<toolkit::TrackingArea> trackingArea;
    bool allowOutsideTracking = false;
    int octaves = 2;
    // Widths, key placement and hit testing, filled by initialize.
    KeyboardLayout layout;
    int currentKeyIndex = 0;
    // One entry per key index; the key views are subviews, owned by the keyboard.
    std::vector<KeyView*> keyViewArray;
    std::chrono::steady_clock::time_point lastNoteOnDate = std::chrono::steady_clock::now();

private:
    // The pointer in the keyboard's coordinates, as the mouse handlers measure it.
    toolkit::Point pointOf(const toolkit::MouseEvent& event) const;
    // Shows key `keyIndex` released unless the mouse or a computer key still holds it.
    void keyViewNoteOffUnlessHeld(int keyIndex);
    void computerKeyUp(int keyIndex);

    std::set<int> computerKeys;
    bool mouseHoldsKey = false;
};
