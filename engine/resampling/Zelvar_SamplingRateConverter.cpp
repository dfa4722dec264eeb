#include "Zelvar_SamplingRateConverter.h"

#include "MathConstants.h"
#include "NumericConversion.h"

#include <cmath>
#include <numbers>

namespace {

double positiveOr(double value, double fallback) {
    return std::isfinite(value) && value > 0.0 ? value : fallback;
}

// The window spans 2·Tw + To seconds; two more entries cover the one kept just outside it
// and the one being filled. Sizes are powers of two so indices wrap with a mask.
int ringSizeFor(int requested, double sourceRate, double targetRate) {
    const double span =
        2.0 * Zelvar_SamplingRateConverter::windowSourcePeriods + sourceRate / targetRate + 4.0;
    const double needed = std::fmax(double(requested), std::ceil(span));
    int size = 2;
    while (size < needed && size < (1 << 30))
        size *= 2;
    return size;
}

} // namespace

Zelvar_SamplingRateConverter::Zelvar_SamplingRateConverter(RenderSample renderSample, void* source,
                                                           double sourceRate, double targetRate,
                                                           int ringSize)
    : renderSample(renderSample), source(source),
      sourceRate(positiveOr(sourceRate, defaultSourceRate)),
      targetRate(positiveOr(targetRate, defaultTargetRate)),
      ringSize(ringSizeFor(ringSize, this->sourceRate, this->targetRate)),
      ringMask(this->ringSize - 1) {}

Zelvar_SamplingRateConverter::~Zelvar_SamplingRateConverter() {
    delete[] ring;
}

void Zelvar_SamplingRateConverter::initialize() {
    delete[] ring;
    ring = new Entry[ringSize]();
    readIndex = 0;
    writeIndex = 0;
    windowHalfWidth = windowSourcePeriods / sourceRate;
    negativeWindowHalfWidth = -windowHalfWidth;
}

double Zelvar_SamplingRateConverter::weight(double time) const {
    if (time == 0.0)
        return 1.0;
    const double u = std::numbers::pi * sourceRate * time;
    const double hann =
        0.5 * (1.0 - std::cos(twoPi * (time + windowHalfWidth) / (2.0 * windowHalfWidth)));
    return std::sin(u) / u * hann;
}

// Pulls every source frame that will lie inside the window once the times have moved one
// output period on.
void Zelvar_SamplingRateConverter::fill(double time) {
    const double sourcePeriod = 1.0 / sourceRate;
    const double outputPeriod = 1.0 / targetRate;
    const double newest = ring[writeIndex].time;
    const uint64_t sampleTime = truncateToUInt64(time);
    for (int g = 1; windowHalfWidth + outputPeriod >= newest + g * sourcePeriod; ++g) {
        writeIndex = (writeIndex + 1) & ringMask;
        if (writeIndex == readIndex)
            readIndex = (readIndex + 1) & ringMask; // cannot happen at the sized ring
        Entry& entry = ring[writeIndex];
        entry.time = newest + g * sourcePeriod;
        entry.left = 0.0;
        entry.right = 0.0;
        if (renderSample != nullptr)
            renderSample(source, sampleTime, &entry.left, &entry.right);
    }
}

// Drops the frames that will have left the window; like the fill it counts in whole source
// periods from the oldest entry, so one frame just outside the window stays for this output.
void Zelvar_SamplingRateConverter::drop() {
    const double sourcePeriod = 1.0 / sourceRate;
    const double outputPeriod = 1.0 / targetRate;
    const double oldest = ring[readIndex].time;
    for (int g = 1; negativeWindowHalfWidth + outputPeriod > oldest + g * sourcePeriod &&
                    readIndex != writeIndex;
         ++g)
        readIndex = (readIndex + 1) & ringMask;
}

void Zelvar_SamplingRateConverter::getValue(double time, double* left, double* right) {
    *left = 0.0;
    *right = 0.0;
    if (ring == nullptr)
        return;
    fill(time);
    drop();
    const double outputPeriod = 1.0 / targetRate;
    double sumLeft = 0.0;
    double sumRight = 0.0;
    for (int i = readIndex;; i = (i + 1) & ringMask) {
        Entry& entry = ring[i];
        entry.time -= outputPeriod;
        const double w = weight(entry.time);
        sumLeft += w * entry.left;
        sumRight += w * entry.right;
        if (i == writeIndex)
            break;
    }
    *left = sumLeft;
    *right = sumRight;
}
