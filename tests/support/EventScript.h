// Reads a byte string as a script of calls a host could make through the C interface — events of
// every kind with arbitrary sub-types, parameter types, values and stamps, and renders of any
// length — and plays it on a fresh engine. Shared by the libFuzzer target and the seeded test
// that runs in CI: whatever the script, every output sample must be finite and bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct EventScriptResult {
    size_t framesRendered = 0;
    size_t eventsPosted = 0;
    bool allFinite = true;
    float peak = 0.0f;
    std::string firstProblem; // empty when every sample was finite
};

EventScriptResult playEventScript(const uint8_t* data, size_t size,
                                  const std::string& resourceDirectory);
