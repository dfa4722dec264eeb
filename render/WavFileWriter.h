// Writes stereo WAV files through libsndfile: 32-bit float, 24-bit or 16-bit (TPDF-dithered)
// integer samples.
//
// Nothing is written under the target's name until the whole file is: samples go into a hidden
// temporary file in the target's directory (so the final rename stays on one file system and is
// atomic), which `commit` renames over the target. A render that fails or is abandoned removes
// its temporary file and leaves an existing target as it was. The target must be a regular file
// or not exist yet: a device or a directory is never replaced, and a symbolic link is followed,
// so the file it names is what gets replaced.
//
// The bytes depend only on the samples and the format: libsndfile's PEAK chunk, which carries
// the time of writing, is left out.
#pragma once

#include "CommandLine.h"
#include "TpdfDither.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class WavFileWriter {
public:
    WavFileWriter() = default;
    ~WavFileWriter(); // discards an uncommitted file
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // The largest number of frames a WAV file of this format can hold: its sizes are 32 bits.
    static uint64_t capacityFrames(SampleFormat format);

    bool open(const std::string& path, uint32_t sampleRate, SampleFormat format,
              std::string& error);
    bool write(const float* left, const float* right, uint32_t frames, std::string& error);
    bool commit(std::string& error);
    void discard();

private:
    SNDFILE* file = nullptr;
    int descriptor = -1;
    std::string target;
    std::string temporary;
    SampleFormat format = SampleFormat::float32;
    TpdfDither dither;
    std::vector<float> floats;
    std::vector<int16_t> shorts;
    std::vector<int32_t> ints;
};
