#include "RateConverter.h"

#include <zita-resampler/resampler.h>
#include <zita-resampler/vresampler.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>

namespace {

// Output frames the read-ahead probe writes, one at a time: many periods of the fixed filter's
// step pattern (at most 1000 outputs long), so the largest read-ahead there is shows.
constexpr uint32_t probeFrames = 8192;

void silence(void*, float* interleaved, uint32_t frames) {
    std::memset(interleaved, 0, size_t(frames) * 2 * sizeof(float));
}

bool isWhole(double rate) {
    return rate == std::floor(rate) && rate <= 4294967295.0;
}

} // namespace

RateConverter::RateConverter(double inputRate, double outputRate, Source source, void* context)
    : source(source), context(context) {
    if (!setUp(inputRate, outputRate))
        return;
    if (!measureReadAhead(inputRate, outputRate)) {
        failureReason = "the sample-rate converter could not be measured";
        return;
    }
    ready = true;
}

RateConverter::RateConverter(Source source, void* context) : source(source), context(context) {}

RateConverter::~RateConverter() = default;

bool RateConverter::setUp(double inputRate, double outputRate) {
    if (!(inputRate > 0.0 && outputRate > 0.0 && std::isfinite(inputRate) &&
          std::isfinite(outputRate))) {
        failureReason = "no sample-rate conversion between these rates";
        return false;
    }
    outputPerInput = outputRate / inputRate;
    pullBuffer.reset(new (std::nothrow) float[2 * pullCapacity]);
    if (pullBuffer == nullptr) {
        failureReason = "out of memory";
        return false;
    }
    // The fixed-ratio filter computes each output from a table of phases; it takes any ratio
    // of whole rates whose fraction has at most 1000 steps, which covers every common rate.
    if (isWhole(inputRate) && isWhole(outputRate)) {
        fixed.reset(new (std::nothrow) Resampler);
        if (fixed != nullptr &&
            fixed->setup(unsigned(inputRate), unsigned(outputRate), 2, filterHalfLength) == 0) {
            const uint64_t divisor = std::gcd(uint64_t(inputRate), uint64_t(outputRate));
            inputStep = uint64_t(inputRate) / divisor;
            outputStep = uint64_t(outputRate) / divisor;
            filterInputs = unsigned(fixed->inpsize());
            primingFrames = filterInputs / 2 - 1;
            return true;
        }
        fixed.reset();
    }
    variable.reset(new (std::nothrow) VResampler);
    if (variable == nullptr || variable->setup(outputPerInput, 2, filterHalfLength) != 0) {
        variable.reset();
        failureReason = "no sample-rate conversion between these rates";
        return false;
    }
    filterInputs = unsigned(variable->inpsize());
    primingFrames = filterInputs / 2 - 1;
    return true;
}

bool RateConverter::measureReadAhead(double inputRate, double outputRate) {
    // On a twin fed silence, in single-frame reads, so that every state between two reads of
    // any host is seen; the twin pulls exactly as this one will.
    RateConverter twin(&silence, nullptr);
    if (!twin.setUp(inputRate, outputRate))
        return false;
    float frame[2];
    for (uint32_t i = 0; i < probeFrames; ++i) {
        twin.convert(frame, 1);
        mostAhead =
            std::max(mostAhead, double(twin.pulled) * outputPerInput - double(twin.written));
    }
    return twin.written == probeFrames;
}

uint64_t RateConverter::inputNeededFor(uint64_t outputs) const {
    // The filter takes `filterInputs` frames before its first output, then steps through the
    // input by the ratio. Exact for the fixed filter; for the variable one a frame more may be
    // needed now and then, which `convertThrough` pulls when the filter asks.
    if (outputs == 0)
        return 0;
    if (fixed != nullptr)
        return filterInputs + (outputs - 1) * inputStep / outputStep;
    return filterInputs + uint64_t(std::floor(double(outputs - 1) / outputPerInput));
}

void RateConverter::read(float* interleaved, uint32_t frames) {
    if (!ready) {
        std::memset(interleaved, 0, size_t(frames) * 2 * sizeof(float));
        return;
    }
    convert(interleaved, frames);
}

void RateConverter::convert(float* interleaved, uint32_t frames) {
    if (fixed != nullptr)
        convertThrough(*fixed, interleaved, frames);
    else
        convertThrough(*variable, interleaved, frames);
}

template <typename Filter>
void RateConverter::convertThrough(Filter& filter, float* interleaved, uint32_t frames) {
    uint32_t done = 0;
    while (done < frames) {
        const uint32_t wanted = frames - done;
        // The filter's first half starts on zeros from its own path (no input pointer), which
        // aligns output with input.
        const bool priming = consumed < primingFrames;
        if (!priming && pullLeft == 0) {
            const uint64_t needed = inputNeededFor(written + wanted);
            const uint64_t missing = needed > consumed ? needed - consumed : 1;
            pullLeft = uint32_t(std::min<uint64_t>(missing, pullCapacity));
            pullOffset = 0;
            source(context, pullBuffer.get(), pullLeft);
            pulled += pullLeft;
        }
        const auto given = unsigned(priming ? primingFrames - consumed : pullLeft);
        filter.inp_count = given;
        filter.inp_data = priming ? nullptr : pullBuffer.get() + 2 * size_t(pullOffset);
        filter.out_count = wanted;
        filter.out_data = interleaved + 2 * size_t(done);
        filter.process();
        const uint32_t used = given - filter.inp_count;
        const uint32_t made = wanted - filter.out_count;
        if (!priming) {
            pullOffset += used;
            pullLeft -= used;
        }
        consumed += used;
        written += made;
        done += made;
    }
}
