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
