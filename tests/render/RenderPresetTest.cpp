// The factory presets from the renderer's command line, in-process and as the program runs:
// --preset by name, label or unique prefix expands into a value for every control it covers
// (so a --set after it changes one control and a --set before it is overridden),
// --list-presets lists the bank's labels, and a preset reaches the sound, the same on a rerun.
#include "CommandLine.h"
#include "FactoryPresets.h"
#include "MidiFileBuilder.h"
#include "ProgramRun.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

RenderOptions parsed(const std::vector<std::string>& arguments) {
    RenderOptions options;
    std::string error;
    EXPECT_TRUE(CommandLine::parse(arguments, options, error)) << error;
    return options;
}

// The position the engine ends up with for `type`: the last setting for it wins.
double lastPosition(const RenderOptions& options, ParameterType type) {
    double position = std::nan("");
    for (const ParameterSetting& setting : options.settings)
        if (setting.type == type)
            position = setting.normalized;
    return position;
}

TEST(RenderPresetOptionTest, APresetSetsEveryControlItCoversAndALaterSetWins) {
    std::string error;
    const FactoryPreset* pad = FactoryPresets::find("Pad: Warm Pad", error);
    ASSERT_NE(pad, nullptr) << error;
    const RenderOptions options = parsed({"in.mid", "-o", "out.wav", "--set", "attack=5",
                                          "--preset", "warm p", "--set", "cutoff=300"});
    for (ParameterType type = ParameterTypeNone + 1; type < ParameterTypeCount; ++type) {
        ParameterDescription d;
        ASSERT_TRUE(DspGetParameterDescription(type, &d));
        SCOPED_TRACE(d.symbol);
        const double position = lastPosition(options, type);
        if (!FactoryPresets::covers(type))
            EXPECT_TRUE(std::isnan(position));
        else if (type == ParameterTypeLpfCutoffFrequency)
            EXPECT_EQ(position, DspGetNormalizedValue(type, 300.0));
        else
            EXPECT_EQ(position, DspGetNormalizedValue(type, FactoryPresets::value(*pad, type)));
    }
}

TEST(RenderPresetOptionTest, RefusalsNameTheCandidatesOrTheListing) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(
        CommandLine::parse({"in.mid", "-o", "out.wav", "--preset", "bass"}, options, error));
    EXPECT_NE(error.find("\"Bass: Round Sub\""), std::string::npos) << error;
    EXPECT_FALSE(
        CommandLine::parse({"in.mid", "-o", "out.wav", "--preset", "kazoo"}, options, error));
    EXPECT_NE(error.find("--list-presets"), std::string::npos) << error;
    EXPECT_FALSE(CommandLine::parse({"in.mid", "-o", "out.wav", "--preset"}, options, error));
    EXPECT_FALSE(CommandLine::parse({"--list-presets=all"}, options, error));
    EXPECT_EQ(parsed({"--list-presets"}).action, RenderOptions::Action::listPresets);
}

class RenderPresetProgramTest : public ::testing::Test {
protected:
    RenderPresetProgramTest() {
        MidiFileBuilder::Track track;
        track.noteOn(0, 0, 60, 100).noteOn(0, 0, 64, 100).noteOn(0, 0, 67, 100);
        track.noteOff(480, 0, 60).noteOff(0, 0, 64).noteOff(0, 0, 67).end();
        EXPECT_TRUE(MidiFileBuilder::write(input, MidiFileBuilder::file(0, 480, {track})));
    }

    // The rendered file's bytes; empty when the program failed.
    std::string render(std::vector<std::string> options) {
        const std::string output = scratch.path("out-" + std::to_string(renders++) + ".wav");
        std::vector<std::string> arguments{input, "-o", output, "--tail", "1"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramRun run = ProgramRun::run(CORVENA_RENDER_PROGRAM, arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.exitCode == 0 ? ScratchDirectory::bytesOf(output) : std::string();
    }

    ScratchDirectory scratch;
    std::string input = scratch.path("triad.mid");
    int renders = 0;
};

TEST_F(RenderPresetProgramTest, APresetReachesTheSoundTheSameOnEveryRun) {
    const std::string defaults = render({});
    const std::string init = render({"--preset", "init"});
    const std::string bell = render({"--preset", "square bell"});
    const std::string bellAgain = render({"--preset", "Bell: Square Bell"});
    const std::string bellDarker = render({"--preset", "square bell", "--set", "cutoff=800"});
    ASSERT_FALSE(defaults.empty());
    EXPECT_TRUE(init == defaults) << "Init is the engine's defaults";
    EXPECT_FALSE(bell == defaults);
    EXPECT_TRUE(bell == bellAgain);
    EXPECT_FALSE(bellDarker == bell);
    EXPECT_TRUE(render({"--set", "cutoff=800", "--preset", "square bell"}) == bell)
        << "a preset sets every control, a --set before it included";
}

TEST_F(RenderPresetProgramTest, ListsTheBankOneLabelALine) {
    const ProgramRun list = ProgramRun::run(CORVENA_RENDER_PROGRAM, {"--list-presets"});
    EXPECT_EQ(list.exitCode, 0);
    std::string expected;
    for (size_t i = 0; i < FactoryPresets::count(); ++i)
        expected += FactoryPresets::label(FactoryPresets::at(i)) + "\n";
    EXPECT_EQ(list.out, expected);
    const ProgramRun ambiguous =
        ProgramRun::run(CORVENA_RENDER_PROGRAM, {"a.mid", "-o", "a.wav", "--preset", "saw"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_NE(ambiguous.err.find("could be"), std::string::npos) << ambiguous.err;
}

} // namespace
