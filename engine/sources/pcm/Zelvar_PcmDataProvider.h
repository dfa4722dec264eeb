// One WAV sample file: its path, the fields of its format chunk and its undecoded sample data.
//
// The PCM data manager owns one provider per drum sound; the PCM oscillator and player decode
// frames from it one at a time. The reader trusts nothing in the file: every chunk size is
// checked against the bytes the file really has left, so a damaged or hostile file can neither
// make it read outside its buffers nor allocate more memory than the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Zelvar_PcmDataProvider {
public:
    static constexpr size_t pathCapacity = 256;
    static constexpr uint16_t formatPcm = 1;
    static constexpr uint16_t formatIeeeFloat = 3;
    static constexpr uint16_t formatExtensible = 0xFFFE;

    // A path of 256 bytes or more is refused (the provider is left without a path).
    bool setFilePath(const char* path);
    // True when both a format and a data chunk were found.
    bool readFile();
    // Frames in the data; 0 when no usable format is loaded.
    int getLength() const;
    void getValue(int frame, double* left, double* right) const;

    const char* getFilePath() const { return filePath; }
    uint16_t getAudioFormat() const { return audioFormat; }
    uint16_t getChannelCount() const { return channelCount; }
    uint32_t getSampleRate() const { return sampleRate; }
    uint16_t getBitsPerSample() const { return bitsPerSample; }
    int getDataSize() const { return dataSize; }

private:
    void clear();
    double decodeSample(const uint8_t* bytes) const;
    bool isFloatData() const;

    char filePath[pathCapacity] = {};
    uint16_t audioFormat = 0;
    uint16_t channelCount = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    int dataSize = 0;
    std::vector<uint8_t> data;
    // The sub-format of an extensible format chunk (its first two bytes carry the format code).
    uint16_t subFormat = 0;
};
