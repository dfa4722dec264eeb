// libFuzzer entry for the engine's C interface: any byte string, read as a script of posting
// calls and renders (tests/support/EventScript), must leave every output sample finite and
// bounded. Anything else is a crash for the fuzzer to keep.
#include "EventScript.h"

#include <cstddef>
#include <cstdint>

#ifndef CORVENA_FUZZ_RESOURCES
#define CORVENA_FUZZ_RESOURCES ""
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EventScriptResult result = playEventScript(data, size, CORVENA_FUZZ_RESOURCES);
    if (!result.allFinite || !(result.peak < 64.0f))
        __builtin_trap();
    return 0;
}
