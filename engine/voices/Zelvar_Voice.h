// One note: pitch (octave transpose, exponential glide, bend), a tone oscillator, a resonant
// four-pole low-pass and a high-pass filter, an amplitude envelope and a velocity gain.
//
// The voice list creates a voice per note on the audio thread, has it render runs of frames and
// destroys it when its envelope has finished. Every run re-reads the parameters from the engine
// values, so a knob move reaches notes that are already sounding; no event arrives inside a run,
// so they hold for its length. Its units live inside it, so a voice is one block of memory,
// taken from the voice list's pool.
//
// A run goes stage by stage: the frequencies of all its frames (glide and bend), then the
// oscillator, the two filters and the envelope each over the whole run, then the product. The
// units do not touch each other's state, and each performs per frame the operations a single
// frame would, in the same order, so the run gives the bits of as many single frames; a single
// frame is the run with n = 1.
//
// The voice list renders voices in groups of up to four (renderGroup): the oscillators of all,
// then their filters two by two in lockstep (see VoicePair.h), the low-pass and the high-pass
// in one loop, then their envelopes in one loop, then each voice's sum into the mix in list
// order. Since no unit reads another voice's state, a group gives the bits of its voices
// rendered one after the other; one voice is the same code with a group of one.
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
    // Three memos (attack, decay, release) shared by the voices of one list, which take the same
    // times: the stages are worked out once per change, not once per voice.
    void setStageMemos(Zelvar_EnvelopeGenerator::StageMemo* memos) { stageMemos = memos; }
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

    // One frame, taking the next value of the sustain smoother.
    double getValue();
    // Adds n frames (1 <= n <= maximumRunFrames) to mix[0..n), the sustain level of frame i
    // being sustainLevels[i * stride]. The voices of one run share the low-pass filter's glide
    // steps through lowPassSteps (maximumRunFrames of them), which may be null.
    void render(double* mix, int n, const double* sustainLevels, int stride,
                Zelvar_IirLowPassFilter::GlideStep* lowPassSteps);
    // `count` voices (1 to groupSize), each the next one's predecessor in the list: as render()
    // of each in turn, voice j's sustain level of frame i being sustainLevels[i * stride + j].
    static constexpr int groupSize = 4;
    static void renderGroup(Zelvar_Voice* const* voices, int count, double* mix, int n,
                            const double* sustainLevels, int stride,
                            Zelvar_IirLowPassFilter::GlideStep* lowPassSteps);
    // Hands the envelope its settings (releasing a note held by a lifted damper), as a run
    // does first, then says how many of the next `limit` frames it takes the envelope to finish
    // (that frame included), or `limit`; 0 if it has finished.
    int framesUntilFinished(int limit);
    static constexpr int maximumRunFrames = 128;

    // List links, kept by the voice list.
    Zelvar_Voice* previousVoice = nullptr;
    Zelvar_Voice* nextVoice = nullptr;

private:
    void startNote(int noteNumber, int velocity);
    double parameter(int type) const;
    void setUpEnvelope();
    void updateBendFactor();
    // The oscillator's frequency for each of n frames; returns their stride (0: one for all).
    int glide(double* frequencies, int n);
    template <int Count>
    static void renderVoices(Zelvar_Voice* const* voices, double* mix, int n,
                             const double* sustainLevels, int stride,
                             Zelvar_IirLowPassFilter::GlideStep* lowPassSteps);
    // The filters of one voice (Lanes double) or two (VoicePair) over n frames.
    template <typename Lanes>
    static void filter(const Zelvar_IirLowPassFilter::Lane* low,
                       const Zelvar_IirHighPassFilter::Lane* high, int n,
                       Zelvar_IirLowPassFilter::GlideStep* lowPassSteps);
    // The stages before the filters: the oscillator's n samples, and each filter's settings
    // (the low-pass cutoff of every frame goes to `cutoffs`).
    void renderSource(double* samples, double* cutoffs, int n, Zelvar_IirLowPassFilter::Lane& low,
                      Zelvar_IirHighPassFilter::Lane& high);
    // The last stage: the envelope's gains times the filtered samples, added to mix.
    void mixInto(double* mix, const double* samples, const double* gains, int n) const;

    Zelvar_ParameterManager* parameterManager = nullptr;
    Zelvar_EnvelopeGenerator::StageMemo* stageMemos = nullptr;
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
    // 2^(range bend / 12) for the bend cachedBend and the range cachedBendRange (1 for the
    // starting bend of 0).
    double bendFactor = 1.0;
    double cachedBend = 0.0;
    double cachedBendRange = 2.0;
};
