// The parameter table's working copy and the engine values the signal units read.
//
// Two sides share it without a lock. Posting threads snap a knob position and record it with its
// scaled value in the table row (normalizedValue, currentValue: atomics, since the main thread may
// read a row while the MIDI thread writes it). The audio thread alone reads and writes dspValues,
// the values the voices, the voice list and the delay read on every sample.
#pragma once

#include "ParameterTable.h"

#include <atomic>

struct ParameterRecord {
    ParameterDefinition definition;
    double defaultValue;
    std::atomic<double> normalizedValue;
    std::atomic<double> currentValue;
};

class Zelvar_ParameterManager {
public:
    Zelvar_ParameterManager() = default;
    ~Zelvar_ParameterManager();
    Zelvar_ParameterManager(const Zelvar_ParameterManager&) = delete;
    Zelvar_ParameterManager& operator=(const Zelvar_ParameterManager&) = delete;

    void initialize();
    void setDefaultValues();
    double getScaledValue(int type, double normalized) const;
    // Snaps a knob position to the row's steps; positions outside 0..1 are held to the knob's
    // travel first, and a non-finite one changes nothing and yields 0.
    double setNormalizedValue(int type, double normalized);
    void setDspValueDirectly(int type, double normalized);
    // Events reach the audio thread by roads that bypass the posting checks (SetEventToSubBuffer,
    // sequencer events carry engine values unchanged), so the value the units read is guarded
    // here: outside types and non-finite values are ignored, others held to the row's range.
    // One NaN or a cutoff past Nyquist would otherwise poison a filter's state for good.
    void setDspValue(int type, double value);
    double getDspValue(int type) const { return dspValues[type]; }
    double getCurrentValue(int type) const;
    ParameterInfo getParameterInfo(int type) const;

private:
    // The working copy of the table's rows, one per type.
    ParameterRecord* records = nullptr;
    double* dspValues = nullptr;
};
