// Knob readouts as people read them: numbers, units and position names from the engine's
// parameter table, values snapped as the engine snaps them, and the text of each of the nine
// panel knobs at its ends and in its middle.
#include "ParameterReadout.h"
#include "MainViewController.h"
#include "PanelTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ParameterReadout, NumbersKeepThreeSignificantDigitsWithoutTrailingZeros) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.25, "1.25"},    {1.2, "1.2"},         {1.0, "1"},           {20.0, "20"},
        {0.7071, "0.707"}, {1487.7475, "1490"},  {659.727, "660"},     {0.065037, "0.065"},
        {0.4096, "0.41"},  {0.001, "0.001"},     {0.0009999, "0.001"}, {12345.0, "12300"},
        {-2.0, "-2"},      {-0.5, "-0.5"},       {1.445, "1.45"},      {0.0, "0"},
        {-0.0, "0"},       {0.00099, "< 0.001"}, {1e-12, "< 0.001"},   {-1e-5, "> -0.001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParameterReadout::formatNumber(c.value, false), c.text) << c.value;
    EXPECT_EQ(ParameterReadout::formatNumber(1.0, true), "+1");
    EXPECT_EQ(ParameterReadout::formatNumber(0.0, true), "0");
    EXPECT_EQ(ParameterReadout::formatNumber(-1.0, true), "-1");
    EXPECT_EQ(ParameterReadout::formatNumber(std::numeric_limits<double>::quiet_NaN(), false), "?");
}

TEST(ParameterReadout, UnitsChangeScaleWhereNumbersGrowLongOrSmall) {
    // Cutoff: 200 + 19800 x^4 Hz on the engine's steps of 0.001: 997.6 Hz, then 1004.7 Hz.
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeLpfCutoffFrequency, 0.448), "998 Hz");
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeLpfCutoffFrequency, 0.449), "1 kHz");
    // Attack: 0.01 + 9.99 x^4 s: 35.15 ms, and 1.30 s.
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeVcaEgAttackTime, 0.224), "35.2 ms");
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeVcaEgAttackTime, 0.6), "1.3 s");
    // Parameters no knob shows read as well: counted units agree with their number.
    EXPECT_EQ(ParameterReadout::text(ParameterTypePitchBendRange, 0.0),
              "Pitch Bend Range 2 semitones");
    EXPECT_EQ(ParameterReadout::text(ParameterTypePortamentoTime, 0.0), "Portamento Time 0 ms");
    EXPECT_EQ(ParameterReadout::text(ParameterTypeDamper, 1.0), "Damper On");
    EXPECT_EQ(ParameterReadout::text(ParameterTypePitchBend, 0.75), "Pitch Bend +0.5");
    EXPECT_EQ(ParameterReadout::text(ParameterTypeDelayTimeL, 0.2), "Delay Time L 200 ms");
    EXPECT_EQ(ParameterReadout::text(ParameterTypeCount, 0.5), "");
    EXPECT_EQ(ParameterReadout::text(-1, 0.5), "");
}

TEST(ParameterReadout, ShowsTheValueTheEngineSnapsTo) {
    EXPECT_EQ(ParameterReadout::snapped(5, 0.3), 0.25);
    EXPECT_EQ(ParameterReadout::snapped(5, 0.375), 0.5); // halves away from zero
    EXPECT_EQ(ParameterReadout::snapped(1001, 0.0005), 0.001);
    EXPECT_EQ(ParameterReadout::snapped(1, 0.3), 0.3);
    // 0.3 is no octave position: the engine takes −1, not −0.8.
    EXPECT_EQ(ParameterReadout::text(ParameterTypeOctaveTranspose, 0.3), "Octave Transpose -1");
    // Six waveform steps: 0.5 lies halfway between sawtooth and square and goes up.
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeOscillatorWaveform, 0.5), "Square");
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeOscillatorWaveform, 0.8), "Pulse");
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeOscillatorWaveform, 7.0), "Noise");
    EXPECT_EQ(ParameterReadout::valueText(ParameterTypeOscillatorWaveform, -1.0), "Sine");
}

// Each panel knob's readout at its lowest position, its middle and its top (100-position knobs
// have no middle position; 50/99 stands for it).
TEST(KnobReadout, NineKnobsAtTheirEndsAndMiddle) {
    PostingRecorder engine;
    MainViewController controller;
    controller.view();
    const struct {
        Zelvar_SimpleKnob* knob;
        const char* low;
        const char* middle;
        const char* high;
    } rows[] = {
        {controller.waveformKnob, "Oscillator Waveform Sine", "Oscillator Waveform Sawtooth",
         "Oscillator Waveform Noise"},
        {controller.octaveTransposeKnob, "Octave Transpose -2", "Octave Transpose 0",
         "Octave Transpose +2"},
        {controller.lpfCutoffKnob, "LPF Cutoff Frequency 200 Hz", "LPF Cutoff Frequency 1.49 kHz",
         "LPF Cutoff Frequency 20 kHz"},
        {controller.lpfResonanceKnob, "LPF Resonance 0.707", "LPF Resonance 1.31",
         "LPF Resonance 10"},
        {controller.egAttackKnob, "VCA EG Attack Time 10 ms", "VCA EG Attack Time 660 ms",
         "VCA EG Attack Time 10 s"},
        {controller.egDecayKnob, "VCA EG Decay Time 10 ms", "VCA EG Decay Time 660 ms",
         "VCA EG Decay Time 10 s"},
        {controller.egSustainKnob, "VCA EG Sustain Level 0", "VCA EG Sustain Level 0.065",
         "VCA EG Sustain Level 1"},
        {controller.egReleaseKnob, "VCA EG Release Time 10 ms", "VCA EG Release Time 660 ms",
         "VCA EG Release Time 10 s"},
        {controller.masterOutputKnob, "Master Output Level 0", "Master Output Level 0.065",
         "Master Output Level 1"},
    };
    for (const auto& row : rows) {
        Zelvar_SimpleKnob& knob = *row.knob;
        const double middle = knob.resolution == 5 ? 0.5 : 50.0 / 99.0;
        knob.value = 0.0;
        EXPECT_EQ(MainViewController::readoutText(knob), row.low);
        knob.value = middle;
        EXPECT_EQ(MainViewController::readoutText(knob), row.middle);
        knob.value = 1.0;
        EXPECT_EQ(MainViewController::readoutText(knob), row.high);
    }
    // The waveform knob's other positions, as the controller posts them (never pulse).
    controller.waveformKnob->value = 0.25;
    EXPECT_EQ(MainViewController::readoutText(*controller.waveformKnob),
              "Oscillator Waveform Triangle");
    controller.waveformKnob->value = 0.75;
    EXPECT_EQ(MainViewController::readoutText(*controller.waveformKnob),
              "Oscillator Waveform Square");
    // The output knob's start, between two of its positions.
    controller.masterOutputKnob->value = 0.8;
    EXPECT_EQ(MainViewController::readoutText(*controller.masterOutputKnob),
              "Master Output Level 0.41");
    EXPECT_TRUE(engine.drain().empty()) << "reading out posts nothing";
}

} // namespace
