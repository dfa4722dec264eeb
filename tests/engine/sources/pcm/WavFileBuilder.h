// Builds WAV files byte by byte for the PCM reader tests: any format fields, extra chunks,
// odd sizes and deliberately wrong size fields.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wavtest {

using Bytes = std::vector<uint8_t>;

inline void appendLe16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void appendLe32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void appendChunk(Bytes& out, const char* id, const Bytes& content, bool pad = true) {
    out.insert(out.end(), id, id + 4);
    appendLe32(out, static_cast<uint32_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    if (pad && content.size() % 2 != 0)
        out.push_back(0);
}

struct Format {
    uint16_t audioFormat = 1;
    uint16_t channels = 2;
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    Bytes extension; // bytes after the 16 standard ones
};

inline Bytes formatChunkContent(const Format& f) {
    Bytes c;
    const uint16_t blockAlign = static_cast<uint16_t>(f.channels * (f.bitsPerSample / 8));
    appendLe16(c, f.audioFormat);
    appendLe16(c, f.channels);
    appendLe32(c, f.sampleRate);
    appendLe32(c, f.sampleRate * blockAlign);
    appendLe16(c, blockAlign);
    appendLe16(c, f.bitsPerSample);
    c.insert(c.end(), f.extension.begin(), f.extension.end());
    return c;
}

// RIFF header + the given chunks (already serialised).
inline Bytes riff(const Bytes& chunks) {
    Bytes out = {'R', 'I', 'F', 'F'};
    appendLe32(out, static_cast<uint32_t>(chunks.size() + 4));
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

inline Bytes simpleWav(const Format& f, const Bytes& data) {
    Bytes chunks;
    appendChunk(chunks, "fmt ", formatChunkContent(f));
    appendChunk(chunks, "data", data);
    return riff(chunks);
}

// The old file is removed first: truncating it in place makes ext4 flush it on close, which
// turns a few thousand rewrites into seconds of waiting.
inline bool writeFile(const std::string& path, const Bytes& bytes) {
    std::remove(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace wavtest
