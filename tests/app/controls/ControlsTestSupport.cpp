#include "ControlsTestSupport.h"

#include "ColorCode.h"
#include "Zelvar_SimpleKnob.h"

void RecordingKnobDelegate::knobReadoutChanged(Zelvar_SimpleKnob* knob) {
    readoutNotices.push_back(knob->showsReadout());
}

QColor fromCode(const char* code) {
    return initWithColorCode(code).toQColor();
}
