#include "WavFileWriter.h"

#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t largestRiffBytes = 0xFFFFFFFFull;
// Room for the RIFF, fmt (with its float extension) and fact chunks libsndfile writes.
constexpr uint64_t headerAllowance = 4096;

int bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::pcm16:
        return 2;
    case SampleFormat::pcm24:
        return 3;
    case SampleFormat::float32:
        break;
    }
    return 4;
}

int libraryFormat(SampleFormat format) {
    switch (format) {
    case SampleFormat::pcm16:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SampleFormat::pcm24:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    case SampleFormat::float32:
        break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The file that will be replaced: `path`, or what a symbolic link at `path` names.
bool resolveTarget(const std::string& path, std::string& target, std::string& error) {
    target = path;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        error = systemError("cannot write it");
        return false;
    }
    if (S_ISLNK(status.st_mode)) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            error = systemError("cannot follow the symbolic link");
            return false;
        }
        target = resolved;
        std::free(resolved);
        if (stat(target.c_str(), &status) != 0)
            return true;
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? "it is a directory" : "it is not a regular file";
        return false;
    }
    return true;
}

// Permission bits for the new file: the replaced file's, or what a new file would get.
mode_t permissionsFor(const std::string& target) {
    struct stat status;
    if (stat(target.c_str(), &status) == 0)
        return status.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

WavFileWriter::~WavFileWriter() {
    discard();
}

uint64_t WavFileWriter::capacityFrames(SampleFormat format) {
    return (largestRiffBytes - headerAllowance) / (2 * uint64_t(bytesPerSample(format)));
}

bool WavFileWriter::open(const std::string& path, uint32_t sampleRate, SampleFormat sampleFormat,
                         std::string& error) {
    discard();
    if (path.empty() || path.back() == '/') {
        error = "it is a directory";
        return false;
    }
    if (!resolveTarget(path, target, error))
        return false;
    const size_t slash = target.rfind('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = (directory == "/" ? std::string() : directory) + "/." + name + ".XXXXXX";
    descriptor = mkstemp(pattern.data());
    if (descriptor < 0) {
        error = systemError("cannot create a file in " + directory);
        return false;
    }
    temporary = pattern;

    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    info.samplerate = int(sampleRate);
    info.channels = 2;
    info.format = libraryFormat(sampleFormat);
    file = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) {
        error = std::string("cannot write WAV: ") + sf_strerror(nullptr);
        discard();
        return false;
    }
    // The PEAK chunk holds the time it was written: two renders would differ in it.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    format = sampleFormat;
    dither = TpdfDither();
    return true;
}

bool WavFileWriter::write(const float* left, const float* right, uint32_t frames,
                          std::string& error) {
    if (file == nullptr) {
        error = "the file is not open";
        return false;
    }
    sf_count_t written = 0;
    switch (format) {
    case SampleFormat::float32:
        floats.resize(2 * size_t(frames));
        for (uint32_t i = 0; i < frames; ++i) {
            floats[2 * i] = left[i];
            floats[2 * i + 1] = right[i];
        }
        written = sf_writef_float(file, floats.data(), frames);
        break;
    case SampleFormat::pcm16:
        shorts.resize(2 * size_t(frames));
        for (uint32_t i = 0; i < frames; ++i) {
            shorts[2 * i] = int16_t(dither.quantize(left[i], 16));
            shorts[2 * i + 1] = int16_t(dither.quantize(right[i], 16));
        }
        written = sf_writef_short(file, shorts.data(), frames);
        break;
    case SampleFormat::pcm24: {
        // 24 bits hold the engine's output with its rounding error at −144 dB: no dither.
        ints.resize(2 * size_t(frames));
        for (uint32_t i = 0; i < frames; ++i) { // 24-bit values in the top bits of each int
            ints[2 * i] = TpdfDither::rounded(left[i], 24) * 256;
            ints[2 * i + 1] = TpdfDither::rounded(right[i], 24) * 256;
        }
        written = sf_writef_int(file, ints.data(), frames);
        break;
    }
    }
    if (written != sf_count_t(frames)) {
        error = std::string("cannot write the file: ") + sf_strerror(file);
        return false;
    }
    return true;
}

bool WavFileWriter::commit(std::string& error) {
    if (file == nullptr) {
        error = "the file is not open";
        return false;
    }
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) {
        error = std::string("cannot finish the file: ") + sf_error_number(closed);
        discard();
        return false;
    }
    if (fchmod(descriptor, permissionsFor(target)) != 0 || fsync(descriptor) != 0) {
        error = systemError("cannot finish the file");
        discard();
        return false;
    }
    const int descriptorClosed = close(descriptor);
    descriptor = -1;
    if (descriptorClosed != 0) {
        error = systemError("cannot finish the file");
        discard();
        return false;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = systemError("cannot replace it");
        discard();
        return false;
    }
    temporary.clear();
    return true;
}

void WavFileWriter::discard() {
    if (file != nullptr) {
        sf_close(file);
        file = nullptr;
    }
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        temporary.clear();
    }
}
