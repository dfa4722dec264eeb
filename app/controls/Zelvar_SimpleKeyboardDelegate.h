// What the on-screen keyboard reports to: note on with its velocity, and note off. The main
// view controller implements it and posts the note events.
#pragma once

class Zelvar_SimpleKeyboardDelegate {
public:
    virtual ~Zelvar_SimpleKeyboardDelegate() = default;
    virtual void dspNoteOn(double noteNumber, double velocity) = 0;
    virtual void dspNoteOff(double noteNumber) = 0;
};
