#include "RenderProgram.h"

#include "CommandLine.h"
#include "Corvena_Core.h"
#include "FactoryPresets.h"
#include "MidiFileReader.h"
#include "NoteCensus.h"
#include "OutputLevel.h"
#include "ProgressDisplay.h"
#include "ResourceDirectory.h"
#include "SongRenderer.h"
#include "TempoMap.h"
#include "WavFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* programName = "corvena-render";
constexpr size_t longestEnginePath = DspBundleDirectoryPathCapacity - 1; // and the terminator

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

int fail(const std::string& subject, const std::string& problem) {
    if (subject.empty())
        std::fprintf(stderr, "%s: %s\n", programName, problem.c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", programName, subject.c_str(), problem.c_str());
    return RenderProgram::failure;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    struct stat status;
    if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(descriptor);
        error = "it is a directory, not a MIDI file";
        return false;
    }
    bytes.clear();
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = std::string("cannot read it: ") + std::strerror(errno);
            close(descriptor);
            return false;
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > MidiFileReader::largestFileBytes)
            break; // the reader refuses it, saying why
    }
    close(descriptor);
    return true;
}

void ignoreParameterChange(double) {}

// The engine, created and initialised in a host's order, and released at the end.
class Engine {
public:
    bool create(std::string& error) {
        const ResourceLookup resources =
            ResourceDirectory::locate(reinterpret_cast<const void*>(&CreateDspObject));
        if (!resources.found) {
            error = resources.error;
            return false;
        }
        if (resources.path.size() > longestEnginePath) {
            error = "the resource directory path is longer than " +
                    std::to_string(longestEnginePath) + " bytes: " + resources.path;
            return false;
        }
        handle = CreateDspObject();
        std::vector<char> path(resources.path.begin(), resources.path.end());
        path.push_back('\0');
        DspSetBundleDirectoryPath(handle, path.data());
        DspSetParameterCallback(handle, ignoreParameterChange);
        DspInitialize(handle);
        return true;
    }
    ~Engine() { ReleaseDspObject(handle); }

    // Stamped at sample time 0: the renderer's clock makes that the first engine frame.
    void set(const ParameterSetting& setting) {
        AudioTimeStamp stamp;
        std::memset(&stamp, 0, sizeof stamp);
        DspSetEventWithTimeStamp(handle, stamp, EventSubTypeParameter, setting.type,
                                 setting.normalized, 0.0, 0.0);
    }

    DspObject handle = nullptr;
};

const char* formatName(SampleFormat format) {
    switch (format) {
    case SampleFormat::pcm16:
        return "16-bit";
    case SampleFormat::pcm24:
        return "24-bit";
    case SampleFormat::float32:
        break;
    }
    return "32-bit float";
}

// Legato as the render will have it: the last --set of it, or the table's default.
bool legatoOn(const RenderOptions& options) {
    ParameterDescription legato;
    double value = 0.0;
    if (DspGetParameterDescription(ParameterTypeLegato, &legato) != 0)
        value = legato.defaultValue;
    for (const ParameterSetting& setting : options.settings)
        if (setting.type == ParameterTypeLegato)
            value = setting.value;
    return value >= 0.5;
}

std::string decibels(double value) {
    if (!std::isfinite(value))
        return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", value);
    return text;
}

std::string count(uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

// What a listener would otherwise find out only by listening: samples beyond full scale, notes
// that took sounding voices, drums played as pitches.
void warn(const RenderOptions& options, const OutputLevel& level, const NoteCensus& census) {
    const char* output = options.outputPath.c_str();
    if (level.samplesOverFullScale() > 0) {
        const bool pcm = options.format != SampleFormat::float32;
        std::fprintf(stderr,
                     "%s: %s: warning: %s (peak %s); --gain %.0f keeps the peak under full "
                     "scale\n",
                     programName, output,
                     (pcm ? count(level.samplesOverFullScale(), "sample was clipped at full scale",
                                  "samples were clipped at full scale")
                          : count(level.samplesOverFullScale(),
                                  "sample is above 1.0, which most players clip",
                                  "samples are above 1.0, which most players clip"))
                         .c_str(),
                     decibels(level.peakDecibels()).c_str(),
                     options.gainDecibels - std::floor(level.peakDecibels()) - 1.0);
    }
    if (census.notesPastPolyphony > 0)
        std::fprintf(stderr,
                     "%s: %s: warning: %s while %d were already held, each taking the place of "
                     "a sounding note (Corvena plays %d at once)\n",
                     programName, options.inputPath.c_str(),
                     count(census.notesPastPolyphony, "note started", "notes started").c_str(),
                     NoteCensus::voices, NoteCensus::voices);
    if (census.drumChannelNotes > 0)
        std::fprintf(stderr,
                     "%s: %s: warning: channel %d carries %s, which General MIDI files use for "
                     "drums and Corvena plays as pitches; --channels 1-9,11-16 leaves them out\n",
                     programName, options.inputPath.c_str(), ChannelSelection::drumChannel,
                     count(census.drumChannelNotes, "note", "notes").c_str());
}

} // namespace

