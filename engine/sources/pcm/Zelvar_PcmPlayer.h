// Plays one PCM data provider frame by frame, in stereo.
//
// Setting a provider does not rewind the player; without a provider it plays silence.
#pragma once

#include "Zelvar_PcmDataProvider.h"

class Zelvar_PcmPlayer {
public:
    void setPcmDataProvider(Zelvar_PcmDataProvider* provider) { this->provider = provider; }
    void getValue(double* left, double* right);

    int getPosition() const { return position; }

private:
    Zelvar_PcmDataProvider* provider = nullptr;
    int position = 0;
};
