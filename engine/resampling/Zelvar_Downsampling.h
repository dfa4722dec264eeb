// Renders a voice list at L × 44100 Hz and brings it down to 44100 Hz: every call takes L
// source samples (scaled by 0.01), and once every F/2 calls the block of M = F × L samples is
// low-passed at 20000 Hz with the FFT low-pass and decimated, half-overlapping the previous
// block. Output lags by F/2 samples. Nothing in the engine creates one.
//
// The source is any object with update(), getValue() and setParameterManager(), bound with
// setSourceVoiceList; the calls go through plain function pointers, no virtual dispatch.
#pragma once

#include "Zelvar_FFTLPF.h"

#include <vector>

class Zelvar_ParameterManager;

class Zelvar_Downsampling {
public:
    static constexpr double baseRate = 44100.0;
    static constexpr double cutoffHz = 20000.0;
    static constexpr double sourceGain = 0.01;

    template <class VoiceList> void setSourceVoiceList(VoiceList* list) {
        sourceContext = list;
        sourceUpdate = [](void* s) { static_cast<VoiceList*>(s)->update(); };
        sourceGetValue = [](void* s) { return static_cast<VoiceList*>(s)->getValue(); };
        sourceSetParameterManager = [](void* s, Zelvar_ParameterManager* manager) {
            static_cast<VoiceList*>(s)->setParameterManager(manager);
        };
    }

    // Refused (false, nothing prepared) unless F is even and at least 2, L at least 1, and
    // F × L a power of two the FFT supports.
    bool initialize(int frameLength, int factor);
    bool isPrepared() const { return lowPass.isPrepared(); }
    // Kept, and handed on to the source if one is bound.
    void setParameterManager(Zelvar_ParameterManager* manager);

    // Unprepared, it returns 0; without a source, the source samples are 0.
    double nextValue();

private:
    void pullSource();
    void processBlock();

    void* sourceContext = nullptr;
    void (*sourceUpdate)(void*) = nullptr;
    double (*sourceGetValue)(void*) = nullptr;
    void (*sourceSetParameterManager)(void*, Zelvar_ParameterManager*) = nullptr;
    Zelvar_FFTLPF lowPass;
    int counter = 0;
    int blockLength = 0;              // M
    int factor = 1;                   // L
    int frameLength = 0;              // F
    std::vector<double> in, filtered; // M slots each
    std::vector<double> out, d;       // F frames each
    std::vector<double> history;      // the M/2 source samples that open the next block
    double lastOutput = 0.0;
    Zelvar_ParameterManager* parameterManager = nullptr;
};
