// The shared store of band-limited single-cycle tables behind every wavetable oscillator.
//
// One provider serves the whole engine: the voice list creates it at initialisation, loads the
// triangle set ("data0.wt") and the sawtooth set ("data1.wt") from the resource directory, and
// every voice's oscillators read the tables from then on without copying them. Each set holds
// one table per number of harmonics; a table is N samples of one cycle plus a guard sample equal
// to the value at phase 1, so that interpolation at the end of the cycle needs no wrap. The
// same class computes the sets from their Fourier series and writes the files, which is how the
// build produces them.
//
// Sets are shared read-only with every other engine of the process (Zelvar_WavetableCache). A
// file is taken only when it is a regular file of exactly the set's size holding finite values
// of a waveform's magnitude; anything else is reported in one line naming the file and the set
// is computed instead, so a damaged installation still sounds right and never hangs start-up.
#pragma once

#include <cstddef>
#include <memory>

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

    // Loads both sets; a set whose file cannot be opened or fails the checks above is computed
    // in memory instead, so an incomplete installation still sounds.
    void createWavetable();
    bool readSawtoothWavetableFile();
    bool readTriangleWavetableFile();
    void createSawtoothUpWavetable();
    void createTriangleWavetable();
    bool writeSawtoothWavetableFile();
    bool writeTriangleWavetableFile();

    // Either set may be null (never loaded or computed); readers must check.
    const double* getSawtoothWavetable() const { return sawtoothWavetable.get(); }
    const double* getTriangleWavetable() const { return triangleWavetable.get(); }
    int getTableLength() const { return tableLength; }
    int getTableCount() const { return tableCount; }
    const char* getTriangleWavetablePath() const { return triangleWavetablePath; }
    const char* getSawtoothWavetablePath() const { return sawtoothWavetablePath; }
    size_t getValueCount() const;

    // Largest magnitude a stored value may have: band-limited sawtooth and triangle tables stay
    // within about 1.1; a file beyond this is not a wavetable file.
    static constexpr double largestPlausibleValue = 4.0;

private:
    using Set = std::shared_ptr<const double[]>;

    Set readWavetableFile(const char* path, const char* shape) const;
    Set loadCheckedValues(int descriptor, size_t bytes) const;
    Set computeSawtoothSet() const;
    Set computeTriangleSet() const;
    Set computedSet(const char* shape, Set (Zelvar_WavetableProvider::*compute)() const) const;
    bool writeWavetableFile(const char* path, const double* table) const;
    static bool copyPath(char* field, const char* path);

    Set sawtoothWavetable;
    Set triangleWavetable;
    int tableLength;
    int tableCount;
    char triangleWavetablePath[pathCapacity] = {};
    char sawtoothWavetablePath[pathCapacity] = {};
};
