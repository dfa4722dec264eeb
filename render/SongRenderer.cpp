#include "SongRenderer.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace {

constexpr uint64_t engineRateHz = uint64_t(EngineResampler::engineRate);

uint64_t ceilDiv(uint64_t numerator, uint64_t denominator) {
    return numerator / denominator + (numerator % denominator != 0 ? 1 : 0);
}

double currentValue(DspObject engine, ParameterType type) {
    return DspGetParameterInfo(engine, type).currentValue;
}

} // namespace

RenderPlan SongRenderer::plan(const MidiSong& song, const TempoMap& tempo, bool automaticTail,
                              double tailSeconds) {
    RenderPlan result;
    result.messages.reserve(song.messages.size());
    for (const MidiFileMessage& message : song.messages) {
        ScheduledMessage scheduled;
        scheduled.sample = tempo.sampleAt(message.tick);
        scheduled.size = message.size;
        std::copy(message.bytes, message.bytes + 3, scheduled.bytes);
        result.messages.push_back(scheduled);
    }
    result.endSample = tempo.sampleAt(song.lengthTicks);
    result.automaticTail = automaticTail;
    result.tailSeconds = tailSeconds;
    return result;
}

SongRenderer::SongRenderer(DspObject engine, uint32_t sampleRate)
    : engine(engine), sampleRate(sampleRate), resampler(engine, double(sampleRate)),
      mapper(engine) {}

uint64_t SongRenderer::framesFor(double seconds) const {
    return uint64_t(std::ceil(seconds * double(sampleRate)));
}

uint64_t SongRenderer::songFrames(const RenderPlan& plan) const {
    // Saturates rather than wraps for songs no WAV file could hold anyway.
    if (plan.endSample > UINT64_MAX / sampleRate)
        return UINT64_MAX / 2;
    return ceilDiv(plan.endSample * sampleRate, engineRateHz);
}

uint64_t SongRenderer::mostFrames(const RenderPlan& plan) const {
    const double tail = plan.automaticTail ? longestAutomaticTailSeconds : plan.tailSeconds;
    return std::min(songFrames(plan), UINT64_MAX / 4) +
           (tail < 1e12 ? uint64_t(std::llround(tail * sampleRate)) : UINT64_MAX / 4);
}

RenderOutcome SongRenderer::render(const RenderPlan& plan, const Sink& sink,
                                   const Progress& progress) {
    RenderOutcome outcome;
    if (!resampler.isReady())
        return outcome;
    const uint64_t preroll = uint64_t(sampleRate); // prerollEngineFrames at the output rate
    const uint64_t songEnd = preroll + songFrames(plan);
    const uint64_t latency = resampler.getLatencyFrames();

    // A fixed tail ends at `fixedEnd`; an automatic one once `silenceWindow` quiet frames follow
    // `voicesDone`, or at `tailLimit`.
    const uint64_t fixedEnd =
        songEnd + uint64_t(std::llround(std::min(plan.tailSeconds, 1e12) * sampleRate));
    const double releaseSeconds = currentValue(engine, ParameterTypeVcaEgReleaseTime);
    const uint64_t voicesDone = songEnd + framesFor(releaseSeconds + 0.01) + latency;
    double silenceSeconds = shortestSilenceSeconds;
    if (currentValue(engine, ParameterTypeDelayMix) > 0.0)
        silenceSeconds =
            std::max(silenceSeconds, std::max(currentValue(engine, ParameterTypeDelayTimeL),
                                              currentValue(engine, ParameterTypeDelayTimeR)) +
                                         0.01);
    const uint64_t silenceWindow = framesFor(silenceSeconds);
    const uint64_t tailLimit = songEnd + framesFor(longestAutomaticTailSeconds);
    const uint64_t end = plan.automaticTail ? tailLimit : fixedEnd;
    const uint64_t expected =
        (plan.automaticTail ? voicesDone + silenceWindow : fixedEnd) - preroll;

    std::vector<float> left(blockFrames), right(blockFrames);
    std::deque<uint64_t> waiting; // stamps of the events in the engine's ring
    const uint64_t releaseFrame = prerollEngineFrames + std::min(plan.endSample, UINT64_MAX / 2);
    size_t next = 0;
    bool released = false;
    uint64_t quietFrames = 0;
    uint64_t rendered = 0; // output frames, pre-roll included

    const auto post = [&](uint64_t frame, int events) {
        for (int i = 0; i < events; ++i)
            waiting.push_back(frame);
        outcome.lateEvents = resampler.getLateStampCount();
    };
    const auto stampFor = [&](uint64_t frame) {
        return uint64_t(resampler.stampForEngineFrame(frame));
    };

    while (rendered < end) {
        const auto frames = uint32_t(std::min<uint64_t>(blockFrames, end - rendered));

        // Every event the engine may reach while rendering this block goes in first.
        const uint64_t horizon =
            ceilDiv((rendered + frames + latency + 1) * engineRateHz, sampleRate) +
            2 * EngineResampler::pullFrames;
        while (!waiting.empty() && waiting.front() < resampler.getEngineFramesRendered())
            waiting.pop_front();
        for (; next < plan.messages.size() && waiting.size() < waitingEventLimit; ++next) {
            const ScheduledMessage& message = plan.messages[next];
            const uint64_t frame = prerollEngineFrames + std::min(message.sample, UINT64_MAX / 2);
            if (frame >= horizon)
                break;
            const uint64_t stamp = stampFor(frame);
            post(stamp, mapper.map(message.bytes, message.size, double(stamp)));
        }
        if (!released && next == plan.messages.size() && releaseFrame < horizon &&
            waiting.size() < waitingEventLimit) {
            const uint64_t stamp = stampFor(releaseFrame);
            post(stamp, mapper.releaseAll(double(stamp)));
            released = true;
        }

        resampler.render(left.data(), right.data(), frames);

        const uint32_t from =
            rendered < preroll ? uint32_t(std::min<uint64_t>(frames, preroll - rendered)) : 0;
        uint32_t to = frames;
        bool finished = false;
        if (plan.automaticTail) {
            for (uint32_t i = from; i < frames && !finished; ++i) {
                const bool quiet =
                    std::fabs(left[i]) < silenceThreshold && std::fabs(right[i]) < silenceThreshold;
                quietFrames = quiet ? quietFrames + 1 : 0;
                const uint64_t produced = rendered + i + 1;
                if (produced >= voicesDone + silenceWindow && quietFrames >= silenceWindow) {
                    finished = true;
                    to = i + 1;
                } else if (produced == tailLimit) {
                    finished = true;
                    outcome.tailCut = true;
                    to = i + 1;
                }
            }
        }
        if (to > from) {
            if (!sink(left.data() + from, right.data() + from, to - from))
                return outcome;
            outcome.frames += to - from;
        }
        rendered += frames;
        if (progress)
            progress(outcome.frames, std::max(expected, outcome.frames));
        if (finished)
            break;
    }
    outcome.completed = true;
    return outcome;
}
