// For the controls' tests: colours from the application's colour codes, and delegates that
// record what the knobs and the keyboard report. The view helpers they share with the toolkit's
// tests are in ViewTestSupport.h.
#pragma once

#include "ViewTestSupport.h"
#include "Zelvar_SimpleKeyboardDelegate.h"
#include "Zelvar_SimpleKnobDelegate.h"

#include <QColor>

#include <string>
#include <utility>
#include <vector>

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
