// The command line: parameters by name or symbol in their own units (checked against the
// engine's table, never a copy of it), the listing, and the options with their refusals.
#include "CommandLine.h"
#include "ParameterOption.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

ParameterSetting setting(const std::string& text) {
    ParameterSetting result;
    std::string error;
    EXPECT_TRUE(ParameterOption::parse(text, result, error)) << text << ": " << error;
    return result;
}

std::string refusal(const std::string& text) {
    ParameterSetting result;
    std::string error;
    EXPECT_FALSE(ParameterOption::parse(text, result, error)) << text;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
}

TEST(ParameterOptionTest, NamesAndSymbolsInAnyCaseInTheParametersOwnUnit) {
    const ParameterSetting cutoff = setting("cutoff=1200");
    EXPECT_EQ(cutoff.type, ParameterTypeLpfCutoffFrequency);
    EXPECT_EQ(cutoff.value, 1200.0);
    // The position the engine is sent scales back to the value given.
    EXPECT_NEAR(DspGetScaledValue(cutoff.type, cutoff.normalized), 1200.0, 1e-9);
    EXPECT_EQ(setting("LPF Cutoff Frequency=1200").normalized, cutoff.normalized);
    EXPECT_EQ(setting("lpf cutoff frequency=+1.2e3").normalized, cutoff.normalized);
    EXPECT_EQ(setting("release=2.5").type, ParameterTypeVcaEgReleaseTime);
    EXPECT_EQ(setting("Octave=-1").normalized, 0.25);
    EXPECT_EQ(setting("level=0").normalized, 0.0);
    EXPECT_EQ(setting("level=1").normalized, 1.0);
}

TEST(ParameterOptionTest, PositionNamesAndNumbersSelectTheSamePosition) {
    const ParameterSetting byName = setting("waveform=Sawtooth");
    EXPECT_EQ(byName.type, ParameterTypeOscillatorWaveform);
    EXPECT_EQ(byName.value, 2.0);
    EXPECT_DOUBLE_EQ(byName.normalized, 0.4);
    EXPECT_EQ(setting("waveform=2").normalized, byName.normalized);
    EXPECT_EQ(setting("Oscillator Waveform=noise").value, 5.0);
    EXPECT_EQ(setting("legato=On").normalized, 1.0);
    EXPECT_EQ(setting("damper=off").normalized, 0.0);
}

TEST(ParameterOptionTest, RefusalsSayWhatIsWrong) {
    EXPECT_NE(refusal("cutoff").find("NAME=VALUE"), std::string::npos);
    EXPECT_NE(refusal("brightness=3").find("unknown parameter \"brightness\""), std::string::npos);
    EXPECT_NE(refusal("none=0").find("unknown parameter"), std::string::npos);
    EXPECT_NE(refusal("=3").find("unknown parameter"), std::string::npos);
    EXPECT_EQ(refusal("cutoff=50000"), "cutoff: 50000 Hz is outside 200 to 20000 Hz");
    EXPECT_EQ(refusal("cutoff=199.9"), "cutoff: 199.9 Hz is outside 200 to 20000 Hz");
    EXPECT_EQ(refusal("attack=-1"), "attack: -1 s is outside 0.01 to 10 s");
    EXPECT_EQ(refusal("cutoff=bright"), "cutoff: \"bright\" is not a number");
    EXPECT_EQ(refusal("cutoff="), "cutoff: \"\" is not a number");
    EXPECT_EQ(refusal("cutoff=1200Hz"), "cutoff: \"1200Hz\" is not a number");
    for (const char* text : {"cutoff=nan", "cutoff=inf", "level=-inf"})
        EXPECT_NE(refusal(text).find("is not a number"), std::string::npos) << text;
    EXPECT_EQ(refusal("waveform=Saw"), "waveform: \"Saw\" is not a number or one of Sine, "
                                       "Triangle, Sawtooth, Square, Pulse, Noise");
}

TEST(ParameterOptionTest, TheListingHasEveryRowOfTheTableThatActs) {
    const std::string listing = ParameterOption::listing();
    for (ParameterType type = 1; type < ParameterTypeCount; ++type) {
        ParameterDescription d;
        ASSERT_EQ(DspGetParameterDescription(type, &d), 1);
        const bool acts = type != ParameterTypeVcaLfoFrequency;
        EXPECT_EQ(listing.find(d.name) != std::string::npos, acts) << d.name;
        EXPECT_EQ(listing.find(d.symbol) != std::string::npos, acts) << d.symbol;
    }
    ParameterSetting setting;
    std::string error;
    EXPECT_FALSE(ParameterOption::parse("lfo_frequency=5", setting, error));
    EXPECT_EQ(error, "lfo_frequency: this parameter has no effect: no part of the engine reads it");
    EXPECT_NE(listing.find("200 to 20000 Hz"), std::string::npos);
    EXPECT_NE(listing.find("0.01 to 10 s"), std::string::npos);
    EXPECT_NE(listing.find("Sine (Sine, Triangle"), std::string::npos);
    EXPECT_NE(listing.find("0.4096"), std::string::npos) << "the scaled default level";
    EXPECT_EQ(listing.find("None"), std::string::npos);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), ParameterTypeCount - 1) << listing;
}

