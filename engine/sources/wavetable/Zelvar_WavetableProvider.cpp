// Zelvar_WavetableProvider: loading, computing and writing the two table sets.
//
// The sets are summed harmonic by harmonic: table k is table k - 1 plus one more partial, so a
// whole set costs one sine per sample and harmonic (about a million) instead of the 2.6 x 10^8
// of summing every table from scratch. The running sum is kept unscaled and multiplied by the
// series constant when stored, which gives exactly the value of the direct sum.
#include "Zelvar_WavetableProvider.h"

#include "MathConstants.h"
#include "Zelvar_WavetableCache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file format is little-endian whatever the host is.
void toLittleEndian(double* values, size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < count; ++i) {
            uint64_t bits = std::bit_cast<uint64_t>(values[i]);
            uint64_t swapped = 0;
            for (int b = 0; b < 8; ++b)
                swapped |= ((bits >> (8 * b)) & 0xffu) << (8 * (7 - b));
            values[i] = std::bit_cast<double>(swapped);
        }
    } else {
        (void)values;
        (void)count;
    }
}

void reportRefusedFile(const char* path, const char* shape, const std::string& why) {
    std::fprintf(stderr, "Corvena: wavetable file \"%s\" %s; the %s tables are computed instead\n",
                 path, why.c_str(), shape);
    std::fflush(stderr);
}

// Closes the descriptor on every way out of a read.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

Zelvar_WavetableProvider::Zelvar_WavetableProvider(int tableLength, int tableCount)
    : tableLength(std::max(tableLength, 2)), tableCount(std::max(tableCount, 1)) {}

Zelvar_WavetableProvider::~Zelvar_WavetableProvider() = default;

size_t Zelvar_WavetableProvider::getValueCount() const {
    return static_cast<size_t>(tableCount) * static_cast<size_t>(tableLength + 1);
}

bool Zelvar_WavetableProvider::copyPath(char* field, const char* path) {
    field[0] = '\0';
    if (path == nullptr)
        return false;
    const size_t length = strnlen(path, pathCapacity);
    if (length >= pathCapacity)
        return false;
    std::memcpy(field, path, length + 1);
    return true;
}

bool Zelvar_WavetableProvider::setBundleDirectoryPath(const char* directory) {
    triangleWavetablePath[0] = '\0';
    sawtoothWavetablePath[0] = '\0';
    if (directory == nullptr)
        return false;
    static constexpr char triangleName[] = "/data0.wt";
    static constexpr char sawtoothName[] = "/data1.wt";
    const size_t length = strnlen(directory, pathCapacity);
    if (length + sizeof triangleName > pathCapacity)
        return false;
    std::memcpy(triangleWavetablePath, directory, length);
    std::memcpy(triangleWavetablePath + length, triangleName, sizeof triangleName);
    std::memcpy(sawtoothWavetablePath, directory, length);
    std::memcpy(sawtoothWavetablePath + length, sawtoothName, sizeof sawtoothName);
    return true;
}

bool Zelvar_WavetableProvider::setTriangleWavetablePath(const char* path) {
    return copyPath(triangleWavetablePath, path);
}

bool Zelvar_WavetableProvider::setSawtoothWavetablePath(const char* path) {
    return copyPath(sawtoothWavetablePath, path);
}

void Zelvar_WavetableProvider::createWavetable() {
    if (!readSawtoothWavetableFile())
        sawtoothWavetable = computedSet("sawtooth", &Zelvar_WavetableProvider::computeSawtoothSet);
    if (!readTriangleWavetableFile())
        triangleWavetable = computedSet("triangle", &Zelvar_WavetableProvider::computeTriangleSet);
}

Zelvar_WavetableProvider::Set
Zelvar_WavetableProvider::computedSet(const char* shape,
                                      Set (Zelvar_WavetableProvider::*compute)() const) const {
    const std::string key = std::string("computed ") + shape + " " + std::to_string(tableLength) +
                            "x" + std::to_string(tableCount);
    return Zelvar_WavetableCache::find(key, [&] { return (this->*compute)(); });
}

Zelvar_WavetableProvider::Set Zelvar_WavetableProvider::readWavetableFile(const char* path,
                                                                          const char* shape) const {
    // Non-blocking: a FIFO or a device in the file's place must not hold start-up for ever.
    Descriptor file{path[0] != '\0' ? ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1};
    if (file.fd < 0) {
        std::printf("File Open Error\n");
        std::fflush(stdout);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        reportRefusedFile(path, shape, "is not a regular file");
        return nullptr;
    }
    const size_t expected = getValueCount() * sizeof(double);
    if (uintmax_t(status.st_size) != expected) {
        reportRefusedFile(path, shape,
                          "has " + std::to_string(status.st_size) + " bytes, " +
                              std::to_string(expected) + " expected");
        return nullptr;
    }
    // The same file (device, inode, size and time) loaded by another engine is shared.
    const std::string key =
        "file " + std::string(path) + " " + std::to_string(status.st_dev) + " " +
        std::to_string(status.st_ino) + " " + std::to_string(status.st_size) + " " +
        std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec);
    return Zelvar_WavetableCache::find(key, [&]() -> Set {
        Set set = loadCheckedValues(file.fd, expected);
        if (!set)
            reportRefusedFile(path, shape, "cannot be read whole or holds values no waveform has");
        return set;
    });
}

