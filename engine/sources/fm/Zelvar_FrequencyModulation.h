// Two-operator sine FM tone: a carrier phase-modulated (index 1) by a modulator at 3.5 times
// its frequency. Each voice creates one; nothing in the present signal chain plays it.
#pragma once

class Zelvar_FrequencyModulation {
public:
    explicit Zelvar_FrequencyModulation(double samplingRate = 44100.0, double frequencyHz = 1000.0)
        : samplingRate(samplingRate), frequency(frequencyHz),
          phaseIncrement(frequencyHz / samplingRate) {}

    // Stores the rate only; the increment follows at the next frequency change.
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setFrequency(double frequencyHz);
    double getValue();

private:
    double samplingRate;
    double frequency;
    double phase = 0.0;
    double phaseIncrement;
    double output = 0.0;
    double modulatorRatio = 3.5;
};
