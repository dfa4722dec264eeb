// Stereo audio from one sample rate to another, pulled from a source as the output needs it:
// the one converter that every host of the engine runs when the rate it plays at is not the
// engine's (the plugin, the file renderer, the program on a JACK server).
//
// Polyphase windowed-sinc filtering (zita-resampler), `filterHalfLength` input samples on either
// side of each output sample: a 440 Hz tone comes out about 138 dB cleaner than it goes in, the
// response is flat within 0.01 dB to 18 kHz, and the delay is constant. The output is
// time-aligned with the input (input frame m lands on output frame m * outputRate / inputRate)
// because the filter's first half is primed with silence, so the only delay a host sees is
// the converter reading ahead: `readAheadFrames()`, at most, in output frames.
//
// The source is asked for exactly the input the requested output needs, never more, so that
// what was rendered ahead stays as small as the filter allows (a host must post events before
// the input they act on is rendered). Ratios the fixed-ratio filter cannot take (a host rate
// whose fraction of the input rate has more than 1000 steps, such as 768000 from 44100, or a
// fractional one) go through the same library's variable-ratio filter at the same length.
//
// All memory is taken at construction; `read` never allocates, locks or does I/O.
#pragma once

#include <cstdint>
#include <memory>

class Resampler;
class VResampler;

class RateConverter {
public:
    // Half the filter's length in input samples at unit ratio, chosen by measurement: 32 keeps
    // a pure tone's residual near -138 dB, the pass band flat to 18 kHz, the read-ahead at 48 kHz
    // at 35 output frames (0.73 ms), and the cost at 48 kHz a small fraction of the engine's.
    static constexpr unsigned filterHalfLength = 32;
    // The most input frames one pull asks for.
    static constexpr uint32_t pullCapacity = 1024;

    // Writes `frames` interleaved stereo frames into `interleaved`.
    using Source = void (*)(void* context, float* interleaved, uint32_t frames);

    RateConverter(double inputRate, double outputRate, Source source, void* context);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    bool isReady() const { return ready; }
    const char* failure() const { return failureReason; }
    // Output frames per input frame.
    double ratio() const { return outputPerInput; }
    // The most the input pulled so far runs ahead of the output written so far, in output
    // frames, over any sequence of reads: input frame m has been pulled once output frame
    // m * ratio() - readAheadFrames() has been written, never sooner.
    double readAheadFrames() const { return mostAhead; }
    uint64_t inputFramesPulled() const { return pulled; }
    uint64_t outputFramesWritten() const { return written; }

    // Writes `frames` interleaved stereo frames, pulling the input they need from the source.
    void read(float* interleaved, uint32_t frames);

private:
    // A twin for measuring, not set up.
    RateConverter(Source source, void* context);
    void convert(float* interleaved, uint32_t frames);
    template <typename Filter>
    void convertThrough(Filter& filter, float* interleaved, uint32_t frames);
    uint64_t inputNeededFor(uint64_t outputs) const;
    bool measureReadAhead(double inputRate, double outputRate);
    bool setUp(double inputRate, double outputRate);

    Source source;
    void* context;
    bool ready = false;
    const char* failureReason = "";
    double outputPerInput = 1.0;
    double mostAhead = 0.0;
    std::unique_ptr<Resampler> fixed;
    std::unique_ptr<VResampler> variable;
    unsigned primingFrames = 0; // zeros the filter's first half starts on
    unsigned filterInputs = 0;  // input frames the first output needs, priming included
    // The fixed filter's ratio as a fraction: it steps `inputStep` input frames every
    // `outputStep` output frames.
    uint64_t inputStep = 0, outputStep = 1;
    std::unique_ptr<float[]> pullBuffer; // pullCapacity interleaved frames
    uint32_t pullOffset = 0, pullLeft = 0;
    uint64_t consumed = 0; // input frames handed to the filter, priming included
    uint64_t pulled = 0;   // input frames taken from the source
    uint64_t written = 0;  // output frames
};
