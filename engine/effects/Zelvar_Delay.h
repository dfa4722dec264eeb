// A mono feedback delay line with a dry/wet mix: the last stage of the signal chain. The voice
// list runs two, left and right, on the mixed voices; different times give the stereo image.
//
// The buffer always holds ten seconds; only its first `length` entries are in use. The read
// index runs one ahead of the write index, so an echo arrives length - 1 samples after its input.
// A new time starts an empty line without clearing it on the audio thread: in the first
// length - 1 samples after the change the read index only meets entries not yet written since,
// and those reads are taken as the zeros a cleared line would hold.
//
// A run of frames gives the delay time to every frame, as setDelayTime() takes it, and renders
// the stretch over which it changes nothing in one loop with the indices in locals; a single
// frame (nextValue) is the same step.
#pragma once

class Zelvar_Delay {
public:
    static constexpr double maximumSeconds = 10.0;

    Zelvar_Delay() = default;
    ~Zelvar_Delay();
    Zelvar_Delay(const Zelvar_Delay&) = delete;
    Zelvar_Delay& operator=(const Zelvar_Delay&) = delete;

    void initialize();
    void setSamplingRate(double rate);
    void setDelayTime(double seconds);
    void setFeedback(double value) { feedback = value; }
    void setMix(double value) { mix = value; }

    double nextValue(double x) {
        double y = 0.0;
        run(&x, &y, 1);
        return y;
    }
    // n frames of input in, output out, every frame given the delay time `seconds`.
    void process(const double* in, double* out, int n, double seconds);

    int getLength() const { return length; }

private:
    // ">=" rather than "==": with a length of 0 or 1 the read index would otherwise run past the
    // end of the buffer. For lengths of 2 and more both rules agree.
    static int advance(int index, int length) { return index + 1 >= length ? 0 : index + 1; }
    void allocate();
    // n frames at the present time.
    void run(const double* in, double* out, int n);

    double samplingRate = 44100.0;
    int writeIndex = 0;
    int readIndex = 1;
    int length = 1024;
    double* buffer = nullptr;
    int bufferSize = 0;
    double delayTime = 0.0;
    double feedback = 0.0;
    double mix = 0.0;
    // Reads still to be taken as zeros since the last new time.
    int silentReads = 0;
};
