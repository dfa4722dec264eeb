#include "Zelvar_VoiceList.h"

#include "Corvena_Core.h"
#include "Zelvar_Delay.h"
#include "Zelvar_EnvelopeGenerator.h"
#include "Zelvar_NoteList.h"
#include "Zelvar_ParameterManager.h"
#include "Zelvar_PcmDataManager.h"
#include "Zelvar_ValueSmoother.h"
#include "Zelvar_Voice.h"
#include "Zelvar_WavetableProvider.h"

#include <cstring>

Zelvar_VoiceList::~Zelvar_VoiceList() {
    while (firstVoice != nullptr) {
        Zelvar_Voice* next = firstVoice->nextVoice;
        delete firstVoice;
        firstVoice = next;
    }
    delete delayRight;
    delete delayLeft;
    delete pcmDataManager;
    delete wavetableProvider;
    delete noteList;
    delete sustainLevelSmoother;
    delete masterLevelSmoother;
}

void Zelvar_VoiceList::setBundleDirectoryPath(const char* path) {
    if (path == nullptr || strnlen(path, sizeof bundleDirectoryPath) >= sizeof bundleDirectoryPath)
        return;
    std::strcpy(bundleDirectoryPath, path);
}

void Zelvar_VoiceList::setParameterManager(Zelvar_ParameterManager* manager) {
    parameterManager = manager;
}

void Zelvar_VoiceList::setUpSmoother(Zelvar_ValueSmoother* smoother, int type,
                                     double startingValue) {
    smoother->setMaxValue(parameterTable[type].maxValue);
    smoother->setMinValue(parameterTable[type].minValue);
    // One step is 1/2205 of the range at 44100 Hz: a full sweep takes 50 ms.
    smoother->setNormalizedDelta(1.0 / (0.05 * samplingRate));
    smoother->setCurrentValue(startingValue);
}

void Zelvar_VoiceList::initialize() {
    voicePool.reserve(sizeof(Zelvar_Voice), voiceCapacity);
    noteList = new Zelvar_NoteList;
    noteList->initialize();

    wavetableProvider = new Zelvar_WavetableProvider(2048, 500);
    wavetableProvider->setBundleDirectoryPath(bundleDirectoryPath);
    wavetableProvider->createWavetable();

    pcmDataManager = new Zelvar_PcmDataManager;
    pcmDataManager->initialize();

    delayLeft = new Zelvar_Delay;
    delayLeft->initialize();
    delayRight = new Zelvar_Delay;
    delayRight->initialize();

    masterLevelSmoother = new Zelvar_ValueSmoother;
    setUpSmoother(masterLevelSmoother, ParameterTypeMasterOutputLevel,
                  parameter(ParameterTypeMasterOutputLevel));
    sustainLevelSmoother = new Zelvar_ValueSmoother;
    setUpSmoother(sustainLevelSmoother, ParameterTypeVcaEgSustainLevel,
                  parameter(ParameterTypeVcaEgSustainLevel));
}

double Zelvar_VoiceList::parameter(int type) const {
    return parameterManager != nullptr ? parameterManager->getDspValue(type) : 0.0;
}

// ---- list surgery: every move keeps both links of every voice consistent ----

void Zelvar_VoiceList::unlink(Zelvar_Voice* voice) {
    if (voice->previousVoice != nullptr)
        voice->previousVoice->nextVoice = voice->nextVoice;
    else
        firstVoice = voice->nextVoice;
    if (voice->nextVoice != nullptr)
        voice->nextVoice->previousVoice = voice->previousVoice;
    voice->previousVoice = nullptr;
    voice->nextVoice = nullptr;
}

void Zelvar_VoiceList::append(Zelvar_Voice* voice) {
    if (firstVoice == nullptr) {
        firstVoice = voice;
        return;
    }
    Zelvar_Voice* last = firstVoice;
    while (last->nextVoice != nullptr)
        last = last->nextVoice;
    last->nextVoice = voice;
    voice->previousVoice = last;
}

void Zelvar_VoiceList::insertBefore(Zelvar_Voice* voice, Zelvar_Voice* before) {
    voice->nextVoice = before;
    voice->previousVoice = before->previousVoice;
    if (before->previousVoice != nullptr)
        before->previousVoice->nextVoice = voice;
    else
        firstVoice = voice;
    before->previousVoice = voice;
}

void Zelvar_VoiceList::moveToFront(Zelvar_Voice* voice) {
    if (voice == firstVoice)
        return;
    unlink(voice);
    insertBefore(voice, firstVoice);
}

