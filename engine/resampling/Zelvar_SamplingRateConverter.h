// Converts the engine's 44100 Hz stereo output to 48000 Hz by windowed-sinc interpolation,
// pulling source frames on demand. It sits beside the render loop: the engine builds one at
// initialisation with itself as the source, and the render loop keeps delivering 44100 Hz.
//
// A ring holds the source frames near the present output instant, each with its time in
// seconds relative to that instant. Every output frame first pulls the source frames that enter
// the window (eight source periods each side, plus one output period), drops those that left
// it, moves all times one output period closer and sums sinc × Hann weighted frames.
//
// The source is a plain function and a context pointer, so the per-frame pull is a direct call:
// for an object with renderSample(uint64_t, double*, double*) pass renderFrom<ThatClass> and
// the object.
#pragma once

#include <cstdint>

class Zelvar_SamplingRateConverter {
public:
    using RenderSample = void (*)(void* source, uint64_t sampleTime, double* left, double* right);

    template <class Source>
    static void renderFrom(void* source, uint64_t sampleTime, double* left, double* right) {
        static_cast<Source*>(source)->renderSample(sampleTime, left, right);
    }

    static constexpr double defaultSourceRate = 44100.0;
    static constexpr double defaultTargetRate = 48000.0;
    static constexpr int defaultRingSize = 1024;
    static constexpr double windowSourcePeriods = 8.0;

    // A rate that is not a finite number above 0 is replaced by its default. The ring size is
    // raised to a power of two, and to at least what the window needs at these rates, so the
    // ring never overruns.
    Zelvar_SamplingRateConverter(RenderSample renderSample, void* source,
                                 double sourceRate = defaultSourceRate,
                                 double targetRate = defaultTargetRate,
                                 int ringSize = defaultRingSize);
    ~Zelvar_SamplingRateConverter();
    Zelvar_SamplingRateConverter(const Zelvar_SamplingRateConverter&) = delete;
    Zelvar_SamplingRateConverter& operator=(const Zelvar_SamplingRateConverter&) = delete;

    // Allocates the ring, zeroed: the first output frames ramp in from silence.
    void initialize();

    // One output frame. time is handed to the source, as a sample time, for every frame it
    // renders meanwhile. Before initialize the output is silence and the source is not called.
    void getValue(double time, double* left, double* right);

    // The interpolation weight of a source frame `time` seconds from the output instant.
    double weight(double time) const;

    double getWindowHalfWidth() const { return windowHalfWidth; }
    int getRingSize() const { return ringSize; }

private:
    struct Entry {
        double time;
        double left;
        double right;
    };

    void fill(double time);
    void drop();

    RenderSample renderSample;
    void* source;
    double sourceRate;
    double targetRate;
    double windowHalfWidth = 0.0;
    double negativeWindowHalfWidth = 0.0;
    Entry* ring = nullptr;
    int ringSize;
    int ringMask;
    int writeIndex = 0;
    int readIndex = 0;
};
