// libFuzzer target for the WAV reader: each input is written to a scratch file, loaded, and
// every frame the provider reports (and some it does not) is decoded. Built with
// AddressSanitizer, so any read outside the reader's buffers stops the run.
#include "Zelvar_PcmDataProvider.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string scratchPath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* directory = std::getenv("TMPDIR");
    scratchPath = std::string(directory != nullptr ? directory : "/tmp") + "/corvena_pcm_fuzz_" +
                  std::to_string(getpid()) + ".wav";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::remove(scratchPath.c_str());
    FILE* file = std::fopen(scratchPath.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;

    Zelvar_PcmDataProvider provider;
    provider.setFilePath(scratchPath.c_str());
    std::FILE* silenced = std::freopen("/dev/null", "w", stdout);
    provider.readFile();
    (void)silenced;
    if (static_cast<size_t>(provider.getDataSize()) > size)
        std::abort();
    const int length = provider.getLength();
    for (int frame = -1; frame <= length + 1 && frame < 100000; ++frame) {
        double left = 0.0;
        double right = 0.0;
        provider.getValue(frame, &left, &right);
        if (!std::isfinite(left) || !std::isfinite(right))
            std::abort();
    }
    return 0;
}
