#include "DspPointer.h"

DspObject dspPointer = nullptr;
