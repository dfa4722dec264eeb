// Plays one of the PCM data manager's samples from its start, one frame per call (left channel).
//
// Each voice owns one and selects sample (note number mod 4) on every note on, which rewinds
// it. An index the manager does not have is refused at every read: the oscillator is silent
// instead of reading outside the manager's providers.
#pragma once

#include "Zelvar_PcmDataManager.h"

class Zelvar_PcmOscillator {
public:
    void setPcmDataManager(Zelvar_PcmDataManager* manager) { this->manager = manager; }
    // Rewinds even when the index does not change. Returns false when the manager (if set)
    // has no sample at this index.
    bool setPcmIndex(int index);
    double getValue();

    int getPosition() const { return position; }

private:
    Zelvar_PcmDataManager* manager = nullptr;
    int position = 0;
    int pcmIndex = 0;
};
