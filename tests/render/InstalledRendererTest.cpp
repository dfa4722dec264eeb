// The installation: `cmake --install` into a temporary prefix puts corvena-render beside the
// program, and the installed copy, finding the installed engine through its relative run path
// and the engine's resources from there, renders a MIDI file.
#include "MidiFileBuilder.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

TEST(InstalledRenderer, RendersFromATemporaryPrefix) {
    const fs::path prefix = CORVENA_RENDER_INSTALL_PREFIX;
    fs::remove_all(prefix);
    const ProgramRun install = ProgramRun::run(
        CORVENA_CMAKE_COMMAND, {"--install", CORVENA_BINARY_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(install.exitCode, 0) << install.err << install.out;
    const fs::path program = prefix / CORVENA_INSTALL_BINDIR / "corvena-render";
    ASSERT_TRUE(fs::exists(program));

    MidiFileBuilder::Track track;
    track.noteOn(0, 0, 69, 100).noteOff(480, 0, 69).end();
    const std::string input = (prefix / "a4.mid").string();
    const std::string output = (prefix / "a4.wav").string();
    ASSERT_TRUE(MidiFileBuilder::write(input, MidiFileBuilder::file(0, 480, {track})));
    const ProgramRun run = ProgramRun::run(program.string(), {input, "-o", output, "--tail", "0"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    SF_INFO info{};
    SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.frames, 22050);
    float frame[2] = {0, 0};
    float loudest = 0.0f;
    while (sf_readf_float(file, frame, 1) == 1)
        loudest = std::max(loudest, frame[0]);
    sf_close(file);
    EXPECT_GT(loudest, 0.01f) << "the engine found its wavetables";
    fs::remove_all(prefix);
}
