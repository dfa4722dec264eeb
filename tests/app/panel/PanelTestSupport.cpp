#include "PanelTestSupport.h"

#include "DspPointer.h"

namespace {

std::vector<Posted> calls;
int handleTarget = 0;

} // namespace

double DspSetEvent(DspObject dsp, EventSubType subType, ParameterType parameterType, double value1,
                   double value2, double value3) {
    calls.push_back({dsp, subType, parameterType, value1, value2, value3});
    return 0.0;
}

PostingRecorder::PostingRecorder() : fakeHandle(&handleTarget) {
    calls.clear();
    dspPointer = fakeHandle;
}

PostingRecorder::~PostingRecorder() {
    dspPointer = nullptr;
    calls.clear();
}

std::vector<Posted> PostingRecorder::drain() {
    std::vector<Posted> out;
    out.swap(calls);
    return out;
}
