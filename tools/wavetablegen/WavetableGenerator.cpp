// Build-time generator of the engine's wavetable files.
//
// Computes the triangle and sawtooth sets with the provider's own create operations and writes
// them with its write operations, so the files the engine loads are by construction the tables
// it would compute itself. Usage: corvena_wavetablegen OUTPUT_DIRECTORY (the directory is
// created if needed; "data0.wt" and "data1.wt" are written into it).
#include "Zelvar_WavetableProvider.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argc > 0 ? argv[0] : "wavetablegen");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    Zelvar_WavetableProvider provider(Zelvar_WavetableProvider::defaultTableLength,
                                      Zelvar_WavetableProvider::defaultTableCount);
    if (!provider.setBundleDirectoryPath(argv[1])) {
        std::fprintf(stderr, "output directory path too long: %s\n", argv[1]);
        return 1;
    }
    provider.createTriangleWavetable();
    provider.createSawtoothUpWavetable();
    if (!provider.writeTriangleWavetableFile()) {
        std::fprintf(stderr, "cannot write %s\n", provider.getTriangleWavetablePath());
        return 1;
    }
    if (!provider.writeSawtoothWavetableFile()) {
        std::fprintf(stderr, "cannot write %s\n", provider.getSawtoothWavetablePath());
        return 1;
    }
    return 0;
}
