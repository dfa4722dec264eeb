// One note: pitch (octave transpose, exponential glide, bend), a tone oscillator, a resonant
// four-pole low-pass and a high-pass filter, an amplitude envelope and a velocity gain.
//
// The voice list creates a voice per note on the audio thread, asks it for one sample per frame
// and destroys it when its envelope has finished. Every sample the voice re-reads its parameters
// from the engine values, so a knob move reaches notes that are already sounding.
#pragma once

class Zelvar_Dsp;
class Zelvar_ParameterManager;
class Zelvar_WavetableProvider;
class Zelvar_PcmDataManager;
class Zelvar_ValueSmoother;
class Zelvar_BlitOscillator;
class Zelvar_Oscillator;
class Zelvar_PcmOscillator;
class Zelvar_FrequencyModulation;
class Zelvar_EnvelopeGenerator;
class Zelvar_LowFrequencyOscillator;
class Zelvar_IirLowPassFilter;
class Zelvar_IirHighPassFilter;

class Zelvar_Voice {
public:
    Zelvar_Voice(Zelvar_Dsp* engine, Zelvar_ValueSmoother* sustainLevelSmoother);
    ~Zelvar_Voice();
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

    // List links, kept by the voice list.
    Zelvar_Voice* previousVoice = nullptr;
    Zelvar_Voice* nextVoice = nullptr;

private:
    void startNote(int noteNumber, int velocity);
    double parameter(int type) const;
    double glidedFrequency();

    Zelvar_Dsp* engine;
    Zelvar_ParameterManager* parameterManager = nullptr;
    double samplingRate = 44100.0;
    int noteNumber = 60;
    double noteFrequency = 1000.0;
    Zelvar_BlitOscillator* blitOscillator = nullptr;
    Zelvar_Oscillator* oscillator = nullptr;
    Zelvar_Oscillator* spareOscillators[2] = {nullptr, nullptr};
    Zelvar_WavetableProvider* wavetableProvider = nullptr;
    Zelvar_PcmDataManager* pcmDataManager = nullptr;
    Zelvar_PcmOscillator* pcmOscillator = nullptr;
    Zelvar_FrequencyModulation* frequencyModulation = nullptr;
    Zelvar_EnvelopeGenerator* envelopeGenerator = nullptr;
    Zelvar_LowFrequencyOscillator* lowFrequencyOscillator = nullptr;
    Zelvar_IirLowPassFilter* lowPassFilter = nullptr;
    Zelvar_IirHighPassFilter* highPassFilter = nullptr;
    Zelvar_ValueSmoother* sustainLevelSmoother;
    double oscillatorFrequency = 1000.0;
    double portamentoStartFrequency = 1000.0;
    double portamentoCounter = 0.0;
    double velocityGain = 1.0;
    double outputSample = 0.0;
    // 2^(2 bend / 12) for the bend value cachedBend.
    double bendFactor = 1.0;
    double cachedBend = 0.0;
    bool bendCached = false;
};
