// The engine side of the panel's tests: a stand-in for the engine's DspSetEvent that records
// every call as it was made — handle, sub-type, parameter and the three values, unconverted —
// so the tests see exactly what the controller posts. The real engine's conversions at posting
// time would hide the values sent (it stores a parameter's scaled value in its ring); the path
// through the real engine is covered end to end by the application tests.
#pragma once

#include "Corvena_Core.h"

#include <vector>

struct Posted {
    DspObject dsp;
    EventSubType subType;
    ParameterType parameterType;
    double value1, value2, value3;
};

// Installs a recognisable engine handle as dspPointer and takes the calls the stand-in
// recorded; removes the handle again when it goes.
class PostingRecorder {
public:
    PostingRecorder();
    ~PostingRecorder();
    PostingRecorder(const PostingRecorder&) = delete;
    PostingRecorder& operator=(const PostingRecorder&) = delete;

    // The calls since the last drain, oldest first.
    std::vector<Posted> drain();
    DspObject handle() const { return fakeHandle; }

private:
    DspObject fakeHandle;
};