std::string RenderProgram::duration(double seconds) {
    const auto milliseconds = uint64_t(std::llround(std::max(0.0, seconds) * 1000.0));
    char text[48];
    std::snprintf(
        text, sizeof text, "%llu:%02llu.%03llu", (unsigned long long)(milliseconds / 60000),
        (unsigned long long)(milliseconds / 1000 % 60), (unsigned long long)(milliseconds % 1000));
    return text;
}

int RenderProgram::run(const std::vector<std::string>& arguments) {
    RenderOptions options;
    std::string error;
    if (!CommandLine::parse(arguments, options, error))
        return fail("", error + " (--help shows how to use it)");
    if (options.action == RenderOptions::Action::help) {
        std::fputs(CommandLine::usage().c_str(), stdout);
        return success;
    }
    if (options.action == RenderOptions::Action::listParameters) {
        std::fputs(ParameterOption::listing().c_str(), stdout);
        return success;
    }
    if (options.action == RenderOptions::Action::listPresets) {
        for (size_t i = 0; i < FactoryPresets::count(); ++i)
            std::printf("%s\n", FactoryPresets::label(FactoryPresets::at(i)).c_str());
        return success;
    }
    const std::string& input = options.inputPath;
    const std::string& output = options.outputPath;

    std::vector<uint8_t> bytes;
    if (!readWholeFile(input, bytes, error))
        return fail(input, error);
    MidiSong song;
    if (!MidiFileReader::read(bytes.data(), bytes.size(), song, error))
        return fail(input, error);
    const TempoMap tempo(song.division, song.tempoChanges);
    RenderPlan plan = SongRenderer::plan(song, tempo, options.automaticTail, options.tailSeconds);
    options.channels.apply(plan);
    const NoteCensus census = NoteCensus::of(plan, legatoOn(options));

    Engine engine;
    if (!engine.create(error))
        return fail("", error);
    for (const ParameterSetting& setting : options.settings)
        engine.set(setting);
    SongRenderer renderer(engine.handle, options.sampleRate);
    if (!renderer.isReady())
        return fail("", std::string("cannot render at ") + std::to_string(options.sampleRate) +
                            " Hz: " + renderer.failure());
    const uint64_t capacity = WavFileWriter::capacityFrames(options.format);
    if (renderer.mostFrames(plan) > capacity) {
        const double rate = options.sampleRate;
        return fail(input, "it lasts up to " + duration(double(renderer.mostFrames(plan)) / rate) +
                               " with its tail; a " + formatName(options.format) + " WAV file at " +
                               std::to_string(options.sampleRate) + " Hz holds at most " +
                               duration(double(capacity) / rate));
    }

    // From here on an interruption must not leave the temporary file: it is noted, and the
    // render stops at its next block and removes the file.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
    WavFileWriter writer;
    if (!writer.open(output, options.sampleRate, options.format, error))
        return fail(output, error);

    ProgressDisplay progress(!options.quiet, stderr);
    const auto began = std::chrono::steady_clock::now();
    bool written = true;
    const float gain = float(std::pow(10.0, options.gainDecibels / 20.0));
    std::vector<float> scaled[2];
    OutputLevel level;
    const RenderOutcome outcome = renderer.render(
        plan,
        [&](const float* left, const float* right, uint32_t frames) {
            if (interrupted)
                return false;
            if (options.gainDecibels != 0.0) {
                scaled[0].assign(left, left + frames);
                scaled[1].assign(right, right + frames);
                for (std::vector<float>& channel : scaled)
                    for (float& sample : channel)
                        sample *= gain;
                left = scaled[0].data();
                right = scaled[1].data();
            }
            level.measure(left, frames);
            level.measure(right, frames);
            written = writer.write(left, right, frames, error);
            return written;
        },
        [&](uint64_t done, uint64_t expected) { progress.update(done, expected); });
    progress.finish();
    if (!outcome.completed) {
        writer.discard();
        return fail(output, written ? "interrupted; nothing was written" : error);
    }
    if (!writer.commit(error))
        return fail(output, error);
    const double taken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    if (outcome.tailCut)
        std::fprintf(stderr,
                     "%s: %s: note: the sound had not died away %.0f s after the end (delay "
                     "feedback at its top?), so the tail stops there; --tail sets it\n",
                     programName, output.c_str(), SongRenderer::longestAutomaticTailSeconds);
    if (outcome.lateEvents > 0)
        std::fprintf(stderr,
                     "%s: %s: note: %llu events acted late (by up to %u samples): more fell "
                     "together than the engine's event ring holds\n",
                     programName, input.c_str(), (unsigned long long)outcome.lateEvents,
                     SongRenderer::blockFrames);
    warn(options, level, census);
    const double seconds = double(outcome.frames) / options.sampleRate;
    std::printf("%s: %s of audio rendered in %.2f s, %.1fx real time, peak %s\n", output.c_str(),
                duration(seconds).c_str(), taken, taken > 0.0 ? seconds / taken : 0.0,
                decibels(level.peakDecibels()).c_str());
    return success;
}
