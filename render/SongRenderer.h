// Plays a scheduled song into the engine and hands its output, at the file's rate, to a sink,
// as fast as the engine renders. MIDI messages go through MidiEventMapper (exactly as a plugin
// maps them) and the output through EngineResampler (the engine's 44.1 kHz at any rate).
//
// Timing. Song sample s (at 44.1 kHz) is engine frame preroll + s; a message for it is posted
// stamped with that frame, which the resampler's clock makes the frame the message acts on
// (engine frame n is rendered at sample time 1024 + n, and the engine acts 1024 samples after a
// stamp, so no stamp is ever negative). The resampler keeps the output time-aligned, engine
// frame n at output frame n × rate / 44100, so the song's first output frame is the one after
// the pre-roll, which is dropped. Because the converter reads engine frames ahead of the frames
// it writes, messages are posted before each block up to a horizon past everything the block
// can make the engine render (the resampler's measured latency bounds that); at 44.1 kHz the
// engine renders exactly the block. A message that still came too late (only when more events
// fall inside one block than the engine's event ring holds) acts on the next frame the engine
// renders, and is counted.
//
// Pre-roll. One second of engine time (44100 frames: a whole number of output frames at any
// whole rate) is rendered and dropped before the song, so parameter changes posted before the
// render, which the engine glides to over up to 50 ms, are settled when the first note starts.
//
// The end. At the song's end every held note is released and the pedal lifted, as a player that
// stops does. With a fixed tail the output then runs for exactly that long. Otherwise the engine
// does not report its voices, so the end is decided from what is known and what is heard:
// every voice has finished once the release time (read from the parameter table) has passed
// since the release, and from then on only the delay's echoes can sound; the output ends when,
// after that, it has stayed below −90 dBFS for 100 ms, or for the longest delay time (plus
// 10 ms) when the delay is mixed in, so that a gap between echoes is not taken for the end. With
// the delay's feedback at its top the echoes never die; the tail is cut after 60 s then.
#pragma once

#include "Corvena_Core.h"
#include "EngineResampler.h"
#include "MidiEventMapper.h"
#include "MidiSong.h"
#include "TempoMap.h"

#include <cstdint>
#include <functional>
#include <vector>

struct ScheduledMessage {
    uint64_t sample = 0; // song sample at 44.1 kHz
    uint8_t size = 0;
    uint8_t bytes[3] = {0, 0, 0};
};

struct RenderPlan {
    std::vector<ScheduledMessage> messages; // in time order
    uint64_t endSample = 0;                 // where the song ends, at 44.1 kHz
    bool automaticTail = true;
    double tailSeconds = 0.0; // when not automatic
};

struct RenderOutcome {
    bool completed = false;  // false when the sink refused a block
    uint64_t frames = 0;     // output frames handed to the sink
    bool tailCut = false;    // the automatic tail ran to its longest without falling silent
    uint64_t lateEvents = 0; // events that acted later than their frame
};

class SongRenderer {
public:
    // One second of the engine's frames.
    static constexpr uint64_t prerollEngineFrames = uint64_t(EngineResampler::engineRate);
    static constexpr uint32_t blockFrames = 1024;
    static constexpr double silenceThreshold = 3.1622776601683795e-05; // −90 dBFS
    static constexpr double shortestSilenceSeconds = 0.1;
    static constexpr double longestAutomaticTailSeconds = 60.0;
    // Events waiting in the engine's ring of 10000: a message can add up to 129 (All Notes
    // Off with every note held and the pedal), so this leaves room.
    static constexpr size_t waitingEventLimit = 8000;

    using Sink = std::function<bool(const float* left, const float* right, uint32_t frames)>;
    using Progress = std::function<void(uint64_t framesDone, uint64_t framesExpected)>;

    static RenderPlan plan(const MidiSong& song, const TempoMap& tempo, bool automaticTail,
                           double tailSeconds);

    // `engine` is initialised, has whatever settings the render needs posted (stamped at 0),
    // and renders nowhere else. A rate the resampler cannot take leaves the renderer not ready.
    SongRenderer(DspObject engine, uint32_t sampleRate);

    bool isReady() const { return resampler.isReady(); }
    const char* failure() const { return resampler.failure(); }

    // Output frames of the song without its tail, and the most the whole render can take.
    uint64_t songFrames(const RenderPlan& plan) const;
    uint64_t mostFrames(const RenderPlan& plan) const;

    // Once per renderer: the engine's clock and the held notes carry over.
    RenderOutcome render(const RenderPlan& plan, const Sink& sink, const Progress& progress = {});

private:
    uint64_t framesFor(double seconds) const;

    DspObject engine;
    uint32_t sampleRate;
    EngineResampler resampler;
    MidiEventMapper mapper;
};
