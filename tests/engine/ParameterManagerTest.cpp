#include "Zelvar_ParameterManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class ParameterManagerTest : public ::testing::Test {
protected:
    void SetUp() override { manager.initialize(); }
    Zelvar_ParameterManager manager;
};

} // namespace

TEST_F(ParameterManagerTest, EngineValuesStartAtTheScaledDefaults) {
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeMasterOutputLevel), 0.4096);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeLpfCutoffFrequency), 20000.0);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeVcaEgAttackTime), 0.01);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeOctaveTranspose), 0.0);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeLpfResonance), 0.7071);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeHpfCutoffFrequency), 20.0);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypePitchBendRange), 2.0);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeDelayTimeL), 0.2);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeVcaEgSustainLevel), 1.0);
}

TEST_F(ParameterManagerTest, PowerCurveMiddleCutoffIs1437Hz) {
    EXPECT_DOUBLE_EQ(manager.getScaledValue(ParameterTypeLpfCutoffFrequency, 0.5), 1437.5);
}

TEST_F(ParameterManagerTest, SnappingRoundsHalfAwayFromZeroToTheSteps) {
    EXPECT_DOUBLE_EQ(manager.setNormalizedValue(ParameterTypeOctaveTranspose, 0.6), 0.5);
    EXPECT_DOUBLE_EQ(manager.getCurrentValue(ParameterTypeOctaveTranspose), 0.0);
    EXPECT_DOUBLE_EQ(manager.setNormalizedValue(ParameterTypeOctaveTranspose, 0.65), 0.75);
    EXPECT_DOUBLE_EQ(manager.getCurrentValue(ParameterTypeOctaveTranspose), 1.0);
    EXPECT_DOUBLE_EQ(manager.setNormalizedValue(ParameterTypeDamper, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(manager.setNormalizedValue(ParameterTypeOscillatorWaveform, 0.5), 0.6);
    EXPECT_DOUBLE_EQ(manager.getCurrentValue(ParameterTypeOscillatorWaveform), 3.0);
    EXPECT_DOUBLE_EQ(manager.setNormalizedValue(ParameterTypeLpfResonance, 0.4996), 0.5);
    manager.setNormalizedValue(ParameterTypeLpfCutoffFrequency, 0.3);
    EXPECT_NEAR(manager.getCurrentValue(ParameterTypeLpfCutoffFrequency), 360.38, 1e-9);
}

TEST_F(ParameterManagerTest, SwitchRowsTakeOnlyTheirPositions) {
    for (double x = 0.0; x <= 1.0; x += 0.01) {
        manager.setNormalizedValue(ParameterTypePitchBendRange, x);
        const double semitones = manager.getCurrentValue(ParameterTypePitchBendRange);
        EXPECT_EQ(semitones, std::round(semitones));
        EXPECT_GE(semitones, 2.0);
        EXPECT_LE(semitones, 12.0);
    }
}

TEST_F(ParameterManagerTest, PostingDoesNotTouchTheEngineValue) {
    manager.setNormalizedValue(ParameterTypeMasterOutputLevel, 0.2);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeMasterOutputLevel), 0.4096);
    manager.setDspValueDirectly(ParameterTypeMasterOutputLevel, 0.5);
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeMasterOutputLevel), 0.0625);
}

TEST_F(ParameterManagerTest, InfoCopiesTheRow) {
    const ParameterInfo legato = manager.getParameterInfo(ParameterTypeLegato);
    EXPECT_EQ(legato.type, 22);
    EXPECT_STREQ(legato.name, "Legato");
    EXPECT_EQ(legato.steps, 2);
    const ParameterInfo cutoff = manager.getParameterInfo(ParameterTypeLpfCutoffFrequency);
    EXPECT_STREQ(cutoff.name, "LPF Cutoff Frequency");
    EXPECT_EQ(cutoff.minValue, 200.0);
    EXPECT_EQ(cutoff.maxValue, 20000.0);
    EXPECT_EQ(cutoff.defaultNormalizedValue, 1.0);
    EXPECT_EQ(cutoff.defaultValue, 20000.0);
}

TEST_F(ParameterManagerTest, OutOfRangeTypesAreRefused) {
    for (int type : {-1, 23, 1000}) {
        EXPECT_EQ(manager.setNormalizedValue(type, 0.7), 0.0);
        manager.setDspValue(type, 5.0);
        manager.setDspValueDirectly(type, 0.5);
        EXPECT_EQ(manager.getCurrentValue(type), 0.0);
        const ParameterInfo info = manager.getParameterInfo(type);
        EXPECT_EQ(info.type, 0);
        EXPECT_EQ(info.name[0], '\0');
    }
    EXPECT_DOUBLE_EQ(manager.getDspValue(ParameterTypeLegato), 0.0);
}

