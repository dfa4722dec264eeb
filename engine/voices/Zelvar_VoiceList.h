// Polyphony: the sounding voices in one ordered, doubly linked list, the policies that start,
// take over, glide or release them, and the mix. The mix is scaled by the smoothed master level
// and sent through a left and a right delay to make the stereo output.
//
// List order carries meaning: stealing and legato scan from the front, so voices near the front
// are taken over first. Taken-over voices move to the front, released voices gather ahead of
// the held ones, and a new voice joins at the end. Audio thread only.
//
// Frames are rendered in runs between events: voice by voice over the run (four at a time, see
// Zelvar_Voice), summed per frame in list order (the order of the additions is what keeps the
// bits), then scaled by the master level and delayed frame by frame. Every voice takes the next
// value of the shared sustain smoother on every frame, in list order, so a sustain glide runs
// faster with more voices; a run replays exactly that order. A single frame is a run of one.
#pragma once

#include "Corvena_Core.h"
#include "Zelvar_BlockPool.h"
#include "Zelvar_EnvelopeGenerator.h"
#include "Zelvar_RandomGenerator.h"
#include "Zelvar_Voice.h"

class Zelvar_NoteList;
class Zelvar_ParameterManager;
class Zelvar_ValueSmoother;
class Zelvar_WavetableProvider;
class Zelvar_PcmDataManager;
class Zelvar_Delay;

class Zelvar_VoiceList {
public:
    // Voices that may exist at once: the eight that sound plus those fading out after being
    // taken over (100 samples each). A note on that finds the pool exhausted cuts the oldest
    // fading voice short; with none fading, the note is dropped.
    static constexpr int voiceCapacity = 64;

    Zelvar_VoiceList() = default;
    ~Zelvar_VoiceList();
    Zelvar_VoiceList(const Zelvar_VoiceList&) = delete;
    Zelvar_VoiceList& operator=(const Zelvar_VoiceList&) = delete;

    // The smoothers start at the values of the manager given by setParameterManager, which
    // comes first.
    void initialize();
    void setSamplingRate(double rate) { samplingRate = rate; }
    void setParameterManager(Zelvar_ParameterManager* manager);
    void setBundleDirectoryPath(const char* path);

    void noteOn(int noteNumber, int velocity);
    void noteOff(int noteNumber);
    void allNoteOff();
    void legatoNoteOn(int noteNumber, int velocity);
    // With the voice pool exhausted, ends the oldest voice that is fading out so that its block
    // is free; false when the pool is exhausted and no voice is fading out.
    bool makeRoomForVoice();
    // Returns false when no voice could be created (the voice pool is exhausted).
    bool normalNoteOn(int noteNumber, int velocity);
    void softStealNoteOn(int noteNumber, int velocity);
    void hardStealNoteOn(int noteNumber, int velocity);
    void orderedNoteOff(int noteNumber);

    void update();
    void getStereoValue(double* left, double* right) { render(left, right, 1); }
    // Up to `limit` output frames (left[i], right[i]) during which no event arrives; returns how
    // many it rendered (at least 1, at most Zelvar_Voice::maximumRunFrames). It stops after the
    // frame on which a voice finishes, since the voice leaves the list at the next update().
    int render(double* left, double* right, int limit);
    int getCurrentVoiceCount() const { return currentVoiceCount; }

    // For tests and diagnostics: the list from the front.
    Zelvar_Voice* getFirstVoice() const { return firstVoice; }
    double getPortamentoStartFrequency() const { return portamentoStartFrequency; }
    const Zelvar_BlockPool& getVoicePool() const { return voicePool; }
    int getDroppedNoteCount() const { return droppedNoteCount; }

private:
    double parameter(int type) const;
    void unlink(Zelvar_Voice* voice);
    void append(Zelvar_Voice* voice);
    void insertBefore(Zelvar_Voice* voice, Zelvar_Voice* before);
    void moveToFront(Zelvar_Voice* voice);
    void moveAheadOfHeldVoices(Zelvar_Voice* voice, Zelvar_Voice* successor);
    void setUpSmoother(Zelvar_ValueSmoother* smoother, int type, double startingValue);
    // How many of the next `limit` frames the voices can take before one of them finishes, and
    // how many voices there are.
    int runLength(int limit, int* voices);
    static void glide(Zelvar_ValueSmoother* smoother, double target, double* values, int frames,
                      int steps);
    template <typename CanRelease, typename Release>
    void releaseInOrder(CanRelease canRelease, Release release);

    Zelvar_ValueSmoother* masterLevelSmoother = nullptr;
    Zelvar_ValueSmoother* sustainLevelSmoother = nullptr;
    Zelvar_NoteList* noteList = nullptr;
    Zelvar_ParameterManager* parameterManager = nullptr;
    Zelvar_WavetableProvider* wavetableProvider = nullptr;
    Zelvar_PcmDataManager* pcmDataManager = nullptr;
    Zelvar_Delay* delayLeft = nullptr;
    Zelvar_Delay* delayRight = nullptr;
    double samplingRate = 44100.0;
    Zelvar_Voice* firstVoice = nullptr;
    int maxVoiceCount = 8;
    int currentVoiceCount = 0;
    bool softSteal = true;
    double portamentoStartFrequency = 1000.0;
    char bundleDirectoryPath[DspBundleDirectoryPathCapacity] = {};
    // Seeds of the voices' noise registers: this engine's own sequence, no process-wide lock.
    Zelvar_RandomGenerator random;
    Zelvar_BlockPool voicePool;
    int droppedNoteCount = 0;
    // The voices' low-pass glide steps, one per frame of a run: voices whose filters glide alike
    // compute each step once.
    Zelvar_IirLowPassFilter::GlideStep lowPassSteps[Zelvar_Voice::maximumRunFrames];
    // The voices' envelope stages (attack, decay, release) as last worked out.
    Zelvar_EnvelopeGenerator::StageMemo stageMemos[3];
    // The sustain smoother's values for a run, voice by voice, frame by frame.
    static constexpr int sustainLevelCapacity = 4096;
    double sustainLevels[sustainLevelCapacity];
};
