// corvena-render run as a user runs it, on MIDI files built here: notes land on the sample their
// time computes to, tempo changes move what follows them, both file formats give the same
// bytes, other rates keep the pitch, --set reaches the sound, the same input always gives the
// same file, and every kind of bad input ends with one message, exit status 1 and no file.
#include "MidiFileBuilder.h"
#include "ProgramRun.h"
#include "ScratchDirectory.h"
#include "SignalAnalysis.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = MidiFileBuilder::Bytes;
using Track = MidiFileBuilder::Track;

struct Wav {
    int rate = 0;
    int format = 0;
    std::vector<float> left, right;
};

Wav readWav(const std::string& path) {
    Wav wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return wav;
    std::vector<float> interleaved(size_t(info.frames) * 2);
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    wav.rate = info.samplerate;
    wav.format = info.format;
    for (size_t i = 0; i < size_t(info.frames); ++i) {
        wav.left.push_back(interleaved[2 * i]);
        wav.right.push_back(interleaved[2 * i + 1]);
    }
    return wav;
}

std::string bytesOf(const std::string& path) {
    return ScratchDirectory::bytesOf(path);
}

// A note on and off in one track of a format 0 file, 480 ticks per quarter note.
Bytes oneNote(uint32_t onTick, uint32_t offTick, int note = 69) {
    Track track;
    track.noteOn(onTick, 0, note, 100).noteOff(offTick - onTick, 0, note).end();
    return MidiFileBuilder::file(0, 480, {track});
}

class RenderProgramTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return scratch.path(name); }
    std::vector<std::string> entries() const { return scratch.entries(); }

    std::string midi(const std::string& name, const Bytes& bytes) const {
        EXPECT_TRUE(MidiFileBuilder::write(path(name), bytes));
        return path(name);
    }

    static ProgramRun render(const std::vector<std::string>& arguments) {
        return ProgramRun::run(CORVENA_RENDER_PROGRAM, arguments);
    }

    // Renders and reads the result back, expecting success.
    Wav rendered(const std::string& input, std::vector<std::string> options = {}) {
        const std::string output = path("out-" + std::to_string(renders++) + ".wav");
        std::vector<std::string> arguments{input, "-o", output};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ProgramRun run = render(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "no progress bar without a terminal";
        return readWav(output);
    }

    ScratchDirectory scratch;
    int renders = 0;
};