// A released voice goes just before the first held voice other than its old successor, so the
// releases gather ahead of the held notes, oldest release first.
void Zelvar_VoiceList::moveAheadOfHeldVoices(Zelvar_Voice* voice, Zelvar_Voice* successor) {
    if (voice == firstVoice)
        return;
    Zelvar_Voice* held = firstVoice;
    while (held != nullptr && !(held->getState() == EnvelopeStateNoteOn && held != successor))
        held = held->nextVoice;
    if (held == nullptr || held == voice)
        return;
    unlink(voice);
    insertBefore(voice, held);
}

// ---- note policies ----

void Zelvar_VoiceList::noteOn(int noteNumber, int velocity) {
    noteList->addNote(noteNumber, velocity);
    if (parameter(ParameterTypeLegato) >= 0.5) {
        if (currentVoiceCount > 0) {
            legatoNoteOn(noteNumber, velocity);
        } else if (normalNoteOn(noteNumber, velocity)) {
            currentVoiceCount += 1;
        }
        return;
    }
    if (currentVoiceCount < maxVoiceCount) {
        if (normalNoteOn(noteNumber, velocity))
            currentVoiceCount += 1;
    } else if (softSteal) {
        softStealNoteOn(noteNumber, velocity);
    } else {
        hardStealNoteOn(noteNumber, velocity);
    }
}

bool Zelvar_VoiceList::makeRoomForVoice() {
    if (!voicePool.isReserved() || voicePool.getFreeCount() > 0)
        return true;
    // A burst of notes can leave every block with a voice still fading out from a steal. The
    // note just played matters more than the last samples of a fade already under way: the
    // oldest fading voice ends at once and gives up its block.
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr; voice = voice->nextVoice) {
        if (voice->getState() == EnvelopeStateFadeOut) {
            unlink(voice);
            delete voice;
            return true;
        }
    }
    return false;
}

bool Zelvar_VoiceList::normalNoteOn(int noteNumber, int velocity) {
    makeRoomForVoice();
    // From the pool reserved at initialize(): the audio thread never calls the system allocator.
    auto* voice = new (&voicePool) Zelvar_Voice(sustainLevelSmoother, random);
    if (voice == nullptr) {
        ++droppedNoteCount;
        return false;
    }
    voice->setParameterManager(parameterManager);
    voice->setStageMemos(stageMemos);
    voice->initialize();
    voice->setSamplingRate(samplingRate);
    voice->setWavetableProvider(wavetableProvider);
    voice->setPcmDataManager(pcmDataManager);
    voice->noteOn(noteNumber, velocity);
    append(voice);
    voice->setPortamentoStartFrequency(portamentoStartFrequency);
    return true;
}

void Zelvar_VoiceList::legatoNoteOn(int noteNumber, int velocity) {
    bool glided = false;
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr;) {
        Zelvar_Voice* next = voice->nextVoice;
        if (voice->getState() != EnvelopeStateFadeOut) {
            if (!glided) {
                voice->setPortamentoStartFrequency(portamentoStartFrequency);
                voice->legatoNoteOn(noteNumber, velocity);
                glided = true;
            } else {
                voice->setFadeOut();
                moveToFront(voice);
            }
        }
        voice = next;
    }
}

void Zelvar_VoiceList::softStealNoteOn(int noteNumber, int velocity) {
    // With no block for the new voice the note is dropped before it takes a sounding voice away.
    if (!makeRoomForVoice()) {
        ++droppedNoteCount;
        return;
    }
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr; voice = voice->nextVoice) {
        if (voice->getState() != EnvelopeStateFadeOut) {
            voice->setFadeOut();
            moveToFront(voice);
            break;
        }
    }
    normalNoteOn(noteNumber, velocity);
}

void Zelvar_VoiceList::hardStealNoteOn(int noteNumber, int velocity) {
    Zelvar_Voice* voice = firstVoice;
    if (voice == nullptr)
        return;
    voice->noteOn(noteNumber, velocity);
    if (voice->nextVoice != nullptr) {
        unlink(voice);
        append(voice);
    }
}

void Zelvar_VoiceList::noteOff(int noteNumber) {
    noteList->removeNote(noteNumber);
    if (parameter(ParameterTypeLegato) >= 0.5 && noteList->existNote()) {
        int held = 0, velocity = 0;
        noteList->getNote(&held, &velocity);
        legatoNoteOn(held, velocity);
        return;
    }
    orderedNoteOff(noteNumber);
}

template <typename CanRelease, typename Release>
void Zelvar_VoiceList::releaseInOrder(CanRelease canRelease, Release release) {
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr;) {
        Zelvar_Voice* next = voice->nextVoice;
        if (canRelease(voice)) {
            release(voice);
            moveAheadOfHeldVoices(voice, next);
        }
        voice = next;
    }
}

