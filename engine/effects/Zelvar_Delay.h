// A mono feedback delay line with a dry/wet mix: the last stage of the signal chain. The voice
// list runs two, left and right, on the mixed voices; different times give the stereo image.
//
// The buffer always holds ten seconds; only its first `length` entries are in use. The read
// index runs one ahead of the write index, so an echo arrives length - 1 samples after its input.
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
        const double delayed = buffer[readIndex];
        buffer[writeIndex] = x + feedback * delayed;
        writeIndex = advance(writeIndex);
        readIndex = advance(readIndex);
        output = (1.0 - mix) * x + mix * delayed;
        return output;
    }

    int getLength() const { return length; }
    // A setDelayTime() with this value changes nothing.
    double getDelayTime() const { return delayTime; }

private:
    // ">=" rather than "==": with a length of 0 or 1 the read index would otherwise run past the
    // end of the buffer. For lengths of 2 and more both rules agree.
    int advance(int index) const { return index + 1 >= length ? 0 : index + 1; }
    void allocate();

    double samplingRate = 44100.0;
    int writeIndex = 0;
    int readIndex = 1;
    int length = 1024;
    double* buffer = nullptr;
    int bufferSize = 0;
    double delayTime = 0.0;
    double feedback = 0.0;
    double mix = 0.0;
    double output = 0.0;
};
