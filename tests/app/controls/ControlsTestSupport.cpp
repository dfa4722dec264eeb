#include "ControlsTestSupport.h"

#include "ColorCode.h"
#include "QtGraphicsContext.h"
#include "Zelvar_SimpleKnob.h"

void RecordingKnobDelegate::knobReadoutChanged(Zelvar_SimpleKnob* knob) {
    readoutNotices.push_back(knob->showsReadout());
}

QColor fromCode(const char* code) {
    return toolkit::toQColor(initWithColorCode(code));
}