// Hosts save symbols in users' projects: they must be unique, lower-case identifiers, and the
// ones already published must never change.
TEST(ParameterDescription, SymbolsAreStableUniqueIdentifiers) {
    const char* published[ParameterTypeCount] = {
        "none",          "waveform",      "pulse_width",  "attack",       "decay",
        "sustain",       "release",       "cutoff",       "resonance",    "hpf_cutoff",
        "hpf_resonance", "lfo_frequency", "portamento",   "level",        "octave",
        "pitch_bend",    "bend_range",    "delay_time_l", "delay_time_r", "delay_feedback",
        "delay_mix",     "damper",        "legato"};
    for (int t = 0; t < ParameterTypeCount; ++t) {
        ParameterDescription d;
        ASSERT_EQ(DspGetParameterDescription(t, &d), 1);
        EXPECT_STREQ(d.symbol, published[t]);
        for (const char* c = d.symbol; *c != '\0'; ++c)
            EXPECT_TRUE((*c >= 'a' && *c <= 'z') || *c == '_' || (*c >= '0' && *c <= '9'));
        EXPECT_EQ(d.type, t);
    }
}

TEST(ParameterDescription, ColumnsMatchTheEngineRowsAndOutsideTypesAreRefused) {
    Zelvar_ParameterManager manager;
    manager.initialize();
    for (int t = 0; t < ParameterTypeCount; ++t) {
        ParameterDescription d;
        ASSERT_EQ(DspGetParameterDescription(t, &d), 1);
        const ParameterInfo info = manager.getParameterInfo(t);
        EXPECT_STREQ(d.name, info.name);
        EXPECT_EQ(d.minValue, info.minValue);
        EXPECT_EQ(d.maxValue, info.maxValue);
        EXPECT_EQ(d.steps, info.steps);
        EXPECT_EQ(d.defaultNormalizedValue, info.defaultNormalizedValue);
        EXPECT_EQ(d.defaultValue, info.defaultValue);
    }
    ParameterDescription d;
    EXPECT_EQ(DspGetParameterDescription(ParameterTypeCount, &d), 0);
    EXPECT_EQ(DspGetParameterDescription(-1, &d), 0);
    EXPECT_EQ(DspGetParameterDescription(ParameterTypeDamper, nullptr), 0);
    EXPECT_EQ(DspGetScaledValue(99, 0.5), 0.0);

    ASSERT_EQ(DspGetParameterDescription(ParameterTypeOscillatorWaveform, &d), 1);
    ASSERT_NE(d.valueLabels, nullptr);
    EXPECT_STREQ(d.valueLabels[2], "Sawtooth");
    EXPECT_STREQ(d.valueLabels[5], "Noise");
    ASSERT_EQ(DspGetParameterDescription(ParameterTypeLpfCutoffFrequency, &d), 1);
    EXPECT_STREQ(d.unit, "Hz");
    EXPECT_EQ(d.valueLabels, nullptr);
}

// A value typed in the parameter's unit must land on the position whose scaled value it is, and
// outside values clamp to the ends, on both curves.
TEST(ParameterDescription, ScaledAndNormalizedValuesInvertEachOther) {
    EXPECT_DOUBLE_EQ(DspGetScaledValue(ParameterTypeLpfCutoffFrequency, 0.5), 1437.5);
    EXPECT_NEAR(DspGetNormalizedValue(ParameterTypeLpfCutoffFrequency, 1437.5), 0.5, 1e-12);
    EXPECT_NEAR(DspGetNormalizedValue(ParameterTypeOctaveTranspose, 1.0), 0.75, 1e-12);
    EXPECT_EQ(DspGetNormalizedValue(ParameterTypeLpfCutoffFrequency, 1e9), 1.0);
    EXPECT_EQ(DspGetNormalizedValue(ParameterTypeLpfCutoffFrequency, -5.0), 0.0);
    EXPECT_EQ(DspGetNormalizedValue(ParameterTypeLpfCutoffFrequency, NAN), 0.0);
    for (int t = 1; t < ParameterTypeCount; ++t)
        for (double x = 0.0; x <= 1.0; x += 0.125)
            EXPECT_NEAR(DspGetNormalizedValue(t, DspGetScaledValue(t, x)), x, 1e-9) << t;
}
