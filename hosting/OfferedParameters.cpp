#include "OfferedParameters.h"

bool OfferedParameters::offers(ParameterType type) {
    return type > ParameterTypeNone && type < ParameterTypeCount &&
           type != ParameterTypeVcaLfoFrequency;
}

const char* OfferedParameters::whyNotOffered(ParameterType type) {
    return type == ParameterTypeVcaLfoFrequency ? "this parameter has no effect: no part of the "
                                                  "engine reads it"
                                                : "";
}
