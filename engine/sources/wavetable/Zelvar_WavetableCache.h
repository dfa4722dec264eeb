// The process's store of wavetable sets. Every engine needs the same two 8 MB sets, and a plugin
// host may create dozens of engines in one process: each set is loaded (or computed) once, kept
// while any engine holds it, and shared read-only. Engines take sets at initialisation only, never
// on the audio thread, so a lock here costs nothing where it matters.
#pragma once

#include <functional>
#include <memory>
#include <string>

class Zelvar_WavetableCache {
public:
    using Set = std::shared_ptr<const double[]>;

    // The set stored under `key` while anyone still holds it; otherwise the one `make` produces,
    // stored for the callers that follow. A null result (a file that failed) is not stored, so
    // the next caller tries again and reports again. Callers that ask for the same key at once
    // wait for one `make`.
    static Set find(const std::string& key, const std::function<Set()>& make);
    // Sets stored and still held by someone: for tests and diagnostics.
    static size_t liveSetCount();
};
