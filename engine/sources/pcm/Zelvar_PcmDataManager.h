// The engine's four drum samples: one PCM data provider per file, with paths built from the
// user's home directory.
//
// The voice list creates one manager and initialises it; each voice's PCM oscillator picks a
// provider from it by index. Initialising only prepares the paths: the files are loaded by the
// providers' readFile, on request.
#pragma once

#include "Zelvar_PcmDataProvider.h"

#include <cstddef>

class Zelvar_PcmDataManager {
public:
    static constexpr int defaultFileCount = 4;
    static constexpr size_t nameCapacity = 256;

    Zelvar_PcmDataManager() = default;
    ~Zelvar_PcmDataManager();
    Zelvar_PcmDataManager(const Zelvar_PcmDataManager&) = delete;
    Zelvar_PcmDataManager& operator=(const Zelvar_PcmDataManager&) = delete;

    // Creates the providers. Returns false when "HOME" is missing or a path would not fit in
    // 255 bytes: such a provider is created without a path and loads nothing.
    bool initialize();
    // Null for an index outside 0 .. file count - 1, or before initialize.
    Zelvar_PcmDataProvider* getPcmDataProvider(int index) const;

private:
    void deleteProviders();

    int fileCount = defaultFileCount;
    char fileNames[defaultFileCount][nameCapacity] = {"Kick.wav", "Snare.wav", "ClosedHiHat.wav",
                                                      "OpenHiHat.wav"};
    char directory[nameCapacity] = "/Desktop/Resources/";
    Zelvar_PcmDataProvider** providers = nullptr;
};
