// The shared store of band-limited single-cycle tables behind every wavetable oscillator.
//
// One provider serves the whole engine: the voice list creates it at initialisation, loads the
// triangle set ("data0.wt") and the sawtooth set ("data1.wt") from the resource directory, and
// every voice's oscillators read the tables from then on without copying them. Each set holds
// one table per number of harmonics; a table is N samples of one cycle plus a guard sample equal
// to the value at phase 1, so that interpolation at the end of the cycle needs no wrap. The
// same class computes the sets from their Fourier series and writes the files, which is how the
// build produces them.
#pragma once

#include <cstddef>

class Zelvar_WavetableProvider {
public:
    static constexpr int defaultTableLength = 2048;
    static constexpr int defaultTableCount = 500;
    static constexpr size_t pathCapacity = 256;

    explicit Zelvar_WavetableProvider(int tableLength = defaultTableLength,
                                      int tableCount = defaultTableCount);
    ~Zelvar_WavetableProvider();
    Zelvar_WavetableProvider(const Zelvar_WavetableProvider&) = delete;
    Zelvar_WavetableProvider& operator=(const Zelvar_WavetableProvider&) = delete;

    // A directory too long for "/data0.wt" to fit in a path field is refused: both paths are
    // left empty, so loading fails loudly instead of opening a truncated path.
    bool setBundleDirectoryPath(const char* directory);
    bool setTriangleWavetablePath(const char* path);
    bool setSawtoothWavetablePath(const char* path);

    // Loads both sets; a set whose file cannot be opened is computed in memory instead, so an
    // incomplete installation still sounds.
    void createWavetable();
    bool readSawtoothWavetableFile();
    bool readTriangleWavetableFile();
    void createSawtoothUpWavetable();
    void createTriangleWavetable();
    bool writeSawtoothWavetableFile();
    bool writeTriangleWavetableFile();

    // Either set may be null (never loaded or computed); readers must check.
    const double* getSawtoothWavetable() const { return sawtoothWavetable; }
    const double* getTriangleWavetable() const { return triangleWavetable; }
    int getTableLength() const { return tableLength; }
    int getTableCount() const { return tableCount; }
    const char* getTriangleWavetablePath() const { return triangleWavetablePath; }
    const char* getSawtoothWavetablePath() const { return sawtoothWavetablePath; }
    size_t getValueCount() const;

private:
    double* readWavetableFile(const char* path) const;
    bool writeWavetableFile(const char* path, const double* table) const;
    static bool copyPath(char* field, const char* path);

    double* sawtoothWavetable = nullptr;
    double* triangleWavetable = nullptr;
    int tableLength;
    int tableCount;
    char triangleWavetablePath[pathCapacity] = {};
    char sawtoothWavetablePath[pathCapacity] = {};
};
