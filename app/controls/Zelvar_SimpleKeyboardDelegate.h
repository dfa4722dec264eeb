// What the on-screen keyboard reports to: note on with its velocity, note off, and the octave
// steps asked for from the computer keyboard. The main view controller implements it, posts the
// note events and turns the octave knob.
#pragma once

class Zelvar_SimpleKeyboardDelegate {
public:
    virtual ~Zelvar_SimpleKeyboardDelegate() = default;
    virtual void dspNoteOn(double noteNumber, double velocity) = 0;
    virtual void dspNoteOff(double noteNumber) = 0;
    // One octave down (−1) or up (+1), as if the "Octave" knob had been turned by that many
    // positions. A receiver without an octave control ignores it.
    virtual void keyboardOctaveStep(int positions) { (void)positions; }
};