Zelvar_WavetableProvider::Set Zelvar_WavetableProvider::loadCheckedValues(int descriptor,
                                                                          size_t bytes) const {
    const size_t count = bytes / sizeof(double);
    std::shared_ptr<double[]> table(new double[count]);
    auto* cursor = reinterpret_cast<unsigned char*>(table.get());
    size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::read(descriptor, cursor + done, bytes - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return nullptr; // an error, or the file shrank since it was measured
        done += size_t(got);
    }
    toLittleEndian(table.get(), count);
    for (size_t i = 0; i < count; ++i)
        if (!(std::fabs(table[i]) <= largestPlausibleValue)) // NaN fails this too
            return nullptr;
    return table;
}

bool Zelvar_WavetableProvider::readSawtoothWavetableFile() {
    Set table = readWavetableFile(sawtoothWavetablePath, "sawtooth");
    if (!table)
        return false;
    sawtoothWavetable = std::move(table);
    return true;
}

bool Zelvar_WavetableProvider::readTriangleWavetableFile() {
    Set table = readWavetableFile(triangleWavetablePath, "triangle");
    if (!table)
        return false;
    triangleWavetable = std::move(table);
    return true;
}

void Zelvar_WavetableProvider::createSawtoothUpWavetable() {
    sawtoothWavetable = computeSawtoothSet();
}

void Zelvar_WavetableProvider::createTriangleWavetable() {
    triangleWavetable = computeTriangleSet();
}

Zelvar_WavetableProvider::Set Zelvar_WavetableProvider::computeSawtoothSet() const {
    const int n = tableLength;
    const size_t stride = static_cast<size_t>(n) + 1;
    std::shared_ptr<double[]> table(new double[getValueCount()]);
    auto partialSum = std::make_unique<double[]>(stride);
    // Tables 0 .. T - 2: harmonics 1 .. k + 1 of the falling sawtooth.
    for (int k = 0; k + 1 < tableCount; ++k) {
        const int harmonic = k + 1;
        double* out = table.get() + static_cast<size_t>(k) * stride;
        for (int j = 0; j <= n; ++j) {
            const double x = twoPi * j / n;
            partialSum[j] += std::sin(harmonic * x) / harmonic;
            out[j] = twoOverPi * partialSum[j];
        }
    }
    // The last table is a plain ramp, used below the lowest band-limited pitch.
    double* last = table.get() + static_cast<size_t>(tableCount - 1) * stride;
    for (int j = 0; j <= n; ++j)
        last[j] = 1.0 - (j % (n - 1)) * 2.0 / (n - 1);
    return table;
}

Zelvar_WavetableProvider::Set Zelvar_WavetableProvider::computeTriangleSet() const {
    const int n = tableLength;
    const size_t stride = static_cast<size_t>(n) + 1;
    std::shared_ptr<double[]> table(new double[getValueCount()]);
    auto partialSum = std::make_unique<double[]>(stride);
    // Table k: odd harmonics 1 .. 2k + 1 with alternating signs.
    for (int k = 0; k < tableCount; ++k) {
        const int harmonic = 2 * k + 1;
        const double sign = (k % 2 == 0) ? 1.0 : -1.0;
        const double weight = static_cast<double>(harmonic) * harmonic;
        double* out = table.get() + static_cast<size_t>(k) * stride;
        for (int j = 0; j <= n; ++j) {
            const double x = twoPi * j / n;
            partialSum[j] += sign * std::sin(harmonic * x) / weight;
            out[j] = eightOverPiSquared * partialSum[j];
        }
    }
    return table;
}

bool Zelvar_WavetableProvider::writeWavetableFile(const char* path, const double* table) const {
    if (table == nullptr)
        return false;
    if (path[0] != '\0')
        std::remove(path);
    FILE* file = path[0] != '\0' ? std::fopen(path, "wb+") : nullptr;
    if (file == nullptr) {
        std::printf("File Open Error\n");
        std::fflush(stdout);
        return false;
    }
    const size_t count = getValueCount();
    size_t written = 0;
    if constexpr (std::endian::native == std::endian::little) {
        written = std::fwrite(table, sizeof(double), count, file);
    } else {
        auto copy = std::make_unique<double[]>(count);
        std::memcpy(copy.get(), table, count * sizeof(double));
        toLittleEndian(copy.get(), count);
        written = std::fwrite(copy.get(), sizeof(double), count, file);
    }
    // A file cut short (full disk) would load with zeros in place of tables: remove it so the
    // failure is seen, never reported as success.
    const bool closed = std::fclose(file) == 0;
    if (written != count || !closed) {
        std::remove(path);
        return false;
    }
    return true;
}

bool Zelvar_WavetableProvider::writeSawtoothWavetableFile() {
    return writeWavetableFile(sawtoothWavetablePath, sawtoothWavetable.get());
}

bool Zelvar_WavetableProvider::writeTriangleWavetableFile() {
    return writeWavetableFile(triangleWavetablePath, triangleWavetable.get());
}