TEST_F(RenderProgramTest, Note69AtOneSecondStartsOnSample44100At440Hz) {
    // 120 beats per minute by default: tick 960 is 1.000 s.
    const std::string input = midi("a4.mid", oneNote(960, 1920));
    const std::string output = path("a4.wav");
    const ProgramRun run = render({input, "-o", output, "--tail", "0.5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Wav wav = readWav(output);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(wav.left.size(), 88200u + 22050u);
    // Silent to the sample before; the sine starts at phase 0 on 44100, so 44101 is its first
    // sample that is not zero.
    EXPECT_EQ(analysis::firstAbove(wav.left, 0.0), 44101u);
    EXPECT_EQ(analysis::firstAbove(wav.right, 0.0), 44101u);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(wav.left, 48510, 88200), 440.0, 0.05);
    // The summary line: duration, time taken, real-time factor.
    EXPECT_EQ(run.out.rfind(output + ": 0:02.500 of audio rendered in ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("x real time, peak -"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

TEST_F(RenderProgramTest, ATempoChangeHalfwayMovesALaterNoteToItsComputedSample) {
    // 120 beats per minute for two beats (1 s), then 333 333 µs per beat: tick 1440 is
    // 1.333333 s, sample 58 799.985, so 58800.
    Track track;
    track.tempo(0, 500000).tempo(960, 333333).noteOn(480, 0, 69, 100).noteOff(480, 0, 69).end();
    const Wav changed =
        rendered(midi("change.mid", MidiFileBuilder::file(0, 480, {track})), {"--tail", "0"});
    EXPECT_EQ(analysis::firstAbove(changed.left, 0.0), 58801u);
    EXPECT_EQ(changed.left.size(), 58800u + 14700u); // the note off at 1.666666 s
    const Wav steady = rendered(midi("steady.mid", oneNote(1440, 1920)), {"--tail", "0"});
    EXPECT_EQ(analysis::firstAbove(steady.left, 0.0), 66151u);
}

TEST_F(RenderProgramTest, FormatOneWithThreeTracksEqualsTheSameEventsInFormatZero) {
    Track conductor;
    conductor.tempo(0, 600000).tempo(720, 450000).end(1440);
    Track melody;
    melody.noteOn(0, 0, 72, 100)
        .noteOn(240, 0, 76, 90)
        .event(0, {79, 80}) // running status: another note on
        .noteOff(240, 0, 72)
        .noteOff(480, 0, 76)
        .noteOff(0, 0, 79)
        .end();
    Track bass;
    bass.noteOn(120, 1, 40, 110)
        .controller(240, 1, 64, 127)
        .noteOff(120, 1, 40)
        .event(360, {0xE1, 0x00, 0x60})
        .controller(0, 1, 64, 0)
        .end();
    // The same events on one time line, tracks in order at equal ticks, as a sequencer would
    // write them.
    Track merged;
    merged.tempo(0, 600000)
        .noteOn(0, 0, 72, 100)
        .noteOn(120, 1, 40, 110)
        .noteOn(120, 0, 76, 90)
        .noteOn(0, 0, 79, 80)
        .controller(120, 1, 64, 127)
        .noteOff(120, 0, 72)
        .noteOff(0, 1, 40)
        .tempo(240, 450000)
        .event(120, {0xE1, 0x00, 0x60})
        .controller(0, 1, 64, 0)
        .noteOff(120, 0, 76)
        .noteOff(0, 0, 79)
        .end(1200);
    const std::vector<std::string> options = {"--set", "waveform=Sawtooth", "--format", "pcm16"};
    const std::string formatOne = path("one.wav");
    const std::string formatZero = path("zero.wav");
    ProgramRun run =
        render({midi("one.mid", MidiFileBuilder::file(1, 240, {conductor, melody, bass})), "-o",
                formatOne, options[0], options[1], options[2], options[3]});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = render({midi("zero.mid", MidiFileBuilder::file(0, 240, {merged})), "-o", formatZero,
                  options[0], options[1], options[2], options[3]});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = bytesOf(formatOne);
    EXPECT_GT(bytes.size(), 44100u * 4);
    EXPECT_TRUE(bytes == bytesOf(formatZero));
}

TEST_F(RenderProgramTest, TheSameInputAndOptionsGiveTheSameBytes) {
    // Noise, dither and resampling are the parts that could vary; none may.
    const std::string input = midi("noise.mid", oneNote(0, 960, 60));
    const std::vector<std::string> options = {"--set",         "waveform=Noise", "--set",
                                              "delay_mix=0.3", "--format",       "pcm16",
                                              "--rate",        "48000"};
    std::vector<std::string> first{input, "-o", path("first.wav")};
    std::vector<std::string> second{input, "-o", path("second.wav")};
    first.insert(first.end(), options.begin(), options.end());
    second.insert(second.end(), options.begin(), options.end());
    ASSERT_EQ(render(first).exitCode, 0);
    ASSERT_EQ(render(second).exitCode, 0);
    const std::string bytes = bytesOf(path("first.wav"));
    EXPECT_GT(bytes.size(), 48000u * 4);
    EXPECT_TRUE(bytes == bytesOf(path("second.wav")));
}

TEST_F(RenderProgramTest, At48000HzThePitchStays440HzAndTheNoteKeepsItsTime) {
    const Wav wav =
        rendered(midi("a4.mid", oneNote(480, 1440)), {"--rate", "48000", "--tail", "0"});
    EXPECT_EQ(wav.rate, 48000);
    ASSERT_EQ(wav.left.size(), 72000u);
    EXPECT_NEAR(analysis::frequencyByZeroCrossings(wav.left, 28800, 67200, 48000.0), 440.0, 0.05);
    // The note starts at 0.5 s: the first sample of any size is within a sample of 24000.
    const size_t onset = analysis::firstAbove(wav.left, 1e-3);
    EXPECT_GE(onset, 24000u);
    EXPECT_LE(onset, 24000u + 12u) << "the sine's first millisecond is below 1e-3 only briefly";
}

TEST_F(RenderProgramTest, ALowCutoffRemovesASawtoothsUpperHarmonics) {
    // A 110 Hz sawtooth, with the filter open and at 300 Hz.
    const std::string input = midi("saw.mid", oneNote(0, 960, 45));
    const Wav open = rendered(input, {"--set", "waveform=Sawtooth", "--tail", "0"});
    const Wav closed =
        rendered(input, {"--set", "waveform=Sawtooth", "--set", "cutoff=300", "--tail", "0"});
    const auto level = [](const Wav& wav, double hertz) {
        return 20.0 * std::log10(analysis::amplitudeAt(wav.left, 4410, 44100, hertz));
    };
    EXPECT_NEAR(level(closed, 110.0), level(open, 110.0), 1.0);
    // At least what one second-order section takes off above its cutoff, 12 dB an octave.
    EXPECT_LT(level(closed, 1100.0), level(open, 1100.0) - 15.0);
    EXPECT_LT(level(closed, 2200.0), level(open, 2200.0) - 25.0);
    EXPECT_LT(level(closed, 4400.0), level(open, 4400.0) - 35.0);
}

TEST_F(RenderProgramTest, EveryBadInputGivesOneMessageExitOneAndNoFile) {
    const Bytes good = oneNote(0, 480);
    auto truncated = Bytes(good.begin(), good.end() - 5);
    Bytes lyingLength = good;
    lyingLength[21] = 0x40; // the track claims 64 bytes
    const auto track = [](const Bytes& events, uint16_t division = 480) {
        Track t;
        t.events = events;
        return MidiFileBuilder::file(0, division, {t});
    };
    const struct {
        const char* name;
        Bytes bytes;
        std::string problem;
    } cases[] = {
        {"text.mid", Bytes{'M', 'T', 'h', 'e', ' ', 'e', 'n', 'd', '\n'}, "not a MIDI file"},
        {"truncated.mid", truncated, "claims 13 bytes at byte 14 but only 8 remain"},
        {"lying.mid", lyingLength, "claims 64 bytes"},
        {"running.mid", track({0x00, 60, 100}), "no status byte before it"},
        {"delta.mid", track({0x00, 0x90, 60, 100, 0x83, 0xFF}), "delta time at byte 26 runs past"},
        {"meta.mid", track({0x00, 0xFF, 0x03, 0x7F, 'n', 'a', 'm', 'e'}),
         "meta event at byte 23 claims 127 bytes"},
        {"division.mid", track({0x00, 0xFF, 0x2F, 0x00}, 0), "0 ticks per quarter note"},
        // 2^28 ticks of 16.8 s: 142 years would fill the disk before any WAV limit stopped it.
        {"endless.mid",
         track({0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100},
               1),
         "a 32-bit float WAV file at 44100 Hz holds at most 202:53.932"},
    };
    const std::string output = path("out.wav");
    for (const auto& c : cases) {
        const std::string input = midi(c.name, c.bytes);
        const ProgramRun run = render({input, "-o", output});
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.err.rfind("corvena-render: " + input + ": ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(output)) << c.name;
    }

    // The output's side: a directory that does not exist, a directory, a device.
    const std::string input = midi("good.mid", good);
    fs::create_directory(scratch.directory / "folder");
    const struct {
        std::string output;
        std::string problem;
    } outputs[] = {
        {path("missing/out.wav"),
         "cannot create a file in " + path("missing") + ": No such file or directory"},
        {path("folder"), "it is a directory"},
        {"/dev/full", "it is not a regular file"},
    };
    for (const auto& c : outputs) {
        const ProgramRun run = render({input, "-o", c.output});
        EXPECT_EQ(run.exitCode, 1) << c.output;
        EXPECT_EQ(run.err, "corvena-render: " + c.output + ": " + c.problem + "\n");
    }
    const ProgramRun missing = render({path("nothing.mid"), "-o", output});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("nothing.mid: cannot open it: No such file"), std::string::npos);
    EXPECT_FALSE(fs::exists(output));
    std::vector<std::string> expected;
    for (const auto& c : cases)
        expected.push_back(c.name);
    expected.insert(expected.end(), {"folder", "good.mid"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(), expected) << "no temporary file left behind either";
}

TEST_F(RenderProgramTest, AnExistingOutputIsReplacedOnlyOnSuccess) {
    const std::string output = path("out.wav");
    std::ofstream(output) << "previous render";
    const std::string broken = midi("broken.mid", Bytes{'M', 'T', 'h', 'd', 0, 0});
    EXPECT_EQ(render({broken, "-o", output}).exitCode, 1);
    EXPECT_EQ(render({broken, "-o", output, "--set", "cutoff=1"}).exitCode, 1);
    EXPECT_EQ(bytesOf(output), "previous render");
    EXPECT_EQ(render({midi("good.mid", oneNote(0, 480)), "-o", output}).exitCode, 0);
    EXPECT_EQ(readWav(output).rate, 44100);
    EXPECT_EQ(entries(), (std::vector<std::string>{"broken.mid", "good.mid", "out.wav"}));
}

TEST_F(RenderProgramTest, AnInterruptedRenderLeavesNoFile) {
    // An hour of tail takes long enough to be interrupted once its file has been started.
    const std::string output = path("out.wav");
    std::ofstream(output) << "previous render";
    ProgramRun::Running running = ProgramRun::start(
        CORVENA_RENDER_PROGRAM, {midi("a4.mid", oneNote(0, 480)), "-o", output, "--tail", "3600"});
    ASSERT_GT(running.pid, 0);
    const auto started = [&] {
        for (const std::string& name : entries())
            if (name.rfind(".out.wav.", 0) == 0)
                return true;
        return false;
    };
    for (int i = 0; i < 3000 && !started(); ++i)
        usleep(10000);
    EXPECT_TRUE(started());
    kill(running.pid, SIGTERM);
    const ProgramRun run = running.finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "corvena-render: " + output + ": interrupted; nothing was written\n");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a4.mid", "out.wav"}));
    EXPECT_EQ(bytesOf(output), "previous render");
}

TEST_F(RenderProgramTest, ListsParametersAndExplainsItsUse) {
    const ProgramRun list = render({"--list-parameters"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find("LPF Cutoff Frequency"), std::string::npos);
    EXPECT_NE(list.out.find("cutoff"), std::string::npos);
    EXPECT_NE(list.out.find("200 to 20000 Hz"), std::string::npos);
    const ProgramRun help = render({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: corvena-render INPUT.mid -o OUTPUT.wav"), std::string::npos);
    const ProgramRun wrong = render({"song.mid"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.err, "corvena-render: no output file given (-o OUTPUT.wav) (--help shows how "
                         "to use it)\n");
    const ProgramRun unknown = render({"a.mid", "-o", "a.wav", "--set", "brightness=1"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("unknown parameter \"brightness\""), std::string::npos);
}

size_t countAbove(const std::vector<float>& samples, double threshold) {
    return size_t(std::count_if(samples.begin(), samples.end(),
                                [threshold](float x) { return std::fabs(x) > threshold; }));
}

// A ten-note sawtooth chord at full velocity into a delay that feeds back fully: far past full
// scale. The summary gives the peak; the warning counts the samples beyond full scale and
// names the gain that keeps them under it, which then renders the same samples scaled.
TEST_F(RenderProgramTest, SaysThePeakWarnsOfClippingAndGainScalesTheOutput) {
    Track track;
    for (int note : {48, 52, 55, 60, 64, 67, 72, 76})
        track.noteOn(0, 0, note, 127);
    track.noteOff(1920, 0, 48).end();
    const std::string input = midi("loud.mid", MidiFileBuilder::file(0, 480, {track}));
    const std::vector<std::string> loud = {"--set", "waveform=Sawtooth", "--set",  "delay_mix=1",
                                           "--set", "delay_feedback=1",  "--tail", "2"};
    auto withOptions = [&](const std::string& output, std::vector<std::string> extra) {
        std::vector<std::string> arguments{input, "-o", output};
        arguments.insert(arguments.end(), loud.begin(), loud.end());
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return render(arguments);
    };
    const ProgramRun asFloat = withOptions(path("float.wav"), {});
    ASSERT_EQ(asFloat.exitCode, 0) << asFloat.err;
    const Wav floats = readWav(path("float.wav"));
    const size_t over = countAbove(floats.left, 1.0) + countAbove(floats.right, 1.0);
    ASSERT_GT(over, 1000u);
    EXPECT_NE(asFloat.err.find(": warning: " + std::to_string(over) +
                               " samples are above 1.0, which most players clip (peak +"),
              std::string::npos)
        << asFloat.err;
    EXPECT_NE(asFloat.out.find(", peak +"), std::string::npos) << asFloat.out;

    const ProgramRun asPcm = withOptions(path("pcm.wav"), {"--format", "pcm16"});
    ASSERT_EQ(asPcm.exitCode, 0);
    EXPECT_NE(asPcm.err.find(": warning: " + std::to_string(over) +
                             " samples were clipped at full scale (peak +"),
              std::string::npos)
        << asPcm.err;

    const size_t suggestion = asFloat.err.find("--gain -");
    ASSERT_NE(suggestion, std::string::npos);
    const std::string gain =
        asFloat.err.substr(suggestion + 7, asFloat.err.find(' ', suggestion + 7) - suggestion - 7);
    const ProgramRun quieter = withOptions(path("quieter.wav"), {"--gain", gain});
    ASSERT_EQ(quieter.exitCode, 0);
    EXPECT_EQ(quieter.err, "");
    const Wav scaled = readWav(path("quieter.wav"));
    ASSERT_EQ(scaled.left.size(), floats.left.size());
    const float factor = float(std::pow(10.0, std::stod(gain) / 20.0));
    for (size_t i = 0; i < floats.left.size(); i += 97)
        ASSERT_EQ(scaled.left[i], floats.left[i] * factor) << i;
    EXPECT_EQ(countAbove(scaled.left, 1.0) + countAbove(scaled.right, 1.0), 0u);
    EXPECT_NE(quieter.out.find(", peak -"), std::string::npos) << quieter.out;

    for (const char* bad : {"loud", "-100", "+49"}) {
        const ProgramRun refused = withOptions(path("bad.wav"), {"--gain", bad});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_NE(refused.err.find("--gain takes decibels from -96 to +48"), std::string::npos);
    }
}

// Ten notes held at once on channel 1 and a drum on channel 10, eleven in all: both are said,
// once each, and --channels leaves the drum out, rendering what a file without it renders.
TEST_F(RenderProgramTest, WarnsOfStolenVoicesAndDrumsAndChannelsChoosesWhatPlays) {
    Track both, melodic;
    for (Track* track : {&both, &melodic})
        for (int note = 60; note < 70; ++note)
            track->noteOn(0, 0, note, 100);
    both.noteOn(0, 9, 36, 100).noteOff(480, 9, 36).end();
    melodic.controller(480, 0, 1, 0).end(); // ignored: the same length without the drum
    const std::string input = midi("both.mid", MidiFileBuilder::file(0, 480, {both}));
    const std::string reference = midi("melodic.mid", MidiFileBuilder::file(0, 480, {melodic}));

    const ProgramRun all = render({input, "-o", path("all.wav"), "--tail", "1"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.err.find("both.mid: warning: 3 notes started while 8 were already held"),
              std::string::npos)
        << all.err;
    EXPECT_NE(all.err.find("both.mid: warning: channel 10 carries 1 note, which General MIDI "
                           "files use for drums"),
              std::string::npos)
        << all.err;
    EXPECT_EQ(std::count(all.err.begin(), all.err.end(), '\n'), 2) << all.err;

    const ProgramRun chosen =
        render({input, "-o", path("chosen.wav"), "--tail", "1", "--channels", "1-9,11-16"});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_EQ(chosen.err.find("channel 10"), std::string::npos) << chosen.err;
    EXPECT_NE(chosen.err.find("warning: 2 notes started"), std::string::npos) << chosen.err;
    const ProgramRun plain = render({reference, "-o", path("plain.wav"), "--tail", "1"});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_EQ(bytesOf(path("chosen.wav")), bytesOf(path("plain.wav")));
    EXPECT_NE(bytesOf(path("all.wav")), bytesOf(path("plain.wav")));

    const ProgramRun legato =
        render({reference, "-o", path("legato.wav"), "--tail", "1", "--set", "legato=1"});
    EXPECT_EQ(legato.err, "") << "one gliding voice takes nobody's place";
    const ProgramRun refused = render({input, "-o", path("x.wav"), "--channels", "0-3"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("--channels takes channel numbers 1 to 16"), std::string::npos);
    const ProgramRun inert = render({input, "-o", path("x.wav"), "--set", "lfo_frequency=5"});
    EXPECT_EQ(inert.exitCode, 1);
    EXPECT_NE(inert.err.find("lfo_frequency: this parameter has no effect"), std::string::npos);
}

} // namespace
