// The renderer's speed on a dense four-minute song: eight-note chords on every beat, a run of
// 32nd notes over them (so the engine's eight voices are always busy and always stealing),
// pitch bend and the sustain pedal moving, at 120 beats per minute. Everything corvena-render
// does after parsing its options: read the file, map the tempo, render, write the WAV file.
// Reports the real-time factor (seconds of audio per second of wall time).
//
// The song is also left at $TMPDIR/corvena-dense-four-minutes.mid (or /tmp), so the program
// itself can be timed on it:  corvena-render /tmp/corvena-dense-four-minutes.mid -o dense.wav
#include "Corvena_Core.h"
#include "MidiFileBuilder.h"
#include "MidiFileReader.h"
#include "SongRenderer.h"
#include "TempoMap.h"
#include "WavFileWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr uint16_t ticksPerQuarter = 480;
constexpr int beats = 480; // four minutes at 120 beats per minute

std::string scratchPath(const char* name) {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/" + name;
}

MidiFileBuilder::Bytes denseSong() {
    using Track = MidiFileBuilder::Track;
    Track conductor;
    conductor.tempo(0, 500000).end(uint32_t(beats) * ticksPerQuarter);

    static constexpr int chordShape[8] = {0, 4, 7, 11, 12, 16, 19, 23};
    static constexpr int roots[4] = {36, 41, 43, 38};
    Track chords;
    for (int beat = 0; beat < beats; ++beat) {
        const int root = roots[beat / 4 % 4];
        for (int i = 0; i < 8; ++i)
            chords.noteOn(i == 0 && beat > 0 ? 10 : 0, 0, root + chordShape[i], 70 + 5 * i);
        for (int i = 0; i < 8; ++i)
            chords.noteOff(i == 0 ? ticksPerQuarter - 10 : 0, 0, root + chordShape[i]);
    }
    chords.end();

    Track runs;
    static constexpr int scale[7] = {0, 2, 4, 5, 7, 9, 11};
    const uint32_t step = ticksPerQuarter / 8;
    for (int i = 0; i < beats * 8; ++i) {
        const int position = i % 28 < 14 ? i % 28 : 28 - i % 28; // up and down two octaves
        const int note = 60 + 12 * (position / 7) + scale[position % 7];
        runs.noteOn(i == 0 ? 0 : 1, 1, note, 90 + i % 30).noteOff(step - 1, 1, note);
    }
    runs.end();

    Track expression;
    for (int i = 0; i < beats * 16; ++i) {
        const int bend = 8192 + int(2000 * ((i % 32) < 16 ? i % 16 : 16 - i % 16) / 16);
        expression.event(i == 0 ? 0 : ticksPerQuarter / 16,
                         {0xE0, uint8_t(bend & 0x7F), uint8_t(bend >> 7)});
        if (i % 64 == 0)
            expression.controller(0, 0, 64, 127);
        if (i % 64 == 48)
            expression.controller(0, 0, 64, 0);
    }
    expression.end();
    return MidiFileBuilder::file(1, ticksPerQuarter, {conductor, chords, runs, expression});
}

void renderDenseSong(benchmark::State& state, uint32_t rate, SampleFormat format) {
    const std::string midiPath = scratchPath("corvena-dense-four-minutes.mid");
    const std::string wavPath = scratchPath("corvena-dense-four-minutes.wav");
    if (!MidiFileBuilder::write(midiPath, denseSong())) {
        state.SkipWithError("cannot write the MIDI file");
        return;
    }
    double wallSeconds = 0.0;
    double audioSeconds = 0.0;
    for (auto _ : state) {
        const auto began = std::chrono::steady_clock::now();
        std::ifstream in(midiPath, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        MidiSong song;
        std::string error;
        if (!MidiFileReader::read(bytes.data(), bytes.size(), song, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const TempoMap tempo(song.division, song.tempoChanges);
        const RenderPlan plan = SongRenderer::plan(song, tempo, true, 0.0);
        std::string resources = CORVENA_BENCH_RESOURCES;
        DspObject engine = CreateDspObject();
        DspSetBundleDirectoryPath(engine, resources.data());
        DspSetParameterCallback(engine, nullptr);
        DspInitialize(engine);
        {
            SongRenderer renderer(engine, rate);
            WavFileWriter writer;
            writer.open(wavPath, rate, format, error);
            const RenderOutcome outcome =
                renderer.render(plan, [&](const float* left, const float* right, uint32_t n) {
                    return writer.write(left, right, n, error);
                });
            writer.commit(error);
            audioSeconds += double(outcome.frames) / rate;
        }
        ReleaseDspObject(engine);
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
    std::remove(wavPath.c_str());
    state.counters["audio_seconds"] = audioSeconds / double(state.iterations());
    state.counters["realtime_factor"] = audioSeconds / wallSeconds;
}

void DenseFourMinutesFloat44100(benchmark::State& state) {
    renderDenseSong(state, 44100, SampleFormat::float32);
}

void DenseFourMinutesPcm16At48000(benchmark::State& state) {
    renderDenseSong(state, 48000, SampleFormat::pcm16);
}

} // namespace

BENCHMARK(DenseFourMinutesFloat44100)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(DenseFourMinutesPcm16At48000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
