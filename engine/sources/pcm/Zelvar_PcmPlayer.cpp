// Zelvar_PcmPlayer: frame-by-frame stereo playback of one provider.
#include "Zelvar_PcmPlayer.h"

#include <climits>

void Zelvar_PcmPlayer::getValue(double* left, double* right) {
    double leftValue = 0.0;
    double rightValue = 0.0;
    if (provider != nullptr)
        provider->getValue(position, &leftValue, &rightValue);
    if (left != nullptr)
        *left = leftValue;
    if (right != nullptr)
        *right = rightValue;
    // Held at the end rather than overflowing after 13 hours of playback.
    if (position < INT_MAX)
        ++position;
}