void Zelvar_VoiceList::orderedNoteOff(int noteNumber) {
    releaseInOrder([noteNumber](Zelvar_Voice* v) { return v->canNoteOff(noteNumber); },
                   [noteNumber](Zelvar_Voice* v) { v->noteOff(noteNumber); });
}

void Zelvar_VoiceList::allNoteOff() {
    releaseInOrder([](Zelvar_Voice* v) { return v->canAllNoteOff(); },
                   [](Zelvar_Voice* v) { v->allNoteOff(); });
}

// ---- per frame ----

void Zelvar_VoiceList::update() {
    int count = 0;
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr;) {
        Zelvar_Voice* next = voice->nextVoice;
        const int state = voice->getState();
        if (state == EnvelopeStateFinished) {
            unlink(voice);
            delete voice;
        } else if (state != EnvelopeStateFadeOut) {
            ++count;
        }
        voice = next;
    }
    currentVoiceCount = count;
}

// `frames` frames of `steps` values each from the smoother, given `target` on every frame as an
// owner would. Once it rests on that target every further value is the target, and the rest of
// the run is filled and counted at once.
void Zelvar_VoiceList::glide(Zelvar_ValueSmoother* smoother, double target, double* values,
                             int frames, int steps) {
    Zelvar_ValueSmoother s = *smoother;
    for (int i = 0, k = 0; i < frames; ++i) {
        s.setTargetValue(target);
        if (s.isResting() && target == s.getTargetValue()) {
            for (const double value = s.getTargetValue(); k < frames * steps; ++k)
                values[k] = value;
            s.rest((frames - i) * steps);
            break;
        }
        for (int j = 0; j < steps; ++j)
            values[k++] = s.nextValue();
    }
    *smoother = s;
}

int Zelvar_VoiceList::runLength(int limit, int* voices) {
    int n = limit < Zelvar_Voice::maximumRunFrames ? limit : Zelvar_Voice::maximumRunFrames;
    int count = 0;
    for (Zelvar_Voice* voice = firstVoice; voice != nullptr; voice = voice->nextVoice) {
        // A voice already finished (no update() since) stays finished and ends nothing.
        if (voice->getState() != EnvelopeStateFinished)
            n = voice->framesUntilFinished(n);
        ++count;
    }
    if (count > 0 && n * count > sustainLevelCapacity)
        n = sustainLevelCapacity / count;
    *voices = count;
    return n > 1 ? n : 1;
}

int Zelvar_VoiceList::render(double* left, double* right, int limit) {
    int voices = 0;
    const int n = runLength(limit, &voices);
    const double master = parameter(ParameterTypeMasterOutputLevel);
    const double sustain = parameter(ParameterTypeVcaEgSustainLevel);

    // Each voice takes one sustain level per frame, in list order.
    glide(sustainLevelSmoother, sustain, sustainLevels, n, voices);
    double frames[Zelvar_Voice::maximumRunFrames] = {};
    // Up to four voices at a time, in list order.
    Zelvar_Voice* group[Zelvar_Voice::groupSize];
    Zelvar_Voice* last = nullptr;
    for (int index = 0; index < voices;) {
        int count = 0;
        for (Zelvar_Voice* voice = last != nullptr ? last->nextVoice : firstVoice;
             voice != nullptr && count < Zelvar_Voice::groupSize; voice = voice->nextVoice)
            group[count++] = voice;
        Zelvar_Voice::renderGroup(group, count, frames, n, sustainLevels + index, voices,
                                  lowPassSteps);
        last = group[count - 1];
        index += count;
    }
    // The next note's glide starts where the newest voice is playing now.
    if (last != nullptr)
        portamentoStartFrequency = last->getOscillatorFrequency();

    double levels[Zelvar_Voice::maximumRunFrames];
    glide(masterLevelSmoother, master, levels, n, 1);
    for (int i = 0; i < n; ++i)
        frames[i] = frames[i] * levels[i] * 0.1;

    delayLeft->setFeedback(parameter(ParameterTypeDelayFeedback));
    delayLeft->setMix(parameter(ParameterTypeDelayMix));
    delayRight->setFeedback(parameter(ParameterTypeDelayFeedback));
    delayRight->setMix(parameter(ParameterTypeDelayMix));
    delayLeft->process(frames, left, n, parameter(ParameterTypeDelayTimeL));
    delayRight->process(frames, right, n, parameter(ParameterTypeDelayTimeR));
    return n;
}
