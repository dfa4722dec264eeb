// One note: pitch (octave transpose, exponential glide, bend), a tone oscillator, a resonant
// four-pole low-pass and a high-pass filter, an amplitude envelope and a velocity gain.
//
// The voice list creates a voice per note on the audio thread, asks it for one sample per frame
// and destroys it when its envelope has finished. Every sample the voice re-reads its parameters
// from the engine values, so a knob move reaches notes that are already sounding. Its units live
// inside it, so a voice is one block of memory, taken from the voice list's pool.
#pragma once

#include "Zelvar_BlitOscillator.h"
#include "Zelvar_EnvelopeGenerator.h"
#include "Zelvar_FrequencyModulation.h"
#include "Zelvar_IirHighPassFilter.h"
#include "Zelvar_IirLowPassFilter.h"
#include "Zelvar_LowFrequencyOscillator.h"
#include "Zelvar_Oscillator.h"
#include "Zelvar_PcmOscillator.h"
#include "Zelvar_PoolAllocated.h"

class Zelvar_ParameterManager;
class Zelvar_WavetableProvider;
class Zelvar_PcmDataManager;
class Zelvar_RandomGenerator;
class Zelvar_ValueSmoother;

class Zelvar_Voice : public Zelvar_PoolAllocated {
public:
    // The noise sources of the voice's oscillators draw their seeds from `random`.
    Zelvar_Voice(Zelvar_ValueSmoother* sustainLevelSmoother, Zelvar_RandomGenerator& random);
    ~Zelvar_Voice() = default;
    Zelvar_Voice(const Zelvar_Voice&) = delete;
    Zelvar_Voice& operator=(const Zelvar_Voice&) = delete;

    void initialize();
    void setSamplingRate(double rate);
    void setParameterManager(Zelvar_ParameterManager* manager) { parameterManager = manager; }
    void setWavetableProvider(Zelvar_WavetableProvider* provider);
    void setPcmDataManager(Zelvar_PcmDataManager* manager);

    void noteOn(int noteNumber, int velocity);
    void legatoNoteOn(int noteNumber, int velocity);
    void noteOff(int noteNumber);
    void allNoteOff();
    void setFadeOut();

    int getState() const;
    bool canNoteOff(int noteNumber) const;
    bool canAllNoteOff() const;
    int getNoteNumber() const { return noteNumber; }
    double getOscillatorFrequency() const { return oscillatorFrequency; }
    double getNoteFrequency() const { return noteFrequency; }
    double getVelocityGain() const { return velocityGain; }
    bool isLastVoice() const { return nextVoice == nullptr; }
    void setPortamentoStartFrequency(double frequency) { portamentoStartFrequency = frequency; }

    double getValue();

    // Runs of frames between events. After a getValue() in which every setter was given the
    // value it already held, the next frames differ only in what moves by itself (glide,
    // oscillator, filter glides, envelope, the shared sustain level): isSteady() says whether
    // that holds, and renderSteady() then adds n such frames (1 <= n <= maximumRunFrames) to
    // mix[0..n), the sustain level of frame i being sustainLevels[i * stride]. Bit for bit the
    // same as n getValue() calls.
    bool isSteady() const;
    int framesUntilFinished(int limit) const {
        return envelopeGenerator.framesUntilFinished(limit);
    }
    void renderSteady(double* mix, int n, const double* sustainLevels, int stride);
    static constexpr int maximumRunFrames = 128;

    // List links, kept by the voice list.
    Zelvar_Voice* previousVoice = nullptr;
    Zelvar_Voice* nextVoice = nullptr;

private:
    void startNote(int noteNumber, int velocity);
    double parameter(int type) const;
    double glidedFrequency();

    Zelvar_ParameterManager* parameterManager = nullptr;
    double samplingRate = 44100.0;
    int noteNumber = 60;
    double noteFrequency = 1000.0;
    Zelvar_BlitOscillator blitOscillator;
    Zelvar_Oscillator oscillator;
    Zelvar_Oscillator spareOscillators[2];
    Zelvar_WavetableProvider* wavetableProvider = nullptr;
    Zelvar_PcmDataManager* pcmDataManager = nullptr;
    Zelvar_PcmOscillator pcmOscillator;
    Zelvar_FrequencyModulation frequencyModulation;
    Zelvar_EnvelopeGenerator envelopeGenerator;
    Zelvar_LowFrequencyOscillator lowFrequencyOscillator;
    Zelvar_IirLowPassFilter lowPassFilter;
    Zelvar_IirHighPassFilter highPassFilter;
    Zelvar_ValueSmoother* sustainLevelSmoother;
    Zelvar_RandomGenerator& random;
    double oscillatorFrequency = 1000.0;
    double portamentoStartFrequency = 1000.0;
    double portamentoCounter = 0.0;
    double velocityGain = 1.0;
    double outputSample = 0.0;
    // 2^(range bend / 12) for the bend cachedBend and the range cachedBendRange (1 for the
    // starting bend of 0).
    double bendFactor = 1.0;
    double cachedBend = 0.0;
    double cachedBendRange = 2.0;
};