struct Parsed {
    bool ok = false;
    RenderOptions options;
    std::string error;
};

Parsed parse(const std::vector<std::string>& arguments) {
    Parsed result;
    result.ok = CommandLine::parse(arguments, result.options, result.error);
    return result;
}

TEST(CommandLineTest, DefaultsAndEveryOption) {
    Parsed p = parse({"song.mid", "-o", "song.wav"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.action, RenderOptions::Action::render);
    EXPECT_EQ(p.options.inputPath, "song.mid");
    EXPECT_EQ(p.options.outputPath, "song.wav");
    EXPECT_EQ(p.options.format, SampleFormat::float32);
    EXPECT_EQ(p.options.sampleRate, 44100u);
    EXPECT_TRUE(p.options.automaticTail);
    EXPECT_FALSE(p.options.quiet);

    p = parse({"--format", "pcm16", "--rate=48000", "--output=out.wav", "--set", "cutoff=300",
               "--set=waveform=Square", "--tail", "2.5", "--quiet", "--", "-odd.mid"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.inputPath, "-odd.mid");
    EXPECT_EQ(p.options.outputPath, "out.wav");
    EXPECT_EQ(p.options.format, SampleFormat::pcm16);
    EXPECT_EQ(p.options.sampleRate, 48000u);
    ASSERT_EQ(p.options.settings.size(), 2u);
    EXPECT_EQ(p.options.settings[0].type, ParameterTypeLpfCutoffFrequency);
    EXPECT_EQ(p.options.settings[1].value, 3.0);
    EXPECT_FALSE(p.options.automaticTail);
    EXPECT_EQ(p.options.tailSeconds, 2.5);
    EXPECT_TRUE(p.options.quiet);
    EXPECT_EQ(parse({"a.mid", "-o", "a.wav", "--format", "pcm24"}).options.format,
              SampleFormat::pcm24);
    EXPECT_EQ(parse({"a.mid", "-o", "a.wav", "--tail", "0"}).options.tailSeconds, 0.0);

    EXPECT_EQ(parse({"--list-parameters"}).options.action, RenderOptions::Action::listParameters);
    EXPECT_EQ(parse({"-h"}).options.action, RenderOptions::Action::help);
    EXPECT_NE(CommandLine::usage().find("--list-parameters"), std::string::npos);
}

TEST(CommandLineTest, Refusals) {
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{}, "no MIDI file given"},
        {{"-o", "x.wav"}, "no MIDI file given"},
        {{"a.mid", "b.mid", "-o", "x.wav"}, "more than one MIDI file"},
        {{"a.mid"}, "no output file given"},
        {{"a.mid", "-o"}, "--output needs a value"},
        {{"a.mid", "--output="}, "--output needs a file name"},
        {{"a.mid", "-o", "x.wav", "--format", "mp3"}, "float, pcm16 or pcm24, not \"mp3\""},
        {{"a.mid", "-o", "x.wav", "--rate", "fast"}, "--rate takes a whole number"},
        {{"a.mid", "-o", "x.wav", "--rate", "7999"}, "from 8000 to 768000"},
        {{"a.mid", "-o", "x.wav", "--rate", "768001"}, "not \"768001\""},
        {{"a.mid", "-o", "x.wav", "--rate", "44100.5"}, "--rate takes a whole number"},
        {{"a.mid", "-o", "x.wav", "--tail", "-1"}, "0 or more, not \"-1\""},
        {{"a.mid", "-o", "x.wav", "--tail", "inf"}, "--tail takes a number"},
        {{"a.mid", "-o", "x.wav", "--set", "cutoff=1"}, "cutoff: 1 Hz is outside"},
        {{"a.mid", "-o", "x.wav", "--quiet=yes"}, "--quiet takes no value"},
        {{"a.mid", "-o", "x.wav", "--loud"}, "unknown option \"--loud\""},
        {{"a.mid", "-o", "x.wav", "-x"}, "unknown option \"-x\""},
    };
    for (const auto& c : cases) {
        const Parsed p = parse(c.arguments);
        EXPECT_FALSE(p.ok) << c.message;
        EXPECT_NE(p.error.find(c.message), std::string::npos)
            << "\"" << p.error << "\" lacks \"" << c.message << "\"";
    }
}

} // namespace
