// The parameter table's constant columns as the C interface gives them to hosts.
#include "Corvena_Core.h"
#include "Zelvar_ParameterManager.h"

#include <gtest/gtest.h>

#include <cmath>

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
