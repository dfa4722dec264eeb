// Zelvar_PcmOscillator: frame-by-frame playback of the selected sample.
#include "Zelvar_PcmOscillator.h"

#include <climits>

bool Zelvar_PcmOscillator::setPcmIndex(int index) {
    pcmIndex = index;
    position = 0;
    return manager == nullptr || manager->getPcmDataProvider(index) != nullptr;
}

double Zelvar_PcmOscillator::getValue() {
    double left = 0.0;
    double right = 0.0;
    const Zelvar_PcmDataProvider* provider =
        manager != nullptr ? manager->getPcmDataProvider(pcmIndex) : nullptr;
    if (provider != nullptr)
        provider->getValue(position, &left, &right);
    // Held at the end rather than overflowing after 13 hours of playback.
    if (position < INT_MAX)
        ++position;
    return left;
}
