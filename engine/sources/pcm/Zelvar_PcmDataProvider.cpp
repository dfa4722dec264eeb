// Zelvar_PcmDataProvider: the WAV reader and the frame decoder.
//
// The reader walks the RIFF chunks with a count of the bytes the file still holds. A chunk that
// claims more than that is cut short: a truncated "data" chunk keeps the bytes that are really
// there and ends the read, any other truncated chunk just ends it. Allocation is therefore
// bounded by the file's size, never by a size field. After an odd-sized chunk the RIFF pad
// byte is skipped when present (a zero byte, which no chunk id starts with), so both standard
// files and writers that omit the pad are read.
#include "Zelvar_PcmDataProvider.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint16_t readLe16(const uint8_t* b) {
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t readLe32(const uint8_t* b) {
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// Reads from a file while keeping count of the bytes left in it, so that no request can go
// past its end.
class BoundedReader {
public:
    BoundedReader(FILE* file, uint64_t size) : file(file), bytesLeft(size) {}

    bool read(void* out, uint64_t count) {
        if (count > bytesLeft)
            return false;
        if (std::fread(out, 1, count, file) != count) {
            bytesLeft = 0;
            return false;
        }
        bytesLeft -= count;
        return true;
    }

    bool skip(uint64_t count) {
        if (count > bytesLeft)
            return false;
        if (count > 0 && std::fseek(file, static_cast<long>(count), SEEK_CUR) != 0) {
            bytesLeft = 0;
            return false;
        }
        bytesLeft -= count;
        return true;
    }

    void skipPadByte() {
        uint8_t byte = 0;
        if (bytesLeft == 0 || !read(&byte, 1))
            return;
        if (byte != 0 && std::fseek(file, -1, SEEK_CUR) == 0)
            bytesLeft += 1;
    }

    uint64_t left() const { return bytesLeft; }

private:
    FILE* file;
    uint64_t bytesLeft;
};

bool fileSize(FILE* file, uint64_t* size) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return false;
    const long end = std::ftell(file);
    if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    *size = static_cast<uint64_t>(end);
    return true;
}

void reportError() {
    std::printf("Error!");
    std::fflush(stdout);
}

} // namespace

bool Zelvar_PcmDataProvider::setFilePath(const char* path) {
    filePath[0] = '\0';
    if (path == nullptr)
        return false;
    const size_t length = strnlen(path, pathCapacity);
    if (length >= pathCapacity)
        return false;
    std::memcpy(filePath, path, length + 1);
    return true;
}

void Zelvar_PcmDataProvider::clear() {
    audioFormat = 0;
    channelCount = 0;
    sampleRate = 0;
    byteRate = 0;
    blockAlign = 0;
    bitsPerSample = 0;
    subFormat = 0;
    dataSize = 0;
    data.clear();
    data.shrink_to_fit();
}

bool Zelvar_PcmDataProvider::readFile() {
    clear();
    FILE* file = filePath[0] != '\0' ? std::fopen(filePath, "rb") : nullptr;
    uint64_t size = 0;
    if (file != nullptr && !fileSize(file, &size)) {
        std::fclose(file);
        file = nullptr;
    }
    if (file == nullptr) {
        reportError();
        return false;
    }
    BoundedReader reader(file, size);
    uint8_t riffHeader[12];
    bool haveFormat = false;
    bool haveData = false;
    uint8_t chunkHeader[8];
    if (reader.read(riffHeader, sizeof riffHeader)) {
        while (!(haveFormat && haveData) && reader.read(chunkHeader, sizeof chunkHeader)) {
            const uint32_t chunkSize = readLe32(chunkHeader + 4);
            uint64_t remaining = chunkSize;
            if (std::memcmp(chunkHeader, "fmt ", 4) == 0) {
                uint8_t fields[16];
                if (chunkSize < sizeof fields || !reader.read(fields, sizeof fields))
                    break;
                audioFormat = readLe16(fields);
                channelCount = readLe16(fields + 2);
                sampleRate = readLe32(fields + 4);
                byteRate = readLe32(fields + 8);
                blockAlign = readLe16(fields + 12);
                bitsPerSample = readLe16(fields + 14);
                remaining -= sizeof fields;
                uint8_t extension[10];
                if (audioFormat == formatExtensible && remaining >= sizeof extension &&
                    reader.read(extension, sizeof extension)) {
                    subFormat = readLe16(extension + 8);
                    remaining -= sizeof extension;
                }
                haveFormat = true;
            } else if (std::memcmp(chunkHeader, "data", 4) == 0) {
                const uint64_t available =
                    std::min<uint64_t>({chunkSize, reader.left(), static_cast<uint64_t>(INT_MAX)});
                data.assign(available, 0);
                if (!reader.read(data.data(), available)) {
                    data.clear();
                    break;
                }
                dataSize = static_cast<int>(available);
                haveData = true;
                if (available < chunkSize)
                    break;
                remaining = 0;
            }
            if (haveFormat && haveData)
                break;
            if (!reader.skip(remaining))
                break;
            if (chunkSize % 2 != 0)
                reader.skipPadByte();
        }
    }
    std::fclose(file);
    return haveFormat && haveData;
}

int Zelvar_PcmDataProvider::getLength() const {
    const int frameBytes = channelCount * (bitsPerSample / 8);
    if (frameBytes == 0)
        return 0;
    return dataSize / frameBytes;
}

bool Zelvar_PcmDataProvider::isFloatData() const {
    return audioFormat == formatIeeeFloat ||
           (audioFormat == formatExtensible && subFormat == formatIeeeFloat);
}

double Zelvar_PcmDataProvider::decodeSample(const uint8_t* bytes) const {
    switch (bitsPerSample) {
    case 8:
        return (bytes[0] - 128) / 128.0;
    case 16:
        return static_cast<int16_t>(readLe16(bytes)) / 32768.0;
    case 24: {
        // Sign-extend the 24-bit value through the top byte of a 32-bit word.
        const uint32_t word = (static_cast<uint32_t>(bytes[0]) << 8) |
                              (static_cast<uint32_t>(bytes[1]) << 16) |
                              (static_cast<uint32_t>(bytes[2]) << 24);
        return (static_cast<int32_t>(word) >> 8) / 8388608.0;
    }
    case 32: {
        const uint32_t word = readLe32(bytes);
        if (isFloatData()) {
            float value;
            std::memcpy(&value, &word, sizeof value);
            // A NaN or infinity from a file would poison every filter downstream.
            return std::isfinite(value) ? value : 0.0;
        }
        return static_cast<int32_t>(word) / 2147483648.0;
    }
    default:
        return 0.0;
    }
}

void Zelvar_PcmDataProvider::getValue(int frame, double* left, double* right) const {
    double leftValue = 0.0;
    double rightValue = 0.0;
    const int64_t bytesPerSample = bitsPerSample / 8;
    const int64_t frameBytes = bytesPerSample * channelCount;
    const bool depthKnown =
        bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 || bitsPerSample == 32;
    // The bound is "(frame + 1) x frame size < data size", so the last whole frame reads as
    // silence too: a drum sample then always ends on zero.
    if (frame >= 0 && depthKnown && (channelCount == 1 || channelCount == 2) &&
        (static_cast<int64_t>(frame) + 1) * frameBytes < dataSize) {
        const uint8_t* bytes = data.data() + static_cast<int64_t>(frame) * frameBytes;
        leftValue = decodeSample(bytes);
        rightValue = channelCount == 2 ? decodeSample(bytes + bytesPerSample) : leftValue;
    }
    if (left != nullptr)
        *left = leftValue;
    if (right != nullptr)
        *right = rightValue;
}
