// Zelvar_PcmDataManager: provider creation and path assembly.
//
// A path is assembled only when "HOME" is set and home + directory + file name fits in the
// 256-byte path field; otherwise it is refused rather than truncated into some other file.
#include "Zelvar_PcmDataManager.h"

#include <cstdlib>
#include <cstring>

Zelvar_PcmDataManager::~Zelvar_PcmDataManager() {
    deleteProviders();
}

void Zelvar_PcmDataManager::deleteProviders() {
    if (providers == nullptr)
        return;
    for (int i = 0; i < fileCount; ++i)
        delete providers[i];
    delete[] providers;
    providers = nullptr;
}

bool Zelvar_PcmDataManager::initialize() {
    deleteProviders();
    providers = new Zelvar_PcmDataProvider*[fileCount];
    const char* home = std::getenv("HOME");
    bool allPathsSet = true;
    for (int i = 0; i < fileCount; ++i) {
        providers[i] = new Zelvar_PcmDataProvider();
        if (home == nullptr) {
            allPathsSet = false;
            continue;
        }
        const size_t homeLength = std::strlen(home);
        const size_t directoryLength = strnlen(directory, nameCapacity);
        const size_t nameLength = strnlen(fileNames[i], nameCapacity);
        if (homeLength + directoryLength + nameLength >= Zelvar_PcmDataProvider::pathCapacity) {
            allPathsSet = false;
            continue;
        }
        char path[Zelvar_PcmDataProvider::pathCapacity];
        std::memcpy(path, home, homeLength);
        std::memcpy(path + homeLength, directory, directoryLength);
        std::memcpy(path + homeLength + directoryLength, fileNames[i], nameLength);
        path[homeLength + directoryLength + nameLength] = '\0';
        allPathsSet = providers[i]->setFilePath(path) && allPathsSet;
    }
    return allPathsSet;
}

Zelvar_PcmDataProvider* Zelvar_PcmDataManager::getPcmDataProvider(int index) const {
    if (providers == nullptr || index < 0 || index >= fileCount)
        return nullptr;
    return providers[index];
}
